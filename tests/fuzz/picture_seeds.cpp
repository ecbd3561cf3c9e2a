// Writes the picture fuzzer's starting inputs: a small picture in every format FreeImage can
// write, in each pixel type and depth that format takes, with the byte that names its format
// in front. Usage: glintor_picture_seeds FOLDER
#include <FreeImage.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "formats/float_image.h"
#include "tests/fuzz/picture_names.h"

// Some of FreeImage's writers keep small buffers they never free; they are the library's, not
// ours, and would fail this tool in the sanitizer build.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfreeimage.so\n";
}

namespace {

struct PixelType {
    FREE_IMAGE_TYPE type;
    unsigned bitsPerPixel;
};

const PixelType kPixelTypes[] = {
    {FIT_BITMAP, 1},  {FIT_BITMAP, 4},  {FIT_BITMAP, 8},  {FIT_BITMAP, 16},
    {FIT_BITMAP, 24}, {FIT_BITMAP, 32}, {FIT_UINT16, 16}, {FIT_RGB16, 48},
    {FIT_RGBA16, 64}, {FIT_FLOAT, 32},  {FIT_RGBF, 96},   {FIT_RGBAF, 128},
};

// Writers of FreeImage 3.18 that damage memory, found with valgrind (the picture_seeds_memcheck
// test keeps the others clean): PSD writes past its buffer for 1-bit pictures.
struct Writer {
    FREE_IMAGE_FORMAT format;
    unsigned bitsPerPixel;
};
const Writer kFaultyWriters[] = {{FIF_PSD, 1}};

bool Faulty(FREE_IMAGE_FORMAT format, const PixelType& pixels) {
    for (const Writer& writer : kFaultyWriters) {
        if (writer.format == format && pixels.type == FIT_BITMAP &&
            writer.bitsPerPixel == pixels.bitsPerPixel) {
            return true;
        }
    }
    return false;
}

bool Supported(FREE_IMAGE_FORMAT format, const PixelType& pixels) {
    if (Faulty(format, pixels) || !FreeImage_FIFSupportsExportType(format, pixels.type)) {
        return false;
    }
    return pixels.type != FIT_BITMAP || FreeImage_FIFSupportsExportBPP(format, pixels.bitsPerPixel);
}

// Five by three pixels, so rows need padding in most formats, with a different byte in each.
FIBITMAP* Picture(const PixelType& pixels) {
    const int width = 5;
    const int height = 3;
    FIBITMAP* bitmap = FreeImage_AllocateT(pixels.type, width, height, pixels.bitsPerPixel);
    if (bitmap == nullptr) {
        return nullptr;
    }
    for (int y = 0; y < height; ++y) {
        BYTE* scanline = FreeImage_GetScanLine(bitmap, y);
        for (unsigned i = 0; i < FreeImage_GetLine(bitmap); ++i) {
            scanline[i] = static_cast<BYTE>(37 * y + 11 * i + 5);
        }
    }
    return bitmap;
}

// The picture goes to a file first, not to FreeImage's memory stream: writers that seek past the
// end (TIFF) leave gaps there that were never set, where a file reads zeros.
bool WriteSeed(FREE_IMAGE_FORMAT format, FIBITMAP* bitmap, const std::string& path, char selector) {
    const std::string picture = path + ".picture";
    if (!FreeImage_Save(format, bitmap, picture.c_str(), 0)) {
        std::remove(picture.c_str());
        return false;
    }
    std::ifstream in(picture, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::remove(picture.c_str());
    std::ofstream out(path, std::ios::binary);
    out.put(selector);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return out.good();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "Usage: glintor_picture_seeds FOLDER\n");
        return 2;
    }
    glintor::InitialiseFreeImage();
    std::filesystem::create_directories(argv[1]);
    const std::vector<glintor::FuzzPictureName> names = glintor::FuzzPictureNames();
    int written = 0;
    for (size_t selector = 0; selector < names.size(); ++selector) {
        const FREE_IMAGE_FORMAT format = names[selector].format;
        if (!FreeImage_FIFSupportsWriting(format)) {
            continue;
        }
        for (const PixelType& pixels : kPixelTypes) {
            FIBITMAP* bitmap = Supported(format, pixels) ? Picture(pixels) : nullptr;
            if (bitmap == nullptr) {
                continue;
            }
            const std::string path =
                std::string(argv[1]) + "/" + FreeImage_GetFormatFromFIF(format) + "-" +
                std::to_string(pixels.type) + "-" + std::to_string(pixels.bitsPerPixel);
            if (WriteSeed(format, bitmap, path, static_cast<char>(selector))) {
                ++written;
            }
            FreeImage_Unload(bitmap);
        }
    }
    std::printf("%d seed pictures in %s\n", written, argv[1]);
    return written > 0 ? 0 : 1;
}
