// Every triangle of the scene in one object. Each mesh file of the scene appends its vertices and
// triangles, tagged with that file's material, and one accelerator built over all of them answers
// the ray queries, so the integrator's object loop sees a single entry however many meshes there
// are.
//
// Lifecycle: constructed empty, filled by AddPlyFile during loading, frozen by BuildAccelerator.
// From then on it is only read, by every render thread at once; each query writes its results,
// the hit triangle's material included, into the caller's Intersection and never into the set.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "geometry/accelerator_base.h"
#include "geometry/object_base.h"

namespace glintor {

// Values of TriangleMeshSet::acceleratorKind.
inline constexpr int32_t NoAccelerator = 0;
inline constexpr int32_t QbvhAccelerator = 2;

// Bit of TriangleMeshSet::triangleFlags: the triangle's file carried texture coordinates.
inline constexpr uint8_t TriangleHasUVs = 1;

class TriangleMeshSet : public ObjectBase {
public:
    TriangleMeshSet() = default;
    // Releases the accelerator before the arrays it borrows.
    ~TriangleMeshSet() override;
    TriangleMeshSet(const TriangleMeshSet&) = delete;
    TriangleMeshSet& operator=(const TriangleMeshSet&) = delete;

    // Reads one PLY file (relative to the current directory) and appends its vertices and
    // triangles; every triangle of the file gets `fileMaterialId`. False when the file cannot be
    // read (the import has shown its message) or the set is already frozen; the set is then
    // unchanged.
    bool AddPlyFile(const char* fileName, uint8_t fileMaterialId);

    // Builds the accelerator over every triangle added so far and freezes the set: the arrays
    // must not move afterwards, since the accelerator borrows them. With acceleratorKind
    // QbvhAccelerator this needs a QBVH as `accelerator` and answers its Build's result; with any
    // other kind nothing is built and the answer is true.
    bool BuildAccelerator();

    // The nearest triangle hit through the accelerator (none without one). On a hit the record
    // gets the accelerator's distance, weights and triangleIndex, then the interpolated vertex
    // normal (unit length, or zero where the weighted normals cancel), the point, the hit
    // triangle's material id and, for triangles whose file had texture coordinates, the
    // interpolated u and v; other triangles leave u and v as the caller set them.
    bool Intersect(const Ray& ray, Intersection& hit) const override;
    bool Occluded(const Ray& ray) const override;
    // The box of all vertex positions; the empty box while there are none.
    BoundingBox Bounds() const override;

    uint32_t triangleCount = 0;
    uint32_t vertexCount = 0;
    int32_t acceleratorKind = NoAccelerator;
    std::unique_ptr<AcceleratorBase> accelerator;
    // All files concatenated. Triangle indices already include the offset of their file.
    std::vector<Vector3> positions;
    std::vector<int32_t> triangles;          // three vertex indices per triangle
    std::vector<Vector3> normals;            // one per vertex
    std::vector<std::array<float, 2>> uvs;   // one per vertex; (0, 0) for files without them
    std::vector<uint8_t> triangleMaterials;  // one per triangle
    std::vector<uint8_t> triangleFlags;      // one per triangle, see TriangleHasUVs

private:
    bool frozen = false;
};

}  // namespace glintor
