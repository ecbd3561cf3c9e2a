#include "tests/window/picture.h"

namespace glintor::testing {

namespace {

// Header fields, each a 32-bit big-endian number, in file order.
enum XwdField {
    HeaderSize,
    FileVersion,
    PixmapFormat,
    PixmapDepth,
    PixmapWidth,
    PixmapHeight,
    XOffset,
    ByteOrder,
    BitmapUnit,
    BitmapBitOrder,
    BitmapPad,
    BitsPerPixel,
    BytesPerLine,
    VisualClass,
    RedMask,
    GreenMask,
    BlueMask,
    BitsPerRgb,
    ColormapEntries,
    ColorCount,
    WindowWidth,
    WindowHeight,
    WindowX,
    WindowY,
    WindowBorderWidth,
    FieldCount
};

constexpr uint32_t XwdVersion = 7;
constexpr uint32_t ZPixmap = 2;
constexpr uint32_t TrueColor = 4;
constexpr uint32_t DirectColor = 5;
constexpr size_t ColormapEntrySize = 12;

uint32_t BigEndian32(const std::string& bytes, size_t at) {
    uint32_t v = 0;
    for (size_t i = 0; i < 4; ++i) {
        v = (v << 8) | static_cast<uint8_t>(bytes[at + i]);
    }
    return v;
}

// Scales the bits of value under mask to 0..255.
uint8_t Channel(uint32_t value, uint32_t mask) {
    if (mask == 0) {
        return 0;
    }
    int shift = 0;
    while (((mask >> shift) & 1u) == 0) {
        ++shift;
    }
    const uint32_t maximum = mask >> shift;
    return static_cast<uint8_t>(((value & mask) >> shift) * 255u / maximum);
}

}  // namespace

bool ParseXwd(const std::string& bytes, Picture& image, std::string& problem) {
    if (bytes.size() < FieldCount * 4) {
        problem = "dump shorter than its header";
        return false;
    }
    uint32_t h[FieldCount];
    for (int i = 0; i < FieldCount; ++i) {
        h[i] = BigEndian32(bytes, static_cast<size_t>(i) * 4);
    }
    if (h[FileVersion] != XwdVersion || h[PixmapFormat] != ZPixmap) {
        problem = "not a version 7 ZPixmap dump";
        return false;
    }
    if (h[VisualClass] != TrueColor && h[VisualClass] != DirectColor) {
        problem = "not a true-colour dump";
        return false;
    }
    const uint32_t bitsPerPixel = h[BitsPerPixel];
    if (bitsPerPixel % 8 != 0 || bitsPerPixel == 0 || bitsPerPixel > 32) {
        problem = "unsupported " + std::to_string(bitsPerPixel) + " bits per pixel";
        return false;
    }
    if (h[HeaderSize] < FieldCount * 4 || h[HeaderSize] > bytes.size()) {
        problem = "bad header size";
        return false;
    }
    const size_t bytesPerPixel = bitsPerPixel / 8;
    const size_t width = h[PixmapWidth], height = h[PixmapHeight], pitch = h[BytesPerLine];
    const size_t pixelStart =
        h[HeaderSize] + static_cast<size_t>(h[ColorCount]) * ColormapEntrySize;
    if (pitch < width * bytesPerPixel || pixelStart + pitch * height > bytes.size()) {
        problem = "dump shorter than its pixels";
        return false;
    }
    image.width = static_cast<int>(width);
    image.height = static_cast<int>(height);
    image.name = bytes.substr(FieldCount * 4, h[HeaderSize] - FieldCount * 4);
    image.name.resize(image.name.find('\0') == std::string::npos ? image.name.size()
                                                                 : image.name.find('\0'));
    image.pixels.assign(width * height, Rgb());
    const bool mostSignificantFirst = h[ByteOrder] != 0;
    for (size_t y = 0; y < height; ++y) {
        for (size_t x = 0; x < width; ++x) {
            const size_t at = pixelStart + y * pitch + x * bytesPerPixel;
            uint32_t value = 0;
            for (size_t i = 0; i < bytesPerPixel; ++i) {
                const uint32_t byte = static_cast<uint8_t>(bytes[at + i]);
                value = mostSignificantFirst ? (value << 8) | byte : value | (byte << (8 * i));
            }
            image.pixels[y * width + x] = {Channel(value, h[RedMask]), Channel(value, h[GreenMask]),
                                           Channel(value, h[BlueMask])};
        }
    }
    return true;
}

}  // namespace glintor::testing
