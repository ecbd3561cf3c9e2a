#include <gtest/gtest.h>

#include <cmath>

#include "geometry/plane_prim.h"
#include "geometry/sphere_prim.h"
#include "tests/geometry/qbvh_test_helpers.h"

namespace glintor {
namespace {

Ray MakeRay(const Vector3& origin, const Vector3& direction, float tMax = RayInfinity) {
    return Ray(origin, direction, tMax);
}

SpherePrim MakeSphere(const Vector3& center, float radius, uint8_t material = 4) {
    SpherePrim sphere;
    sphere.center = center;
    sphere.radius = radius;
    sphere.materialId = material;
    return sphere;
}

PlanePrim MakePlane(const Vector3& normal, float dist, uint8_t material = 6) {
    PlanePrim plane;
    plane.planeNormal = normal;
    plane.dist = dist;
    plane.materialId = material;
    return plane;
}

void ExpectUnchanged(const Intersection& before, const Intersection& after) {
    EXPECT_TRUE(testing::SameRecord(before, after));
}

TEST(SpherePrim, DefaultsAndBounds) {
    const SpherePrim fresh;
    EXPECT_EQ(fresh.center, Vector3(0, 0, 0));
    EXPECT_EQ(fresh.radius, 1.0f);
    EXPECT_EQ(fresh.materialId, 255);
    const BoundingBox box = MakeSphere({1, 2, 3}, 2).Bounds();
    EXPECT_EQ(box.min, Vector3(-1, 0, 1));
    EXPECT_EQ(box.max, Vector3(3, 4, 5));
}

TEST(SpherePrim, HitFromOutsideTakesNearRootAndWritesOnlyItsFields) {
    const SpherePrim sphere = MakeSphere({0, 0, 5}, 1);
    Intersection hit;
    hit.u = 0.25f;
    hit.triangleIndex = -1;
    ASSERT_TRUE(sphere.Intersect(MakeRay({0, 0, 0}, {0, 0, 1}), hit));
    EXPECT_EQ(hit.distance, 4.0f);
    EXPECT_EQ(hit.point, Vector3(0, 0, 4));
    EXPECT_EQ(hit.normal, Vector3(0, 0, -1));
    EXPECT_EQ(hit.materialId, 4);
    EXPECT_EQ(hit.u, 0.25f);
    EXPECT_EQ(hit.triangleIndex, -1);
    EXPECT_EQ(hit.bary0, 0.0f);
}

TEST(SpherePrim, RayFromCentreHitsFarSideWithOutwardNormal) {
    const SpherePrim sphere = MakeSphere({1, 2, 3}, 2.5f);
    Intersection hit;
    ASSERT_TRUE(sphere.Intersect(MakeRay({1, 2, 3}, {0, 1, 0}), hit));
    EXPECT_FLOAT_EQ(hit.distance, 2.5f);
    EXPECT_NEAR(hit.normal.x, 0.0f, 1e-6f);
    EXPECT_NEAR(hit.normal.y, 1.0f, 1e-6f);
    EXPECT_NEAR(hit.normal.z, 0.0f, 1e-6f);
}

TEST(SpherePrim, RayLeavingTheSurfaceDoesNotHitItAgain) {
    const SpherePrim sphere = MakeSphere({0, 0, 0}, 1);
    const Vector3 onSurface = Vector3(1, 1, 1).Normalized();
    Intersection hit;
    const Intersection before = hit;
    EXPECT_FALSE(sphere.Intersect(MakeRay(onSurface, onSurface), hit));
    ExpectUnchanged(before, hit);
    // Leaving the surface inwards the ray crosses the sphere and hits the far side.
    ASSERT_TRUE(sphere.Intersect(MakeRay(onSurface, -onSurface), hit));
    EXPECT_NEAR(hit.distance, 2.0f, 1e-5f);
}

TEST(SpherePrim, NearerRecordedHitOrShortRayLeavesRecordUnchanged) {
    const SpherePrim sphere = MakeSphere({0, 0, 5}, 1);
    Intersection hit;
    hit.distance = 3.0f;
    hit.point = {7, 7, 7};
    Intersection before = hit;
    EXPECT_FALSE(sphere.Intersect(MakeRay({0, 0, 0}, {0, 0, 1}), hit));
    ExpectUnchanged(before, hit);

    Intersection fresh;
    before = fresh;
    EXPECT_FALSE(sphere.Intersect(MakeRay({0, 0, 0}, {0, 0, 1}, 3.5f), fresh));
    ExpectUnchanged(before, fresh);
}

TEST(SpherePrim, LimitsAreInclusiveAndOnlyTheTakenRootIsChecked) {
    const SpherePrim sphere = MakeSphere({0, 0, 5}, 1);  // roots 4 and 6
    Intersection hit;
    EXPECT_TRUE(sphere.Intersect(MakeRay({0, 0, 0}, {0, 0, 1}, 4.0f), hit));
    EXPECT_EQ(hit.distance, 4.0f);

    Ray ray = MakeRay({0, 0, 0}, {0, 0, 1});
    ray.tMin = 4.0f;
    Intersection atMin;
    EXPECT_TRUE(sphere.Intersect(ray, atMin));
    EXPECT_EQ(atMin.distance, 4.0f);
    // The near root is taken first; lying below tMin it rejects the sphere, even though the far
    // root would lie within the limits.
    ray.tMin = 5.0f;
    Intersection belowMin;
    EXPECT_FALSE(sphere.Intersect(ray, belowMin));
    EXPECT_EQ(belowMin.distance, RayInfinity);
}

TEST(SpherePrim, GrazingRayHitsAndMissingRayDoesNot) {
    const SpherePrim sphere = MakeSphere({0, 1, 5}, 1);
    Intersection hit;
    ASSERT_TRUE(sphere.Intersect(MakeRay({0, 0, 0}, {0, 0, 1}), hit));
    EXPECT_EQ(hit.distance, 5.0f);
    EXPECT_EQ(hit.normal, Vector3(0, -1, 0));
    Intersection miss;
    EXPECT_FALSE(sphere.Intersect(MakeRay({0, -0.01f, 0}, {0, 0, 1}), miss));
}

TEST(SpherePrim, ZeroRadiusLeavesTheZeroNormalUnnormalised) {
    const SpherePrim sphere = MakeSphere({0, 0, 5}, 0);
    Intersection hit;
    ASSERT_TRUE(sphere.Intersect(MakeRay({0, 0, 0}, {0, 0, 1}), hit));
    EXPECT_EQ(hit.distance, 5.0f);
    EXPECT_EQ(hit.normal, Vector3(0, 0, 0));
}

TEST(PlanePrim, DefaultsAndEmptyBounds) {
    const PlanePrim plane;
    EXPECT_EQ(plane.planeNormal, Vector3(0, 0, 0));
    EXPECT_EQ(plane.dist, 0.0f);
    EXPECT_EQ(plane.materialId, 255);
    const BoundingBox box = plane.Bounds();
    EXPECT_EQ(box.min, Vector3(RayInfinity, RayInfinity, RayInfinity));
    EXPECT_EQ(box.max, Vector3(-RayInfinity, -RayInfinity, -RayInfinity));
}

TEST(PlanePrim, HitOnlyAgainstTheNormal) {
    const PlanePrim plane = MakePlane({0, 1, 0}, 0);
    Intersection hit;
    ASSERT_TRUE(plane.Intersect(MakeRay({1, 3, 2}, {0, -1, 0}), hit));
    EXPECT_EQ(hit.distance, 3.0f);
    EXPECT_EQ(hit.point, Vector3(1, 0, 2));
    EXPECT_EQ(hit.normal, Vector3(0, 1, 0));
    EXPECT_EQ(hit.materialId, 6);

    for (const Ray& ray : {MakeRay({1, 3, 2}, {0, 1, 0}), MakeRay({1, -3, 2}, {0, 1, 0}),
                           MakeRay({1, -3, 2}, {0, -1, 0}), MakeRay({1, 3, 2}, {1, 0, 0}),
                           MakeRay({1, 0, 2}, {1, 0, 0})}) {
        Intersection none;
        const Intersection before = none;
        EXPECT_FALSE(plane.Intersect(ray, none));
        ExpectUnchanged(before, none);
    }
}

TEST(PlanePrim, NonUnitNormalIsKeptAsStored) {
    const PlanePrim plane = MakePlane({0, 2, 0}, -2);  // the plane y = 1
    Intersection hit;
    ASSERT_TRUE(plane.Intersect(MakeRay({0, 4, 0}, {0, -1, 0}), hit));
    EXPECT_EQ(hit.distance, 3.0f);
    EXPECT_EQ(hit.point, Vector3(0, 1, 0));
    EXPECT_EQ(hit.normal, Vector3(0, 2, 0));
}

TEST(PlanePrim, LimitsAndRecordedHits) {
    const PlanePrim plane = MakePlane({0, 0, 1}, 0);
    const Ray down = MakeRay({0, 0, 2}, {0, 0, -1}, 2.0f);
    Intersection atMax;
    EXPECT_TRUE(plane.Intersect(down, atMax));  // inclusive tMax
    EXPECT_EQ(atMax.distance, 2.0f);

    Intersection shortRay;
    EXPECT_FALSE(plane.Intersect(MakeRay({0, 0, 2}, {0, 0, -1}, 1.5f), shortRay));
    Intersection nearer;
    nearer.distance = 1.0f;
    EXPECT_FALSE(plane.Intersect(MakeRay({0, 0, 2}, {0, 0, -1}), nearer));
    EXPECT_EQ(nearer.distance, 1.0f);

    // t > 0 strictly, with no 0.001 margin: a ray from 0.0005 above still hits.
    Ray close = MakeRay({0, 0, 0.0005f}, {0, 0, -1});
    close.tMin = 0.0f;
    Intersection tiny;
    EXPECT_TRUE(plane.Intersect(close, tiny));
    EXPECT_EQ(tiny.distance, 0.0005f);
    Ray onPlane = MakeRay({0, 0, 0}, {0, 0, -1});
    onPlane.tMin = 0.0f;
    Intersection zero;
    EXPECT_FALSE(plane.Intersect(onPlane, zero));
}

TEST(PlanePrim, ZeroNormalIsNeverHit) {
    const PlanePrim plane = MakePlane({0, 0, 0}, 1);
    for (const Vector3& d : {Vector3(0, 0, 1), Vector3(0, -1, 0), Vector3(0.6f, 0, -0.8f)}) {
        Intersection hit;
        EXPECT_FALSE(plane.Intersect(MakeRay({0, 0, 0}, d), hit));
    }
}

}  // namespace
}  // namespace glintor
