#include "formats/float_image.h"

#include <FreeImage.h>

#include <array>
#include <cmath>
#include <memory>
#include <optional>

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

struct BitmapDeleter {
    void operator()(FIBITMAP* bitmap) const { FreeImage_Unload(bitmap); }
};
using BitmapPtr = std::unique_ptr<FIBITMAP, BitmapDeleter>;

// The pixel layouts decoded directly; every other picture is first converted to one of them.
enum class PixelLayout { FloatRgba, FloatRgb, FloatGrey, Byte32, Byte24 };

std::optional<PixelLayout> DirectLayout(FIBITMAP* bitmap) {
    const FREE_IMAGE_TYPE type = FreeImage_GetImageType(bitmap);
    const unsigned bitsPerPixel = FreeImage_GetBPP(bitmap);
    if (type == FIT_RGBAF && bitsPerPixel == 128) {
        return PixelLayout::FloatRgba;
    }
    if (type == FIT_RGBF && bitsPerPixel == 96) {
        return PixelLayout::FloatRgb;
    }
    // FreeImage's own conversion of single floats to colour clamps them to [0, 1], which would
    // flatten high-dynamic-range heights; they are spread over the three channels here instead.
    if (type == FIT_FLOAT && bitsPerPixel == 32) {
        return PixelLayout::FloatGrey;
    }
    if (type == FIT_BITMAP && bitsPerPixel == 32) {
        return PixelLayout::Byte32;
    }
    if (bitsPerPixel == 24) {
        return PixelLayout::Byte24;
    }
    return std::nullopt;
}

// Greyscale bump maps and 16-bit textures are common, so such pictures are brought to a direct
// layout with FreeImage's own conversions: small integer bitmaps (palettised or greyscale 1, 4
// and 8 bits, 16-bit RGB) losslessly to 24-bit colour, 16-bit channels to float RGB scaled to
// 0..1, which keeps their precision. Signed and 32-bit integers, doubles and complex numbers
// carry no colour meaning and stay rejected.
BitmapPtr ConvertToDirectLayout(FIBITMAP* bitmap) {
    switch (FreeImage_GetImageType(bitmap)) {
        case FIT_BITMAP:
            return BitmapPtr(FreeImage_ConvertTo24Bits(bitmap));
        case FIT_UINT16:
        case FIT_RGB16:
        case FIT_RGBA16:
            return BitmapPtr(FreeImage_ConvertToRGBF(bitmap));
        default:
            return nullptr;
    }
}

float ApplyGamma(float value, float gamma) {
    if (gamma == 1.0f) {
        return value;
    }
    // Only float pictures hold negative values; their power would be NaN for most gammas and
    // spread through every lookup that touches the texel.
    if (value < 0.0f) {
        return 0.0f;
    }
    return static_cast<float>(std::pow(static_cast<double>(value), static_cast<double>(gamma)));
}

// Scanline 0 of a FreeImage bitmap is the bottom row of the picture; texels are stored top row
// first, so scanline y lands in texel row height - 1 - y.
void DecodeScanlines(FIBITMAP* bitmap, PixelLayout layout, float gamma, uint32_t width,
                     uint32_t height, std::vector<Vector3>& texels) {
    const BYTE* bits = FreeImage_GetBits(bitmap);
    const std::size_t pitch = FreeImage_GetPitch(bitmap);

    std::array<float, 256> byteValues;
    for (std::size_t i = 0; i < byteValues.size(); ++i) {
        byteValues[i] = ApplyGamma(static_cast<float>(i) * (1.0f / 255.0f), gamma);
    }

    const auto decodeRows = [&](auto texelAt) {
        for (uint32_t y = 0; y < height; ++y) {
            const BYTE* scanline = bits + pitch * y;
            Vector3* row = texels.data() + static_cast<std::size_t>(height - 1 - y) * width;
            for (uint32_t x = 0; x < width; ++x) {
                row[x] = texelAt(scanline, x);
            }
        }
    };
    const auto floatTexel = [gamma](const auto& p) {
        return Vector3(ApplyGamma(p.red, gamma), ApplyGamma(p.green, gamma),
                       ApplyGamma(p.blue, gamma));
    };
    const auto byteTexel = [&byteValues](const BYTE* p) {
        return Vector3(byteValues[p[FI_RGBA_RED]], byteValues[p[FI_RGBA_GREEN]],
                       byteValues[p[FI_RGBA_BLUE]]);
    };
    switch (layout) {
        case PixelLayout::FloatRgba:
            decodeRows([&](const BYTE* scanline, uint32_t x) {
                return floatTexel(reinterpret_cast<const FIRGBAF*>(scanline)[x]);
            });
            break;
        case PixelLayout::FloatRgb:
            decodeRows([&](const BYTE* scanline, uint32_t x) {
                return floatTexel(reinterpret_cast<const FIRGBF*>(scanline)[x]);
            });
            break;
        case PixelLayout::FloatGrey:
            decodeRows([&](const BYTE* scanline, uint32_t x) {
                const float value = ApplyGamma(reinterpret_cast<const float*>(scanline)[x], gamma);
                return Vector3(value, value, value);
            });
            break;
        case PixelLayout::Byte32:
            decodeRows(
                [&](const BYTE* scanline, uint32_t x) { return byteTexel(scanline + 4 * x); });
            break;
        case PixelLayout::Byte24:
            decodeRows(
                [&](const BYTE* scanline, uint32_t x) { return byteTexel(scanline + 3 * x); });
            break;
    }
}

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
    InitialiseFreeImage();
    std::string name = fileName;  // may be this record's own Name, which the reset clears
    *this = FloatImage();
    Name = std::move(name);
    const std::string path = PortablePath(fileName);

    FREE_IMAGE_FORMAT format = FreeImage_GetFileType(path.c_str(), 0);
    if (format == FIF_UNKNOWN) {
        format = FreeImage_GetFIFFromFilename(path.c_str());
    }
    if (format == FIF_UNKNOWN || !FreeImage_FIFSupportsReading(format)) {
        return false;
    }
    BitmapPtr bitmap(FreeImage_Load(format, path.c_str(), 0));
    if (!bitmap) {
        return false;
    }
    std::optional<PixelLayout> layout = DirectLayout(bitmap.get());
    if (!layout) {
        bitmap = ConvertToDirectLayout(bitmap.get());
        if (!bitmap) {
            return false;
        }
        layout = DirectLayout(bitmap.get());
        if (!layout) {
            return false;
        }
    }

    const uint32_t width = FreeImage_GetWidth(bitmap.get());
    const uint32_t height = FreeImage_GetHeight(bitmap.get());
    if (width == 0 || height == 0) {
        return false;
    }
    std::vector<Vector3> texels(static_cast<std::size_t>(width) * height);
    DecodeScanlines(bitmap.get(), *layout, gamma, width, height, texels);

    Width = width;
    Height = height;
    Texels = std::move(texels);
    InvWidth = 1.0f / static_cast<float>(width);
    InvHeight = 1.0f / static_cast<float>(height);
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
