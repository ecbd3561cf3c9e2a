#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "geometry/qbvh.h"
#include "tests/geometry/qbvh_test_helpers.h"

namespace glintor {
namespace {

using testing::Mesh;

const std::string SameCentroidMessage =
    "QBVH unable to handle geometry, too many primitives with the same centroid\n";

std::string BuildCapturingOutput(const Mesh& mesh, QBVH& bvh) {
    ::testing::internal::CaptureStdout();
    const bool built = mesh.BuildInto(bvh);
    const std::string output = ::testing::internal::GetCapturedStdout();
    EXPECT_TRUE(built);
    return output;
}

// A small triangle in the plane z = 0 around (x, y).
void AddSmallTriangle(Mesh& mesh, float x, float y) {
    mesh.AddTriangle({x, y, 0}, {x + 0.5f, y, 0}, {x, y + 0.5f, 0});
}

size_t CountOccurrences(const std::string& text, const std::string& part) {
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++count;
    }
    return count;
}

bool Contains(const BoundingBox& outer, const BoundingBox& inner) {
    return outer.min.x <= inner.min.x && outer.min.y <= inner.min.y && outer.min.z <= inner.min.z &&
           outer.max.x >= inner.max.x && outer.max.y >= inner.max.y && outer.max.z >= inner.max.z;
}

// Walks the finished tree and checks what must hold for any input: child references point
// forward, leaves reference contiguous record ranges numbered in depth-first slot order that
// cover every record, each slot box lies inside its parent's and holds the triangles of its
// leaf (lane 0 of every record always belongs to the leaf itself). Returns the triangle ids of
// all lanes.
std::multiset<int32_t> CheckStructure(const QBVH& bvh, const Mesh& mesh) {
    std::multiset<int32_t> lanes;
    uint32_t nextRecord = 0;
    auto walk = [&](auto&& self, int32_t node, uint32_t level, const BoundingBox& outer) -> void {
        EXPECT_LE(level, bvh.MaxLevel());
        const QbvhNode& n = bvh.Nodes()[node];
        for (int slot = 0; slot < 4; ++slot) {
            const int32_t child = n.children[slot];
            if (child == EmptyChild) {
                continue;
            }
            const BoundingBox box{{n.minX[slot], n.minY[slot], n.minZ[slot]},
                                  {n.maxX[slot], n.maxY[slot], n.maxZ[slot]}};
            EXPECT_TRUE(Contains(outer, box));
            if (child >= 0) {
                ASSERT_GT(child, node);
                ASSERT_LT(static_cast<uint32_t>(child), bvh.UsedNodes());
                self(self, child, level + 1, box);
                continue;
            }
            ASSERT_TRUE(IsLeafReference(child));
            EXPECT_EQ(LeafStart(child), nextRecord);
            nextRecord += LeafRecordCount(child);
            ASSERT_LE(nextRecord, bvh.QuadCount());
            for (uint32_t r = LeafStart(child); r < nextRecord; ++r) {
                const int32_t* ids = bvh.Quads()[r].triangleIds;
                lanes.insert(ids, ids + 4);
                BoundingBox own;
                for (int k = 0; k < 3; ++k) {
                    own.Merge(mesh.positions[mesh.indices[3 * ids[0] + k]]);
                }
                EXPECT_TRUE(Contains(box, own));
            }
        }
    };
    walk(walk, 0, 0, bvh.SceneBox());
    EXPECT_EQ(nextRecord, bvh.QuadCount());
    return lanes;
}

TEST(QbvhBuild, OneTriangle) {
    Mesh mesh;
    mesh.AddTriangle({0, 0, 2}, {1, 0, 2}, {0, 1, 2});
    QBVH bvh;
    const std::string output = BuildCapturingOutput(mesh, bvh);
    EXPECT_EQ(output,
              "QBVH - Primitives: 1, Initial Nodes 1\n"
              "QBVH - Completed with 1/1 nodes\n"
              "QBVH - Memory usage: 0.11KB\n"
              "QBVH - QuadTriangle count: 1\n"
              "\n");
    EXPECT_EQ(bvh.UsedNodes(), 1u);
    EXPECT_EQ(bvh.QuadCount(), 1u);
    const QbvhNode& root = bvh.Nodes()[0];
    ASSERT_TRUE(IsLeafReference(root.children[0]));
    EXPECT_EQ(LeafRecordCount(root.children[0]), 1u);
    EXPECT_EQ(LeafStart(root.children[0]), 0u);
    for (int slot = 1; slot < 4; ++slot) {
        EXPECT_EQ(root.children[slot], EmptyChild);
        EXPECT_EQ(root.minX[slot], RayInfinity);
        EXPECT_EQ(root.maxZ[slot], -RayInfinity);
    }
    for (int lane = 0; lane < 4; ++lane) {
        EXPECT_EQ(bvh.Quads()[0].triangleIds[lane], 0);
        EXPECT_EQ(bvh.Quads()[0].vert0Z[lane], 2.0f);
        EXPECT_EQ(bvh.Quads()[0].edge1X[lane], 1.0f);
        EXPECT_EQ(bvh.Quads()[0].edge2Y[lane], 1.0f);
    }
    // The padding gives the flat triangle a box of non-zero thickness.
    EXPECT_EQ(root.minZ[0], 2.0f - 0.001f);
    EXPECT_EQ(root.maxZ[0], 2.0f + 0.001f);
    EXPECT_EQ(root.minX[0], -0.001f);
    EXPECT_EQ(root.maxY[0], 1.001f);
    EXPECT_EQ(bvh.SceneBox().min, Vector3(-0.001f, -0.001f, 2.0f - 0.001f));
}

TEST(QbvhBuild, FiveTrianglesSplitOnceAndGrowTheNodeArray) {
    Mesh mesh;
    for (int i = 0; i < 5; ++i) {
        AddSmallTriangle(mesh, 3.0f * static_cast<float>(i), 0);
    }
    QBVH bvh;
    const std::string output = BuildCapturingOutput(mesh, bvh);
    EXPECT_NE(output.find("QBVH - Primitives: 5, Initial Nodes 1\n"), std::string::npos);
    EXPECT_NE(output.find("QBVH - Completed with 1/2 nodes\n"), std::string::npos);
    EXPECT_EQ(bvh.UsedNodes(), 1u);
    EXPECT_EQ(bvh.NodeCapacity(), 2u);
    const QbvhNode& root = bvh.Nodes()[0];
    EXPECT_TRUE(IsLeafReference(root.children[0]));
    EXPECT_TRUE(IsLeafReference(root.children[2]));
    EXPECT_EQ(root.children[1], EmptyChild);
    EXPECT_EQ(root.children[3], EmptyChild);
    EXPECT_EQ(bvh.QuadCount(), 2u);
    // The left half holds the triangles of smallest x.
    EXPECT_EQ(root.minX[0], -0.001f);
    EXPECT_LT(root.maxX[0], root.minX[2]);
    EXPECT_EQ(root.maxX[2], 12.5f + 0.001f);
}

// The ids in the first `count` lanes of the leaf in the root's slot.
std::set<int32_t> LeafIds(const QBVH& bvh, int slot, int count) {
    const int32_t ref = bvh.Nodes()[0].children[slot];
    if (!IsLeafReference(ref)) {
        return {};
    }
    const int32_t* ids = bvh.Quads()[LeafStart(ref)].triangleIds;
    return {ids, ids + count};
}

TEST(QbvhBuild, TiesKeepTheLowestSplitAndPreferYThenZ) {
    // Equal cost: three pairs of equal triangles centred at x = -8, 0 and 8, mirror images of
    // each other, so cutting after the first pair or after the second costs exactly the same.
    // The lowest candidate wins: the first pair alone goes left.
    Mesh pairs;
    for (float c : {-8.0f, 0.0f, 8.0f}) {
        for (int copy = 0; copy < 2; ++copy) {
            pairs.AddTriangle({c - 0.5f, -0.5f, 0}, {c + 0.5f, -0.5f, 0}, {c - 0.5f, 0.5f, 0});
        }
    }
    QBVH bvh;
    BuildCapturingOutput(pairs, bvh);
    EXPECT_EQ(LeafIds(bvh, 0, 2), (std::set<int32_t>{0, 1}));
    EXPECT_EQ(LeafIds(bvh, 2, 4), (std::set<int32_t>{2, 3, 4, 5}));

    // Equal centroid spreads: three triangles around (0, 10) and three around (10, 0) spread
    // their centroids equally in x and y, so y is split and the group of small y goes left; in
    // the xz plane the same layout is split along z.
    for (const int second : {1, 2}) {
        Mesh groups;
        for (const float shift : {0.0f, 10.0f}) {
            for (int copy = 0; copy < 3; ++copy) {
                Vector3 corner[3] = {{-1, 0, -1}, {1, 0, -1}, {-1, 0, 1}};
                for (Vector3& p : corner) {
                    if (second == 1) {
                        std::swap(p.y, p.z);
                    }
                    p.x += shift;
                    p[second] += 10.0f - shift;
                }
                groups.AddTriangle(corner[0], corner[1], corner[2]);
            }
        }
        BuildCapturingOutput(groups, bvh);
        EXPECT_EQ(LeafIds(bvh, 0, 3), (std::set<int32_t>{3, 4, 5})) << "axis " << second;
    }
}

TEST(QbvhBuild, InitialCapacityFollowsTheBalancedTreeEstimate) {
    const std::pair<int, int> cases[] = {{64, 5}, {17, 3}, {16, 1}, {4, 1}, {300, 27}};
    for (const auto& [count, capacity] : cases) {
        Mesh mesh;
        for (int i = 0; i < count; ++i) {
            AddSmallTriangle(mesh, 2.0f * static_cast<float>(i % 8),
                             2.0f * static_cast<float>(i / 8));
        }
        QBVH bvh;
        const std::string output = BuildCapturingOutput(mesh, bvh);
        EXPECT_EQ(output.rfind("QBVH - Primitives: " + std::to_string(count) + ", Initial Nodes " +
                                   std::to_string(capacity) + "\n",
                               0),
                  0u)
            << output;
        EXPECT_EQ(output.find(SameCentroidMessage), std::string::npos);
        const std::multiset<int32_t> lanes = CheckStructure(bvh, mesh);
        for (int i = 0; i < count; ++i) {
            EXPECT_GE(lanes.count(i), 1u) << "triangle " << i;
        }
    }
}

TEST(QbvhBuild, CoincidentCentroidsBecomeOneLeafUpTo64) {
    Mesh five;
    for (int i = 0; i < 5; ++i) {
        five.AddTriangle({0, 0, 0}, {1, 0, 0}, {0, 1, 0});
    }
    QBVH bvh;
    EXPECT_EQ(BuildCapturingOutput(five, bvh).find(SameCentroidMessage), std::string::npos);
    EXPECT_EQ(bvh.UsedNodes(), 1u);
    EXPECT_EQ(bvh.QuadCount(), 2u);
    ASSERT_TRUE(IsLeafReference(bvh.Nodes()[0].children[0]));
    EXPECT_EQ(LeafRecordCount(bvh.Nodes()[0].children[0]), 2u);
    // Spare lanes of the last record repeat the last triangle.
    const int32_t* ids = bvh.Quads()[1].triangleIds;
    EXPECT_EQ(std::vector<int32_t>(ids, ids + 4), (std::vector<int32_t>{4, 4, 4, 4}));

    Mesh sixtyFour;
    for (int i = 0; i < 64; ++i) {
        sixtyFour.AddTriangle({0, 0, 0}, {1, 0, 0}, {0, 1, 0});
    }
    QBVH full;
    EXPECT_EQ(BuildCapturingOutput(sixtyFour, full).find(SameCentroidMessage), std::string::npos);
    EXPECT_EQ(LeafRecordCount(full.Nodes()[0].children[0]), 16u);
}

TEST(QbvhBuild, TooManyCoincidentCentroidsPrintOnceAndStillHoldEveryTriangle) {
    for (int count : {70, 1000}) {
        Mesh mesh;
        for (int i = 0; i < count; ++i) {
            mesh.AddTriangle({0, 0, 0}, {1, 0, 0}, {0, 1, 0});
        }
        AddSmallTriangle(mesh, 10, 10);  // a separate triangle, so the root is split first
        QBVH bvh;
        const std::string output = BuildCapturingOutput(mesh, bvh);
        EXPECT_EQ(CountOccurrences(output, SameCentroidMessage), 1u) << count;
        EXPECT_LT(output.find(SameCentroidMessage), output.find("QBVH - Completed"));
        const std::multiset<int32_t> lanes = CheckStructure(bvh, mesh);
        for (int i = 0; i <= count; ++i) {
            EXPECT_GE(lanes.count(i), 1u);
        }
        Intersection hit;
        EXPECT_TRUE(bvh.Intersect(Ray({0.25f, 0.25f, 1}, {0, 0, -1}, RayInfinity), hit));
        EXPECT_LT(hit.triangleIndex, count);
    }
}

TEST(QbvhBuild, SplitPositionRoundedOntoOneSideStillMakesProgress) {
    // Centroids a few float steps apart: in one range the split position rounds to the largest
    // centroid, so the heuristic's partition keeps the whole range on one side; split that way
    // again and again, the build would never finish.
    const int shapes[][3] = {{2, 7, 10}, {3, 1, 10}, {4, 2, 10}, {0, 9, 6},
                             {4, 11, 6}, {0, 1, 10}, {0, 1, 0},  {4, 7, 10}};
    Mesh mesh;
    for (const auto& [steps, halfWidth, height] : shapes) {
        float c = 1.0f;
        for (int s = 0; s < steps; ++s) {
            c = std::nextafter(c, 2.0f);
        }
        const float h = std::ldexp(1.0f, -halfWidth);
        mesh.AddTriangle({c - h, 0, 0}, {c + h, 0, 0}, {c, std::ldexp(1.0f, -height), 0});
    }
    QBVH bvh;
    BuildCapturingOutput(mesh, bvh);
    const std::multiset<int32_t> lanes = CheckStructure(bvh, mesh);
    EXPECT_EQ(std::set<int32_t>(lanes.begin(), lanes.end()).size(), 8u);
    for (int i = 0; i < 8; ++i) {
        const Ray ray({mesh.positions[3 * i + 2].x, 1e-4f, 1}, {0, 0, -1}, RayInfinity);
        Intersection hit;
        const testing::ReferenceHit expected = testing::BruteForce(mesh, ray, RayInfinity);
        EXPECT_EQ(testing::QueryAllPaths(bvh, ray, hit), expected.hit);
        EXPECT_EQ(hit.distance, expected.hit ? expected.distance : RayInfinity);
    }
}

TEST(QbvhBuild, MoreTrianglesThanTheLeafCodingAddressesAreRefused) {
    QBVH bvh;
    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(bvh.Build(nullptr, nullptr, QBVH::MaxTriangles + 1, 0));
    EXPECT_NE(::testing::internal::GetCapturedStderr().find("QBVH - 134217728 triangles"),
              std::string::npos);
    EXPECT_EQ(bvh.Nodes(), nullptr);
    Intersection hit;
    EXPECT_FALSE(bvh.Intersect(Ray({0, 0, 1}, {0, 0, -1}, RayInfinity), hit));
}

TEST(QbvhBuild, ArraysAre64ByteAlignedAndLeavesCoverEveryTriangle) {
    std::mt19937 rng(11);
    const Mesh mesh = testing::MakeSoup(5000, 10.0f, 1.0f, rng);
    QBVH bvh;
    BuildCapturingOutput(mesh, bvh);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(bvh.Nodes()) % 64, 0u);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(bvh.Quads()) % 64, 0u);
    EXPECT_EQ(bvh.TriangleCount(), 5000u);
    const std::multiset<int32_t> lanes = CheckStructure(bvh, mesh);
    for (int32_t i = 0; i < 5000; ++i) {
        EXPECT_GE(lanes.count(i), 1u);
    }
    EXPECT_GE(bvh.QuadCount(), 1250u);
    EXPECT_LE(bvh.StackDepthNeeded(), static_cast<uint32_t>(QBVH::DeepStackSize));

    // Arrays of several megabytes come from the huge-page allocator.
    const Mesh grid = testing::MakeGrid(260, 0, 0, 0);
    QBVH large;
    BuildCapturingOutput(grid, large);
    ASSERT_GT(large.QuadCount() * sizeof(QuadTriangle), size_t{4} << 20);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(large.Nodes()) % 64, 0u);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(large.Quads()) % 64, 0u);
    const std::multiset<int32_t> gridLanes = CheckStructure(large, grid);
    EXPECT_EQ(std::set<int32_t>(gridLanes.begin(), gridLanes.end()).size(), grid.TriangleCount());
    Intersection hit;
    EXPECT_TRUE(large.Intersect(Ray({130.3f, 77.6f, 1}, {0, 0, -1}, RayInfinity), hit));
    EXPECT_EQ(hit.distance, 1.0f);
}

