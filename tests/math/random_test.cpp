#include "math/random.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

namespace glintor {
namespace {

TEST(RandomGenerator, MatchesStandardTwisterForTheFixedSeed) {
    RandomGenerator generator;
    std::mt19937 reference(12345678u);
    // 20000 draws cross the 624-word regeneration many times.
    for (int i = 0; i < 20000; ++i) {
        ASSERT_EQ(generator.Next32(), reference()) << "draw " << i;
    }
}

TEST(RandomGenerator, FreshGeneratorsAgreeAndReseedingRestarts) {
    RandomGenerator first;
    RandomGenerator second;
    for (int i = 0; i < 2000; ++i) {
        ASSERT_EQ(first.Next32(), second.Next32()) << "draw " << i;
    }
    first.Seed(5489u);
    std::mt19937 reference(5489u);
    for (int i = 0; i < 1000; ++i) {
        ASSERT_EQ(first.Next32(), reference()) << "draw " << i;
    }
}

TEST(RandomGenerator, UniformFloatUsesTheLowTwentyFourBits) {
    // Seed 22771378 draws 0x5AFFFFFF first and seed 5528393 draws 0xF1000000: the high byte is
    // dropped, giving the largest and the smallest value.
    RandomGenerator generator;
    generator.Seed(22771378u);
    const float largest = generator.UniformFloat();
    EXPECT_EQ(largest, 16777215.0f / 16777216.0f);
    EXPECT_LT(largest, 1.0f);
    generator.Seed(5528393u);
    EXPECT_EQ(generator.UniformFloat(), 0.0f);

    generator.Seed(RandomGenerator::DefaultSeed);
    std::mt19937 reference(RandomGenerator::DefaultSeed);
    for (int i = 0; i < 10000; ++i) {
        const double expected = static_cast<double>(reference() & 0xFFFFFFu) / 16777216.0;
        const float value = generator.UniformFloat();
        ASSERT_EQ(static_cast<double>(value), expected);
        ASSERT_LT(value, 1.0f);
    }
}

TEST(RandomGenerator, PermutationIsPerlinsTableTwice) {
    const RandomGenerator generator;
    const auto& p = generator.permutation;
    const int head[] = {151, 160, 137, 91, 90, 15};
    const int tail[] = {215, 61, 156, 180};
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(p[i], head[i]);
    }
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(p[252 + i], tail[i]);
    }
    std::vector<int> sorted(p.begin(), p.begin() + 256);
    std::sort(sorted.begin(), sorted.end());
    for (int i = 0; i < 256; ++i) {
        ASSERT_EQ(sorted[i], i) << "not a permutation of 0..255";
        ASSERT_EQ(p[i + 256], p[i]);
    }
}

TEST(RandomGenerator, TrigTableHoldsWholeDegreesOfTheFloatAngle) {
    const RandomGenerator generator;
    for (int d = 0; d < 360; ++d) {
        const double angle = static_cast<double>(static_cast<float>(d) * 0.017453292f);
        ASSERT_EQ(generator.trig[d].cosine, static_cast<float>(std::cos(angle))) << d;
        ASSERT_EQ(generator.trig[d].sine, static_cast<float>(std::sin(angle))) << d;
    }
    EXPECT_EQ(generator.trig[0].cosine, 1.0f);
    EXPECT_EQ(generator.trig[0].sine, 0.0f);
    // The float angle of 90 degrees falls just short of pi/2, so the cosine is not 0.
    EXPECT_NEAR(generator.trig[90].cosine, -4.371139e-8f, 1e-13f);
    EXPECT_EQ(generator.trig[90].sine, 1.0f);
    EXPECT_EQ(generator.trig[180].cosine, -1.0f);
    EXPECT_NEAR(generator.trig[270].sine, -1.0f, 1e-7f);
}

}  // namespace
}  // namespace glintor
