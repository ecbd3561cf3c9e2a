// The numbers of one camera sample in the low-noise sampling mode. Every pixel has its own
// scrambled copy of the two-dimensional Sobol sequence for each pair of numbers a path uses (the
// lens, and at every path vertex the scattering pair, Russian roulette and one pair per light
// sample), so the samples of a pixel are spread evenly over every pair while the pairs stay
// independent of each other.
//
// Why the expected picture is the design's: each pair is a nested-uniform-scrambled point, which
// is uniform on the unit square whatever its index, on the same 2^-24 grid the generator's uniform
// floats take; pairs get independent scrambles and shuffles, so the numbers of one path are
// independent and uniform just as the generator's are. Whatever a path does with them, its value
// has the design's expectation; only the spread between the samples of a pixel changes.
#pragma once

#include <cstdint>
#include <vector>

#include "math/sobol.h"

namespace glintor {

// The scrambles of one pixel's sequences, one per pair of numbers. Each depends on the pixel and
// the pair alone, so it is worked out when a sample of the pixel first asks for it and kept for
// the pixel's other samples.
class PixelSequences {
public:
    explicit PixelSequences(uint32_t pixelSeed = 0) { Start(pixelSeed); }

    // Moves on to the pixel whose seed is given.
    void Start(uint32_t pixelSeed) {
        pixelSeed_ = pixelSeed;
        ++pixel_;
    }

    const SobolScrambles& Of(uint32_t dimension) const {
        if (dimension < pairs_.size() && pairs_[dimension].pixel == pixel_) {
            return pairs_[dimension].scrambles;
        }
        return WorkOut(dimension);
    }

private:
    struct Pair {
        uint64_t pixel = 0;  // the count of Start calls when the scrambles were worked out
        SobolScrambles scrambles;
    };
    const SobolScrambles& WorkOut(uint32_t dimension) const;

    uint32_t pixelSeed_ = 0;
    uint64_t pixel_ = 0;  // 64 bits: never comes round again
    mutable std::vector<Pair> pairs_;
};

class SequenceSample {
public:
    // The sequences of pixel (x, y) in the set that `sequenceSeed` picks.
    static uint32_t PixelSeed(uint32_t sequenceSeed, uint32_t x, uint32_t y) {
        return HashCombine(HashCombine(sequenceSeed, x), y);
    }

    // Sample `index` of the pixel's sequences; lightSlots is the number of light samples at a
    // vertex (lights times shadow rays).
    SequenceSample(const PixelSequences& pixel, uint32_t index, int lightSlots)
        : pixel_(pixel),
          reversedIndex_(SobolFirst(index)),
          lightSlots_(lightSlots > 0 ? static_cast<uint32_t>(lightSlots) : 0u) {}

    UnitPoint Lens() const { return Point(0); }
    UnitPoint Scatter(int depth) const { return Point(VertexBase(depth)); }
    float Roulette(int depth) const {
        return ScrambledFirst(reversedIndex_, pixel_.Of(VertexBase(depth) + 1));
    }
    UnitPoint Light(int depth, int slot) const {
        return Point(VertexBase(depth) + 2 + static_cast<uint32_t>(slot));
    }

private:
    uint32_t VertexBase(int depth) const {
        return 1u + static_cast<uint32_t>(depth) * (2u + lightSlots_);
    }
    UnitPoint Point(uint32_t dimension) const {
        return ScrambledPoint(reversedIndex_, pixel_.Of(dimension));
    }

    const PixelSequences& pixel_;
    uint32_t reversedIndex_;
    uint32_t lightSlots_;
};

}  // namespace glintor
