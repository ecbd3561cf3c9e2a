// A rectangle of pixels the render threads take one at a time, and the walk over its rows in a
// buffer laid out like the film's.
#pragma once

#include <cstddef>
#include <cstdint>

namespace glintor {

struct PixelBlock {
    uint32_t x = 0;  // corner with the smallest coordinates
    uint32_t y = 0;
    uint32_t width = 0;
    uint32_t height = 0;

    bool operator==(const PixelBlock&) const = default;
};

// Calls visit(start, count) for each row of the block in a buffer of `channels` floats per pixel
// and rows of rowWidth pixels: where the row's first value is, and how many values the row has.
template <typename Visit>
void ForEachBlockRow(const PixelBlock& block, int rowWidth, int channels, Visit visit) {
    const std::size_t count = static_cast<std::size_t>(block.width) * channels;
    for (uint32_t y = block.y; y < block.y + block.height; ++y) {
        visit((static_cast<std::size_t>(y) * rowWidth + block.x) * channels, count);
    }
}

}  // namespace glintor
