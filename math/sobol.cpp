#include "math/sobol.h"

namespace glintor {

namespace {

uint32_t ReverseBits(uint32_t x) {
    x = __builtin_bswap32(x);
    x = ((x >> 1) & 0x55555555u) | ((x & 0x55555555u) << 1);
    x = ((x >> 2) & 0x33333333u) | ((x & 0x33333333u) << 2);
    return ((x >> 4) & 0x0F0F0F0Fu) | ((x & 0x0F0F0F0Fu) << 4);
}

// A bijection in which bit k of the result is bit k of x flipped by a function of the seed and
// the bits below k. Adding the seed first makes the result uniform over all words when the seed
// is, for any x.
uint32_t LowerBitsPermutation(uint32_t x, uint32_t seed) {
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
uint32_t PascalProduct(uint32_t x) {
    x ^= (x >> 1) & 0x55555555u;
    x ^= (x >> 2) & 0x33333333u;
    x ^= (x >> 4) & 0x0F0F0F0Fu;
    x ^= (x >> 8) & 0x00FF00FFu;
    x ^= (x >> 16) & 0x0000FFFFu;
    return x;
}

float ToUnit(uint32_t fraction) {
    return static_cast<float>(fraction >> 8) * 0x1p-24f;
}

}  // namespace

uint32_t SobolFirst(uint32_t index) {
    return ReverseBits(index);
}

uint32_t SobolSecond(uint32_t index) {
    return ReverseBits(PascalProduct(index));
}

uint32_t OwenScramble(uint32_t value, uint32_t seed) {
    // Reversed, the bits above a digit become the bits below it.
    return ReverseBits(LowerBitsPermutation(ReverseBits(value), seed));
}

uint32_t HashMix(uint32_t x) {
    x ^= x >> 16;
    x *= 0x7feb352du;
    x ^= x >> 15;
    x *= 0x846ca68bu;
    x ^= x >> 16;
    return x;
}

uint32_t HashCombine(uint32_t seed, uint32_t value) {
    return HashMix(seed ^ (HashMix(value) + 0x9e3779b9u + (seed << 6) + (seed >> 2)));
}

UnitPoint ScrambledSobolPoint(uint32_t index, uint32_t seed) {
    const uint32_t shuffled = OwenScramble(index, seed);
    // The coordinates' seeds: the two halves of a 64-bit mix of the seed (splitmix64's).
    uint64_t h = (static_cast<uint64_t>(seed) + 0x9e3779b97f4a7c15ull) * 0xbf58476d1ce4e5b9ull;
    h = (h ^ (h >> 27)) * 0x94d049bb133111ebull;
    h ^= h >> 31;
    // OwenScramble(ReverseBits(y), s) is ReverseBits(LowerBitsPermutation(y, s)): the coordinates
    // are scrambled before their bits are put in fraction order.
    const uint32_t first = LowerBitsPermutation(shuffled, static_cast<uint32_t>(h));
    const uint32_t second =
        LowerBitsPermutation(PascalProduct(shuffled), static_cast<uint32_t>(h >> 32));
    return {ToUnit(ReverseBits(first)), ToUnit(ReverseBits(second))};
}

}  // namespace glintor
