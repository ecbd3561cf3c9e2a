#include "formats/ply_shapes.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <string>
#include <utility>

#include "formats/ply_import.h"
#include "formats/ply_writer.h"
#include "tests/support/test_paths.h"

namespace glintor {
namespace {

// A closed, consistently wound surface uses every directed edge exactly once, and its reverse
// exactly once too.
void ExpectClosedAndConsistent(const PlyMesh& mesh) {
    std::map<std::pair<int32_t, int32_t>, int> edges;
    for (const auto& t : mesh.triangles) {
        for (int i = 0; i < 3; ++i) {
            ++edges[{t[i], t[(i + 1) % 3]}];
        }
    }
    for (const auto& [edge, count] : edges) {
        ASSERT_EQ(count, 1) << edge.first << "-" << edge.second;
        ASSERT_EQ(edges.count({edge.second, edge.first}), 1u) << edge.first << "-" << edge.second;
    }
}

// Every face normal, by the winding, points the way `outward` gives at its first corner.
template <typename Outward>
void ExpectWoundOutwards(const PlyMesh& mesh, Outward outward) {
    for (const auto& t : mesh.triangles) {
        const Vector3& a = mesh.positions[t[0]];
        const Vector3 n = Cross(mesh.positions[t[1]] - a, mesh.positions[t[2]] - a);
        ASSERT_GT(Dot(n, outward(a)), 0.0f);
    }
}

TEST(PlyShapes, IcosphereCountsClosureAndWinding) {
    const PlyMesh sphere = MakeIcosphere(3);
    EXPECT_EQ(sphere.triangles.size(), 20u * 64);
    EXPECT_EQ(sphere.positions.size(), 10u * 64 + 2);  // Euler: V = F / 2 + 2
    ASSERT_EQ(sphere.normals.size(), sphere.positions.size());
    ASSERT_EQ(sphere.uvs.size(), sphere.positions.size());
    for (size_t i = 0; i < sphere.positions.size(); ++i) {
        EXPECT_NEAR(sphere.positions[i].Length(), 1.0f, 1e-6f);
        EXPECT_EQ(sphere.normals[i], sphere.positions[i]);
    }
    ExpectClosedAndConsistent(sphere);
    ExpectWoundOutwards(sphere, [](const Vector3& p) { return p; });
}

TEST(PlyShapes, TorusAndKnotAreClosedAndWoundOutwards) {
    const PlyMesh torus = MakeTorus(24, 8, 1.0f, 0.3f);
    EXPECT_EQ(torus.triangles.size(), 2u * 24 * 8);
    EXPECT_EQ(torus.colors.size(), torus.positions.size());
    ExpectClosedAndConsistent(torus);
    for (size_t i = 0; i < torus.positions.size(); ++i) {
        EXPECT_NEAR(torus.normals[i].Length(), 1.0f, 1e-5f);
    }
    ExpectWoundOutwards(torus, [](const Vector3& p) {
        const Vector3 ring = Vector3(p.x, 0.0f, p.z).Normalized();
        return p - ring;  // from the tube's centre line
    });

    const PlyMesh knot = MakeTorusKnot(64, 6);
    EXPECT_EQ(knot.triangles.size(), 2u * 64 * 6);
    EXPECT_TRUE(knot.normals.empty());
    ExpectClosedAndConsistent(knot);
}

TEST(PlyShapes, TerrainFacesUp) {
    const PlyMesh terrain = MakeTerrain(16);
    EXPECT_EQ(terrain.positions.size(), 17u * 17);
    EXPECT_EQ(terrain.triangles.size(), 2u * 16 * 16);
    EXPECT_TRUE(terrain.normals.empty());
    ExpectWoundOutwards(terrain, [](const Vector3&) { return Vector3(0, 1, 0); });
    EXPECT_EQ(terrain.uvs.front(), (std::array<float, 2>{0.0f, 0.0f}));
    EXPECT_EQ(terrain.uvs.back(), (std::array<float, 2>{1.0f, 1.0f}));
}

TEST(PlyWriter, EveryEncodingImportsBackToTheSameValues) {
    const std::string folder = testing::ScratchFolder("ply_writer");
    PlyMesh mesh = MakeTerrain(5);
    mesh.normals.assign(mesh.positions.size(), Vector3(0.1f, 0.7f, -1e-7f));
    for (PlyEncoding encoding :
         {PlyEncoding::Ascii, PlyEncoding::BinaryLittleEndian, PlyEncoding::BinaryBigEndian}) {
        const std::string path = folder + "/" + PlyEncodingName(encoding) + ".ply";
        ASSERT_TRUE(WritePly(path, mesh, encoding));
        PlyMeshData data;
        ASSERT_TRUE(PlyImport(path.c_str(), 0, data)) << path;
        EXPECT_EQ(data.positions, mesh.positions);
        EXPECT_EQ(data.normals, mesh.normals);
        EXPECT_EQ(data.uvs, mesh.uvs);
        ASSERT_TRUE(data.hasColors);
        EXPECT_EQ(data.colors[7].y, float(mesh.colors[7][1] * 0.00392156862745098));
        EXPECT_EQ(data.indices, mesh.triangles);
    }
}

TEST(PlyWriter, ComputedNormalsOfASphereWithoutNormalsPointOutwards) {
    const std::string folder = testing::ScratchFolder("ply_writer");
    PlyMesh sphere = MakeIcosphere(2);
    sphere.normals.clear();
    const std::string path = folder + "/sphere.ply";
    ASSERT_TRUE(WritePly(path, sphere, PlyEncoding::BinaryBigEndian));
    PlyMeshData data;
    ASSERT_TRUE(PlyImport(path.c_str(), 0, data));
    for (int32_t i = 0; i < data.vertexCount; ++i) {
        EXPECT_GT(Dot(data.normals[i], data.positions[i]), 0.99f);
    }
}

TEST(PlyWriter, WritingToAMissingFolderFails) {
    EXPECT_FALSE(WritePly(testing::ScratchFolder("ply_writer") + "/no/such.ply", MakeIcosphere(0),
                          PlyEncoding::Ascii));
}

}  // namespace
}  // namespace glintor
