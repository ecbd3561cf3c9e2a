// The per-thread random number generator and the per-path record of uniform numbers.
//
// Every render thread owns one RandomGenerator and hands it to everything that needs randomness
// (camera lens, pixel filter, BxDFs, lights, procedural textures). Besides the Mersenne Twister it
// carries two read-only tables: the gradient-noise permutation and whole-degree cosines and
// sines. Every generator starts from the same seed, so all threads draw the same sequence; their
// images differ only because they render different pixel blocks.
#pragma once

#include <array>
#include <cstdint>

#include "math/float_trig.h"

namespace glintor {

class RandomGenerator {
public:
    static constexpr int StateSize = 624;
    static constexpr uint32_t DefaultSeed = 12345678u;

    // Fills the two tables, then seeds the twister with DefaultSeed.
    RandomGenerator();

    // Standard MT19937 initialisation (init_genrand); the next draw regenerates the state.
    void Seed(uint32_t seed);

    // MT19937 genrand_int32.
    uint32_t Next32();

    // Low 24 bits of Next32 times 2^-24: uniform in [0, 1), largest value (2^24 - 1) / 2^24.
    float UniformFloat() { return static_cast<float>(Next32() & 0xFFFFFFu) * 0x1p-24f; }

    // Perlin's reference permutation of 0..255, stored twice so that p[p[i] + j] needs no wrap.
    // Read-only after construction.
    std::array<int32_t, 512> permutation;
    // Entry d holds cos and sin of d degrees. Read-only after construction.
    std::array<CosSin, 360> trig;

private:
    void Regenerate();

    std::array<uint32_t, StateSize> state;
    // Position of the next word in state; StateSize means the words must be regenerated first.
    int32_t index = StateSize;
};

// Uniform numbers of one path, filled by the path integrator: depth counts scattering events so
// far (0 for a camera ray); scatterU/V feed BxDF sampling and are redrawn at every path vertex;
// lightU/V feed a light's Sample and are redrawn before every light sample.
struct PathSample {
    int32_t depth = 0;
    float scatterU = 0.0f;
    float scatterV = 0.0f;
    float lightU = 0.0f;
    float lightV = 0.0f;
};

}  // namespace glintor
