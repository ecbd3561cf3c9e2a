#include "lights/area_light.h"

#include <gtest/gtest.h>

#include <cmath>

#include "tests/lights/light_test_support.h"

namespace glintor {
namespace {

using testing::EmittedBy;
using testing::ExpectVectorNear;
using testing::SampleLight;

constexpr double Pi = 3.14159265358979323846;

AreaLight MakeArea(const Vector3& pos, float width, float height, float rx, float ry, float rz) {
    AreaLight light;
    light.Pos = pos;
    light.Rotate[0] = rx;
    light.Rotate[1] = ry;
    light.Rotate[2] = rz;
    light.Width = width;
    light.Height = height;
    light.Prepare();
    return light;
}

AreaLight DefaultArea() {
    AreaLight light;
    light.Prepare();
    return light;
}

// Independent reference for one corner: scale, rotate about x, y and z in turn, translate, all in
// double precision.
Vector3 ReferenceCorner(double x, double y, const AreaLight& light) {
    x *= light.Width;
    y *= light.Height;
    double z = 0.0;
    const double ax = light.Rotate[0], ay = light.Rotate[1], az = light.Rotate[2];
    double y1 = y * std::cos(ax) - z * std::sin(ax), z1 = y * std::sin(ax) + z * std::cos(ax);
    y = y1;
    z = z1;
    double x1 = x * std::cos(ay) + z * std::sin(ay);
    z1 = -x * std::sin(ay) + z * std::cos(ay);
    x = x1;
    z = z1;
    x1 = x * std::cos(az) - y * std::sin(az);
    y1 = x * std::sin(az) + y * std::cos(az);
    return Vector3(static_cast<float>(x1 + light.Pos.x), static_cast<float>(y1 + light.Pos.y),
                   static_cast<float>(z + light.Pos.z));
}

TEST(AreaLight, PrepareWithDefaults) {
    const AreaLight light = DefaultArea();
    EXPECT_EQ(light.Corners[0], Vector3(-0.5f, -0.5f, 0));
    EXPECT_EQ(light.Corners[1], Vector3(-0.5f, 0.5f, 0));
    EXPECT_EQ(light.Corners[2], Vector3(0.5f, 0.5f, 0));
    EXPECT_EQ(light.Corners[3], Vector3(0.5f, -0.5f, 0));
    EXPECT_EQ(light.Edge1, Vector3(0, -1, 0));
    EXPECT_EQ(light.Edge2, Vector3(-1, 0, 0));
    EXPECT_EQ(light.Normal, Vector3(0, 0, -1));
    EXPECT_EQ(light.Extent, 1.0f);
    const int expected[2][3] = {{0, 1, 2}, {0, 2, 3}};
    for (int i = 0; i < 2; ++i) {
        for (int j = 0; j < 3; ++j) {
            EXPECT_EQ(light.Triangles[i][j], expected[i][j]);
        }
    }
    EXPECT_EQ(MakeArea(Vector3(), 2, 3, 0, 0, 0).Extent, 6.0f);
}

TEST(AreaLight, PrepareScalesRotatesXYZThenTranslates) {
    const AreaLight quarterX = MakeArea(Vector3(), 1, 1, static_cast<float>(Pi / 2), 0, 0);
    ExpectVectorNear(quarterX.Normal, Vector3(0, 1, 0));

    // Rotations do not commute, so a general case pins the order down.
    const AreaLight light = MakeArea(Vector3(1, -2, 3), 2, 0.5f, 0.3f, -1.1f, 2.0f);
    const double corners[4][2] = {{-0.5, -0.5}, {-0.5, 0.5}, {0.5, 0.5}, {0.5, -0.5}};
    for (int i = 0; i < 4; ++i) {
        ExpectVectorNear(light.Corners[i], ReferenceCorner(corners[i][0], corners[i][1], light),
                         1e-5f);
    }
    ExpectVectorNear(light.Edge1, light.Corners[0] - light.Corners[1]);
    ExpectVectorNear(light.Edge2, light.Corners[0] - light.Corners[3]);
    EXPECT_NEAR(light.Normal.Length(), 1.0f, 1e-6f);
    EXPECT_NEAR(Dot(light.Normal, light.Edge1), 0.0f, 1e-6f);
    EXPECT_NEAR(Dot(light.Normal, light.Edge2), 0.0f, 1e-6f);
    EXPECT_FLOAT_EQ(light.Extent, 1.0f);
}

TEST(AreaLight, DegenerateRectangleFallsBackAndNeverSamples) {
    const AreaLight flat = MakeArea(Vector3(), 0, 1, 0, 0, 0);
    EXPECT_EQ(flat.Normal, Vector3(0, -1, 0));
    EXPECT_EQ(flat.Extent, 0.0f);
    const AreaLight dot = MakeArea(Vector3(), 0, 0, 0.5f, 0.5f, 0.5f);
    EXPECT_EQ(dot.Normal, Vector3(0, -1, 0));
    for (const AreaLight* light : {&flat, &dot}) {
        for (float u : {0.0f, 0.25f, 0.5f, 0.999f}) {
            const auto s = SampleLight(*light, Vector3(0.3f, -2, 0.1f), Vector3(0, 1, 0), u, u);
            EXPECT_EQ(s.pdf, 0.0f);
            EXPECT_TRUE(s.radiance.IsBlack());
        }
    }
}

TEST(AreaLight, SampleCentreFromBelow) {
    AreaLight light = DefaultArea();
    light.Color = Vector3(1, 2, 3);
    light.Power = 0.5f;
    const auto s = SampleLight(light, Vector3(0, 0, -2), Vector3(0, 0, 1), 0.5f, 0.5f);
    EXPECT_NEAR(s.pdf, 4.0 / (2 * Pi), 1e-6);
    EXPECT_EQ(s.radiance, Vector3(0.5f, 1, 1.5f));
    EXPECT_EQ(s.shadowRay.origin, Vector3(0, 0, -2));
    EXPECT_EQ(s.shadowRay.direction, Vector3(0, 0, 1));
    EXPECT_EQ(s.shadowRay.tMin, RayEpsilon);
    EXPECT_FLOAT_EQ(s.shadowRay.tMax, 1.999f);

    // Corner 0 at u1 = u2 = 0; the pdf divides by the cosine at the light.
    const auto c = SampleLight(light, Vector3(0, 0, -2), Vector3(0, 0, 1), 0.0f, 0.0f);
    const double dist2 = 0.25 + 0.25 + 4.0;
    const double cosL = 2.0 / std::sqrt(dist2);
    EXPECT_NEAR(c.pdf, dist2 / (2 * Pi * cosL), 1e-5);
    ExpectVectorNear(c.shadowRay.direction,
                     Vector3(-0.5f, -0.5f, 2) * static_cast<float>(1 / std::sqrt(dist2)));
}

TEST(AreaLight, RejectedSamples) {
    const AreaLight light = DefaultArea();
    // Behind the emitting side, whatever the numbers.
    for (float u1 : {0.0f, 0.3f, 0.5f, 0.9f}) {
        for (float u2 : {0.0f, 0.6f, 0.999f}) {
            EXPECT_EQ(SampleLight(light, Vector3(0, 0, 2), Vector3(0, 0, -1), u1, u2).pdf, 0.0f);
        }
    }
    // Light below the lit surface.
    EXPECT_EQ(SampleLight(light, Vector3(0, 0, -2), Vector3(0, 0, -1), 0.5f, 0.5f).pdf, 0.0f);
    // Lit point in the light's plane: cosL = 0 would give an infinite pdf.
    const auto inPlane = SampleLight(light, Vector3(2, 0, 0), Vector3(-1, 0, 0), 0.5f, 0.5f);
    EXPECT_EQ(inPlane.pdf, 0.0f);
    EXPECT_TRUE(inPlane.radiance.IsBlack());
    // Lit point exactly on the sampled point.
    const auto onLight = SampleLight(light, Vector3(0, 0, 0), Vector3(0, 0, 1), 0.5f, 0.5f);
    EXPECT_EQ(onLight.pdf, 0.0f);
    EXPECT_TRUE(testing::IsFinite(onLight.radiance));
}

TEST(AreaLight, EmittedFollowsTheCosineToTheNormal) {
    AreaLight light = DefaultArea();
    light.Color = Vector3(1, 2, 3);
    light.Power = 2.0f;
    ExpectVectorNear(EmittedBy(light, Vector3(0, 0.6f, -0.8f), &light.Normal),
                     Vector3(1, 2, 3) * static_cast<float>(2 * 0.8 * Pi / 2), 1e-5f);
    EXPECT_EQ(EmittedBy(light, Vector3(0, 1, 0), &light.Normal), Vector3(0, 0, 0));
    EXPECT_EQ(EmittedBy(light, Vector3(0, 0, 1), &light.Normal), Vector3(0, 0, 0));
    EXPECT_EQ(EmittedBy(light, Vector3(0, 0, -1), nullptr), Vector3(0, 0, 0));
}

TEST(AreaLight, IntersectBothTrianglesFromBothSides) {
    const AreaLight light = DefaultArea();
    Intersection upper;
    upper.point = Vector3(9, 9, 9);
    ASSERT_TRUE(
        light.Intersect(Ray(Vector3(0.2f, 0.3f, 5), Vector3(0, 0, -1), RayInfinity), upper));
    EXPECT_FLOAT_EQ(upper.distance, 5.0f);
    EXPECT_EQ(upper.normal, light.Normal);
    EXPECT_EQ(upper.point, Vector3(9, 9, 9));
    EXPECT_NEAR(upper.bary0, 0.2f, 1e-6f);
    EXPECT_NEAR(upper.bary1, 0.1f, 1e-6f);
    EXPECT_NEAR(upper.bary2, 0.7f, 1e-6f);

    // Below the diagonal, the second triangle (0, 2, 3); hit from the back side as well.
    Intersection lower;
    ASSERT_TRUE(
        light.Intersect(Ray(Vector3(0.3f, 0.2f, -4), Vector3(0, 0, 2), RayInfinity), lower));
    EXPECT_FLOAT_EQ(lower.distance, 2.0f);
    EXPECT_EQ(lower.normal, light.Normal);
    EXPECT_NEAR(lower.bary0, 0.2f, 1e-6f);
    EXPECT_NEAR(lower.bary1, 0.7f, 1e-6f);
    EXPECT_NEAR(lower.bary2, 0.1f, 1e-6f);
}

TEST(AreaLight, IntersectLimits) {
    const AreaLight light = DefaultArea();
    const Ray ray(Vector3(0.2f, 0.3f, 5), Vector3(0, 0, -1), RayInfinity);
    Intersection miss;
    // Along the rectangle's plane: det = 0.
    EXPECT_FALSE(light.Intersect(Ray(Vector3(-2, 0, 0), Vector3(1, 0, 0), RayInfinity), miss));
    // Beside the rectangle.
    EXPECT_FALSE(light.Intersect(Ray(Vector3(0.6f, 0, 5), Vector3(0, 0, -1), RayInfinity), miss));
    EXPECT_EQ(miss.distance, RayInfinity);
    EXPECT_EQ(miss.normal, Vector3(0, 0, 0));

    // A t equal to the record's distance is a hit; a nearer object hides the light.
    Intersection tie;
    tie.distance = 5.0f;
    EXPECT_TRUE(light.Intersect(ray, tie));
    Intersection hidden;
    hidden.distance = 4.99f;
    EXPECT_FALSE(light.Intersect(ray, hidden));
    EXPECT_EQ(hidden.distance, 4.99f);

    Ray late = ray;
    late.tMin = 5.01f;
    Intersection lateHit;
    EXPECT_FALSE(light.Intersect(late, lateHit));
    Ray shortRay = ray;
    shortRay.tMax = 4.99f;
    Intersection shortHit;
    EXPECT_FALSE(light.Intersect(shortRay, shortHit));
}

TEST(AreaLight, IntersectNeverReportsANaNDistance) {
    // A denormal direction from a point in the light's plane: 1 / det overflows, and both u and t
    // come out NaN, which plain "< 0" and "> tMax" tests would let through as a hit.
    const AreaLight light = DefaultArea();
    Intersection hit;
    EXPECT_FALSE(
        light.Intersect(Ray(Vector3(0.1f, 0.1f, 0), Vector3(0, 0, -1e-40f), RayInfinity), hit));
    EXPECT_EQ(hit.distance, RayInfinity);
    const float nan = std::nanf("");
    EXPECT_FALSE(light.Intersect(Ray(Vector3(nan, 0, 5), Vector3(0, 0, -1), RayInfinity), hit));
    EXPECT_EQ(hit.distance, RayInfinity);
}

}  // namespace
}  // namespace glintor
