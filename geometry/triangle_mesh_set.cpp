#include "geometry/triangle_mesh_set.h"

#include <cmath>

#include "formats/ply_import.h"
#include "geometry/qbvh.h"

namespace glintor {

namespace {

// Capacity grows by exactly the file's count, so a file costs at most one reallocation per
// array, however many files came before it.
template <class T>
void MakeRoomFor(std::vector<T>& array, size_t count) {
    array.reserve(array.size() + count);
}

template <class T>
void AppendAll(std::vector<T>& array, const std::vector<T>& items) {
    MakeRoomFor(array, items.size());
    array.insert(array.end(), items.begin(), items.end());
}

// The weighted sum of the three vertex normals, scaled to unit length. Normals read from a file
// need not be unit length, and for very long or very short ones the float sum's squared length
// over- or underflows, which would leave the result zero or far from unit length; the same sum
// in double holds them. Only normals that truly cancel give (0, 0, 0).
Vector3 InterpolateNormal(const Vector3& a, const Vector3& b, const Vector3& c, float w0, float w1,
                          float w2) {
    Vector3 n = c * w2 + (b * w1 + a * w0);
    const float lengthSquared = n.LengthSquared();
    if (lengthSquared > 0.0f && std::isfinite(lengthSquared)) {
        n.Normalize();
        return n;
    }
    double sum[3];
    for (int axis = 0; axis < 3; ++axis) {
        sum[axis] = double(c[axis]) * w2 + (double(b[axis]) * w1 + double(a[axis]) * w0);
    }
    const double length = std::sqrt(sum[0] * sum[0] + sum[1] * sum[1] + sum[2] * sum[2]);
    if (!(length > 0.0 && std::isfinite(length))) {
        return Vector3();
    }
    return Vector3(float(sum[0] / length), float(sum[1] / length), float(sum[2] / length));
}

}  // namespace

TriangleMeshSet::~TriangleMeshSet() {
    accelerator.reset();
}

bool TriangleMeshSet::AddPlyFile(const char* fileName, uint8_t fileMaterialId) {
    if (frozen) {
        return false;
    }
    // The import refuses files whose shifted indices would not fit an int32, so the running
    // vertex count always does.
    PlyMeshData mesh;
    if (!PlyImport(fileName, static_cast<int32_t>(vertexCount), mesh)) {
        return false;
    }
    const size_t fileVertices = static_cast<size_t>(mesh.vertexCount);
    const size_t fileTriangles = static_cast<size_t>(mesh.triangleCount);
    vertexCount += static_cast<uint32_t>(fileVertices);
    triangleCount += static_cast<uint32_t>(fileTriangles);

    AppendAll(positions, mesh.positions);
    MakeRoomFor(triangles, 3 * fileTriangles);
    for (const std::array<int32_t, 3>& t : mesh.indices) {
        triangles.insert(triangles.end(), t.begin(), t.end());
    }
    AppendAll(normals, mesh.normals);
    if (mesh.hasUVs) {
        AppendAll(uvs, mesh.uvs);
    } else {
        MakeRoomFor(uvs, fileVertices);
        uvs.resize(uvs.size() + fileVertices, {0.0f, 0.0f});
    }
    MakeRoomFor(triangleMaterials, fileTriangles);
    triangleMaterials.resize(triangleMaterials.size() + fileTriangles, fileMaterialId);
    MakeRoomFor(triangleFlags, fileTriangles);
    triangleFlags.resize(triangleFlags.size() + fileTriangles,
                         mesh.hasUVs ? TriangleHasUVs : uint8_t{0});
    return true;
}

bool TriangleMeshSet::BuildAccelerator() {
    if (acceleratorKind != QbvhAccelerator) {
        return true;
    }
    auto* qbvh = dynamic_cast<QBVH*>(accelerator.get());
    if (qbvh == nullptr) {
        return false;
    }
    frozen = true;
    return qbvh->Build(positions.data(), triangles.data(), triangleCount, vertexCount);
}

bool TriangleMeshSet::Intersect(const Ray& ray, Intersection& hit) const {
    if (!accelerator) {
        return false;
    }
    // The accelerator fills a copy: a triangle this set cannot shade must leave the caller's
    // record exactly as it was.
    Intersection found = hit;
    if (!accelerator->Intersect(ray, found)) {
        return false;
    }
    const uint32_t t = static_cast<uint32_t>(found.triangleIndex);
    if (t >= triangleCount) {
        return false;
    }
    const int32_t a = triangles[3 * t];
    const int32_t b = triangles[3 * t + 1];
    const int32_t c = triangles[3 * t + 2];
    found.normal = InterpolateNormal(normals[a], normals[b], normals[c], found.bary0, found.bary1,
                                     found.bary2);
    if (triangleFlags[t] & TriangleHasUVs) {
        found.u = uvs[c][0] * found.bary2 + (uvs[b][0] * found.bary1 + uvs[a][0] * found.bary0);
        found.v = uvs[c][1] * found.bary2 + (uvs[b][1] * found.bary1 + uvs[a][1] * found.bary0);
    }
    found.point = ray.origin + ray.direction * found.distance;
    found.materialId = triangleMaterials[t];
    hit = found;
    return true;
}

// Every triangle the accelerator holds has an index below triangleCount, so the check Intersect
// makes on the found triangle cannot change a shadow query's answer.
bool TriangleMeshSet::Occluded(const Ray& ray) const {
    return accelerator && accelerator->Occluded(ray);
}

BoundingBox TriangleMeshSet::Bounds() const {
    BoundingBox box;
    for (const Vector3& p : positions) {
        box.Merge(p);
    }
    return box;
}

}  // namespace glintor
