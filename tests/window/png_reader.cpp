#include "tests/window/picture.h"

#include <FreeImage.h>

#include "formats/float_image.h"

namespace glintor::testing {

bool LoadPng(const std::string& path, Picture& picture) {
    InitialiseFreeImage();
    FIBITMAP* bitmap = FreeImage_Load(FIF_PNG, path.c_str(), 0);
    if (bitmap == nullptr) {
        return false;
    }
    const bool rgb = FreeImage_GetBPP(bitmap) == 24;
    if (rgb) {
        picture.width = static_cast<int>(FreeImage_GetWidth(bitmap));
        picture.height = static_cast<int>(FreeImage_GetHeight(bitmap));
        picture.pixels.assign(static_cast<size_t>(picture.width) * picture.height, Rgb());
        for (int y = 0; y < picture.height; ++y) {
            // FreeImage's scanline 0 is the bottom row.
            const BYTE* line = FreeImage_GetScanLine(bitmap, picture.height - 1 - y);
            for (int x = 0; x < picture.width; ++x) {
                const BYTE* p = line + 3 * x;
                picture.pixels[static_cast<size_t>(y) * picture.width + x] = {
                    p[FI_RGBA_RED], p[FI_RGBA_GREEN], p[FI_RGBA_BLUE]};
            }
        }
    }
    FreeImage_Unload(bitmap);
    return rgb;
}

}  // namespace glintor::testing
