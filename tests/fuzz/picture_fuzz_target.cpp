// Fuzz target for picture loading: any bytes, named as any readable format, must load within
// the size limits or be refused with an empty record; neither the loader nor the process that
// calls it may crash, hang or grow. The first byte of an input picks the extension (its low
// seven bits) and the gamma (its high bit); the rest is the file.
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "formats/float_image.h"
#include "formats/picture_decoder.h"
#include "tests/fuzz/picture_names.h"

namespace {

void Require(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "Picture fuzz: broken guarantee: %s\n", what);
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) {
        return 0;
    }
    glintor::InitialiseFreeImage();
    static const std::vector<glintor::FuzzPictureName> names = glintor::FuzzPictureNames();
    const std::string path = "/tmp/glintor-picture-fuzz-" + std::to_string(getpid()) + "." +
                             names[(data[0] & 0x7f) % names.size()].extension;
    const float gamma = data[0] & 0x80 ? 2.2f : 1.0f;
    // A new file each time, removed after use (truncating one in place costs a disk flush).
    std::FILE* file = std::fopen(path.c_str(), "wb");
    Require(file != nullptr, "scratch file writable");
    std::fwrite(data + 1, 1, size - 1, file);
    std::fclose(file);

    glintor::FloatImage image;
    const bool loaded = image.Load(path, gamma);
    unlink(path.c_str());
    Require(image.Name == path, "the name is kept");
    if (!loaded) {
        Require(image.IsEmpty() && image.Width == 0 && image.Height == 0, "a refusal is empty");
        return 0;
    }
    Require(glintor::PictureSizeAllowed(image.Width, image.Height), "size within the limits");
    Require(image.Texels.size() == static_cast<size_t>(image.Width) * image.Height,
            "one texel per pixel");
    Require(image.InvWidth == 1.0f / static_cast<float>(image.Width) &&
                image.InvHeight == 1.0f / static_cast<float>(image.Height),
            "inverse sizes");
    const glintor::Vector3 corner = image.Lookup(0.0f, 0.0f);
    (void)corner;
    return 0;
}