TEST(QbvhBuild, UnusableTrianglesAreLeftOutAndNeverHit) {
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    Mesh mesh;
    mesh.AddTriangle({0, 0, 0}, {1, 0, 0}, {0, 1, 0});                // 0: ordinary
    mesh.AddTriangle({0, 0, 1}, {nan, 0, 1}, {0, 1, 1});              // 1: NaN vertex
    mesh.AddTriangle({0, 0, 2}, {inf, 0, 2}, {0, 1, 2});              // 2: infinite vertex
    mesh.AddTriangle({3e38f, 0, 3}, {3.2e38f, 0, 3}, {3e38f, 1, 3});  // 3: centroid overflows
    mesh.AddTriangle({0, 0, 4}, {1, 0, 4}, {0, 1, 4});                // 4: ordinary
    mesh.indices.insert(mesh.indices.end(), {0, 1, 99});              // 5: index out of range
    mesh.indices.insert(mesh.indices.end(), {0, -1, 2});              // 6: negative index
    mesh.AddTriangle({0, 0, nan}, {1, 0, nan}, {0, 1, nan});          // 7: last one unusable
    QBVH bvh;
    BuildCapturingOutput(mesh, bvh);
    const std::multiset<int32_t> lanes = CheckStructure(bvh, mesh);
    EXPECT_EQ(std::set<int32_t>(lanes.begin(), lanes.end()), (std::set<int32_t>{0, 4}));
    EXPECT_TRUE(std::isfinite(bvh.SceneBox().max.x));

    // A ray up the z axis would meet every plane; only the usable triangles answer.
    for (float z : {-1.0f, 0.5f, 1.5f, 2.5f}) {
        Intersection hit;
        const bool found = bvh.Intersect(Ray({0.2f, 0.2f, z}, {0, 0, 1}, RayInfinity), hit);
        EXPECT_EQ(found, z < 3.5f);
        if (found) {
            EXPECT_EQ(hit.triangleIndex, z < 0 ? 0 : 4);
        }
    }
}

