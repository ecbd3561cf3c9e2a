#include "render/sequence_sample.h"

#include <cstddef>

namespace glintor {

void PixelSequences::Start(uint32_t pixelSeed) {
    pixelSeed_ = pixelSeed;
    // After 2^32 pixels the count comes round again: forget every pair rather than take an old
    // pixel's scrambles for this one's.
    if (++pixel_ == 0) {
        pairs_.assign(pairs_.size(), Pair{});
        pixel_ = 1;
    }
}

const SobolScrambles& PixelSequences::WorkOut(uint32_t dimension) const {
    if (dimension >= pairs_.size()) {
        pairs_.resize(static_cast<std::size_t>(dimension) + 1);
    }
    Pair& pair = pairs_[dimension];
    // pixelSeed_ is a hash already: one more mixing step sets each pair's seed apart.
    pair.scrambles = ScramblesOf(HashMix(pixelSeed_ + dimension * 0x9e3779b9u));
    pair.pixel = pixel_;
    return pair.scrambles;
}

}  // namespace glintor
