#include "math/sobol.h"

#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <vector>

#include "tests/support/chi_square.h"

namespace glintor {
namespace {

// True when the points have exactly one in each elementary interval of area 1 / points.size():
// every split of the m binary digits between the two coordinates.
bool OnePerElementaryInterval(const std::vector<UnitPoint>& points) {
    const int m = static_cast<int>(std::log2(points.size()));
    for (int j = 0; j <= m; ++j) {
        std::set<std::pair<int, int>> cells;
        for (const UnitPoint& p : points) {
            cells.insert(
                {static_cast<int>(p.u * (1 << j)), static_cast<int>(p.v * (1 << (m - j)))});
        }
        if (cells.size() != points.size()) {
            return false;
        }
    }
    return true;
}

TEST(Sobol, EveryPowerOfTwoPrefixIsStratified) {
    // The unscrambled sequence: van der Corput and Sobol's second coordinate.
    const uint32_t first[] = {0x00000000u, 0x80000000u, 0x40000000u, 0xC0000000u, 0x20000000u};
    const uint32_t second[] = {0x00000000u, 0x80000000u, 0xC0000000u, 0x40000000u, 0xA0000000u};
    for (uint32_t i = 0; i < 5; ++i) {
        EXPECT_EQ(SobolFirst(i), first[i]) << i;
        EXPECT_EQ(SobolSecond(i), second[i]) << i;
    }
    for (uint32_t seed : {0u, 1u, 0xdeadbeefu, HashMix(7u)}) {
        std::vector<UnitPoint> points;
        for (uint32_t i = 0; i < 4096; ++i) {
            points.push_back(ScrambledSobolPoint(i, seed));
            if ((points.size() & (points.size() - 1)) == 0) {
                EXPECT_TRUE(OnePerElementaryInterval(points)) << seed << " " << points.size();
            }
        }
        // Shuffling and scrambling keep the points on the generator's grid of 2^-24.
        for (const UnitPoint& p : points) {
            ASSERT_TRUE(p.u >= 0.0f && p.u < 1.0f && p.v >= 0.0f && p.v < 1.0f);
            ASSERT_EQ(std::ldexp(p.u, 24), std::floor(std::ldexp(p.u, 24)));
        }
    }
    // A scramble is a bijection of the 32-bit fractions that keeps the leading digits' cells.
    std::set<uint32_t> scrambled;
    for (uint32_t x = 0; x < 1024; ++x) {
        const uint32_t y = OwenScramble(x << 22, 12345u);
        scrambled.insert(y >> 22);
        EXPECT_EQ(OwenScramble((x << 22) | 0x1234u, 12345u) >> 22, y >> 22);
    }
    EXPECT_EQ(scrambled.size(), 1024u);
}

// Over consecutive seeds, a point of a fixed index is uniform on the square, and the points of
// neighbouring seeds are independent: the property that keeps the picture's expectation.
TEST(Sobol, ScrambledPointsAreUniformAndIndependentAcrossSeeds) {
    constexpr int Bins = 16, Draws = 64000;
    for (uint32_t index : {0u, 1u, 37u, 1000u}) {
        std::vector<double> joint(Bins * Bins, 0.0), pairs(Bins * Bins, 0.0);
        for (uint32_t seed = 0; seed < Draws; ++seed) {
            const UnitPoint p = ScrambledSobolPoint(index, seed);
            const UnitPoint q = ScrambledSobolPoint(index, seed + 1);
            joint[static_cast<int>(p.u * Bins) * Bins + static_cast<int>(p.v * Bins)] += 1.0;
            pairs[static_cast<int>(p.u * Bins) * Bins + static_cast<int>(q.v * Bins)] += 1.0;
        }
        const std::vector<double> expected(Bins * Bins, static_cast<double>(Draws) / (Bins * Bins));
        testing::ChiSquareOptions options;
        options.testCount = 8;
        const auto a = testing::CountsChiSquare(joint, expected, options);
        const auto b = testing::CountsChiSquare(pairs, expected, options);
        EXPECT_TRUE(a.passed) << index << ": " << a.message;
        EXPECT_TRUE(b.passed) << index << ": " << b.message;
    }
}

}  // namespace
}  // namespace glintor
