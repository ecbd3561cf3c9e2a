#include "formats/ply_normals.h"

#include <emmintrin.h>

#include <cmath>
#include <cstddef>
#include <limits>

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
    const auto gather = [&](int corner, float Vector3::*axis) {
        return _mm_setr_ps(p[t[0][corner]].*axis, p[t[1][corner]].*axis, p[t[2][corner]].*axis,
                           p[t[3][corner]].*axis);
    };
    const __m128 p0x = gather(0, &Vector3::x);
    const __m128 p0y = gather(0, &Vector3::y);
    const __m128 p0z = gather(0, &Vector3::z);
    const __m128 e1x = _mm_sub_ps(gather(1, &Vector3::x), p0x);
    const __m128 e1y = _mm_sub_ps(gather(1, &Vector3::y), p0y);
    const __m128 e1z = _mm_sub_ps(gather(1, &Vector3::z), p0z);
    const __m128 e2x = _mm_sub_ps(gather(2, &Vector3::x), p0x);
    const __m128 e2y = _mm_sub_ps(gather(2, &Vector3::y), p0y);
    const __m128 e2z = _mm_sub_ps(gather(2, &Vector3::z), p0z);
    const __m128 nx = _mm_sub_ps(_mm_mul_ps(e1y, e2z), _mm_mul_ps(e1z, e2y));
    const __m128 ny = _mm_sub_ps(_mm_mul_ps(e1z, e2x), _mm_mul_ps(e1x, e2z));
    const __m128 nz = _mm_sub_ps(_mm_mul_ps(e1x, e2y), _mm_mul_ps(e1y, e2x));
    const __m128 lengthSquared =
        _mm_add_ps(_mm_add_ps(_mm_mul_ps(nx, nx), _mm_mul_ps(ny, ny)), _mm_mul_ps(nz, nz));
    const __m128 usable = _mm_and_ps(
        _mm_cmpgt_ps(lengthSquared, _mm_setzero_ps()),
        _mm_cmplt_ps(lengthSquared, _mm_set1_ps(std::numeric_limits<float>::infinity())));
    const __m128 scale = _mm_div_ps(_mm_set1_ps(1.0f), _mm_sqrt_ps(lengthSquared));
    alignas(16) float x[4];
    alignas(16) float y[4];
    alignas(16) float z[4];
    _mm_store_ps(x, _mm_mul_ps(nx, scale));
    _mm_store_ps(y, _mm_mul_ps(ny, scale));
    _mm_store_ps(z, _mm_mul_ps(nz, scale));
    const int lanes = _mm_movemask_ps(usable);
    for (int k = 0; k < 4; ++k) {
        out[k] = (lanes >> k & 1) != 0 ? Vector3(x[k], y[k], z[k])
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
    float* const f = &v->x;
    const __m128 a = _mm_loadu_ps(f);      // x0 y0 z0 x1
    const __m128 b = _mm_loadu_ps(f + 4);  // y1 z1 x2 y2
    const __m128 c = _mm_loadu_ps(f + 8);  // z2 x3 y3 z3
    const __m128 x =
        _mm_shuffle_ps(a, _mm_shuffle_ps(b, c, _MM_SHUFFLE(1, 1, 2, 2)), _MM_SHUFFLE(2, 0, 3, 0));
    const __m128 y =
        _mm_shuffle_ps(_mm_shuffle_ps(a, b, _MM_SHUFFLE(0, 0, 1, 1)),
                       _mm_shuffle_ps(b, c, _MM_SHUFFLE(2, 2, 3, 3)), _MM_SHUFFLE(2, 0, 2, 0));
    const __m128 z =
        _mm_shuffle_ps(_mm_shuffle_ps(a, b, _MM_SHUFFLE(1, 1, 2, 2)), c, _MM_SHUFFLE(3, 0, 2, 0));
    const __m128 lengthSquared =
        _mm_add_ps(_mm_add_ps(_mm_mul_ps(x, x), _mm_mul_ps(y, y)), _mm_mul_ps(z, z));
    if (_mm_movemask_ps(_mm_cmpeq_ps(lengthSquared, _mm_setzero_ps())) != 0) {
        for (int k = 0; k < 4; ++k) {
            v[k].Normalize();
        }
        return;
    }
    const __m128 s = _mm_div_ps(_mm_set1_ps(1.0f), _mm_sqrt_ps(lengthSquared));
    _mm_storeu_ps(f, _mm_mul_ps(a, _mm_shuffle_ps(s, s, _MM_SHUFFLE(1, 0, 0, 0))));
    _mm_storeu_ps(f + 4, _mm_mul_ps(b, _mm_shuffle_ps(s, s, _MM_SHUFFLE(2, 2, 1, 1))));
    _mm_storeu_ps(f + 8, _mm_mul_ps(c, _mm_shuffle_ps(s, s, _MM_SHUFFLE(3, 3, 3, 2))));
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
