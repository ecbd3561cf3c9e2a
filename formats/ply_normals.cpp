#include "formats/ply_normals.h"

#include <cmath>
#include <cstddef>
#include <limits>

#include "math/simd4.h"

namespace glintor {

namespace {

// The float cross product overflows for coordinates beyond about 1e19 and underflows below about
// 1e-19; the same normal computed in double keeps such meshes shaded.
Vector3 FaceNormal(const Vector3& p0, const Vector3& p1, const Vector3& p2) {
    Vector3 n = Cross(p1 - p0, p2 - p0);
    const float lengthSquared = n.LengthSquared();
    if (lengthSquared > 0.0f && std::isfinite(lengthSquared)) {
        n.Normalize();
        return n;
    }
    const double e1[3] = {double(p1.x) - p0.x, double(p1.y) - p0.y, double(p1.z) - p0.z};
    const double e2[3] = {double(p2.x) - p0.x, double(p2.y) - p0.y, double(p2.z) - p0.z};
    const double c[3] = {e1[1] * e2[2] - e1[2] * e2[1], e1[2] * e2[0] - e1[0] * e2[2],
                         e1[0] * e2[1] - e1[1] * e2[0]};
    const double length = std::sqrt(c[0] * c[0] + c[1] * c[1] + c[2] * c[2]);
    if (length == 0.0) {
        return Vector3();
    }
    return Vector3(float(c[0] / length), float(c[1] / length), float(c[2] / length));
}

// FaceNormal of four faces, one per lane. A lane whose squared length is zero, infinite or NaN
// goes through FaceNormal itself for the double path.
void FourFaceNormals(const Vector3* p, const std::array<int32_t, 3>* t, Vector3* out) {
    // [corner][axis][face]
    alignas(16) float corners[3][3][4];
    for (int k = 0; k < 4; ++k) {
        for (int c = 0; c < 3; ++c) {
            const Vector3& v = p[t[k][c]];
            corners[c][0][k] = v.x;
            corners[c][1][k] = v.y;
            corners[c][2][k] = v.z;
        }
    }
    Float4 p0[3], e1[3], e2[3];
    for (int axis = 0; axis < 3; ++axis) {
        p0[axis] = Float4::Load(corners[0][axis]);
        e1[axis] = Float4::Load(corners[1][axis]) - p0[axis];
        e2[axis] = Float4::Load(corners[2][axis]) - p0[axis];
    }
    const Float4 nx = e1[1] * e2[2] - e1[2] * e2[1];
    const Float4 ny = e1[2] * e2[0] - e1[0] * e2[2];
    const Float4 nz = e1[0] * e2[1] - e1[1] * e2[0];
    const Float4 lengthSquared = nx * nx + ny * ny + nz * nz;
    const int usable =
        MoveMask((Float4::Broadcast(0.0f) < lengthSquared) &
                 (lengthSquared < Float4::Broadcast(std::numeric_limits<float>::infinity())));
    const Float4 scale = Float4::Broadcast(1.0f) / Sqrt(lengthSquared);
    alignas(16) float x[4];
    alignas(16) float y[4];
    alignas(16) float z[4];
    (nx * scale).Store(x);
    (ny * scale).Store(y);
    (nz * scale).Store(z);
    for (int k = 0; k < 4; ++k) {
        out[k] = (usable >> k & 1) != 0 ? Vector3(x[k], y[k], z[k])
                                        : FaceNormal(p[t[k][0]], p[t[k][1]], p[t[k][2]]);
    }
}

inline void AddToCorners(const Vector3& n, const std::array<int32_t, 3>& t, Vector3* normals) {
    normals[t[0]] += n;
    normals[t[1]] += n;
    normals[t[2]] += n;
}

// Vector3::Normalize of four consecutive vectors, one per lane; when any of them is zero the four
// go through Normalize itself, which leaves a zero vector as it is.
void NormalizeFour(Vector3* v) {
    alignas(16) float axes[3][4];
    for (int k = 0; k < 4; ++k) {
        axes[0][k] = v[k].x;
        axes[1][k] = v[k].y;
        axes[2][k] = v[k].z;
    }
    const Float4 x = Float4::Load(axes[0]);
    const Float4 y = Float4::Load(axes[1]);
    const Float4 z = Float4::Load(axes[2]);
    const Float4 lengthSquared = x * x + y * y + z * z;
    // != holds for NaN, which both ways turn into NaN components.
    if (MoveMask(lengthSquared != Float4::Broadcast(0.0f)) != 15) {
        for (int k = 0; k < 4; ++k) {
            v[k].Normalize();
        }
        return;
    }
    const Float4 scale = Float4::Broadcast(1.0f) / Sqrt(lengthSquared);
    (x * scale).Store(axes[0]);
    (y * scale).Store(axes[1]);
    (z * scale).Store(axes[2]);
    for (int k = 0; k < 4; ++k) {
        v[k] = Vector3(axes[0][k], axes[1][k], axes[2][k]);
    }
}

}  // namespace

void ComputeSmoothNormals(const std::vector<Vector3>& positions,
                          const std::vector<std::array<int32_t, 3>>& triangles,
                          std::vector<Vector3>& normals) {
    static_assert(sizeof(Vector3) == 3 * sizeof(float));
    const std::size_t count = triangles.size();
    const std::size_t lanes = count - count % 4;
    // The sums take the faces in file order, as the plain loop does: float addition is not
    // associative. Each group of four is added while the next group's square roots and divisions
    // are under way, which hides their latency behind the chain of sums.
    Vector3 n[2][4];
    if (lanes > 0) {
        FourFaceNormals(positions.data(), &triangles[0], n[0]);
    }
    for (std::size_t i = 0; i < lanes; i += 4) {
        const Vector3* ready = n[i / 4 % 2];
        if (i + 4 < lanes) {
            FourFaceNormals(positions.data(), &triangles[i + 4], n[(i / 4 + 1) % 2]);
        }
        for (int k = 0; k < 4; ++k) {
            AddToCorners(ready[k], triangles[i + k], normals.data());
        }
    }
    for (std::size_t i = lanes; i < count; ++i) {
        const std::array<int32_t, 3>& t = triangles[i];
        AddToCorners(FaceNormal(positions[t[0]], positions[t[1]], positions[t[2]]), t,
                     normals.data());
    }
    std::size_t v = 0;
    for (; v + 4 <= normals.size(); v += 4) {
        NormalizeFour(&normals[v]);
    }
    for (; v < normals.size(); ++v) {
        normals[v].Normalize();
    }
}

}  // namespace glintor
