#include "lights/distribution.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "math/random.h"
#include "tests/support/chi_square.h"

namespace glintor {
namespace {

using testing::CountsChiSquare;

TEST(PiecewiseConstant1D, BuildsTheNormalisedRunningIntegral) {
    const float values[] = {1.0f, 3.0f};
    const PiecewiseConstant1D d(values, 2);
    EXPECT_EQ(d.Count, 2u);
    EXPECT_EQ(d.Func, (std::vector<float>{1.0f, 3.0f}));
    EXPECT_EQ(d.Cdf, (std::vector<float>{0.0f, 0.25f, 1.0f}));
    EXPECT_EQ(d.Integral, 2.0f);
    EXPECT_EQ(d.InvIntegral, 0.5f);
    EXPECT_EQ(d.InvCount, 0.5f);

    ContinuousSample s = d.SampleContinuous(0.125f);
    EXPECT_EQ(s.offset, 0u);
    EXPECT_EQ(s.x, 0.25f);
    EXPECT_EQ(s.pdf, 0.5f);
    s = d.SampleContinuous(0.625f);
    EXPECT_EQ(s.offset, 1u);
    EXPECT_EQ(s.x, 0.75f);
    EXPECT_EQ(s.pdf, 1.5f);
    // u on a Cdf entry belongs to the piece below it (lower bound).
    s = d.SampleContinuous(0.25f);
    EXPECT_EQ(s.offset, 0u);
    EXPECT_EQ(s.x, 0.5f);
}

TEST(PiecewiseConstant1D, NeverPicksAPieceOfZeroProbability) {
    // u = 0 on a leading zero piece would divide 0 by its zero width.
    const float values[] = {0.0f, 0.0f, 2.0f, 0.0f, 2.0f};
    const PiecewiseConstant1D d(values, 5);
    ContinuousSample s = d.SampleContinuous(0.0f);
    EXPECT_EQ(s.offset, 2u);
    EXPECT_EQ(s.x, 0.4f);
    EXPECT_EQ(s.pdf, 2.5f);
    s = d.SampleContinuous(0.5f);  // exactly the Cdf after piece 2
    EXPECT_EQ(s.offset, 2u);
    EXPECT_FLOAT_EQ(s.x, 0.6f);
    s = d.SampleContinuous(std::nextafter(1.0f, 0.0f));
    EXPECT_EQ(s.offset, 4u);
    EXPECT_FLOAT_EQ(s.x, 1.0f);
    // Out-of-range numbers still name a piece.
    EXPECT_EQ(d.SampleContinuous(-0.5f).offset, 2u);
    EXPECT_EQ(d.SampleContinuous(1.5f).offset, 4u);
}

TEST(PiecewiseConstant1D, DegenerateFunctionsAreSampledUniformly) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    const float black[] = {0.0f, 0.0f, 0.0f, 0.0f};
    const float unusable[] = {-1.0f, nan, 0.0f, -inf};
    const float tiny[] = {1e-45f, 0.0f};
    for (const auto& [values, count] : {std::pair{black, 4u}, {unusable, 4u}, {tiny, 2u}}) {
        const PiecewiseConstant1D d(values, count);
        EXPECT_EQ(d.Integral, 0.0f);
        for (float u : {0.0f, 0.3f, 0.55f, 0.99f}) {
            const ContinuousSample s = d.SampleContinuous(u);
            EXPECT_FLOAT_EQ(s.x, u);
            EXPECT_EQ(s.pdf, 1.0f);
            EXPECT_LT(s.offset, count);
        }
    }
    // Unusable entries beside usable ones carry no weight.
    const float mixed[] = {nan, 1.0f, -5.0f, inf};
    const PiecewiseConstant1D d(mixed, 4);
    EXPECT_EQ(d.Func, (std::vector<float>{0.0f, 1.0f, 0.0f, 0.0f}));
    EXPECT_EQ(d.SampleContinuous(0.7f).offset, 1u);