TEST(QbvhBuild, NoUsableTriangleGivesAnEmptyTreeThatIsNeverHit) {
    Mesh mesh;
    const float nan = std::numeric_limits<float>::quiet_NaN();
    mesh.AddTriangle({nan, 0, 0}, {1, 0, 0}, {0, 1, 0});
    QBVH bvh;
    const std::string output = BuildCapturingOutput(mesh, bvh);
    EXPECT_NE(output.find("QBVH - QuadTriangle count: 0\n"), std::string::npos);
    EXPECT_EQ(bvh.Nodes()[0].children[0], EmptyChild);
    Intersection hit;
    EXPECT_FALSE(bvh.Intersect(Ray({0.2f, 0.2f, 1}, {0, 0, -1}, RayInfinity), hit));

    QBVH never;
    EXPECT_FALSE(never.Intersect(Ray({0.2f, 0.2f, 1}, {0, 0, -1}, RayInfinity), hit));
}

TEST(QbvhBuild, RebuildReplacesThePreviousTree) {
    Mesh first;
    first.AddTriangle({0, 0, 0}, {1, 0, 0}, {0, 1, 0});
    Mesh second;
    second.AddTriangle({5, 5, 0}, {6, 5, 0}, {5, 6, 0});
    QBVH bvh;
    BuildCapturingOutput(first, bvh);
    BuildCapturingOutput(second, bvh);
    Intersection hit;
    EXPECT_FALSE(bvh.Intersect(Ray({0.2f, 0.2f, 1}, {0, 0, -1}, RayInfinity), hit));
    EXPECT_TRUE(bvh.Intersect(Ray({5.2f, 5.2f, 1}, {0, 0, -1}, RayInfinity), hit));
}

}  // namespace
}  // namespace glintor
