#include "math/sampling.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "tests/support/chi_square.h"
#include "tests/support/vector_expect.h"

namespace glintor {
namespace {

using testing::ExpectNear;

using testing::ChiSquareOptions;
using testing::DirectionChiSquare;

constexpr double Pi = std::numbers::pi;
constexpr float LargestUniform = 16777215.0f / 16777216.0f;

TEST(ChiSquareHelper, PValuesMatchPublishedTables) {
    // Upper 5% and 1% points of the chi-square distribution.
    EXPECT_NEAR(testing::ChiSquarePValue(3.841, 1), 0.05, 1e-4);
    EXPECT_NEAR(testing::ChiSquarePValue(18.307, 10), 0.05, 1e-4);
    EXPECT_NEAR(testing::ChiSquarePValue(124.342, 100), 0.05, 1e-4);
    EXPECT_NEAR(testing::ChiSquarePValue(6.635, 1), 0.01, 1e-4);
    EXPECT_NEAR(testing::ChiSquarePValue(135.807, 100), 0.01, 1e-4);
    EXPECT_EQ(testing::ChiSquarePValue(0.0, 5), 1.0);
    // Samples where the density claims nothing fail outright.
    EXPECT_FALSE(testing::CountsChiSquare({10, 0}, {0, 10}).passed);
    EXPECT_TRUE(testing::CountsChiSquare({100, 95, 105}, {100, 100, 100}).passed);
}

TEST(ConcentricDisk, CentreAndSectorEdges) {
    const DiskPoint centre = ConcentricDisk(0.5f, 0.5f);
    EXPECT_EQ(centre.x, 0.0f);
    EXPECT_EQ(centre.y, 0.0f);
    // (1, 0.5) takes t = 0 + 8, a full turn: (1, 0) up to rounding.
    const DiskPoint right = ConcentricDisk(1.0f, 0.5f);
    EXPECT_NEAR(right.x, 1.0f, 1e-6f);
    EXPECT_NEAR(right.y, 0.0f, 1e-6f);
    const struct {
        float u, v, x, y;
    } cases[] = {{0.5f, 1.0f, 0.0f, 1.0f},
                 {0.0f, 0.5f, -1.0f, 0.0f},
                 {0.5f, 0.0f, 0.0f, -1.0f},
                 {1.0f, 1.0f, std::sqrt(0.5f), std::sqrt(0.5f)},
                 {0.0f, 0.0f, -std::sqrt(0.5f), -std::sqrt(0.5f)},
                 {0.75f, 0.5f, 0.5f, 0.0f}};
    for (const auto& c : cases) {
        const DiskPoint p = ConcentricDisk(c.u, c.v);
        EXPECT_NEAR(p.x, c.x, 1e-6f) << c.u << ", " << c.v;
        EXPECT_NEAR(p.y, c.y, 1e-6f) << c.u << ", " << c.v;
    }
}

TEST(ConcentricDisk, ContinuousAndInsideTheDisk) {
    // Neighbouring inputs must give neighbouring points; a wrong sector formula shows up as a
    // jump at a sector border. The map stretches distances by at most about pi.
    const int n = 256;
    const float step = 1.0f / n;
    for (int i = 0; i <= n; ++i) {
        for (int j = 0; j <= n; ++j) {
            const DiskPoint p = ConcentricDisk(i * step, j * step);
            ASSERT_LE(p.x * p.x + p.y * p.y, 1.0f + 1e-6f);
            if (i < n) {
                const DiskPoint q = ConcentricDisk((i + 1) * step, j * step);
                ASSERT_LT(std::hypot(p.x - q.x, p.y - q.y), 4.0f * 2.0f * step) << i << " " << j;
            }
            if (j < n) {
                const DiskPoint q = ConcentricDisk(i * step, (j + 1) * step);
                ASSERT_LT(std::hypot(p.x - q.x, p.y - q.y), 4.0f * 2.0f * step) << i << " " << j;
            }
        }
    }
}

TEST(DiskSample, SwapsItsTwoDraws) {
    RandomGenerator generator;
    RandomGenerator twin;
    for (int i = 0; i < 100; ++i) {
        const DiskPoint p = DiskSample(generator);
        const float f1 = twin.UniformFloat();
        const float f2 = twin.UniformFloat();
        const DiskPoint q = ConcentricDisk(f2, f1);
        ASSERT_EQ(p.x, q.x);
        ASSERT_EQ(p.y, q.y);
    }
}

TEST(CosineHemisphere, NeverBelowTheSurface) {
    const float extremes[] = {0.0f, 0x1p-24f, 0.5f, 1.0f - 0x1p-23f, LargestUniform, 1.0f};
    for (float u : extremes) {
        for (float v : extremes) {
            const Vector3 d = CosineHemisphere(u, v);
            ASSERT_GE(d.z, 0.0f) << u << " " << v;
            ASSERT_NEAR(d.Length(), 1.0f, 1e-5f);
        }
    }
    ExpectNear(CosineHemisphere(0.5f, 0.5f), Vector3(0, 0, 1));
    EXPECT_NEAR(CosineHemisphere(1.0f, 1.0f).z, 0.0f, 1e-3f);
    RandomGenerator generator;
    for (int i = 0; i < 100000; ++i) {
        const Vector3 d = CosineHemisphere(generator.UniformFloat(), generator.UniformFloat());
        ASSERT_GE(d.z, 0.0f);
        ASSERT_TRUE(std::isfinite(d.x) && std::isfinite(d.y));
    }
}

TEST(CosineHemisphere, FollowsCosineOverPi) {
    ChiSquareOptions options;
    options.sampleCount = 500000;
    options.testCount = 2;
    auto sampler = [](RandomGenerator& g) -> std::optional<Vector3> {
        const float u = g.UniformFloat();
        const float v = g.UniformFloat();
        return CosineHemisphere(u, v);
    };
    const auto cosine = [](const Vector3& d) { return std::max(0.0, double(d.z)) / Pi; };
    const auto result = DirectionChiSquare(sampler, cosine, options);
    EXPECT_TRUE(result.passed) << result.message;
    // The same samples judged against a uniform hemisphere must fail: the test has the power to
    // tell the two densities apart.
    const auto uniform = [](const Vector3& d) { return d.z >= 0.0f ? 1.0 / (2.0 * Pi) : 0.0; };
    EXPECT_FALSE(DirectionChiSquare(sampler, uniform, options).passed);
}

TEST(UniformSphere, PolesEquatorAndDensity) {
    ExpectNear(UniformSphere(0.0f, 0.3f), Vector3(0, 0, 1));
    ExpectNear(UniformSphere(0.5f, 0.25f), Vector3(0, 1, 0));
    ExpectNear(UniformSphere(1.0f, 0.0f), Vector3(0, 0, -1));
    ChiSquareOptions options;
    const auto result = DirectionChiSquare(
        [](RandomGenerator& g) -> std::optional<Vector3> {
            const float u = g.UniformFloat();
            const float v = g.UniformFloat();
            return UniformSphere(u, v);
        },
        [](const Vector3&) { return 1.0 / (4.0 * Pi); }, options);
    EXPECT_TRUE(result.passed) << result.message;
}

TEST(UniformCone, StaysInsideTheConeAboutAnyAxis) {
    const Vector3 w = Vector3(1, 2, -2).Normalized();
    Vector3 a1, a2;
    BuildBasis(w, a1, a2);
    const float cosMax = std::cos(0.2f);
    // u = 1 is the axis itself; u = 0 is the rim.
    ExpectNear(UniformCone(1.0f, 0.7f, cosMax, w, a1, a2), w);
    EXPECT_NEAR(Dot(UniformCone(0.0f, 0.7f, cosMax, w, a1, a2), w), cosMax, 1e-6f);
    RandomGenerator generator;
    for (int i = 0; i < 100000; ++i) {
        const Vector3 d =
            UniformCone(generator.UniformFloat(), generator.UniformFloat(), cosMax, w, a1, a2);
        ASSERT_NEAR(d.Length(), 1.0f, 1e-5f);
        ASSERT_GE(Dot(d, w), cosMax - 1e-6f);
    }
    // A degenerate cone gives the axis, never NaN.
    ExpectNear(UniformCone(0.3f, 0.3f, 1.0f, w, a1, a2), w);
}

TEST(UniformCone, UniformOverItsSolidAngle) {
    // With cosMax = 0 the cone is the upper hemisphere, whose rim lies on a grid line.
    ChiSquareOptions options;
    const auto result = DirectionChiSquare(
        [](RandomGenerator& g) -> std::optional<Vector3> {
            const float u = g.UniformFloat();
            const float v = g.UniformFloat();
            return UniformCone(u, v, 0.0f, Vector3(0, 0, 1), Vector3(1, 0, 0), Vector3(0, 1, 0));
        },
        [](const Vector3& d) { return d.z >= 0.0f ? 1.0 / (2.0 * Pi) : 0.0; }, options);
    EXPECT_TRUE(result.passed) << result.message;
}

TEST(PolarPoint, CylindricalToCartesian) {
    ExpectNear(PolarPoint(2.0f, static_cast<float>(Pi / 2), 3.0f), Vector3(0, 2, 3));
    ExpectNear(PolarPoint(1.0f, 0.0f, -1.0f), Vector3(1, 0, -1));
    ExpectNear(PolarPoint(0.5f, static_cast<float>(Pi), 0.0f), Vector3(-0.5f, 0, 0));
}

}  // namespace
}  // namespace glintor
