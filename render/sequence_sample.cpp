#include "render/sequence_sample.h"

#include <cstddef>

namespace glintor {

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
