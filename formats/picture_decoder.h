// FreeImage decoding of one picture into linear float RGB rows. FreeImage trusts the sizes a
// file claims and has crashed on hostile files, so only the decoding child process runs this
// (formats/decoder_process.h); FloatImage never calls it directly.
#pragma once

#include <FreeImage.h>

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "math/vector.h"

namespace glintor {

// The largest picture the renderer takes, checked on the header's sizes before any pixel is
// decoded where the format allows: 65,536 pixels a side and 2^25 pixels in all (8,192 x 4,096),
// whose texels take 384 MiB. Together with the decoding process's allowance this keeps a hostile
// file below 1 GiB in either process.
inline constexpr uint64_t kMaxPictureSide = 65536;
inline constexpr uint64_t kMaxPicturePixels = uint64_t{1} << 25;

bool PictureSizeAllowed(uint64_t width, uint64_t height);

// Picture files are read whole before decoding. The largest uncompressed picture within the
// limits (float RGBA) takes 512 MiB, and its file and its pixels would not fit the decoding
// process's memory together anyway.
inline constexpr uint64_t kMaxPictureFileBytes = uint64_t{1} << 29;

struct BitmapDeleter {
    void operator()(FIBITMAP* bitmap) const { FreeImage_Unload(bitmap); }
};
using BitmapPtr = std::unique_ptr<FIBITMAP, BitmapDeleter>;

// The pixel layouts decoded directly; every other picture is first converted to one of them.
enum class PixelLayout { FloatRgba, FloatRgb, FloatGrey, Byte32, Byte24 };

class PictureDecoder {
public:
    // cutShort, when given, is called as soon as a decoder reads past the end of the file, so
    // that a throwaway process can end there instead of finishing a decode that is refused.
    explicit PictureDecoder(void (*cutShort)() = nullptr) : cutShort_(cutShort) {}

    // Reads the file into memory, finds the format by content, then by name; refuses a size beyond
    // the limits from the header alone where FreeImage can read just the header, and again after
    // decoding; refuses a file that ends before its decoder is done; then brings the pixels to a
    // direct layout. Channel values are raised to gamma.
    bool Open(const std::string& path, float gamma);

    uint32_t Width() const { return width_; }
    uint32_t Height() const { return height_; }

    // Texel row `row` (0 is the top row of the picture) into out[0, Width).
    void DecodeRow(uint32_t row, Vector3* out) const;

private:
    void (*cutShort_)() = nullptr;
    BitmapPtr bitmap_;
    PixelLayout layout_ = PixelLayout::Byte24;
    float gamma_ = 1.0f;
    uint32_t width_ = 0;
    uint32_t height_ = 0;
    std::array<float, 256> byteValues_{};
};

}  // namespace glintor
