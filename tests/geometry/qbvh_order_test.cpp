// The traversal visits children nearest first and prunes by distance; its answers must be those
// of the plain walk it replaces: children pushed in slot order (so the highest passing slot is
// visited first), records of a leaf in order, the strictly nearest lane of a record taken, and
// on equal distances whatever that walk met first. PlainWalk below is that walk, written
// straight from its rules; every query is compared field by field, bit for bit.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "formats/ply_import.h"
#include "geometry/qbvh.h"
#include "tests/geometry/qbvh_test_helpers.h"
#include "tests/support/test_paths.h"

namespace glintor {
namespace {

using testing::Built;
using testing::Mesh;
using testing::SameRecord;

// Sanitized builds run each query many times slower; they check a twentieth of the rays.
#if defined(__SANITIZE_ADDRESS__)
constexpr int RayScale = 20;
#else
constexpr int RayScale = 1;
#endif

bool PlainWalk(const QBVH& bvh, const Ray& ray, Intersection& hit) {
    float farLimit = std::min(ray.tMax, hit.distance);
    const Vector3 o = ray.origin;
    const Vector3 d = ray.direction;
    for (int a = 0; a < 3; ++a) {
        if (!std::isfinite(o[a]) || !std::isfinite(d[a])) {
            return false;
        }
    }
    if (!(ray.tMin <= farLimit) || bvh.Nodes() == nullptr) {
        return false;
    }
    // -0 is taken as +0, and a slab term that is NaN (0 x infinity) is left out.
    const Vector3 reciprocal{1.0f / (d.x + 0.0f), 1.0f / (d.y + 0.0f), 1.0f / (d.z + 0.0f)};
    std::vector<int32_t> stack{0};
    bool found = false;
    while (!stack.empty()) {
        const int32_t ref = stack.back();
        stack.pop_back();
        if (ref >= 0) {
            const QbvhNode& n = bvh.Nodes()[ref];
            for (int slot = 0; slot < 4; ++slot) {
                const float lo[3] = {n.minX[slot], n.minY[slot], n.minZ[slot]};
                const float hi[3] = {n.maxX[slot], n.maxY[slot], n.maxZ[slot]};
                float tNear = ray.tMin;
                float tFar = farLimit;
                for (int a = 0; a < 3; ++a) {
                    const float nearPlane = d[a] < 0.0f ? hi[a] : lo[a];
                    const float farPlane = d[a] < 0.0f ? lo[a] : hi[a];
                    const float enter = (nearPlane - o[a]) * reciprocal[a];
                    const float leave = (farPlane - o[a]) * reciprocal[a];
                    tNear = enter > tNear ? enter : tNear;
                    tFar = leave < tFar ? leave : tFar;
                }
                if (tNear <= tFar) {
                    stack.push_back(n.children[slot]);
                }
            }
        } else if (ref != EmptyChild) {
            for (uint32_t r = 0; r < LeafRecordCount(ref); ++r) {
                const QuadTriangle& q = bvh.Quads()[LeafStart(ref) + r];
                int best = -1;
                float bestT = farLimit, bestU = 0, bestV = 0, bestW = 0;
                for (int lane = 0; lane < 4; ++lane) {
                    const Vector3 v0{q.vert0X[lane], q.vert0Y[lane], q.vert0Z[lane]};
                    const Vector3 e1{q.edge1X[lane], q.edge1Y[lane], q.edge1Z[lane]};
                    const Vector3 e2{q.edge2X[lane], q.edge2Y[lane], q.edge2Z[lane]};
                    const Vector3 p = Cross(d, e2);
                    const float det = Dot(e1, p);
                    const float invDet = 1.0f / det;
                    const Vector3 s = o - v0;
                    const float u = Dot(s, p) * invDet;
                    const Vector3 c = Cross(s, e1);
                    const float v = Dot(d, c) * invDet;
                    const float t = Dot(e2, c) * invDet;
                    const float w = 1.0f - (u + v);
                    if (det != 0.0f && u >= 0.0f && v >= 0.0f && w >= 0.0f && ray.tMin < t &&
                        t < farLimit && t < bestT) {
                        best = lane;
                        bestT = t;
                        bestU = u;
                        bestV = v;
                        bestW = w;
                    }
                }
                if (best >= 0) {
                    farLimit = bestT;
                    hit.distance = bestT;
                    hit.bary0 = bestW;
                    hit.bary1 = bestU;
                    hit.bary2 = bestV;
                    hit.triangleIndex = q.triangleIds[best];
                    found = true;
                }
            }
        }
    }
    return found;
}

// Runs one query on both lane paths, as a shadow query, and on the plain walk; counts rays, hits
// and mismatches.
class Comparison {
public:
    explicit Comparison(const QBVH& bvh) : bvh(bvh) {}
    void Check(const Ray& ray, const Intersection& start = Intersection()) {
        Intersection simd = start, scalar = start, plain = start;
        const bool found = bvh.Intersect(ray, simd, LanePath::Simd);
        const bool scalarFound = bvh.Intersect(ray, scalar, LanePath::Scalar);
        const bool plainFound = PlainWalk(bvh, ray, plain);
        // The shadow query on the same segment, cut where the start record ends it.
        Ray segment = ray;
        segment.tMax = std::min(ray.tMax, start.distance);
        const bool occluded = bvh.Occluded(segment);
        ++rays;
        hits += plainFound ? 1 : 0;
        if (found != plainFound || scalarFound != plainFound || occluded != plainFound ||
            !SameRecord(simd, plain) || !SameRecord(scalar, plain)) {
            if (++mismatches <= 3) {
                ADD_FAILURE() << "ray (" << ray.origin.x << ", " << ray.origin.y << ", "
                              << ray.origin.z << ") dir (" << ray.direction.x << ", "
                              << ray.direction.y << ", " << ray.direction.z << ") tMax " << ray.tMax
                              << ": triangle " << simd.triangleIndex << "/" << scalar.triangleIndex
                              << " at " << simd.distance << ", plain walk " << plain.triangleIndex
                              << " at " << plain.distance;
            }
        }
    }
    // Rays from a sphere around the box into it, from inside the box in any direction, and
    // shadow-like segments of random length that start on a triangle.
    void CheckMix(const Mesh& mesh, int count, std::mt19937& rng) {
        BoundingBox box;
        for (const Vector3& p : mesh.positions) {
            box.Merge(p);
        }
        Vector3 center;
        float radius;
        box.BoundingSphere(center, radius);
        std::uniform_real_distribution<float> unit(0.0f, 1.0f);
        auto inBox = [&] {
            const float x = unit(rng), y = unit(rng), z = unit(rng);
            return box.min + Vector3{x, y, z} * (box.max - box.min);
        };
        for (int i = 0; i < count; ++i) {
            if (i % 3 == 0) {
                const Vector3 from = center + testing::RandomDirection(rng) * (2.0f * radius);
                Check(Ray(from, (inBox() - from).Normalized(), RayInfinity));
            } else if (i % 3 == 1) {
                Check(Ray(inBox(), testing::RandomDirection(rng), RayInfinity));
            } else {
                const uint32_t t =
                    static_cast<uint32_t>(unit(rng) * mesh.TriangleCount()) % mesh.TriangleCount();
                const Vector3 on =
                    (mesh.positions[mesh.indices[3 * t]] + mesh.positions[mesh.indices[3 * t + 1]] +
                     mesh.positions[mesh.indices[3 * t + 2]]) *
                    (1.0f / 3.0f);
                Intersection record;
                record.distance = 2.0f * radius * unit(rng);
                Check(Ray(on, testing::RandomDirection(rng), RayInfinity), record);
            }
        }
    }
    const QBVH& bvh;
    int rays = 0;
    int hits = 0;
    int mismatches = 0;
};

Mesh MeshOf(const PlyMeshData& data, int copies) {
    Mesh mesh;
    for (int c = 0; c < copies; ++c) {
        const int32_t offset = static_cast<int32_t>(mesh.positions.size());
        mesh.positions.insert(mesh.positions.end(), data.positions.begin(), data.positions.end());
        for (const auto& triangle : data.indices) {
            for (int32_t index : triangle) {
                mesh.indices.push_back(index + offset);
            }
        }
    }
    return mesh;
}

TEST(QbvhOrder, SameAnswersAsThePlainWalkOnRealMeshesAndTies) {
    int totalRays = 0;
    std::mt19937 rng(29);
    auto run = [&](const std::string& name, const Mesh& mesh, int count) {
        SCOPED_TRACE(name);
        const Built built(mesh);
        Comparison comparison(built.bvh);
        comparison.CheckMix(built.mesh, count / RayScale, rng);
        EXPECT_EQ(comparison.mismatches, 0);
        EXPECT_GT(comparison.hits, comparison.rays / 5);
        totalRays += comparison.rays;
        return comparison.rays;
    };

    namespace fs = std::filesystem;
    const std::string folder = testing::SharedDataPath("meshes");
    std::vector<std::string> files;
    if (fs::is_directory(folder)) {
        for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
            if (entry.path().extension() == ".ply") {
                files.push_back(entry.path().string());
            }
        }
    }
    std::sort(files.begin(), files.end());
    for (const std::string& file : files) {
        PlyMeshData data;
        ::testing::internal::CaptureStdout();
        const bool loaded = PlyImport(file.c_str(), 0, data);
        ::testing::internal::GetCapturedStdout();
        ASSERT_TRUE(loaded) << file;
        const std::string name = fs::path(file).filename().string();
        run(name, MeshOf(data, 1), 60000);
        // Loaded twice at the same place: every hit is a tie between the two copies.
        run(name + " twice", MeshOf(data, 2), 20000);
    }
    if (files.empty()) {
        std::printf("No shared meshes at %s: constructed meshes only\n", folder.c_str());
    }

