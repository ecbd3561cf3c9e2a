#include "app/image_output.h"

#include <FreeImage.h>
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
    const std::string partial = name + ".partial-" + std::to_string(getpid());
    bool saved = FreeImage_Save(FIF_PNG, bitmap, partial.c_str(), 0) != FALSE;
    FreeImage_Unload(bitmap);
    if (saved && std::rename(partial.c_str(), name.c_str()) != 0) {
        saved = false;
    }
    if (!saved) {
        std::remove(partial.c_str());
    }
    return saved;
}

}  // namespace glintor
