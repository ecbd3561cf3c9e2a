#include "math/vector.h"

#include <gtest/gtest.h>

#include <cmath>
#include "tests/support/vector_expect.h"

namespace glintor {
namespace {

using testing::ExpectNear;

TEST(Vector3, ZeroVectorNormalisesToZero) {
    Vector3 v;
    v.Normalize();
    EXPECT_EQ(v, Vector3(0, 0, 0));
    EXPECT_EQ(Vector3(0, 0, 0).Normalized(), Vector3(0, 0, 0));
    ExpectNear(Vector3(3, 0, 4).Normalized(), Vector3(0.6f, 0, 0.8f));
}

TEST(Vector3, CrossReflectAndBlackness) {
    EXPECT_EQ(Cross(Vector3(1, 0, 0), Vector3(0, 1, 0)), Vector3(0, 0, 1));
    const float h = 1.0f / std::sqrt(2.0f);
    ExpectNear(Reflect(Vector3(h, -h, 0), Vector3(0, 1, 0)), Vector3(h, h, 0));
    EXPECT_TRUE(Vector3(1, -1, 0).IsBlack());
    EXPECT_FALSE(Vector3(0, 0, 0.1f).IsBlack());
}

TEST(Vector3, BasisAroundAxes) {
    Vector3 u, w;
    BuildBasis(Vector3(0, 0, 1), u, w);
    ExpectNear(u, Vector3(0, 1, 0));
    ExpectNear(w, Vector3(-1, 0, 0));
    BuildBasis(Vector3(1, 0, 0), u, w);
    ExpectNear(u, Vector3(0, 0, 1));
    ExpectNear(w, Vector3(0, -1, 0));
    // Ties between |x| and |y| take the second branch.
    const Vector3 tie = Vector3(1, 1, 0).Normalized();
    BuildBasis(tie, u, w);
    EXPECT_EQ(u.x, 0.0f);
    EXPECT_NEAR(Dot(u, tie), 0.0f, 1e-6f);
    EXPECT_NEAR(Dot(w, tie), 0.0f, 1e-6f);
    EXPECT_NEAR(w.Length(), 1.0f, 1e-6f);
}

TEST(Ray, ConstructorAlwaysSetsEpsilon) {
    const Ray r(Vector3(1, 2, 3), Vector3(0, 0, 1), 5.0f);
    EXPECT_EQ(r.tMin, RayEpsilon);
    EXPECT_EQ(r.tMax, 5.0f);
    EXPECT_EQ(r.At(2.0f), Vector3(1, 2, 5));
}

TEST(BoundingBox, EmptyBoxTakesFirstPointAndSphere) {
    BoundingBox box;
    box.Merge(Vector3(1, 2, 3));
    EXPECT_EQ(box.min, Vector3(1, 2, 3));
    EXPECT_EQ(box.max, Vector3(1, 2, 3));
    box.Merge(Vector3(3, 2, 3));
    Vector3 center;
    float radius = 0;
    box.BoundingSphere(center, radius);
    EXPECT_EQ(center, Vector3(2, 2, 3));
    EXPECT_FLOAT_EQ(radius, 1.0f);

    // Nothing merged: the midpoint (the origin) lies outside the box, so the radius is 0, not
    // the distance to the max corner.
    BoundingBox().BoundingSphere(center, radius);
    EXPECT_EQ(center, Vector3());
    EXPECT_EQ(radius, 0.0f);
    // A flat box still contains its midpoint.
    BoundingBox flat;
    flat.Merge(Vector3(0, 0, 1));
    flat.Merge(Vector3(6, 8, 1));
    flat.BoundingSphere(center, radius);
    EXPECT_EQ(radius, 5.0f);
}

}  // namespace
}  // namespace glintor
