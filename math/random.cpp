#include "math/random.h"

namespace glintor {

namespace {

// Ken Perlin's permutation from the reference implementation of improved noise (2002).
constexpr std::array<int32_t, 256> ReferencePermutation = {
    151, 160, 137, 91,  90,  15,  131, 13,  201, 95,  96,  53,  194, 233, 7,   225, 140, 36,  103,
    30,  69,  142, 8,   99,  37,  240, 21,  10,  23,  190, 6,   148, 247, 120, 234, 75,  0,   26,
    197, 62,  94,  252, 219, 203, 117, 35,  11,  32,  57,  177, 33,  88,  237, 149, 56,  87,  174,
    20,  125, 136, 171, 168, 68,  175, 74,  165, 71,  134, 139, 48,  27,  166, 77,  146, 158, 231,
    83,  111, 229, 122, 60,  211, 133, 230, 220, 105, 92,  41,  55,  46,  245, 40,  244, 102, 143,
    54,  65,  25,  63,  161, 1,   216, 80,  73,  209, 76,  132, 187, 208, 89,  18,  169, 200, 196,
    135, 130, 116, 188, 159, 86,  164, 100, 109, 198, 173, 186, 3,   64,  52,  217, 226, 250, 124,
    123, 5,   202, 38,  147, 118, 126, 255, 82,  85,  212, 207, 206, 59,  227, 47,  16,  58,  17,
    182, 189, 28,  42,  223, 183, 170, 213, 119, 248, 152, 2,   44,  154, 163, 70,  221, 153, 101,
    155, 167, 43,  172, 9,   129, 22,  39,  253, 19,  98,  108, 110, 79,  113, 224, 232, 178, 185,
    112, 104, 218, 246, 97,  228, 251, 34,  242, 193, 238, 210, 144, 12,  191, 179, 162, 241, 81,
    51,  145, 235, 249, 14,  239, 107, 49,  192, 214, 31,  181, 199, 106, 157, 184, 84,  204, 176,
    115, 121, 50,  45,  127, 4,   150, 254, 138, 236, 205, 93,  222, 114, 67,  29,  24,  72,  243,
    141, 128, 195, 78,  66,  215, 61,  156, 180};

constexpr int ShiftM = 397;
constexpr uint32_t MatrixA = 0x9908B0DFu;
constexpr uint32_t UpperMask = 0x80000000u;
constexpr uint32_t LowerMask = 0x7FFFFFFFu;

uint32_t Twist(uint32_t current, uint32_t next, uint32_t shifted) {
    const uint32_t y = (current & UpperMask) | (next & LowerMask);
    return shifted ^ (y >> 1) ^ ((y & 1u) != 0 ? MatrixA : 0u);
}

}  // namespace

RandomGenerator::RandomGenerator() {
    for (int i = 0; i < 256; ++i) {
        permutation[i] = ReferencePermutation[i];
        permutation[i + 256] = ReferencePermutation[i];
    }
    // The angle is formed in float, as everywhere in the renderer, and only then widened, so the
    // table holds the float angle's exact cosine and sine.
    for (int d = 0; d < 360; ++d) {
        const float angle = static_cast<float>(d) * 0.017453292f;
        trig[d] = CosSinOf(angle);
    }
    Seed(DefaultSeed);
}

void RandomGenerator::Seed(uint32_t seed) {
    state[0] = seed;
    for (int i = 1; i < StateSize; ++i) {
        const uint32_t previous = state[i - 1];
        state[i] = 1812433253u * (previous ^ (previous >> 30)) + static_cast<uint32_t>(i);
    }
    index = StateSize;
}

void RandomGenerator::Regenerate() {
    int k = 0;
    for (; k < StateSize - ShiftM; ++k) {
        state[k] = Twist(state[k], state[k + 1], state[k + ShiftM]);
    }
    for (; k < StateSize - 1; ++k) {
        state[k] = Twist(state[k], state[k + 1], state[k + ShiftM - StateSize]);
    }
    state[StateSize - 1] = Twist(state[StateSize - 1], state[0], state[ShiftM - 1]);
    index = 0;
}

uint32_t RandomGenerator::Next32() {
    if (index >= StateSize) {
        Regenerate();
    }
    uint32_t y = state[index++];
    y ^= y >> 11;
    y ^= (y << 7) & 0x9D2C5680u;
    y ^= (y << 15) & 0xEFC60000u;
    y ^= y >> 18;
    return y;
}

}  // namespace glintor
