// The QBVH's two lane types must agree bit for bit on every operation, the awkward values
// included; the SSE rules for NaN and signed zero are what the slab test relies on.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "math/simd4.h"

namespace glintor {
namespace {

// Which NaN an arithmetic operation passes on (sign and payload) is left to the compiler's operand
// order; every NaN acts alike in the comparisons, so all NaNs count as one value here.
uint32_t Bits(float f) {
    if (std::isnan(f)) {
        return 0x7fc00000u;
    }
    uint32_t b;
    std::memcpy(&b, &f, sizeof b);
    return b;
}

template <class Lanes>
std::vector<uint32_t> Apply(int op, const float (&a)[4], const float (&b)[4]) {
    const Lanes x = Lanes::Load(a);
    const Lanes y = Lanes::Load(b);
    Lanes r = x;
    switch (op) {
        case 0:
            r = x + y;
            break;
        case 1:
            r = x - y;
            break;
        case 2:
            r = x * y;
            break;
        case 3:
            r = x / y;
            break;
        case 4:
            r = Min(x, y);
            break;
        case 5:
            r = Max(x, y);
            break;
        case 6:
            return {static_cast<uint32_t>(MoveMask(x < y))};
        case 7:
            return {static_cast<uint32_t>(MoveMask(x <= y))};
        case 8:
            return {static_cast<uint32_t>(MoveMask(x >= y))};
        case 9:
            return {static_cast<uint32_t>(MoveMask(x != y))};
        case 10:
            return {static_cast<uint32_t>(MoveMask((x <= y) & (x != y)))};
        case 11:
            r = Sqrt(x);
            break;
        default:
            r = Lanes::Broadcast(a[1]);
            break;
    }
    alignas(16) float out[4];
    r.Store(out);
    return {Bits(out[0]), Bits(out[1]), Bits(out[2]), Bits(out[3])};
}

TEST(Lanes, ScalarRulesForNaNAndSignedZero) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    alignas(16) const float a[4] = {nan, 1.0f, -0.0f, 0.0f};
    alignas(16) const float b[4] = {1.0f, nan, 0.0f, -0.0f};
    // Min and Max answer their second operand when either lane is NaN or both are zeros.
    const auto min = Apply<ScalarFloat4>(4, a, b);
    EXPECT_EQ(min, (std::vector<uint32_t>{Bits(1.0f), Bits(nan), Bits(0.0f), Bits(-0.0f)}));
    const auto max = Apply<ScalarFloat4>(5, a, b);
    EXPECT_EQ(max, (std::vector<uint32_t>{Bits(1.0f), Bits(nan), Bits(0.0f), Bits(-0.0f)}));
    EXPECT_EQ(Apply<ScalarFloat4>(7, a, b)[0], 0b1100u);  // <= : NaN lanes false, zeros equal
    EXPECT_EQ(Apply<ScalarFloat4>(9, a, b)[0], 0b0011u);  // != : NaN lanes true
}

#ifdef GLINTOR_HAS_SSE_LANES
TEST(Lanes, SseAndScalarAgreeBitForBit) {
    const float specials[] = {0.0f,
                              -0.0f,
                              1.0f,
                              -1.0f,
                              0.5f,
                              3.0f,
                              1e-40f,
                              -1e-45f,
                              1e38f,
                              -3.4e38f,
                              std::numeric_limits<float>::infinity(),
                              -std::numeric_limits<float>::infinity(),
                              std::numeric_limits<float>::quiet_NaN(),
                              -std::numeric_limits<float>::quiet_NaN(),
                              1e20f,
                              -1e20f};
    std::mt19937 rng(9);
    std::uniform_int_distribution<int> pickSpecial(0, std::size(specials) - 1);
    std::uniform_real_distribution<float> ordinary(-100.0f, 100.0f);
    for (int i = 0; i < 50000; ++i) {
        alignas(16) float a[4], b[4];
        for (int lane = 0; lane < 4; ++lane) {
            a[lane] = i % 3 ? specials[pickSpecial(rng)] : ordinary(rng);
            b[lane] = i % 5 ? specials[pickSpecial(rng)] : ordinary(rng);
        }
        for (int op = 0; op <= 12; ++op) {
            ASSERT_EQ(Apply<SseFloat4>(op, a, b), Apply<ScalarFloat4>(op, a, b))
                << "op " << op << " a " << a[0] << " " << a[1] << " " << a[2] << " " << a[3]
                << " b " << b[0] << " " << b[1] << " " << b[2] << " " << b[3];
        }
    }
}
#endif

}  // namespace
}  // namespace glintor
