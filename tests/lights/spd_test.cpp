#include "lights/spd.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numeric>
#include <vector>

#include "lights/cie_tables.h"

namespace glintor {
namespace {

float Cie(const std::array<float, CieSampleCount>& table, int lambda) {
    return table[lambda - CieLambdaMin];
}

TEST(CieTables, PinnedValuesAndFiveNanometreNodes) {
    const CieMatchingFunctions& cie = Cie1931();
    EXPECT_EQ(Cie(cie.x, 360), 0.0001299f);
    EXPECT_EQ(Cie(cie.y, 555), 1.0f);
    EXPECT_EQ(Cie(cie.z, 450), 1.77211f);
    // Every 5 nm node is the published value itself, interpolation leaves it untouched.
    EXPECT_EQ(Cie(cie.x, 600), 1.0622f);
    EXPECT_EQ(Cie(cie.x, 830), 0.000001251141f);
    EXPECT_EQ(Cie(cie.y, 700), 0.004102f);
    EXPECT_EQ(Cie(cie.y, 830), 0.00000045181f);
    EXPECT_EQ(Cie(cie.z, 400), 0.06785001f);
    EXPECT_EQ(Cie(cie.z, 700), 0.0f);
    for (int i = 0; i < CieSampleCount; ++i) {
        ASSERT_GE(cie.x[i], 0.0f) << i;
        ASSERT_GE(cie.y[i], 0.0f) << i;
        ASSERT_GE(cie.z[i], 0.0f) << i;
    }
    // Between nodes the values lie on a smooth curve: 556 nm just below the peak at 555.
    EXPECT_GT(Cie(cie.y, 556), 0.999f);
    EXPECT_LT(Cie(cie.y, 556), 1.0f);
}

TEST(CieTables, SumsMatchTheOneNanometreTable) {
    const CieMatchingFunctions& cie = Cie1931();
    const double sumX = std::accumulate(cie.x.begin(), cie.x.end(), 0.0);
    const double sumY = std::accumulate(cie.y.begin(), cie.y.end(), 0.0);
    const double sumZ = std::accumulate(cie.z.begin(), cie.z.end(), 0.0);
    // The CIE's own 1 nm y-bar sums to 106.857; Sprague interpolation of the 5 nm table gives
    // 106.85703.
    EXPECT_NEAR(sumY, 106.857, 3e-4);
    // The three functions are normalised to equal areas (the equal-energy white has x = y).
    EXPECT_NEAR(sumX / sumY, 1.0, 2e-4);
    EXPECT_NEAR(sumZ / sumY, 1.0, 5e-4);
}

TEST(SpragueInterpolation, ReproducesPolynomials) {
    const auto quartic = [](double x) {
        return 0.3 - 1.2 * x + 0.7 * x * x + 0.05 * std::pow(x, 3) - 0.01 * std::pow(x, 4);
    };
    const auto line = [](double x) { return 2.5 - 0.75 * x; };
    std::vector<double> quarticNodes;
    std::vector<double> lineNodes;
    for (int i = 0; i < 12; ++i) {
        quarticNodes.push_back(quartic(i));
        lineNodes.push_back(line(i));
    }
    const std::vector<double> fine = SpragueInterpolate(quarticNodes.data(), 12);
    const std::vector<double> straight = SpragueInterpolate(lineNodes.data(), 12);
    ASSERT_EQ(fine.size(), 56u);
    ASSERT_EQ(straight.size(), 56u);
    for (size_t k = 0; k < fine.size(); ++k) {
        if (k % 5 == 0 || (k >= 10 && k <= 45)) {
            EXPECT_NEAR(fine[k], quartic(k / 5.0), 1e-9) << k;
        }
        EXPECT_NEAR(straight[k], line(k / 5.0), 1e-12) << k;
    }
    EXPECT_TRUE(SpragueInterpolate(quarticNodes.data(), 5).empty());
}

TEST(SPD, RegularSpectrumFields) {
    std::vector<float> values(38, 1.0f);
    const RegularSPD spd(380.0f, 750.0f, values.data(), 38);
    EXPECT_EQ(spd.Count, 38u);
    EXPECT_EQ(spd.Step, 10.0f);
    EXPECT_EQ(spd.InvStep, 0.1f);
    const SPD empty;
    EXPECT_EQ(empty.Count, 0u);
    EXPECT_TRUE(empty.Values.empty());
}

TEST(SPD, ValueAtInterpolatesAndEndsAtTheRange) {
    const float values[] = {1.0f, 3.0f, 2.0f};
    const RegularSPD spd(400.0f, 500.0f, values, 3);
    EXPECT_EQ(spd.ValueAt(400.0f), 1.0f);
    EXPECT_EQ(spd.ValueAt(425.0f), 2.0f);
    EXPECT_EQ(spd.ValueAt(475.0f), 2.5f);
    EXPECT_EQ(spd.ValueAt(500.0f), 2.0f);
    EXPECT_EQ(spd.ValueAt(std::nextafter(500.0f, 1000.0f)), 0.0f);
    EXPECT_EQ(spd.ValueAt(std::nextafter(400.0f, 0.0f)), 0.0f);
}

TEST(SPD, IrregularSpectrumResamplesOnAFiveNanometreGrid) {
    const float wavelengths[] = {759, 760, 770, 771};
    const float values[] = {0.0f, 3.0f, 0.21f, 0.0f};
    const IrregularSPD spd(wavelengths, values, 4);
    EXPECT_EQ(spd.Count, 4u);  // m = ceil(12 * 0.2) = 3
    EXPECT_EQ(spd.LambdaMin, 759.0f);
    EXPECT_EQ(spd.LambdaMax, 774.0f);  // past the last pair, whose value there is 0
    EXPECT_EQ(spd.Step, 5.0f);
    ASSERT_EQ(spd.Values.size(), 4u);
    EXPECT_EQ(spd.Values[0], 0.0f);
    EXPECT_NEAR(spd.Values[1], 1.884f, 1e-6f);
    EXPECT_NEAR(spd.Values[2], 0.489f, 1e-6f);
    EXPECT_EQ(spd.Values[3], 0.0f);
    EXPECT_NEAR(spd.ValueAt(764.0f), 1.884f, 1e-6f);

    std::vector<float> grid;
    std::vector<float> samples;
    for (int lambda = 300; lambda <= 790; lambda += 5) {
        grid.push_back(static_cast<float>(lambda));
        samples.push_back(std::sin(0.1f * lambda) + 2.0f);
    }
    const IrregularSPD regular(grid.data(), samples.data(), static_cast<uint32_t>(grid.size()));
    ASSERT_EQ(regular.Count, grid.size());
    EXPECT_EQ(regular.Values, samples);
}

TEST(SPD, DegenerateSpectraAreZeroNotNaN) {
    const float one[] = {5.0f};
    const RegularSPD single(500.0f, 500.0f, one, 1);
    EXPECT_EQ(single.ValueAt(500.0f), 0.0f);
    EXPECT_EQ(single.ToXYZ(), Vector3());
    const IrregularSPD singlePair(one, one, 1);
    EXPECT_EQ(singlePair.Count, 1u);
    EXPECT_EQ(singlePair.ValueAt(5.0f), 0.0f);
    const IrregularSPD none(nullptr, nullptr, 0);
    EXPECT_EQ(none.Count, 0u);
    EXPECT_EQ(none.ValueAt(500.0f), 0.0f);
    // Two samples at one wavelength: no step to divide by, the first sample answers.
    const float two[] = {2.0f, 3.0f};
    const RegularSPD flat(500.0f, 500.0f, two, 2);
    EXPECT_EQ(flat.ValueAt(500.0f), 2.0f);
}

TEST(SPD, ToXYZWeighsWithTheMatchingFunctions) {
    const float ones[] = {1.0f, 1.0f};
    const RegularSPD constant(300.0f, 900.0f, ones, 2);
    const CieMatchingFunctions& cie = Cie1931();
    float sumX = 0.0f;
    float sumY = 0.0f;
    float sumZ = 0.0f;
    for (int i = 0; i < CieSampleCount; ++i) {
        sumX += cie.x[i];
        sumY += cie.y[i];
        sumZ += cie.z[i];
    }
    const Vector3 xyz = constant.ToXYZ();
    EXPECT_FLOAT_EQ(xyz.y, 683.0f * sumY);
    EXPECT_FLOAT_EQ(xyz.x, 683.0f * sumX);
    EXPECT_FLOAT_EQ(xyz.z, 683.0f * sumZ);

    // A spike of 1 at 555 nm only, zero 1 nm either side: Y = 683 * y-bar(555) = 683.
    const float spike[] = {0.0f, 1.0f, 0.0f};
    const RegularSPD line(554.0f, 556.0f, spike, 3);
    EXPECT_FLOAT_EQ(line.ToXYZ().y, 683.0f);
    EXPECT_FLOAT_EQ(line.ToXYZ().x, 683.0f * cie.x[555 - CieLambdaMin]);
}

TEST(SPD, XYZToRGBMapsTheD65WhiteToGrey) {
    const Vector3 rgb = XYZToRGB({0.9505f, 1.0f, 1.089f});
    EXPECT_NEAR(rgb.x, 1.0f, 2e-3f);
    EXPECT_NEAR(rgb.y, 1.0f, 2e-3f);
    EXPECT_NEAR(rgb.z, 1.0f, 2e-3f);
    EXPECT_EQ(XYZToRGB({0.0f, 1.0f, 0.0f}), Vector3(-1.5374f, 1.876f, -0.204f));
}

}  // namespace
}  // namespace glintor
