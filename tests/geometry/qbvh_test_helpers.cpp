#include "tests/geometry/qbvh_test_helpers.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <utility>

#include "formats/ply_shapes.h"

namespace glintor::testing {

void Mesh::AddTriangle(const Vector3& a, const Vector3& b, const Vector3& c) {
    const int32_t base = static_cast<int32_t>(positions.size());
    positions.insert(positions.end(), {a, b, c});
    indices.insert(indices.end(), {base, base + 1, base + 2});
}

bool Mesh::BuildInto(QBVH& bvh) const {
    return bvh.Build(positions.data(), indices.data(), TriangleCount(), VertexCount());
}

Built::Built(Mesh m) : mesh(std::move(m)) {
    ::testing::internal::CaptureStdout();
    EXPECT_TRUE(mesh.BuildInto(bvh));
    ::testing::internal::GetCapturedStdout();
}

Mesh MakeIcosphere(int level, float radius, const Vector3& center) {
    const PlyMesh sphere = glintor::MakeIcosphere(level);
    Mesh mesh;
    for (const Vector3& p : sphere.positions) {
        mesh.positions.push_back(center + p * radius);
    }
    for (const auto& triangle : sphere.triangles) {
        mesh.indices.insert(mesh.indices.end(), triangle.begin(), triangle.end());
    }
    return mesh;
}

Mesh MakeGrid(int cells, float x0, float y0, float height) {
    Mesh mesh;
    const int side = cells + 1;
    for (int y = 0; y < side; ++y) {
        for (int x = 0; x < side; ++x) {
            mesh.positions.push_back(
                {x0 + static_cast<float>(x), y0 + static_cast<float>(y), height});
        }
    }
    for (int y = 0; y < cells; ++y) {
        for (int x = 0; x < cells; ++x) {
            const int32_t i = y * side + x;
            mesh.indices.insert(mesh.indices.end(), {i, i + 1, i + side + 1});
            mesh.indices.insert(mesh.indices.end(), {i, i + side + 1, i + side});
        }
    }
    return mesh;
}

Vector3 RandomPoint(std::mt19937& rng, float extent) {
    std::uniform_real_distribution<float> coordinate(-extent, extent);
    const float x = coordinate(rng);
    const float y = coordinate(rng);
    return {x, y, coordinate(rng)};
}

Vector3 RandomDirection(std::mt19937& rng) {
    std::normal_distribution<float> normal;
    Vector3 d;
    do {
        const float x = normal(rng);
        const float y = normal(rng);
        d = {x, y, normal(rng)};
    } while (d.LengthSquared() < 1e-6f);
    return d.Normalized();
}

Mesh MakeSoup(uint32_t count, float extent, float maxSize, std::mt19937& rng) {
    std::uniform_real_distribution<float> size(0.0f, maxSize);
    Mesh mesh;
    for (uint32_t i = 0; i < count; ++i) {
        const Vector3 a = RandomPoint(rng, extent);
        const float s1 = size(rng);
        const Vector3 b = a + RandomDirection(rng) * s1;
        const float s2 = size(rng);
        mesh.AddTriangle(a, b, a + RandomDirection(rng) * s2);
    }
    return mesh;
}

bool ReferenceTriangleTest(const Mesh& mesh, int32_t triangle, const Ray& ray, float nearLimit,
                           float farLimit, float& t, float& w, float& u, float& v) {
    const Vector3& v0 = mesh.positions[mesh.indices[3 * triangle]];
    const Vector3 e1 = mesh.positions[mesh.indices[3 * triangle + 1]] - v0;
    const Vector3 e2 = mesh.positions[mesh.indices[3 * triangle + 2]] - v0;
    const Vector3 p = Cross(ray.direction, e2);
    const float det = Dot(e1, p);
    const float invDet = 1.0f / det;
    const Vector3 o = ray.origin - v0;
    u = Dot(o, p) * invDet;
    const Vector3 q = Cross(o, e1);
    v = Dot(ray.direction, q) * invDet;
    t = Dot(e2, q) * invDet;
    w = 1.0f - (u + v);
    return det != 0.0f && u >= 0.0f && v >= 0.0f && w >= 0.0f && nearLimit < t && t < farLimit;
}

ReferenceHit BruteForce(const Mesh& mesh, const Ray& ray, float farLimit) {
    ReferenceHit result;
    float best = farLimit;
    for (uint32_t i = 0; i < mesh.TriangleCount(); ++i) {
        float t, w, u, v;
        if (ReferenceTriangleTest(mesh, static_cast<int32_t>(i), ray, ray.tMin, best, t, w, u, v)) {
            best = t;
            result.hit = true;
        }
    }
    if (result.hit) {
        result.distance = best;
        for (uint32_t i = 0; i < mesh.TriangleCount(); ++i) {
            float t, w, u, v;
            ReferenceTriangleTest(mesh, static_cast<int32_t>(i), ray, ray.tMin, farLimit, t, w, u,
                                  v);
            if (t == best && u >= 0.0f && v >= 0.0f && w >= 0.0f) {
                result.nearest.push_back(static_cast<int32_t>(i));
            }
        }
    }
    return result;
}

namespace {
template <class T>
bool SameBits(const T& a, const T& b) {
    return std::memcmp(&a, &b, sizeof(T)) == 0;
}
}  // namespace

bool SameRecord(const Intersection& a, const Intersection& b) {
    return SameBits(a.distance, b.distance) && SameBits(a.bary0, b.bary0) &&
           SameBits(a.bary1, b.bary1) && SameBits(a.bary2, b.bary2) &&
           a.triangleIndex == b.triangleIndex && SameBits(a.point, b.point) &&
           SameBits(a.normal, b.normal) && SameBits(a.u, b.u) && SameBits(a.v, b.v) &&
           a.materialId == b.materialId;
}

bool QueryAllPaths(const QBVH& bvh, const Ray& ray, Intersection& hit) {
    Intersection scalar = hit;
    Intersection counted = hit;
    Intersection countedScalar = hit;
    const bool found = bvh.Intersect(ray, hit);
    EXPECT_EQ(bvh.Intersect(ray, scalar, LanePath::Scalar), found);
    TraversalCounters simdCounts, scalarCounts;
    EXPECT_EQ(bvh.IntersectCounted(ray, counted, simdCounts, LanePath::Simd), found);
    EXPECT_EQ(bvh.IntersectCounted(ray, countedScalar, scalarCounts, LanePath::Scalar), found);
    EXPECT_TRUE(SameRecord(hit, scalar));
    EXPECT_TRUE(SameRecord(hit, counted));
    EXPECT_TRUE(SameRecord(hit, countedScalar));
    EXPECT_EQ(simdCounts.nodesVisited, scalarCounts.nodesVisited);
    EXPECT_EQ(simdCounts.trianglesTested, scalarCounts.trianglesTested);
    return found;
}

}  // namespace glintor::testing
