// Owen-scrambled points of the two-dimensional Sobol sequence, a (0,2)-sequence in base 2: every
// aligned block of 2^m consecutive points has exactly one point in each elementary interval of
// area 2^-m (each rectangle [a 2^-j, (a+1) 2^-j) x [b 2^-k, (b+1) 2^-k) with j + k = m).
//
// Scrambling and shuffling are done by hashing, so no table beyond the second coordinate's
// generator matrix is needed. A scramble flips every bit of a coordinate by a hash of the seed and
// of the bits above it (a nested uniform scramble): for a seed drawn at random, each scrambled
// point is uniform on the unit square, whatever the index, while the sequence's stratification
// survives.
#pragma once

#include <cstdint>

namespace glintor {

// The index-th point of the unscrambled sequence as 32-bit binary fractions: the first
// coordinate is the van der Corput radical inverse, the second uses Sobol's second generator
// matrix.
uint32_t SobolFirst(uint32_t index);
uint32_t SobolSecond(uint32_t index);

// Nested uniform scramble of a 32-bit binary fraction (most significant bit first).
uint32_t OwenScramble(uint32_t value, uint32_t seed);

// A 32-bit integer hash with good avalanche, and the hash of a seed combined with one value.
uint32_t HashMix(uint32_t value);
uint32_t HashCombine(uint32_t seed, uint32_t value);

struct UnitPoint {
    float u = 0.0f;
    float v = 0.0f;
};

// Point `index` of the copy of the sequence that `seed` picks: the index is shuffled by a nested
// scramble of its bits, which keeps every power-of-two prefix an aligned block of the sequence,
// and both coordinates get scrambles of their own. Coordinates are k / 2^24 for whole k, the same
// values a RandomGenerator's uniform float takes.
UnitPoint ScrambledSobolPoint(uint32_t index, uint32_t seed);

}  // namespace glintor
