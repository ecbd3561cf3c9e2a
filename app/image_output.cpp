#include "app/image_output.h"

#include <FreeImage.h>
#include <strings.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>

#include "formats/float_image.h"
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

// The picture goes beside the target first and is renamed over it, so a failed save never
// leaves a truncated file under the name and keeps any earlier one intact. Unloads the bitmap.
bool SaveThroughPartialFile(FIBITMAP* bitmap, FREE_IMAGE_FORMAT format, int flags,
                            const std::string& name) {
    const std::string partial = name + ".partial-" + std::to_string(getpid());
    bool saved = FreeImage_Save(format, bitmap, partial.c_str(), flags) != FALSE;
    FreeImage_Unload(bitmap);
    if (saved && std::rename(partial.c_str(), name.c_str()) != 0) {
        saved = false;
    }
    if (!saved) {
        std::remove(partial.c_str());
    }
    return saved;
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

bool SaveImage(const Film& film, const std::string& name, float gamma, float linearScale) {
    if (name.empty() || film.pixelCount <= 0) {
        return false;
    }
    InitialiseFreeImage();
    FIBITMAP* bitmap = FreeImage_Allocate(film.width, film.height, 24);
    if (bitmap == nullptr) {
        return false;
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
    return SaveThroughPartialFile(bitmap, FIF_PNG, 0, name);
}

bool SaveLinearImage(const Film& film, const std::string& name, PictureFormat format) {
    if (name.empty() || film.pixelCount <= 0 || format == PictureFormat::Png) {
        return false;
    }
    InitialiseFreeImage();
    FIBITMAP* bitmap = FreeImage_AllocateT(FIT_RGBF, film.width, film.height);
    if (bitmap == nullptr) {
        return false;
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
        // EXR_DEFAULT stores half floats, the usual choice for compositing.
        return SaveThroughPartialFile(bitmap, FIF_EXR, EXR_DEFAULT, name);
    }
    // A PFM file lists its rows from the bottom of the picture up, but FreeImage writes its last
    // scanline first; flipped, the file holds the bottom row first as readers expect.
    FreeImage_FlipVertical(bitmap);
    return SaveThroughPartialFile(bitmap, FIF_PFM, 0, name);
}

}  // namespace glintor
