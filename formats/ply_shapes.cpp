#include "formats/ply_shapes.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <unordered_map>

namespace glintor {

namespace {

constexpr float kTwoPi = 2.0f * std::numbers::pi_v<float>;

// Triangles of a grid of (columns + 1) x (rows + 1) vertices laid out row by row; with `wrap` the
// last column and row join the first ones instead of having vertices of their own.
void AddGridTriangles(PlyMesh& mesh, int columns, int rows, bool wrap) {
    const int stride = wrap ? columns : columns + 1;
    const int rowCount = wrap ? rows : rows + 1;
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < columns; ++c) {
            const int c1 = wrap ? (c + 1) % columns : c + 1;
            const int r1 = wrap ? (r + 1) % rowCount : r + 1;
            const int32_t a = r * stride + c;
            const int32_t b = r * stride + c1;
            const int32_t d = r1 * stride + c;
            const int32_t e = r1 * stride + c1;
            mesh.triangles.push_back({a, d, b});
            mesh.triangles.push_back({b, d, e});
        }
    }
}

}  // namespace

PlyMesh MakeIcosphere(int subdivisions) {
    const float g = (1.0f + std::sqrt(5.0f)) * 0.5f;
    PlyMesh mesh;
    mesh.positions = {{-1, g, 0},  {1, g, 0},  {-1, -g, 0}, {1, -g, 0}, {0, -1, g},  {0, 1, g},
                      {0, -1, -g}, {0, 1, -g}, {g, 0, -1},  {g, 0, 1},  {-g, 0, -1}, {-g, 0, 1}};
    for (Vector3& p : mesh.positions) {
        p.Normalize();
    }
    mesh.triangles = {{0, 11, 5}, {0, 5, 1},  {0, 1, 7},   {0, 7, 10}, {0, 10, 11},
                      {1, 5, 9},  {5, 11, 4}, {11, 10, 2}, {10, 7, 6}, {7, 1, 8},
                      {3, 9, 4},  {3, 4, 2},  {3, 2, 6},   {3, 6, 8},  {3, 8, 9},
                      {4, 9, 5},  {2, 4, 11}, {6, 2, 10},  {8, 6, 7},  {9, 8, 1}};
    for (int level = 0; level < subdivisions; ++level) {
        // Each edge gets one midpoint, shared by the two triangles beside it.
        std::unordered_map<uint64_t, int32_t> midpoints;
        const auto midpoint = [&](int32_t a, int32_t b) {
            const uint64_t key = (uint64_t(std::min(a, b)) << 32) | uint32_t(std::max(a, b));
            const auto [it, inserted] = midpoints.try_emplace(key, int32_t(mesh.positions.size()));
            if (inserted) {
                mesh.positions.push_back((mesh.positions[a] + mesh.positions[b]).Normalized());
            }
            return it->second;
        };
        std::vector<std::array<int32_t, 3>> finer;
        finer.reserve(mesh.triangles.size() * 4);
        for (const std::array<int32_t, 3>& t : mesh.triangles) {
            const int32_t ab = midpoint(t[0], t[1]);
            const int32_t bc = midpoint(t[1], t[2]);
            const int32_t ca = midpoint(t[2], t[0]);
            finer.push_back({t[0], ab, ca});
            finer.push_back({t[1], bc, ab});
            finer.push_back({t[2], ca, bc});
            finer.push_back({ab, bc, ca});
        }
        mesh.triangles.swap(finer);
    }
    for (const Vector3& p : mesh.positions) {
        mesh.normals.push_back(p);
        const float s = 0.5f + std::atan2(p.z, p.x) / kTwoPi;
        const float t = std::acos(std::clamp(p.y, -1.0f, 1.0f)) / std::numbers::pi_v<float>;
        mesh.uvs.push_back({s, t});
    }
    return mesh;
}

PlyMesh MakeTorus(int rings, int sides, float majorRadius, float minorRadius) {
    PlyMesh mesh;
    for (int r = 0; r < rings; ++r) {
        const float u = kTwoPi * float(r) / float(rings);
        const Vector3 radial(std::cos(u), 0.0f, -std::sin(u));
        const uint8_t band = (r / std::max(1, rings / 8)) % 2 == 0 ? 230 : 40;
        for (int s = 0; s < sides; ++s) {
            const float v = kTwoPi * float(s) / float(sides);
            const Vector3 normal = radial * std::cos(v) + Vector3(0.0f, std::sin(v), 0.0f);
            mesh.positions.push_back(radial * majorRadius + normal * minorRadius);
            mesh.normals.push_back(normal);
            mesh.colors.push_back({band, 120, uint8_t(255 - band)});
        }
    }
    AddGridTriangles(mesh, sides, rings, true);
    return mesh;
}

PlyMesh MakeTerrain(int cells) {
    PlyMesh mesh;
    for (int row = 0; row <= cells; ++row) {
        for (int column = 0; column <= cells; ++column) {
            const float s = float(column) / float(cells);
            const float t = float(row) / float(cells);
            const float x = 2.0f * s - 1.0f;
            const float z = 2.0f * t - 1.0f;
            // A few octaves of sines: rolling hills with finer ripples, the same on every machine.
            const float height = 0.20f * std::sin(2.1f * x + 0.3f) * std::cos(1.7f * z) +
                                 0.07f * std::sin(6.3f * x + 4.1f * z) +
                                 0.02f * std::cos(17.0f * x - 13.0f * z);
            mesh.positions.push_back({x, height, z});
            mesh.uvs.push_back({s, t});
            const float level = std::clamp((height + 0.3f) / 0.6f, 0.0f, 1.0f);
            mesh.colors.push_back(
                {uint8_t(60 + 150 * level), uint8_t(140 + 60 * level), uint8_t(50 + 180 * level)});
        }
    }
    // Rows advance along +z and columns along +x, so (a, d, b) is counter-clockwise from +y.
    AddGridTriangles(mesh, cells, cells, false);
    return mesh;
}

PlyMesh MakeTorusKnot(int segments, int sides) {
    const auto curve = [](float u) {
        const float r = 2.0f + std::cos(3.0f * u);
        return Vector3(r * std::cos(2.0f * u), std::sin(3.0f * u), r * std::sin(2.0f * u));
    };
    PlyMesh mesh;
    mesh.positions.reserve(size_t(segments) * sides);
    for (int i = 0; i < segments; ++i) {
        const float u = kTwoPi * float(i) / float(segments);
        const Vector3 center = curve(u);
        const Vector3 tangent = (curve(u + 1e-3f) - curve(u - 1e-3f)).Normalized();
        const Vector3 side = Cross(tangent, center).Normalized();
        const Vector3 up = Cross(side, tangent);
        for (int j = 0; j < sides; ++j) {
            const float v = kTwoPi * float(j) / float(sides);
            mesh.positions.push_back(center + (up * std::cos(v) - side * std::sin(v)) * 0.35f);
        }
    }
    mesh.triangles.reserve(size_t(segments) * sides * 2);
    AddGridTriangles(mesh, sides, segments, true);
    return mesh;
}

}  // namespace glintor
