#include "formats/float_image.h"

#include <FreeImage.h>

#include <cmath>

#include "formats/decoder_process.h"
#include "formats/files_read.h"
#include "platform/platform.h"

namespace glintor {

namespace {

// Balanced set-up and tear-down: the library counts its initialisations, so this coexists with
// the one its shared object performs by itself.
struct FreeImageLibrary {
    FreeImageLibrary() { FreeImage_Initialise(FALSE); }
    ~FreeImageLibrary() { FreeImage_DeInitialise(); }
    FreeImageLibrary(const FreeImageLibrary&) = delete;
    FreeImageLibrary& operator=(const FreeImageLibrary&) = delete;
};

// Reduces a lattice index into [0, size). Indices beyond the reach of an integer conversion (or
// NaN, from a degenerate hit) take the floating-point remainder, so no conversion is undefined.
uint32_t WrapIndex(float index, uint32_t size) {
    if (std::fabs(index) < 1073741824.0f) {
        int64_t wrapped = static_cast<int64_t>(index) % static_cast<int64_t>(size);
        if (wrapped < 0) {
            wrapped += size;
        }
        return static_cast<uint32_t>(wrapped);
    }
    double wrapped = std::fmod(static_cast<double>(index), static_cast<double>(size));
    if (wrapped < 0.0) {
        wrapped += size;
    } else if (!(wrapped >= 0.0)) {
        wrapped = 0.0;
    }
    return static_cast<uint32_t>(wrapped);
}

}  // namespace

void InitialiseFreeImage() {
    static FreeImageLibrary library;
}

bool FloatImage::Load(const std::string& fileName, float gamma) {
    // Set up before the decoding child is forked, which then inherits the plugin table.
    InitialiseFreeImage();
    std::string name = fileName;  // may be this record's own Name, which the reset clears
    *this = FloatImage();
    Name = std::move(name);
    NoteFileRead(PortablePath(Name));
    if (!DecodeInChildProcess(PortablePath(Name), gamma, Width, Height, Texels)) {
        return false;
    }
    InvWidth = 1.0f / static_cast<float>(Width);
    InvHeight = 1.0f / static_cast<float>(Height);
    return true;
}

Vector3 FloatImage::Lookup(float u, float v) const {
    if (Texels.empty()) {
        return {};
    }
    const float x = static_cast<float>(Width) * u - 0.5f;
    const float y = static_cast<float>(Height) * v - 0.5f;
    const float xFloor = std::floor(x);
    const float yFloor = std::floor(y);
    const float fx = x - xFloor;
    const float fy = y - yFloor;

    const uint32_t x0 = WrapIndex(xFloor, Width);
    const uint32_t y0 = WrapIndex(yFloor, Height);
    const uint32_t x1 = x0 + 1 == Width ? 0 : x0 + 1;
    const uint32_t y1 = y0 + 1 == Height ? 0 : y0 + 1;
    const std::size_t row0 = static_cast<std::size_t>(Width) * y0;
    const std::size_t row1 = static_cast<std::size_t>(Width) * y1;

    return Texels[x0 + row0] * ((1.0f - fx) * (1.0f - fy)) +
           Texels[x0 + row1] * ((1.0f - fx) * fy) + Texels[x1 + row0] * (fx * (1.0f - fy)) +
           Texels[x1 + row1] * (fx * fy);
}

}  // namespace glintor
