// Generated triangle meshes, an independent brute-force ray query and a cross-check of the lane
// paths, for the QBVH tests.
#pragma once

#include <cstdint>
#include <random>
#include <vector>

#include "geometry/intersection.h"
#include "geometry/qbvh.h"
#include "math/vector.h"

namespace glintor::testing {

struct Mesh {
    std::vector<Vector3> positions;
    std::vector<int32_t> indices;  // three per triangle

    uint32_t TriangleCount() const { return static_cast<uint32_t>(indices.size() / 3); }
    uint32_t VertexCount() const { return static_cast<uint32_t>(positions.size()); }
    void AddTriangle(const Vector3& a, const Vector3& b, const Vector3& c);
    // Builds bvh over this mesh; the mesh must outlive it.
    bool BuildInto(QBVH& bvh) const;
};

// A mesh and the hierarchy built over it, build messages swallowed; the hierarchy borrows the
// mesh kept beside it.
struct Built {
    explicit Built(Mesh m);
    Mesh mesh;
    QBVH bvh;
};

// A closed icosahedron subdivided `level` times, vertices pushed onto the sphere; shared vertices
// are shared indices, so neighbouring triangles meet exactly.
Mesh MakeIcosphere(int level, float radius, const Vector3& center);
// cells x cells squares in the plane z = height starting at (x0, y0) with unit integer spacing,
// each cut into two triangles along its diagonal.
Mesh MakeGrid(int cells, float x0, float y0, float height);
// Independent random triangles of random size inside the cube [-extent, extent]^3.
Mesh MakeSoup(uint32_t count, float extent, float maxSize, std::mt19937& rng);

// The nearest hit over every triangle, with the same float expressions as the QBVH's lanes.
struct ReferenceHit {
    bool hit = false;
    float distance = 0.0f;
    std::vector<int32_t> nearest;  // every triangle at exactly that distance
};
ReferenceHit BruteForce(const Mesh& mesh, const Ray& ray, float farLimit);
// Moller-Trumbore for one triangle; true when it is hit strictly inside (nearLimit, farLimit).
bool ReferenceTriangleTest(const Mesh& mesh, int32_t triangle, const Ray& ray, float nearLimit,
                           float farLimit, float& t, float& w, float& u, float& v);

// Field by field, bit for bit (so NaN equals NaN and 0 differs from -0).
bool SameRecord(const Intersection& a, const Intersection& b);

// Runs the query on the SIMD and the scalar lanes, with and without counters, checks that all
// four agree bit for bit (record, result and counts), and leaves the answer in hit.
bool QueryAllPaths(const QBVH& bvh, const Ray& ray, Intersection& hit);

Vector3 RandomDirection(std::mt19937& rng);
Vector3 RandomPoint(std::mt19937& rng, float extent);

}  // namespace glintor::testing
