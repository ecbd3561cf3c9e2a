#include "lights/sphere_area_light.h"

#include <gtest/gtest.h>

#include <cmath>

#include "tests/lights/light_test_support.h"

namespace glintor {
namespace {

using testing::EmittedBy;
using testing::ExpectVectorNear;
using testing::SampleLight;

constexpr double Pi = 3.14159265358979323846;

SphereAreaLight MakeSphere(const Vector3& pos, float radius) {
    SphereAreaLight light;
    light.Pos = pos;
    light.Radius = radius;
    light.Prepare();
    return light;
}

TEST(SphereAreaLight, ExtentIsHalfTheSurfaceArea) {
    EXPECT_FLOAT_EQ(MakeSphere(Vector3(), 2.0f).Extent, static_cast<float>(8 * Pi));
    EXPECT_FLOAT_EQ(MakeSphere(Vector3(), 1.0f).Extent, 6.2831855f);
    EXPECT_EQ(MakeSphere(Vector3(), 0.0f).Extent, 0.0f);
}

TEST(SphereAreaLight, SampleTowardsTheNearPole) {
    SphereAreaLight light = MakeSphere(Vector3(0, 0, 0), 1.0f);
    light.Color = Vector3(1, 2, 3);
    light.Power = 0.5f;
    // u1 = 0 draws the +z pole, (0, 0, 1), the point nearest to the lit point.
    const auto s = SampleLight(light, Vector3(0, 0, 5), Vector3(0, 0, -1), 0.0f, 0.0f);
    // (1 / 4π) / (2π · 1) · 16: the cosine is the one at the lit surface.
    EXPECT_NEAR(s.pdf, 2.0 / (Pi * Pi), 1e-6);
    EXPECT_EQ(s.radiance, Vector3(0.5f, 1, 1.5f));
    EXPECT_EQ(s.shadowRay.origin, Vector3(0, 0, 5));
    ExpectVectorNear(s.shadowRay.direction, Vector3(0, 0, -1));
    EXPECT_EQ(s.shadowRay.tMin, RayEpsilon);
    EXPECT_FLOAT_EQ(s.shadowRay.tMax, 3.999f);

    // A tilted surface divides by its cosine: the pdf grows by √2.
    const Vector3 tilted = Vector3(1, 0, -1).Normalized();
    const auto t = SampleLight(light, Vector3(0, 0, 5), tilted, 0.0f, 0.0f);
    EXPECT_NEAR(t.pdf, 2.0 * std::sqrt(2.0) / (Pi * Pi), 1e-6);
}

TEST(SphereAreaLight, RejectedSamples) {
    const SphereAreaLight light = MakeSphere(Vector3(0, 0, 0), 1.0f);
    const Vector3 point(0, 0, 5);
    const Vector3 down(0, 0, -1);
    // The equator point (1, 0, 0) lies beyond the cap visible from (0, 0, 5); the -z pole lies on
    // the far side.
    EXPECT_EQ(SampleLight(light, point, down, 0.5f, 0.0f).pdf, 0.0f);
    EXPECT_EQ(SampleLight(light, point, down, 0.99999f, 0.0f).pdf, 0.0f);
    // Light below the lit surface.
    const auto below = SampleLight(light, point, Vector3(0, 0, 1), 0.0f, 0.0f);
    EXPECT_EQ(below.pdf, 0.0f);
    EXPECT_TRUE(below.radiance.IsBlack());
    // Sampled point in the lit surface's tangent plane: an infinite pdf, answered as no sample.
    const auto grazing = SampleLight(light, point, Vector3(1, 0, 0), 0.0f, 0.0f);
    EXPECT_EQ(grazing.pdf, 0.0f);
    EXPECT_TRUE(grazing.radiance.IsBlack());
    // Lit point exactly at the sampled point.
    const auto onLight = SampleLight(light, Vector3(0, 0, 1), down, 0.0f, 0.0f);
    EXPECT_EQ(onLight.pdf, 0.0f);
    EXPECT_TRUE(testing::IsFinite(onLight.radiance));
}

TEST(SphereAreaLight, BlackOrPointlikeSpheresNeverSample) {
    SphereAreaLight black = MakeSphere(Vector3(0, 0, 0), 1.0f);
    black.Color = Vector3(0, 0, 0);
    black.Power = 1000.0f;
    SphereAreaLight pointlike = MakeSphere(Vector3(0, 0, 0), 0.0f);
    for (int i = 0; i < 16; ++i) {
        for (int j = 0; j < 16; ++j) {
            const float u1 = i / 16.0f;
            const float u2 = j / 16.0f;
            EXPECT_EQ(SampleLight(black, Vector3(0, 0, 5), Vector3(0, 0, -1), u1, u2).pdf, 0.0f);
            const auto p = SampleLight(pointlike, Vector3(0, 0, 5), Vector3(0, 0, -1), u1, u2);
            EXPECT_EQ(p.pdf, 0.0f);
            EXPECT_TRUE(testing::IsFinite(p.radiance));
        }
    }
}

TEST(SphereAreaLight, EmittedFollowsTheCosineToTheNormal) {
    SphereAreaLight light = MakeSphere(Vector3(), 1.0f);
    light.Color = Vector3(1, 2, 3);
    light.Power = 2.0f;
    const Vector3 normal(0, 0, 1);
    ExpectVectorNear(EmittedBy(light, Vector3(0, 0.6f, 0.8f), &normal),
                     Vector3(1, 2, 3) * static_cast<float>(2 * 0.8 * Pi), 1e-5f);
    EXPECT_EQ(EmittedBy(light, Vector3(1, 0, 0), &normal), Vector3(0, 0, 0));
    EXPECT_EQ(EmittedBy(light, Vector3(0, 0, -1), &normal), Vector3(0, 0, 0));
    // No normal, no surface to emit from.
    EXPECT_EQ(EmittedBy(light, Vector3(0, 0, 1), nullptr), Vector3(0, 0, 0));
}

TEST(SphereAreaLight, IntersectTakesTheNearerRootInRange) {
    const SphereAreaLight light = MakeSphere(Vector3(0, 0, 0), 1.0f);
    const Ray ray(Vector3(0, 0, -5), Vector3(0, 0, 1), RayInfinity);
    Intersection hit;
    ASSERT_TRUE(light.Intersect(ray, hit));
    EXPECT_FLOAT_EQ(hit.distance, 4.0f);
    ExpectVectorNear(hit.point, Vector3(0, 0, -1));
    ExpectVectorNear(hit.normal, Vector3(0, 0, -1));

    // Starting inside, the near root is behind the origin: the far wall is hit.
    Intersection inside;
    ASSERT_TRUE(light.Intersect(Ray(Vector3(0, 0.5f, 0), Vector3(1, 0, 0), RayInfinity), inside));
    EXPECT_NEAR(inside.distance, std::sqrt(0.75f), 1e-6f);
    ExpectVectorNear(inside.normal, Vector3(std::sqrt(0.75f), 0.5f, 0));

    // Something nearer was already hit: the near root fails, the far one is also too far.
    Intersection nearer;
    nearer.distance = 4.0f;
    nearer.point = Vector3(9, 9, 9);
    EXPECT_FALSE(light.Intersect(ray, nearer));
    EXPECT_EQ(nearer.distance, 4.0f);
    EXPECT_EQ(nearer.point, Vector3(9, 9, 9));

    // The root taken must lie within [tMin, tMax]; there is no fall-back to the other root.
    Ray late = ray;
    late.tMin = 4.5f;
    Intersection lateHit;
    EXPECT_FALSE(light.Intersect(late, lateHit));
    Ray shortRay = ray;
    shortRay.tMax = 4.0f;
    Intersection edgeHit;
    EXPECT_TRUE(light.Intersect(shortRay, edgeHit));
    shortRay.tMax = 3.9f;
    Intersection shortHit;
    EXPECT_FALSE(light.Intersect(shortRay, shortHit));

    // Pointing away, or passing beside.
    Intersection miss;
    EXPECT_FALSE(light.Intersect(Ray(Vector3(0, 0, -5), Vector3(0, 0, -1), RayInfinity), miss));
    EXPECT_FALSE(light.Intersect(Ray(Vector3(1.1f, 0, -5), Vector3(0, 0, 1), RayInfinity), miss));
    EXPECT_EQ(miss.distance, RayInfinity);
}

TEST(SphereAreaLight, ZeroRadiusHitLeavesTheNormalUnnormalised) {
    const SphereAreaLight light = MakeSphere(Vector3(1, 2, 3), 0.0f);
    Intersection hit;
    ASSERT_TRUE(light.Intersect(Ray(Vector3(1, 2, -2), Vector3(0, 0, 1), RayInfinity), hit));
    EXPECT_FLOAT_EQ(hit.distance, 5.0f);
    EXPECT_EQ(hit.normal, Vector3(0, 0, 0));
    const Vector3 toViewer(0, 0, -1);
    EXPECT_EQ(EmittedBy(light, toViewer, &hit.normal), Vector3(0, 0, 0));
}

}  // namespace
}  // namespace glintor
