#include "formats/picture_decoder.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <vector>

namespace glintor {

namespace {

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

bool SizeAllowed(FIBITMAP* bitmap) {
    return PictureSizeAllowed(FreeImage_GetWidth(bitmap), FreeImage_GetHeight(bitmap));
}

// The file's bytes as FreeImage reads them. Decoders that trust a size or a flag the file does
// not hold go on reading past its end, and some never check what a read returned (FreeImage's
// WBMP reader loops for ever on a cut-off extension header). A decoder that asks for more once
// nothing is left has a file cut short, or one that claims more than it holds: its picture is
// refused, and the owner may give up on the decoding there and then. Otherwise such a read is
// answered with zero bytes, which ends the loops that never look at what they got.
struct PictureBytes {
    std::vector<BYTE> bytes;
    std::size_t position = 0;
    bool readPastEnd = false;
    void (*cutShort)() = nullptr;

    static unsigned DLL_CALLCONV Read(void* buffer, unsigned size, unsigned count,
                                      fi_handle handle) {
        PictureBytes& file = *static_cast<PictureBytes*>(handle);
        const std::size_t wanted = static_cast<std::size_t>(size) * count;
        const std::size_t available = std::min(wanted, file.bytes.size() - file.position);
        if (available == 0 && wanted > 0) {
            file.readPastEnd = true;
            if (file.cutShort != nullptr) {
                file.cutShort();
            }
            std::memset(buffer, 0, wanted);
            return 0;
        }
        std::memcpy(buffer, file.bytes.data() + file.position, available);
        file.position += available;
        return size == 0 ? 0 : static_cast<unsigned>(available / size);
    }
    static unsigned DLL_CALLCONV Write(void*, unsigned, unsigned, fi_handle) { return 0; }
    static int DLL_CALLCONV Seek(fi_handle handle, long offset, int origin) {
        PictureBytes& file = *static_cast<PictureBytes*>(handle);
        const long base = origin == SEEK_CUR   ? static_cast<long>(file.position)
                          : origin == SEEK_END ? static_cast<long>(file.bytes.size())
                                               : 0;
        if (offset < -base || offset > static_cast<long>(file.bytes.size()) - base) {
            return -1;
        }
        file.position = static_cast<std::size_t>(base + offset);
        return 0;
    }
    static long DLL_CALLCONV Tell(fi_handle handle) {
        return static_cast<long>(static_cast<PictureBytes*>(handle)->position);
    }
};

// Anything that is no regular file (a folder, a pipe, a device) is refused rather than read
// without end.
bool ReadWholeFile(const std::string& path, std::vector<BYTE>& bytes) {
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) {
        return false;
    }
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    if (error || size == 0 || size > kMaxPictureFileBytes) {
        return false;
    }
    std::ifstream in(path, std::ios::binary);
    bytes.resize(static_cast<std::size_t>(size));
    return static_cast<bool>(
        in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size())));
}

}  // namespace

bool PictureSizeAllowed(uint64_t width, uint64_t height) {
    return width > 0 && height > 0 && width <= kMaxPictureSide && height <= kMaxPictureSide &&
           width * height <= kMaxPicturePixels;
}

bool PictureDecoder::Open(const std::string& path, float gamma) {
    PictureBytes file;
    if (!ReadWholeFile(path, file.bytes)) {
        return false;
    }
    FreeImageIO io{PictureBytes::Read, PictureBytes::Write, PictureBytes::Seek, PictureBytes::Tell};
    FREE_IMAGE_FORMAT format = FreeImage_GetFileTypeFromHandle(&io, &file, 0);
    if (format == FIF_UNKNOWN) {
        format = FreeImage_GetFIFFromFilename(path.c_str());
    }
    if (format == FIF_UNKNOWN || !FreeImage_FIFSupportsReading(format)) {
        return false;
    }
    // Format detection reads a fixed number of bytes whatever the file's length; only the
    // decoders are held to the end of the file.
    file.position = 0;
    file.readPastEnd = false;
    file.cutShort = cutShort_;
    if (FreeImage_FIFSupportsNoPixels(format)) {
        const BitmapPtr header(FreeImage_LoadFromHandle(format, &io, &file, FIF_LOAD_NOPIXELS));
        if (!header || file.readPastEnd || !SizeAllowed(header.get())) {
            return false;
        }
        file.position = 0;
    }
    BitmapPtr bitmap(FreeImage_LoadFromHandle(format, &io, &file, 0));
    if (!bitmap || file.readPastEnd || !SizeAllowed(bitmap.get())) {
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
    bitmap_ = std::move(bitmap);
    layout_ = *layout;
    gamma_ = gamma;
    width_ = FreeImage_GetWidth(bitmap_.get());
    height_ = FreeImage_GetHeight(bitmap_.get());
    for (std::size_t i = 0; i < byteValues_.size(); ++i) {
        byteValues_[i] = ApplyGamma(static_cast<float>(i) * (1.0f / 255.0f), gamma);
    }
    return true;
}

// Scanline 0 of a FreeImage bitmap is the bottom row of the picture.
void PictureDecoder::DecodeRow(uint32_t row, Vector3* out) const {
    const BYTE* scanline =
        FreeImage_GetScanLine(bitmap_.get(), static_cast<int>(height_ - 1 - row));
    const auto decode = [&](auto texelAt) {
        for (uint32_t x = 0; x < width_; ++x) {
            out[x] = texelAt(x);
        }
    };
    const auto floatTexel = [this](const auto& p) {
        return Vector3(ApplyGamma(p.red, gamma_), ApplyGamma(p.green, gamma_),
                       ApplyGamma(p.blue, gamma_));
    };
    const auto byteTexel = [this](const BYTE* p) {
        return Vector3(byteValues_[p[FI_RGBA_RED]], byteValues_[p[FI_RGBA_GREEN]],
                       byteValues_[p[FI_RGBA_BLUE]]);
    };
    switch (layout_) {
        case PixelLayout::FloatRgba:
            decode([&](uint32_t x) {
                return floatTexel(reinterpret_cast<const FIRGBAF*>(scanline)[x]);
            });
            break;
        case PixelLayout::FloatRgb:
            decode([&](uint32_t x) {
                return floatTexel(reinterpret_cast<const FIRGBF*>(scanline)[x]);
            });
            break;
        case PixelLayout::FloatGrey:
            decode([&](uint32_t x) {
                const float value = ApplyGamma(reinterpret_cast<const float*>(scanline)[x], gamma_);
                return Vector3(value, value, value);
            });
            break;
        case PixelLayout::Byte32:
            decode([&](uint32_t x) { return byteTexel(scanline + 4 * x); });
            break;
        case PixelLayout::Byte24:
            decode([&](uint32_t x) { return byteTexel(scanline + 3 * x); });
            break;
    }
}

}  // namespace glintor
