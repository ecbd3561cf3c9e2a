// Owen-scrambled points of the two-dimensional Sobol sequence, a (0,2)-sequence in base 2: every
// aligned block of 2^m consecutive points has exactly one point in each elementary interval of
// area 2^-m (each rectangle [a 2^-j, (a+1) 2^-j) x [b 2^-k, (b+1) 2^-k) with j + k = m).
//
// Scrambling and shuffling are done by hashing, so no table beyond the second coordinate's
// generator matrix is needed. A scramble flips every bit of a coordinate by a hash of the seed and
// of the bits above it (a nested uniform scramble): for a seed drawn at random, each scrambled
// point is uniform on the unit square, whatever the index, while the sequence's stratification
// survives.
//
// A renderer asks for millions of points a second, so the per-point work lives here, inline.
#pragma once

#include <cstdint>

namespace glintor {

namespace sobol_bits {

inline uint32_t Reverse32(uint32_t x) {
    x = __builtin_bswap32(x);
    x = ((x >> 1) & 0x55555555u) | ((x & 0x55555555u) << 1);
    x = ((x >> 2) & 0x33333333u) | ((x & 0x33333333u) << 2);
    return ((x >> 4) & 0x0F0F0F0Fu) | ((x & 0x0F0F0F0Fu) << 4);
}

// Reverses two words at the cost of one: the high word comes out as the low word reversed.
inline uint64_t Reverse64(uint64_t x) {
    x = __builtin_bswap64(x);
    x = ((x >> 1) & 0x5555555555555555ull) | ((x & 0x5555555555555555ull) << 1);
    x = ((x >> 2) & 0x3333333333333333ull) | ((x & 0x3333333333333333ull) << 2);
    return ((x >> 4) & 0x0F0F0F0F0F0F0F0Full) | ((x & 0x0F0F0F0F0F0F0F0Full) << 4);
}

// A bijection in which bit k of the result is bit k of x flipped by a function of the seed and
// the bits below k. Adding the seed first makes the result uniform over all words when the seed
// is, for any x.
inline uint32_t LowerBitsPermutation(uint32_t x, uint32_t seed) {
    x ^= x * 0x3d20adeau;
    x += seed;
    x *= (seed >> 16) | 1u;
    x ^= x * 0x05526c56u;
    x ^= x * 0x53a22864u;
    return x;
}

// Sobol's second generator matrix (primitive polynomial x + 1, initial direction number 1) is
// Pascal's triangle mod 2: by Lucas' theorem digit t of the result, counted from the top, is the
// xor of the index bits k whose positions contain t's bits (t & k == t). The five steps sum over
// those supersets one bit of the position at a time; the result has digit t at bit t.
inline uint32_t PascalProduct(uint32_t x) {
    x ^= (x >> 1) & 0x55555555u;
    x ^= (x >> 2) & 0x33333333u;
    x ^= (x >> 4) & 0x0F0F0F0Fu;
    x ^= (x >> 8) & 0x00FF00FFu;
    x ^= (x >> 16) & 0x0000FFFFu;
    return x;
}

inline float ToUnit(uint32_t fraction) {
    return static_cast<float>(fraction >> 8) * 0x1p-24f;
}

}  // namespace sobol_bits

// The index-th point of the unscrambled sequence as 32-bit binary fractions: the first
// coordinate is the van der Corput radical inverse, the second uses Sobol's second generator
// matrix.
inline uint32_t SobolFirst(uint32_t index) {
    return sobol_bits::Reverse32(index);
}
inline uint32_t SobolSecond(uint32_t index) {
    return sobol_bits::Reverse32(sobol_bits::PascalProduct(index));
}

// Nested uniform scramble of a 32-bit binary fraction (most significant bit first).
uint32_t OwenScramble(uint32_t value, uint32_t seed);

// A 32-bit integer hash with good avalanche, and the hash of a seed combined with one value.
inline uint32_t HashMix(uint32_t x) {
    x ^= x >> 16;
    x *= 0x7feb352du;
    x ^= x >> 15;
    x *= 0x846ca68bu;
    x ^= x >> 16;
    return x;
}
inline uint32_t HashCombine(uint32_t seed, uint32_t value) {
    return HashMix(seed ^ (HashMix(value) + 0x9e3779b9u + (seed << 6) + (seed >> 2)));
}

struct UnitPoint {
    float u = 0.0f;
    float v = 0.0f;
};

// What a seed picks: the scramble of the index shuffle and one of each coordinate. They depend on
// the seed alone, so a caller that draws many points of one copy works them out once.
struct SobolScrambles {
    uint32_t shuffle = 0;
    uint32_t first = 0;
    uint32_t second = 0;
};

inline SobolScrambles ScramblesOf(uint32_t seed) {
    // The coordinates' seeds: the two halves of a 64-bit mix of the seed (splitmix64's).
    uint64_t h = (static_cast<uint64_t>(seed) + 0x9e3779b97f4a7c15ull) * 0xbf58476d1ce4e5b9ull;
    h = (h ^ (h >> 27)) * 0x94d049bb133111ebull;
    h ^= h >> 31;
    return {seed, static_cast<uint32_t>(h), static_cast<uint32_t>(h >> 32)};
}

// Point `index` of the copy of the sequence that `seed` picks: the index is shuffled by a nested
// scramble of its bits, which keeps every power-of-two prefix an aligned block of the sequence,
// and both coordinates get scrambles of their own. Coordinates are k / 2^24 for whole k, the same
// values a RandomGenerator's uniform float takes.
UnitPoint ScrambledSobolPoint(uint32_t index, uint32_t seed);

// The same point from SobolFirst(index) and ScramblesOf(seed), which callers may share between
// points: the first between the copies of one index, the second between the indices of one copy.
inline UnitPoint ScrambledPoint(uint32_t reversedIndex, const SobolScrambles& scrambles) {
    using namespace sobol_bits;
    // OwenScramble(x, s) is Reverse32(LowerBitsPermutation(Reverse32(x), s)), and so is each
    // coordinate's: the coordinates are scrambled before their bits are put in fraction order.
    const uint32_t shuffled = Reverse32(LowerBitsPermutation(reversedIndex, scrambles.shuffle));
    const uint64_t both =
        static_cast<uint64_t>(LowerBitsPermutation(PascalProduct(shuffled), scrambles.second))
            << 32 |
        LowerBitsPermutation(shuffled, scrambles.first);
    const uint64_t reversed = Reverse64(both);
    return {ToUnit(static_cast<uint32_t>(reversed >> 32)), ToUnit(static_cast<uint32_t>(reversed))};
}

// ScrambledPoint(...).u alone.
inline float ScrambledFirst(uint32_t reversedIndex, const SobolScrambles& scrambles) {
    using namespace sobol_bits;
    const uint32_t shuffled = Reverse32(LowerBitsPermutation(reversedIndex, scrambles.shuffle));
    return ToUnit(Reverse32(LowerBitsPermutation(shuffled, scrambles.first)));
}

}  // namespace glintor