    const PiecewiseConstant1D empty(nullptr, 0);
    EXPECT_EQ(empty.Count, 1u);
    EXPECT_EQ(empty.SampleContinuous(0.25f).x, 0.25f);
    EXPECT_EQ(empty.SampleContinuous(0.25f).pdf, 1.0f);
}

// Histogram of x over sub-bins of every piece, against the density Func / Integral.
void ExpectSamplesFollowTheFunction(const std::vector<float>& values, uint32_t seed) {
    constexpr int SubBins = 4;
    constexpr int SampleCount = 200000;
    const PiecewiseConstant1D d(values.data(), static_cast<uint32_t>(values.size()));
    const size_t binCount = values.size() * SubBins;
    std::vector<double> observed(binCount, 0.0);
    std::vector<double> expected(binCount, 0.0);
    RandomGenerator generator;
    generator.Seed(seed);
    for (int i = 0; i < SampleCount; ++i) {
        const ContinuousSample s = d.SampleContinuous(generator.UniformFloat());
        ASSERT_GE(s.x, 0.0f);
        ASSERT_LE(s.x, 1.0f);
        ASSERT_FLOAT_EQ(s.pdf, values[s.offset] / d.Integral);
        ASSERT_EQ(static_cast<uint32_t>(std::min(s.x * values.size(), values.size() - 0.5f)),
                  s.offset);
        const size_t bin = std::min(static_cast<size_t>(s.x * binCount), binCount - 1);
        observed[bin] += 1.0;
    }
    double total = 0.0;
    for (float v : values) {
        total += v;
    }
    for (size_t bin = 0; bin < binCount; ++bin) {
        expected[bin] = SampleCount * values[bin / SubBins] / total / SubBins;
    }
    const auto result = CountsChiSquare(observed, expected);
    EXPECT_TRUE(result.passed) << result.message;
}

TEST(PiecewiseConstant1D, SamplesFollowThePdf) {
    ExpectSamplesFollowTheFunction({1.0f, 5.0f, 0.0f, 2.0f, 0.5f, 0.0f, 9.0f, 3.0f}, 7u);
    std::vector<float> ramp;
    for (int i = 0; i < 37; ++i) {
        ramp.push_back(static_cast<float>(i % 7));
    }
    ExpectSamplesFollowTheFunction(ramp, 11u);
}

TEST(PiecewiseConstant2D, RowsAndMarginal) {
    // Three rows of four; the middle row is black.
    const float values[] = {1, 1, 2, 0, 0, 0, 0, 0, 4, 0, 4, 8};
    const PiecewiseConstant2D d(values, 4, 3);
    ASSERT_EQ(d.Conditionals.size(), 3u);
    EXPECT_EQ(d.Conditionals[0].Integral, 1.0f);
    EXPECT_EQ(d.Conditionals[1].Integral, 0.0f);
    EXPECT_EQ(d.Conditionals[2].Integral, 4.0f);
    EXPECT_EQ(d.Marginal.Count, 3u);
    EXPECT_EQ(d.Marginal.Func, (std::vector<float>{1.0f, 0.0f, 4.0f}));

    // Joint density: value / mean value of the whole picture, with each cell 1/12 of the square.
    constexpr int SampleCount = 120000;
    std::vector<double> observed(12, 0.0);
    std::vector<double> expected(12, 0.0);
    RandomGenerator generator;
    generator.Seed(3u);
    for (int i = 0; i < SampleCount; ++i) {
        const ContinuousSample v = d.Marginal.SampleContinuous(generator.UniformFloat());
        ASSERT_NE(v.offset, 1u);
        const ContinuousSample u =
            d.Conditionals[v.offset].SampleContinuous(generator.UniformFloat());
        ASSERT_FLOAT_EQ(u.pdf * v.pdf, values[v.offset * 4 + u.offset] / (20.0f / 12.0f));
        observed[v.offset * 4 + u.offset] += 1.0;
    }
    for (int cell = 0; cell < 12; ++cell) {
        expected[cell] = SampleCount * values[cell] / 20.0;
    }
    const auto result = CountsChiSquare(observed, expected);
    EXPECT_TRUE(result.passed) << result.message;
}

TEST(PiecewiseConstant2D, EmptyOrBlackPicturesStaySampleable) {
    const PiecewiseConstant2D none(nullptr, 0, 5);
    ASSERT_EQ(none.Conditionals.size(), 1u);
    EXPECT_EQ(none.Marginal.Count, 1u);

    const std::vector<float> black(6, 0.0f);
    const PiecewiseConstant2D dark(black.data(), 3, 2);
    const ContinuousSample v = dark.Marginal.SampleContinuous(0.75f);
    const ContinuousSample u = dark.Conditionals[v.offset].SampleContinuous(0.2f);
    EXPECT_EQ(v.offset, 1u);
    EXPECT_FLOAT_EQ(v.x, 0.75f);
    EXPECT_FLOAT_EQ(u.x, 0.2f);
    EXPECT_EQ(u.pdf * v.pdf, 1.0f);
}

}  // namespace
}  // namespace glintor
