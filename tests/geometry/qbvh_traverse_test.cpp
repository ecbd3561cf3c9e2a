#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <string>

#include "geometry/qbvh.h"
#include "tests/geometry/qbvh_test_helpers.h"

namespace glintor {
namespace {

using testing::Mesh;
using testing::QueryAllPaths;
using testing::SameRecord;

using testing::Built;

Mesh Square(float z) {
    Mesh mesh;
    mesh.AddTriangle({0, 0, z}, {1, 0, z}, {0, 1, z});
    mesh.AddTriangle({1, 0, z}, {1, 1, z}, {0, 1, z});
    return mesh;
}

TEST(QbvhTraverse, NearerLaneOfOneRecordWins) {
    Mesh mesh;
    mesh.AddTriangle({0, 0, 2}, {1, 0, 2}, {0, 1, 2});
    mesh.AddTriangle({0, 0, 1}, {1, 0, 1}, {0, 1, 1});
    const Built built(mesh);
    ASSERT_EQ(built.bvh.QuadCount(), 1u);
    Intersection hit;
    ASSERT_TRUE(QueryAllPaths(built.bvh, Ray({0.25f, 0.25f, 0}, {0, 0, 1}, RayInfinity), hit));
    EXPECT_EQ(hit.triangleIndex, 1);
    EXPECT_EQ(hit.distance, 1.0f);
}

TEST(QbvhTraverse, EqualDistancesKeepTheLowerLane) {
    for (int first : {0, 1}) {
        Mesh mesh;
        const float size[2] = {2, 4};
        for (int k : {first, 1 - first}) {
            mesh.AddTriangle({-1, -1, 1}, {size[k], -1, 1}, {-1, size[k], 1});
        }
        const Built built(mesh);
        ASSERT_EQ(built.bvh.Quads()[0].triangleIds[0], 0);
        Intersection hit;
        ASSERT_TRUE(QueryAllPaths(built.bvh, Ray({0, 0, 0}, {0, 0, 1}, RayInfinity), hit));
        EXPECT_EQ(hit.distance, 1.0f);
        EXPECT_EQ(hit.triangleIndex, 0);
    }
}

TEST(QbvhTraverse, EqualDistancesInTwoLeavesKeepTheHighestSlot) {
    // Two triangles in the plane z = 1 share the edge x = 6: triangle 0 lies in the left leaf
    // (root slot 0) with three small triangles, one of them at z = 2, and triangle 4 in the right
    // leaf (slot 2) with three more. A walk in slot order tests slot 2 first and keeps its hit;
    // the equal distance found later in slot 0 does not replace it. The rays below meet the
    // shared edge at t = 2 exactly (det = +-64); the straight one enters the left box first, its
    // top being at z = 2. Lifted to z = 65536 the padding rounds away, and the right box is
    // entered exactly at the distance of the first hit.
    for (const float lift : {0.0f, 65535.0f}) {
        Mesh mesh;
        mesh.AddTriangle({-2, -4, 1 + lift}, {6, -4, 1 + lift}, {6, 4, 1 + lift});
        for (const Vector3& at :
             {Vector3(-1, 5, 1 + lift), Vector3(-1, 7, 1 + lift), Vector3(0, 6, 2 + lift)}) {
            mesh.AddTriangle(at, at + Vector3(1, 0, 0), at + Vector3(0, 1, 0));
        }
        mesh.AddTriangle({6, -4, 1 + lift}, {6, 4, 1 + lift}, {14, 4, 1 + lift});
        for (const float y : {5.0f, 6.0f, 7.0f}) {
            mesh.AddTriangle({13, y, 1 + lift}, {14, y, 1 + lift}, {13, y + 1, 1 + lift});
        }
        const Built built(mesh);
        const QbvhNode& root = built.bvh.Nodes()[0];
        ASSERT_TRUE(IsLeafReference(root.children[0]));
        ASSERT_TRUE(IsLeafReference(root.children[2]));
        const int32_t* right = built.bvh.Quads()[LeafStart(root.children[2])].triangleIds;
        ASSERT_NE(std::find(right, right + 4, 4), right + 4);
        for (const Vector3& d : {Vector3(0, 0, -1), Vector3(1, 0, -1), Vector3(-1, 0, -1)}) {
            for (const float y : {0.0f, -4.0f, 4.0f}) {
                Intersection hit;
                ASSERT_TRUE(QueryAllPaths(
                    built.bvh, Ray(Vector3(6, y, 1 + lift) - d * 2.0f, d, RayInfinity), hit));
                EXPECT_EQ(hit.distance, 2.0f);
                EXPECT_EQ(hit.triangleIndex, 4) << y << " " << lift;
            }
        }
        // Off the edge each triangle answers for itself.
        Intersection left;
        ASSERT_TRUE(QueryAllPaths(built.bvh, Ray({5, 0, 3 + lift}, {0, 0, -1}, RayInfinity), left));
        EXPECT_EQ(left.triangleIndex, 0);
    }
}

TEST(QbvhTraverse, NearerHitInALeafMetLaterReplacesTheFirst) {
    // The ray starts inside the right leaf's box (root slot 2) and meets its big triangle (0) at
    // t = 1 exactly; the left leaf's box (slot 0), entered later and met later by a walk in slot
    // order too, holds triangle 4 at t = 0.5, which must replace it.
    Mesh mesh;
    mesh.AddTriangle({24, -4, 1}, {-8, -4, 1}, {24, 4, 1});
    for (const float y : {6.0f, 7.0f, 8.0f}) {
        mesh.AddTriangle({20, y, 0}, {19, y, 0}, {20, y + 1, 0});
    }
    mesh.AddTriangle({-2, -4, 0.5f}, {-34, -4, 0.5f}, {-34, 4, 0.5f});
    for (const float y : {6.0f, 7.0f, 8.0f}) {
        mesh.AddTriangle({-30, y, 0.5f}, {-31, y, 0.5f}, {-30, y + 1, 0.5f});
    }
    const Built built(mesh);
    const QbvhNode& root = built.bvh.Nodes()[0];
    ASSERT_TRUE(IsLeafReference(root.children[0]));
    const int32_t* left = built.bvh.Quads()[LeafStart(root.children[0])].triangleIds;
    ASSERT_NE(std::find(left, left + 4, 4), left + 4);
    Intersection hit;
    ASSERT_TRUE(QueryAllPaths(built.bvh, Ray({-5, -3.5f, 0}, {0, 0, 1}, RayInfinity), hit));
    EXPECT_EQ(hit.triangleIndex, 4);
    EXPECT_EQ(hit.distance, 0.5f);
}

TEST(QbvhTraverse, SharedEdgeIsHitWithAZeroWeight) {
    const Built built(Square(1));
    Intersection hit;
    ASSERT_TRUE(QueryAllPaths(built.bvh, Ray({0.5f, 0.5f, 0}, {0, 0, 1}, RayInfinity), hit));
    EXPECT_EQ(hit.distance, 1.0f);
    EXPECT_EQ(hit.bary0 == 0.0f || hit.bary1 == 0.0f || hit.bary2 == 0.0f, true);
    // A shared corner too.
    Intersection corner;
    ASSERT_TRUE(QueryAllPaths(built.bvh, Ray({1, 0, 0}, {0, 0, 1}, RayInfinity), corner));
    EXPECT_EQ(corner.distance, 1.0f);
}

TEST(QbvhTraverse, RayInTheTrianglePlaneIsNeverHit) {
    const Built built(Square(1));
    for (const Ray& ray : {Ray({-1, 0.25f, 1}, {1, 0, 0}, RayInfinity),
                           Ray({0.25f, -1, 1}, {0, 1, 0}, RayInfinity)}) {
        Intersection hit;
        const Intersection before = hit;
        EXPECT_FALSE(QueryAllPaths(built.bvh, ray, hit));
        EXPECT_TRUE(SameRecord(before, hit));
    }
}

TEST(QbvhTraverse, HitsAtExactlyTheLimitsAreNotReported) {
    const Built built(Square(1));
    const Ray atMax({0.25f, 0.25f, 0}, {0, 0, 1}, 1.0f);
    Intersection hit;
    EXPECT_FALSE(QueryAllPaths(built.bvh, atMax, hit));
    Ray atMin({0.25f, 0.25f, 0}, {0, 0, 1}, RayInfinity);
    atMin.tMin = 1.0f;
    EXPECT_FALSE(QueryAllPaths(built.bvh, atMin, hit));
    const Ray justPast({0.25f, 0.25f, 0}, {0, 0, 1}, std::nextafter(1.0f, 2.0f));
    EXPECT_TRUE(QueryAllPaths(built.bvh, justPast, hit));
    // The recorded distance is a limit as well.
    Intersection recorded;
    recorded.distance = 1.0f;
    EXPECT_FALSE(QueryAllPaths(built.bvh, Ray({0.25f, 0.25f, 0}, {0, 0, 1}, 9.0f), recorded));
}

TEST(QbvhTraverse, NearerSphereHitInTheRecordHidesFartherTriangles) {
    Mesh mesh = Square(5);
    mesh.AddTriangle({10, 10, 1}, {11, 10, 1}, {10, 11, 1});
    const Built built(mesh);
    Intersection sphereHit;
    sphereHit.distance = 2.0f;
    sphereHit.point = {0.25f, 0.25f, 2};
    sphereHit.normal = {0, 0, -1};
    sphereHit.materialId = 3;
    const Intersection before = sphereHit;
    EXPECT_FALSE(
        QueryAllPaths(built.bvh, Ray({0.25f, 0.25f, 0}, {0, 0, 1}, RayInfinity), sphereHit));
    EXPECT_TRUE(SameRecord(before, sphereHit));

    ASSERT_TRUE(
        QueryAllPaths(built.bvh, Ray({10.25f, 10.25f, 0}, {0, 0, 1}, RayInfinity), sphereHit));
    EXPECT_EQ(sphereHit.distance, 1.0f);
    EXPECT_EQ(sphereHit.triangleIndex, 2);
    // Fields the mesh set owns are left for it.
    EXPECT_EQ(sphereHit.point, before.point);
    EXPECT_EQ(sphereHit.normal, before.normal);
    EXPECT_EQ(sphereHit.materialId, 3);
}

TEST(QbvhTraverse, EarlierTriangleHitInTheRecordIsNotReportedAgain) {
    const Built built(Square(5));
    Intersection hit;
    ASSERT_TRUE(QueryAllPaths(built.bvh, Ray({0.25f, 0.25f, 0}, {0, 0, 1}, RayInfinity), hit));
    const Intersection first = hit;
    EXPECT_FALSE(QueryAllPaths(built.bvh, Ray({0.25f, 0.25f, 0}, {0, 0, 1}, RayInfinity), hit));
    EXPECT_TRUE(SameRecord(first, hit));
}

TEST(QbvhTraverse, AxisParallelRaysWithSignedZeroComponentsFindTheirTriangles) {
    std::mt19937 rng(5);
    const Built built(testing::MakeGrid(16, -8, -8, 0));
    std::uniform_real_distribution<float> coordinate(-7.9f, 7.9f);
    for (int i = 0; i < 200; ++i) {
        const float x = coordinate(rng);
        const float y = coordinate(rng);
        for (const Vector3& d :
             {Vector3(0, 0, -1), Vector3(-0.0f, -0.0f, -1), Vector3(0.0f, -0.0f, -1)}) {
            Intersection hit;
            ASSERT_TRUE(QueryAllPaths(built.bvh, Ray({x, y, 3}, d, RayInfinity), hit));
            EXPECT_EQ(hit.distance, 3.0f);
        }
        Intersection under;
        EXPECT_FALSE(QueryAllPaths(built.bvh, Ray({x, y, -3}, {-0.0f, 0, -1}, RayInfinity), under));
    }
}

TEST(QbvhTraverse, RayRunningInASlabPlaneStillEntersTheBox) {
    // At x = 65536 the 0.001 padding is below half a float step, so the box faces coincide
    // with the triangle's edges, and a ray with dx = 0 along a face meets 0 x infinity.
    Mesh mesh;
    mesh.AddTriangle({65536, -1, 5}, {65536, 1, 5}, {65538, 0, 5});
    const Built built(mesh);
    ASSERT_EQ(built.bvh.Nodes()[0].minX[0], 65536.0f);
    ASSERT_EQ(built.bvh.Nodes()[0].maxX[0], 65538.0f);
    for (float dx : {0.0f, -0.0f}) {
        Intersection edge;
        ASSERT_TRUE(QueryAllPaths(built.bvh, Ray({65536, 0, 0}, {dx, 0, 1}, RayInfinity), edge));
        EXPECT_EQ(edge.distance, 5.0f);
        EXPECT_EQ(edge.bary2, 0.0f);
        Intersection vertex;
        ASSERT_TRUE(QueryAllPaths(built.bvh, Ray({65538, 0, 0}, {dx, 0, 1}, RayInfinity), vertex));
        EXPECT_EQ(vertex.bary2, 1.0f);
    }
    // On the plane but outside the triangle's extent in y: a miss.
    Intersection miss;
    EXPECT_FALSE(QueryAllPaths(built.bvh, Ray({65536, 2, 0}, {0, 0, 1}, RayInfinity), miss));

    // A flat triangle at z = 65536 loses its padding in z: its box has no thickness, so a ray
    // crossing it enters and leaves the box at the same t, which still counts as passing.
    Mesh flat;
    flat.AddTriangle({65536, -1, 65536}, {65536, 1, 65536}, {65538, 0, 65536});
    const Built floor(flat);
    ASSERT_EQ(floor.bvh.Nodes()[0].minZ[0], floor.bvh.Nodes()[0].maxZ[0]);
    for (const Vector3& d : {Vector3(0, 0, -1), Vector3(0.5f, 0, -1)}) {
        Intersection hit;
        ASSERT_TRUE(
            QueryAllPaths(floor.bvh, Ray(Vector3(65537, 0, 65536) - d * 4.0f, d, 9.0f), hit));
        EXPECT_EQ(hit.distance, 4.0f);
    }
}

TEST(QbvhTraverse, UnusableRaysHaveNoHit) {
    const Built built(Square(1));
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    Ray nanLimit({0.25f, 0.25f, 0}, {0, 0, 1}, nan);
    Ray nanMin({0.25f, 0.25f, 0}, {0, 0, 1}, RayInfinity);
    nanMin.tMin = nan;
    Ray reversed({0.25f, 0.25f, 0}, {0, 0, 1}, 0.5f);
    reversed.tMin = 2.0f;
    for (const Ray& ray :
         {Ray({nan, 0.25f, 0}, {0, 0, 1}, RayInfinity),
          Ray({0.25f, 0.25f, 0}, {0, nan, 1}, RayInfinity),
          Ray({0.25f, 0.25f, -inf}, {0, 0, 1}, RayInfinity),
          Ray({0.25f, 0.25f, 0}, {0, 0, inf}, RayInfinity),
          Ray({0.25f, 0.25f, 0}, {0, 0, 0}, RayInfinity), nanLimit, nanMin, reversed}) {
        Intersection hit;
        const Intersection before = hit;
        EXPECT_FALSE(QueryAllPaths(built.bvh, ray, hit));
        EXPECT_TRUE(SameRecord(before, hit));
    }
}

TEST(QbvhTraverse, WeightsSumToOneAndRebuildTheHitPoint) {
    std::mt19937 rng(21);
    const Built built(testing::MakeSoup(3000, 5.0f, 2.0f, rng));
    int hits = 0;
    for (int i = 0; i < 5000; ++i) {
        const Ray ray(testing::RandomPoint(rng, 6.0f), testing::RandomDirection(rng), RayInfinity);
        Intersection hit;
        if (!QueryAllPaths(built.bvh, ray, hit)) {
            continue;
        }
        ++hits;
        EXPECT_NEAR(hit.bary0 + hit.bary1 + hit.bary2, 1.0f, 1e-6f);
        const Mesh& mesh = built.mesh;
        const Vector3& v0 = mesh.positions[mesh.indices[3 * hit.triangleIndex]];
        const Vector3 e1 = mesh.positions[mesh.indices[3 * hit.triangleIndex + 1]] - v0;
        const Vector3 e2 = mesh.positions[mesh.indices[3 * hit.triangleIndex + 2]] - v0;
        const Vector3 onTriangle = v0 + e1 * hit.bary1 + e2 * hit.bary2;
        EXPECT_LT((onTriangle - ray.At(hit.distance)).Length(), 1e-4f);
    }
    EXPECT_GT(hits, 2500);
}

TEST(QbvhTraverse, CountersMeasureTheWork) {
    const Built built(testing::MakeGrid(32, 0, 0, 0));
    TraversalCounters counters;
    Intersection hit;
    ASSERT_TRUE(
        built.bvh.IntersectCounted(Ray({3.3f, 4.6f, 1}, {0, 0, -1}, RayInfinity), hit, counters));
    EXPECT_GE(counters.nodesVisited, built.bvh.MaxLevel() + 1);
    EXPECT_GT(counters.trianglesTested, 0u);
    EXPECT_EQ(counters.trianglesTested % 4, 0u);
    EXPECT_LT(counters.trianglesTested, 2048u);
    const TraversalCounters once = counters;
    Intersection again;
    built.bvh.IntersectCounted(Ray({3.3f, 4.6f, 1}, {0, 0, -1}, RayInfinity), again, counters);
    EXPECT_EQ(counters.nodesVisited, 2 * once.nodesVisited);
}

TEST(QbvhTraverse, TreeDeeperThanTheOrdinaryStack) {
    // Triangles growing geometrically along x: every heuristic split peels off only the few
    // largest, so the tree reaches the depth where ranges are halved instead.
    Mesh mesh;
    float x = 1.0f;
    for (int i = 0; i < 400; ++i) {
        const float size = 0.25f * x;
        mesh.AddTriangle({x, 0, 0}, {x + size, 0, 0}, {x, size, 0});
        x *= 1.2f;
    }
    const Built built(mesh);
    ASSERT_GT(built.bvh.StackDepthNeeded(), static_cast<uint32_t>(QBVH::StackSize));
    EXPECT_LE(built.bvh.StackDepthNeeded(), static_cast<uint32_t>(QBVH::DeepStackSize));
    // Deeper than the heuristic may go: the last levels were halved by count.
    EXPECT_GT(built.bvh.MaxLevel(), static_cast<uint32_t>(QBVH::MaxSahDepth / 2));
    EXPECT_LE(built.bvh.MaxLevel(), static_cast<uint32_t>(QBVH::MaxSplitDepth / 2));
    int hits = 0;
    for (int i = 0; i < 400; ++i) {
        const int32_t* t = &mesh.indices[3 * i];
        const Vector3 inside =
            (mesh.positions[t[0]] * 2.0f + mesh.positions[t[1]] + mesh.positions[t[2]]) * 0.25f;
        // Straight down and slanted. Beyond x = 1e19 the products of the triangle test
        // overflow, so only the brute force's verdict is compared there.
        for (const Vector3& d : {Vector3(0, 0, -1), Vector3(-0.6f, 0, -0.8f)}) {
            const Ray ray(inside - d * 2.0f, d, RayInfinity);
            Intersection hit;
            const bool found = QueryAllPaths(built.bvh, ray, hit);
            const testing::ReferenceHit expected = testing::BruteForce(mesh, ray, RayInfinity);
            ASSERT_EQ(found, expected.hit) << i;
            if (found) {
                ++hits;
                EXPECT_EQ(hit.distance, expected.distance);
            }
            EXPECT_TRUE(found || inside.x > 1e19f) << i;
        }
    }
    EXPECT_GT(hits, 480);
}

}  // namespace
}  // namespace glintor