    // Coplanar, overlapping: two triangulations of the same integer grid, the second cut along
    // the other diagonals, and a third copy of the first; integer coordinates make the
    // distances of all three exactly equal.
    Mesh layers = testing::MakeGrid(24, 0, 0, 1);
    for (int y = 0; y < 24; ++y) {
        for (int x = 0; x < 24; ++x) {
            const float fx = static_cast<float>(x), fy = static_cast<float>(y);
            layers.AddTriangle({fx, fy, 1}, {fx + 1, fy, 1}, {fx, fy + 1, 1});
            layers.AddTriangle({fx + 1, fy, 1}, {fx + 1, fy + 1, 1}, {fx, fy + 1, 1});
        }
    }
    const Mesh copy = testing::MakeGrid(24, 0, 0, 1);
    for (int32_t index : copy.indices) {
        layers.indices.push_back(index);
    }
    run("coplanar layers", layers, 100000);
    // Rays through their shared vertices, edge midpoints and cell centres, straight and slanted.
    const Built built(layers);
    Comparison grid(built.bvh);
    for (int y = 0; y <= 48; ++y) {
        for (int x = 0; x <= 48; ++x) {
            const Vector3 target{0.5f * static_cast<float>(x), 0.5f * static_cast<float>(y), 1};
            for (const Vector3& d : {Vector3(0, 0, -1), Vector3(1, 0, -1), Vector3(-1, 1, -1),
                                     Vector3(0.5f, 0.25f, -1), Vector3(0, 0, 1)}) {
                grid.Check(Ray(target - d * 2.0f, d, RayInfinity));
            }
        }
    }
    EXPECT_EQ(grid.mismatches, 0);
    EXPECT_GT(grid.hits, grid.rays / 2);
    totalRays += grid.rays;

