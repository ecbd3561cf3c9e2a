// Statistical checks of where the area lights put their samples: the sphere light's accepted
// points must be uniform over the cap visible from the lit point, the rectangle's uniform over
// its area. Seeded, so the outcome is repeatable.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <optional>
#include <vector>

#include "lights/area_light.h"
#include "lights/sphere_area_light.h"
#include "math/random.h"
#include "tests/support/chi_square.h"

namespace glintor {
namespace {

using testing::ChiSquareOptions;
using testing::CountsChiSquare;
using testing::DirectionChiSquare;

constexpr double Pi = 3.14159265358979323846;

// Draws one light sample with fresh numbers; returns the sampled point on the light, or nothing
// for a rejected sample.
std::optional<Vector3> SampledPoint(const LightBase& light, RandomGenerator& generator,
                                    const Vector3& point, const Vector3& normal) {
    PathSample sample;
    sample.lightU = generator.UniformFloat();
    sample.lightV = generator.UniformFloat();
    Ray shadowRay;
    Vector3 radiance;
    float pdf = 0.0f;
    light.Sample(radiance, sample, generator, shadowRay, point, normal, pdf);
    if (!(pdf > 0.0f)) {
        return std::nullopt;
    }
    return shadowRay.At(shadowRay.tMax + 0.001f);
}

// Seen from distance D, a sphere of radius R shows the cap of directions (from its centre) within
// acos(R / D) of the lit point. Accepted samples must cover it uniformly, with the density of the
// whole-sphere draw, 1 / 4π, so that the accepted fraction is (1 - R / D) / 2.
TEST(LightDistribution, SphereSamplesAreUniformOverTheVisibleCap) {
    SphereAreaLight light;
    light.Pos = Vector3(0.5f, -1, 2);
    light.Radius = 0.75f;
    light.Prepare();

    // On axis, with the cap's edge on a theta cell border (3π/10 with ten theta cells).
    {
        const double cosCap = std::cos(3 * Pi / 10);
        const float distance = static_cast<float>(light.Radius / cosCap);
        const Vector3 point = light.Pos + Vector3(0, 0, distance);
        const auto sampler = [&](RandomGenerator& generator) -> std::optional<Vector3> {
            const auto p = SampledPoint(light, generator, point, Vector3(0, 0, -1));
            return p ? std::optional<Vector3>((*p - light.Pos).Normalized()) : std::nullopt;
        };
        const auto density = [&](const Vector3& s) { return s.z >= cosCap ? 1 / (4 * Pi) : 0.0; };
        ChiSquareOptions options;
        options.testCount = 2;
        const auto result = DirectionChiSquare(sampler, density, options);
        EXPECT_TRUE(result.passed) << result.message;
    }

    // Off axis, with a tilted lit surface that still sees the whole cap.
    {
        const Vector3 point(2.5f, 0.5f, 3);
        const Vector3 offset = point - light.Pos;
        const double distance = offset.Length();
        const Vector3 axis = offset * static_cast<float>(1 / distance);
        const double cosCap = light.Radius / distance;
        const Vector3 normal = (-axis + Vector3(0.2f, -0.1f, 0.1f)).Normalized();
        const auto sampler = [&](RandomGenerator& generator) -> std::optional<Vector3> {
            const auto p = SampledPoint(light, generator, point, normal);
            return p ? std::optional<Vector3>((*p - light.Pos).Normalized()) : std::nullopt;
        };
        const auto density = [&](const Vector3& s) {
            return Dot(s, axis) >= cosCap ? 1 / (4 * Pi) : 0.0;
        };
        ChiSquareOptions options;
        options.testCount = 2;
        options.integrationSteps = 16;
        const auto result = DirectionChiSquare(sampler, density, options);
        EXPECT_TRUE(result.passed) << result.message;
    }
}

AreaLight TiltedRectangle() {
    AreaLight light;
    light.Pos = Vector3(1, 2, -1);
    light.Rotate[0] = 0.4f;
    light.Rotate[1] = -0.9f;
    light.Rotate[2] = 2.5f;
    light.Width = 1.5f;
    light.Height = 0.6f;
    light.Prepare();
    return light;
}

// Histogram of the sampled points over a grid of the rectangle's own coordinates.
TEST(LightDistribution, RectangleSamplesAreUniformOverItsArea) {
    const AreaLight light = TiltedRectangle();
    const Vector3 point = light.Pos + light.Normal * 0.8f + light.Edge1 * 0.3f;
    const Vector3 side1 = light.Corners[1] - light.Corners[0];
    const Vector3 side3 = light.Corners[3] - light.Corners[0];
    constexpr int Cells = 8;
    constexpr int Samples = 100000;
    std::vector<double> observed(Cells * Cells, 0.0);
    RandomGenerator generator;
    for (int i = 0; i < Samples; ++i) {
        const auto p = SampledPoint(light, generator, point, -light.Normal);
        ASSERT_TRUE(p.has_value()) << "the whole rectangle faces the lit point";
        const Vector3 local = *p - light.Corners[0];
        ASSERT_NEAR(Dot(local, light.Normal), 0.0f, 1e-4f);
        const float a = Dot(local, side1) / side1.LengthSquared();
        const float b = Dot(local, side3) / side3.LengthSquared();
        ASSERT_TRUE(a > -1e-4f && a < 1 + 1e-4f && b > -1e-4f && b < 1 + 1e-4f) << a << " " << b;
        const int ia = std::clamp(static_cast<int>(a * Cells), 0, Cells - 1);
        const int ib = std::clamp(static_cast<int>(b * Cells), 0, Cells - 1);
        observed[ia * Cells + ib] += 1.0;
    }
    const std::vector<double> expected(Cells * Cells,
                                       static_cast<double>(Samples) / (Cells * Cells));
    const auto result = CountsChiSquare(observed, expected);
    EXPECT_TRUE(result.passed) << result.message;
}

// The directions from the lit point must have the solid-angle density of a uniform area sample,
// dist² / (area · cosL), found here by intersecting each direction with the rectangle in double
// precision.
TEST(LightDistribution, RectangleDirectionsHaveTheAreaSampleDensity) {
    const AreaLight light = TiltedRectangle();
    const Vector3 point = light.Pos + light.Normal * 0.5f - light.Edge2 * 0.2f;
    const Vector3 c0 = light.Corners[0];
    const Vector3 side1 = light.Corners[1] - c0;
    const Vector3 side3 = light.Corners[3] - c0;
    const double area = static_cast<double>(side1.Length()) * side3.Length();
    const auto sampler = [&](RandomGenerator& generator) -> std::optional<Vector3> {
        const auto p = SampledPoint(light, generator, point, -light.Normal);
        return p ? std::optional<Vector3>((*p - point).Normalized()) : std::nullopt;
    };
    const auto density = [&](const Vector3& d) {
        const double towards = -static_cast<double>(Dot(d, light.Normal));
        if (towards <= 0.0) {
            return 0.0;
        }
        const double t = Dot(point - c0, light.Normal) / towards;
        const Vector3 hit = point + d * static_cast<float>(t) - c0;
        const double a = Dot(hit, side1) / static_cast<double>(side1.LengthSquared());
        const double b = Dot(hit, side3) / static_cast<double>(side3.LengthSquared());
        if (a < 0.0 || a > 1.0 || b < 0.0 || b > 1.0) {
            return 0.0;
        }
        return t * t / (area * towards);
    };
    // The density jumps at the rectangle's edges inside cells; a fine integration keeps the
    // expected counts of those cells accurate.
    ChiSquareOptions options;
    options.integrationSteps = 48;
    const auto result = DirectionChiSquare(sampler, density, options);
    EXPECT_TRUE(result.passed) << result.message;
}

}  // namespace
}  // namespace glintor
