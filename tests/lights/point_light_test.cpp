#include "lights/point_light.h"

#include <gtest/gtest.h>

#include <cmath>

#include "tests/lights/light_test_support.h"

namespace glintor {
namespace {

using testing::EmittedBy;
using testing::ExpectVectorNear;
using testing::SampleLight;

TEST(PointLight, SampleFacingTheLight) {
    const PointLight light;
    EXPECT_EQ(light.Extent, 1.0f);
    const auto s = SampleLight(light, Vector3(0, 0, 2), Vector3(0, 0, -1), 0.3f, 0.7f);
    EXPECT_EQ(s.pdf, 1.0f);
    ExpectVectorNear(s.radiance, Vector3(0.25f, 0.25f, 0.25f));
    EXPECT_EQ(s.shadowRay.origin, Vector3(0, 0, 2));
    EXPECT_EQ(s.shadowRay.direction, Vector3(0, 0, -1));
    EXPECT_EQ(s.shadowRay.tMin, RayEpsilon);
    EXPECT_FLOAT_EQ(s.shadowRay.tMax, 1.999f);

    // Color acts as the radiant intensity, scaled by Power, falling off with the squared distance.
    PointLight coloured;
    coloured.Pos = Vector3(1, 1, 1);
    coloured.Color = Vector3(1, 2, 3);
    coloured.Power = 2.0f;
    const auto c = SampleLight(coloured, Vector3(1, 1, 5), Vector3(0, 0.6f, -0.8f), 0, 0);
    EXPECT_EQ(c.pdf, 1.0f);
    ExpectVectorNear(c.radiance, Vector3(0.125f, 0.25f, 0.375f));
}

TEST(PointLight, SampleBehindTheSurfaceIsRejected) {
    const PointLight light;
    const auto s = SampleLight(light, Vector3(0, 0, 2), Vector3(0, 0, 1), 0.5f, 0.5f);
    EXPECT_EQ(s.pdf, 0.0f);
    EXPECT_TRUE(s.radiance.IsBlack());
    // Grazing: the light lies in the tangent plane.
    const auto g = SampleLight(light, Vector3(0, 0, 2), Vector3(1, 0, 0), 0.5f, 0.5f);
    EXPECT_EQ(g.pdf, 0.0f);
}

TEST(PointLight, DegenerateDistances) {
    const PointLight light;
    // On the light itself there is no direction: rejected instead of NaN.
    const auto on = SampleLight(light, Vector3(0, 0, 0), Vector3(0, 0, 1), 0.5f, 0.5f);
    EXPECT_EQ(on.pdf, 0.0f);
    EXPECT_EQ(on.radiance, Vector3(0, 0, 0));
    // So close that 1 / dist² overflows.
    const auto close = SampleLight(light, Vector3(0, 0, 1e-25f), Vector3(0, 0, -1), 0.5f, 0.5f);
    EXPECT_EQ(close.pdf, 0.0f);
    EXPECT_TRUE(testing::IsFinite(close.radiance));
    // Closer than 0.002: a usable sample whose shadow ray nothing can block (tMax < tMin).
    const auto near = SampleLight(light, Vector3(0, 0, 0.0015f), Vector3(0, 0, -1), 0.5f, 0.5f);
    EXPECT_EQ(near.pdf, 1.0f);
    EXPECT_LT(near.shadowRay.tMax, near.shadowRay.tMin);
}

TEST(PointLight, EmittedIsBlackOnlyBehindAGivenNormal) {
    PointLight light;
    light.Color = Vector3(0.5f, 1, 2);
    light.Power = 3.0f;
    const Vector3 direction(0, 0, 1);
    EXPECT_EQ(EmittedBy(light, direction, nullptr), Vector3(1.5f, 3, 6));
    const Vector3 facing(0, 0.6f, 0.8f);
    EXPECT_EQ(EmittedBy(light, direction, &facing), Vector3(1.5f, 3, 6));
    // Intersect writes no normal, so the integrator passes the record's zero normal.
    const Vector3 zero;
    EXPECT_EQ(EmittedBy(light, direction, &zero), Vector3(1.5f, 3, 6));
    const Vector3 behind(0, 0, -1);
    EXPECT_EQ(EmittedBy(light, direction, &behind), Vector3(0, 0, 0));
}

TEST(PointLight, RaysSeeASphereOfSquaredRadiusPointOne) {
    const PointLight light;
    const Ray ray(Vector3(0, 0, -5), Vector3(0, 0, 1), RayInfinity);
    Intersection hit;
    hit.point = Vector3(7, 7, 7);
    hit.normal = Vector3(8, 8, 8);
    ASSERT_TRUE(light.Intersect(ray, hit));
    EXPECT_FLOAT_EQ(hit.distance, 5.0f - std::sqrt(0.1f));
    // Only the distance is written.
    EXPECT_EQ(hit.point, Vector3(7, 7, 7));
    EXPECT_EQ(hit.normal, Vector3(8, 8, 8));

    Intersection nearer;
    nearer.distance = 4.0f;
    EXPECT_FALSE(light.Intersect(ray, nearer));
    EXPECT_EQ(nearer.distance, 4.0f);

    // The ray's own limits are not consulted.
    Ray limited = ray;
    limited.tMin = 10.0f;
    limited.tMax = 1.0f;
    Intersection unlimited;
    EXPECT_TRUE(light.Intersect(limited, unlimited));

    // From inside the small sphere the far root is taken.
    Intersection inside;
    ASSERT_TRUE(light.Intersect(Ray(Vector3(0, 0, 0), Vector3(1, 0, 0), RayInfinity), inside));
    EXPECT_FLOAT_EQ(inside.distance, std::sqrt(0.1f));

    // Passing at 0.4 > 0.316 from the light, or pointing away from it, misses.
    Intersection miss;
    EXPECT_FALSE(light.Intersect(Ray(Vector3(0.4f, 0, -5), Vector3(0, 0, 1), RayInfinity), miss));
    EXPECT_FALSE(light.Intersect(Ray(Vector3(0, 0, -5), Vector3(0, 0, -1), RayInfinity), miss));
    EXPECT_EQ(miss.distance, RayInfinity);
}

}  // namespace
}  // namespace glintor
