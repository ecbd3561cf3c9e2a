// The low-noise light samples against the design's: over a fine grid of (u, v) both must give the
// integrator's estimator f * radiance * cos / pdf the same mean, for a direction-dependent f, and
// the spherical rectangle's directions must be spread evenly over the solid angle it reports.
#include <gtest/gtest.h>

#include <cmath>
#include <optional>

#include "lights/area_light.h"
#include "lights/sphere_area_light.h"
#include "lights/spherical_rectangle.h"
#include "tests/support/chi_square.h"

namespace glintor {
namespace {

struct Estimate {
    double mean = 0.0;
    int used = 0;  // grid cells with pdf > 0
};

// Mean over an n x n grid of cell centres of the estimator with f(w) = 1 + 2 w.x^2 + w.z, the
// rejected samples counting 0.
Estimate GridMean(const LightBase& light, bool lowNoise, const Vector3& point,
                  const Vector3& normal, int n = 256) {
    RandomGenerator generator;
    Estimate e;
    for (int i = 0; i < n; ++i) {
        for (int j = 0; j < n; ++j) {
            PathSample sample;
            sample.lightU = (i + 0.5f) / n;
            sample.lightV = (j + 0.5f) / n;
            Vector3 radiance;
            Ray shadow(Vector3(), Vector3(), RayInfinity);
            float pdf = 0.0f;
            if (lowNoise) {
                light.SampleLowNoise(radiance, sample, generator, shadow, point, normal, pdf);
            } else {
                light.Sample(radiance, sample, generator, shadow, point, normal, pdf);
            }
            if (pdf > 0.0f) {
                const Vector3& w = shadow.direction;
                const double f = 1.0 + 2.0 * w.x * w.x + w.z;
                e.mean += f * radiance.y * Dot(w, normal) / pdf / (n * n);
                ++e.used;
            }
        }
    }
    return e;
}

SphereAreaLight MakeSphere() {
    SphereAreaLight light;
    light.Pos = Vector3(0.5f, 0.2f, 2.0f);
    light.Radius = 0.7f;
    light.Color = Vector3(0.25f, 0.5f, 0.25f);
    light.Power = 3.0f;
    light.Prepare();
    return light;
}

AreaLight MakeRectangle() {
    AreaLight light;
    light.Pos = Vector3(0.3f, -0.2f, 1.5f);
    light.Width = 2.0f;
    light.Height = 0.8f;
    light.Rotate[0] = 0.3f;
    light.Rotate[2] = 0.5f;
    light.Power = 2.0f;
    light.Prepare();
    return light;
}

TEST(LowNoiseLights, SameExpectationAsTheDesignSample) {
    const SphereAreaLight sphere = MakeSphere();
    const AreaLight rectangle = MakeRectangle();
    const Vector3 up(0, 0, 1), slanted = Vector3(0.6f, 0.0f, 0.8f);
    struct Case {
        const LightBase* light;
        Vector3 point, normal;
    };
    const Case cases[] = {
        {&sphere, Vector3(0, 0, 0), up},
        {&sphere, Vector3(-1, 0.5f, 0.3f), slanted},
        {&sphere, Vector3(3, 0, 1.8f), up},
        {&rectangle, Vector3(0, 0, 0), up},
        {&rectangle, Vector3(2, -1, 0.5f), slanted},
        {&rectangle, Vector3(0.2f, 0.1f, 1.2f), up},
    };
    for (const Case& c : cases) {
        const Estimate design = GridMean(*c.light, false, c.point, c.normal, 1024);
        const Estimate lowNoise = GridMean(*c.light, true, c.point, c.normal);
        ASSERT_GT(design.mean, 0.0);
        EXPECT_NEAR(lowNoise.mean / design.mean, 1.0, 0.004) << c.point.x << " " << c.point.y;
    }
    // On the sphere's visible cap no draw is wasted: from above, with the whole cap above the
    // lit surface, every cell gives a sample.
    EXPECT_EQ(GridMean(sphere, true, Vector3(0.5f, 0.2f, 5.0f), up * -1.0f).used, 256 * 256);
    // From inside the sphere and from behind the rectangle nothing is lit, as with Sample.
    EXPECT_EQ(GridMean(sphere, true, Vector3(0.5f, 0.3f, 2.1f), up).used, 0);
    EXPECT_EQ(GridMean(rectangle, true, Vector3(0.3f, -0.2f, 3.0f), up * -1.0f).used, 0);
    // A colour whose components sum to 0 lights nothing, as with Sample.
    SphereAreaLight balanced = MakeSphere();
    balanced.Color = Vector3(1.0f, -1.0f, 0.0f);
    EXPECT_EQ(GridMean(balanced, true, Vector3(0, 0, 0), up, 16).used, 0);
}

TEST(LowNoiseLights, SphericalRectangleSpreadsDirectionsEvenly) {
    const Vector3 corner(-0.4f, 0.3f, 1.0f), ex(1.5f, 0.5f, 0.2f), ey(-0.31f, 0.75f, 0.45f);
    const Vector3 n = Cross(ex, ey).Normalized();
    const SphericalRectangle seen(Vector3(), corner, ex, ey);
    const double solidAngle = seen.SolidAngle();
    auto sampler = [&](RandomGenerator& g) -> std::optional<Vector3> {
        const float u = g.UniformFloat();
        return seen.Point(u, g.UniformFloat()).Normalized();
    };
    auto density = [&](const Vector3& w) {
        // Where the direction meets the rectangle's plane, in the rectangle's own coordinates.
        const float t = Dot(corner, n) / Dot(w, n);
        const Vector3 q = w * t - corner;
        const float a = Dot(q, ex) / ex.LengthSquared(), b = Dot(q, ey) / ey.LengthSquared();
        return t > 0.0f && a >= 0.0f && a <= 1.0f && b >= 0.0f && b <= 1.0f ? 1.0 / solidAngle
                                                                            : 0.0;
    };
    testing::ChiSquareOptions options;
    options.thetaBins = 40;
    options.phiBins = 80;
    options.integrationSteps = 16;
    const auto result = testing::DirectionChiSquare(sampler, density, options);
    EXPECT_TRUE(result.passed) << result.message;
    // Seen from its own plane, or with an edge of length 0, a rectangle covers no solid angle.
    const Vector3 x(1, 0, 0), y(0, 1, 0);
    EXPECT_EQ(SphericalRectangle(Vector3(5, 5, 1), Vector3(0, 0, 1), x, y).SolidAngle(), 0.0);
    EXPECT_EQ(SphericalRectangle(Vector3(), corner, ex, Vector3()).SolidAngle(), 0.0);
    EXPECT_EQ(SphericalRectangle(Vector3(), corner, Vector3(), ey).SolidAngle(), 0.0);
}

}  // namespace
}  // namespace glintor