    // A closed sphere twice, and a soup of crossing triangles.
    Mesh spheres = testing::MakeIcosphere(4, 2.0f, {0.5f, -0.25f, 0.125f});
    const size_t sphereIndices = spheres.indices.size();
    for (size_t i = 0; i < sphereIndices; ++i) {
        spheres.indices.push_back(spheres.indices[i]);
    }
    run("sphere twice", spheres, 100000);
    run("soup", testing::MakeSoup(3000, 5.0f, 2.0f, rng), 100000);

    std::printf("Rays compared with the plain walk: %d\n", totalRays);
    if (!files.empty()) {
        EXPECT_GE(totalRays * RayScale, 1000000);
    }
}

// The last leaf in slot order has spare lanes, filled with copies of the padding triangle (the
// last one given), which here lies far outside that leaf's box and has a duplicate met later in
// the near leaf. A ray that hits the pair and then runs on through the last leaf's box must get
// the padding triangle, which the plain walk meets first, in the last leaf.
TEST(QbvhOrder, PaddingCopiesInTheLastLeafWinTheirTies) {
    const Vector3 a{-1, -1, 0}, b{6, -1, 0}, c{-1, 6, 0};
    for (const bool duplicateFirst : {true, false}) {
        SCOPED_TRACE(duplicateFirst ? "duplicate first" : "duplicate third");
        Mesh mesh;
        auto smallTriangle = [&](float x) {
            mesh.AddTriangle({x, x, 0.5f}, {x + 0.5f, x, 0.5f}, {x, x + 0.5f, 0.5f});
        };
        if (duplicateFirst) {
            mesh.AddTriangle(a, b, c);
        }
        smallTriangle(0);
        smallTriangle(1);
        if (!duplicateFirst) {
            mesh.AddTriangle(a, b, c);
        }
        // Three far down and to the side: a leaf of its own, last in slot order, one lane spare.
        for (float y : {0.0f, 1.0f, 2.0f}) {
            mesh.AddTriangle({20, y, -5}, {21, y, -5}, {20, y + 0.5f, -5});
        }
        mesh.AddTriangle(a, b, c);
        const Built built(mesh);
        Comparison comparison(built.bvh);
        for (int i = 0; i <= 20; ++i) {
            for (int j = 0; j <= 20; ++j) {
                const Vector3 from{0.2f * static_cast<float>(i) - 0.5f,
                                   0.2f * static_cast<float>(j) - 0.5f, 1};
                const Vector3 to{20.5f, 0.1f * static_cast<float>(j), -5};
                comparison.Check(Ray(from, (to - from).Normalized(), RayInfinity));
            }
        }
        EXPECT_EQ(comparison.mismatches, 0);
        EXPECT_GT(comparison.hits, comparison.rays / 3);
    }
}

}  // namespace
}  // namespace glintor
