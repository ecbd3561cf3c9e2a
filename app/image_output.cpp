#include "app/image_output.h"

#include <FreeImage.h>
#include <strings.h>

#include <cerrno>
#include <cmath>

#include "formats/float_image.h"
#include "platform/partial_file.h"
#include "render/film.h"

namespace glintor {

uint8_t SavedChannelByte(float sum, float weight, float linearScale, float gamma) {
    if (!(weight > 0.0f)) {
        return 0;
    }
    const float s = linearScale / weight;
    float q = sum * s;
    if (!(q > 0.0f)) {  // also catches NaN
        q = 0.0f;
    } else if (q > 1.0f) {
        q = 1.0f;
    }
    const float out = static_cast<float>(std::pow(static_cast<double>(q), 1.0 / gamma));
    return static_cast<uint8_t>(out * 255.0f + 0.5f);
}

namespace {

// Unloads the bitmap whatever happens. FreeImage says only whether it wrote the file; the
// partial file already exists in the folder, so what fails then is the writing itself.
int SaveBitmap(FIBITMAP* bitmap, FREE_IMAGE_FORMAT format, int flags, const std::string& name) {
    const int error = WriteThroughPartialFile(name, [&](const std::string& partial) {
        errno = 0;
        if (FreeImage_Save(format, bitmap, partial.c_str(), flags) != FALSE) {
            return 0;
        }
        return errno != 0 ? errno : EIO;
    });
    FreeImage_Unload(bitmap);
    return error;
}

}  // namespace

PictureFormat FormatOfName(const std::string& name) {
    const size_t dot = name.find_last_of('.');
    const char* extension = dot == std::string::npos ? "" : name.c_str() + dot;
    if (strcasecmp(extension, ".exr") == 0) {
        return PictureFormat::Exr;
    }
    if (strcasecmp(extension, ".pfm") == 0) {
        return PictureFormat::Pfm;
    }
    return PictureFormat::Png;
}

int SaveImage(const Film& film, const std::string& name, float gamma, float linearScale) {
    if (name.empty()) {
        return ENOENT;
    }
    if (film.pixelCount <= 0) {
        return EINVAL;
    }
    InitialiseFreeImage();
    FIBITMAP* bitmap = FreeImage_Allocate(film.width, film.height, 24);
    if (bitmap == nullptr) {
        return ENOMEM;
    }
    const unsigned pitch = FreeImage_GetPitch(bitmap);
    BYTE* bits = FreeImage_GetBits(bitmap);
    for (int y = 0; y < film.height; ++y) {
        // Film row 0 is the bottom row, which is FreeImage's scanline 0: the file is upright.
        BYTE* scanline = bits + static_cast<size_t>(y) * pitch;
        for (int x = 0; x < film.width; ++x) {
            const float* p = film.accumulation + (static_cast<size_t>(y) * film.width + x) * 4;
            BYTE* out = scanline + 3 * x;
            out[FI_RGBA_RED] = SavedChannelByte(p[0], p[3], linearScale, gamma);
            out[FI_RGBA_GREEN] = SavedChannelByte(p[1], p[3], linearScale, gamma);
            out[FI_RGBA_BLUE] = SavedChannelByte(p[2], p[3], linearScale, gamma);
        }
    }
    return SaveBitmap(bitmap, FIF_PNG, 0, name);
}

int SaveLinearImage(const Film& film, const std::string& name, PictureFormat format) {
    if (name.empty()) {
        return ENOENT;
    }
    if (film.pixelCount <= 0 || format == PictureFormat::Png) {
        return EINVAL;
    }
    InitialiseFreeImage();
    FIBITMAP* bitmap = FreeImage_AllocateT(FIT_RGBF, film.width, film.height);
    if (bitmap == nullptr) {
        return ENOMEM;
    }
    for (int y = 0; y < film.height; ++y) {
        // Film row 0 is the bottom row, as in the PNG.
        auto* scanline = reinterpret_cast<FIRGBF*>(FreeImage_GetScanLine(bitmap, y));
        for (int x = 0; x < film.width; ++x) {
            const float* p = film.accumulation + (static_cast<size_t>(y) * film.width + x) * 4;
            const bool rendered = p[3] > 0.0f;
            scanline[x].red = rendered ? p[0] / p[3] : 0.0f;
            scanline[x].green = rendered ? p[1] / p[3] : 0.0f;
            scanline[x].blue = rendered ? p[2] / p[3] : 0.0f;
        }
    }
    if (format == PictureFormat::Exr) {
        // 32-bit floats: half floats would turn radiance above 65504 into infinity.
        return SaveBitmap(bitmap, FIF_EXR, EXR_FLOAT, name);
    }
    // A PFM file lists its rows from the bottom of the picture up, but FreeImage writes its last
    // scanline first; flipped, the file holds the bottom row first as readers expect.
    FreeImage_FlipVertical(bitmap);
    return SaveBitmap(bitmap, FIF_PFM, 0, name);
}

}  // namespace glintor
