#include "formats/ply_normals.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <vector>

namespace glintor {
namespace {

using Triangles = std::vector<std::array<int32_t, 3>>;

// The plain loop the lanes must match bit for bit: one face after another, float normals, and
// double ones where the float squared length is zero or overflows.
std::vector<Vector3> PlainNormals(const std::vector<Vector3>& p, const Triangles& triangles) {
    std::vector<Vector3> normals(p.size());
    for (const std::array<int32_t, 3>& t : triangles) {
        const Vector3& a = p[t[0]];
        const Vector3& b = p[t[1]];
        const Vector3& c = p[t[2]];
        Vector3 n = Cross(b - a, c - a);
        if (!(n.LengthSquared() > 0.0f && std::isfinite(n.LengthSquared()))) {
            const double e1[3] = {double(b.x) - a.x, double(b.y) - a.y, double(b.z) - a.z};
            const double e2[3] = {double(c.x) - a.x, double(c.y) - a.y, double(c.z) - a.z};
            const double d[3] = {e1[1] * e2[2] - e1[2] * e2[1], e1[2] * e2[0] - e1[0] * e2[2],
                                 e1[0] * e2[1] - e1[1] * e2[0]};
            const double length = std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
            n = length == 0.0
                    ? Vector3()
                    : Vector3(float(d[0] / length), float(d[1] / length), float(d[2] / length));
        } else {
            n.Normalize();
        }
        for (int32_t i : t) {
            normals[i] += n;
        }
    }
    for (Vector3& n : normals) {
        n.Normalize();
    }
    return normals;
}

// Random faces over random points at scales where the float cross product is exact, overflows or
// underflows, with repeated corners, coincident points and vertices no face uses; counts that are
// not multiples of four leave the lanes a remainder.
TEST(PlyNormals, LanesGiveThePlainLoopsBits) {
    std::mt19937 random(7);
    std::uniform_real_distribution<float> unit(-1.0f, 1.0f);
    for (float scale : {1.0f, 1e-5f, 3e19f, 1e-20f, 1e30f, 1e-38f}) {
        for (int32_t vertexCount : {3, 7, 501}) {
            std::vector<Vector3> p;
            for (int32_t i = 0; i < vertexCount; ++i) {
                p.push_back(i % 9 == 1 ? p.back()
                                       : Vector3(unit(random), unit(random), unit(random)) * scale);
            }
            std::uniform_int_distribution<int32_t> corner(0, vertexCount * 9 / 10);
            Triangles triangles;
            for (int32_t t = 0; t < 3 * vertexCount + 2; ++t) {
                const int32_t a = corner(random);
                triangles.push_back({a, t % 11 == 0 ? a : corner(random), corner(random)});
            }
            std::vector<Vector3> normals(p.size());
            ComputeSmoothNormals(p, triangles, normals);
            const std::vector<Vector3> plain = PlainNormals(p, triangles);
            EXPECT_EQ(std::memcmp(normals.data(), plain.data(), plain.size() * sizeof(Vector3)), 0)
                << "scale " << scale << ", " << vertexCount << " vertices";
        }
    }
}

}  // namespace
}  // namespace glintor
