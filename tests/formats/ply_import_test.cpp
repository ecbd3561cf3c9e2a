#include "formats/ply_import.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>

#include "tests/support/test_paths.h"

namespace glintor {
namespace {

struct ImportRun {
    bool ok = false;
    PlyMeshData mesh;
    std::string out;
    std::string err;
};

ImportRun Import(const char* path, int32_t offset = 0) {
    ImportRun run;
    ::testing::internal::CaptureStdout();
    ::testing::internal::CaptureStderr();
    run.ok = PlyImport(path, offset, run.mesh);
    run.out = ::testing::internal::GetCapturedStdout();
    run.err = ::testing::internal::GetCapturedStderr();
    return run;
}

ImportRun ImportText(const std::string& name, const std::string& contents, int32_t offset = 0) {
    const std::string folder = testing::ScratchFolder("ply_import");
    const std::string path = testing::WriteFile(folder + "/" + name, contents);
    return Import(path.c_str(), offset);
}

ImportRun ImportShared(const std::string& file) {
    return Import(testing::SharedDataPath("meshes/" + file).c_str());
}

// The one message of a failed import: on the console and in the message box.
void ExpectOneMessage(const ImportRun& run, const std::string& text) {
    EXPECT_FALSE(run.ok);
    EXPECT_EQ(run.out, "ERROR:  " + text + "\n");
    EXPECT_NE(run.err.find("XML Parsing error\n" + text + "\n"), std::string::npos) << run.err;
}

std::string Ascii(const std::string& vertexProperties, int vertices, const std::string& faceSection,
                  const std::string& body) {
    std::string header = "ply\nformat ascii 1.0\nelement vertex " + std::to_string(vertices) + "\n";
    for (char c : vertexProperties) {
        header += std::string("property float ") + c + "\n";
    }
    return header + faceSection + "end_header\n" + body;
}

const char kFaces[] = "element face 2\nproperty list uchar int vertex_indices\n";
// A unit square in z = 0, counter-clockwise seen from +z.
const char kSquare[] = "0 0 0\n1 0 0\n1 1 0\n0 1 0\n3 0 1 2\n3 0 2 3\n";

void ExpectVector(const Vector3& v, float x, float y, float z) {
    EXPECT_FLOAT_EQ(v.x, x);
    EXPECT_FLOAT_EQ(v.y, y);
    EXPECT_FLOAT_EQ(v.z, z);
}

TEST(PlyImport, FlatSquareGetsTheNormalOfItsPlaneAtEveryVertex) {
    const ImportRun run = ImportText("square.ply", Ascii("xyz", 4, kFaces, kSquare));
    ASSERT_TRUE(run.ok) << run.err;
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.mesh.vertexCount, 4);
    EXPECT_EQ(run.mesh.triangleCount, 2);
    EXPECT_TRUE(run.mesh.hasNormals);
    EXPECT_FALSE(run.mesh.hasColors);
    EXPECT_FALSE(run.mesh.hasUVs);
    ASSERT_EQ(run.mesh.normals.size(), 4u);
    for (const Vector3& n : run.mesh.normals) {
        EXPECT_EQ(n, Vector3(0, 0, 1));
    }
    ExpectVector(run.mesh.positions[2], 1, 1, 0);
    EXPECT_EQ(run.mesh.indices[1], (std::array<int32_t, 3>{0, 2, 3}));
    EXPECT_TRUE(run.mesh.colors.empty());
    EXPECT_TRUE(run.mesh.uvs.empty());
}

TEST(PlyImport, SmoothNormalsWeighEveryFaceEquallyWhateverItsArea) {
    // Vertex 0 is shared by a large face in z = 0 and a small one in x = 0.
    const std::string text =
        Ascii("xyz", 5, "element face 2\nproperty list uchar int vertex_indices\n",
              "0 0 0\n10 0 0\n0 10 0\n0 0 0.1\n0 -0.1 0\n3 0 1 2\n3 0 3 4\n");
    const ImportRun run = ImportText("weights.ply", text);
    ASSERT_TRUE(run.ok);
    const float h = std::sqrt(0.5f);
    EXPECT_NEAR(run.mesh.normals[0].x, h, 1e-6);
    EXPECT_NEAR(run.mesh.normals[0].y, 0, 1e-6);
    EXPECT_NEAR(run.mesh.normals[0].z, h, 1e-6);
    ExpectVector(run.mesh.normals[1], 0, 0, 1);
    ExpectVector(run.mesh.normals[4], 1, 0, 0);
}

TEST(PlyImport, PolygonsSplitIntoTrianglesAroundTheirFirstCorner) {
    // A convex pentagon in z = 0, counter-clockwise seen from +z; a quad and the whole pentagon.
    const std::string text =
        Ascii("xyz", 5, kFaces, "0 0 0\n2 0 0\n3 1 0\n1 3 0\n-1 1 0\n4 1 2 3 4\n5 0 1 2 3 4\n");
    const ImportRun run = ImportText("polygons.ply", text);
    ASSERT_TRUE(run.ok) << run.err;
    EXPECT_EQ(run.mesh.triangleCount, 5);
    EXPECT_EQ(run.mesh.indices, (std::vector<std::array<int32_t, 3>>{
                                    {1, 2, 3}, {1, 3, 4}, {0, 1, 2}, {0, 2, 3}, {0, 3, 4}}));
    // Every corner lies on a kept triangle, so every one gets the plane's normal.
    for (const Vector3& n : run.mesh.normals) {
        EXPECT_EQ(n, Vector3(0, 0, 1));
    }
    // Corners after the third are checked like the first three.
    ExpectOneMessage(ImportText("polygon_range.ply", Ascii("xyz", 5, kFaces,
                                                           "0 0 0\n2 0 0\n3 1 0\n1 3 0\n-1 1 0\n"
                                                           "4 1 2 3 4\n5 0 1 2 3 5\n")),
                     "Face 1 in '" + testing::ScratchFolder("ply_import") +
                         "/polygon_range.ply' uses a vertex index outside the file's vertices");
}

TEST(PlyImport, IndicesAreShiftedByTheOffsetAfterTheNormalsAreComputed) {
    const ImportRun first = ImportText("a.ply", Ascii("xyz", 4, kFaces, kSquare), 0);
    const ImportRun second = ImportText("b.ply", Ascii("xyz", 4, kFaces, kSquare), 4);
    ASSERT_TRUE(first.ok && second.ok);
    EXPECT_EQ(first.mesh.indices[1], (std::array<int32_t, 3>{0, 2, 3}));
    EXPECT_EQ(second.mesh.indices[0], (std::array<int32_t, 3>{4, 5, 6}));
    EXPECT_EQ(second.mesh.indices[1], (std::array<int32_t, 3>{4, 6, 7}));
    EXPECT_EQ(second.mesh.normals, first.mesh.normals);
}

TEST(PlyImport, ColoursAreScaledToZeroToOneAndTextureCoordinatesComeFromSAndT) {
    const std::string text =
        "ply\nformat ascii 1.0\nelement vertex 3\nproperty float x\nproperty float y\n"
        "property float z\nproperty uchar red\nproperty uchar green\nproperty uchar blue\n"
        "property float s\nproperty float t\nproperty float nx\nproperty float ny\n"
        "property float nz\nelement face 1\nproperty list uchar int vertex_indices\nend_header\n"
        "0 0 0 255 0 128 0.25 0.75 0 0 2\n1 0 0 0 255 0 1 0 0 0 2\n0 1 0 0 0 255 0 1 0 0 2\n"
        "3 0 1 2\n";
    const ImportRun run = ImportText("colours.ply", text);
    ASSERT_TRUE(run.ok);
    ASSERT_TRUE(run.mesh.hasColors);
    ASSERT_TRUE(run.mesh.hasUVs);
    EXPECT_EQ(run.mesh.colors[0].x, 1.0f);
    EXPECT_EQ(run.mesh.colors[0].y, 0.0f);
    EXPECT_EQ(run.mesh.colors[0].z, float(128 * 0.00392156862745098));
    EXPECT_EQ(run.mesh.colors[2].z, 1.0f);
    EXPECT_EQ(run.mesh.uvs[0], (std::array<float, 2>{0.25f, 0.75f}));
    // Stored normals are taken as they are, not normalised.
    ExpectVector(run.mesh.normals[1], 0, 0, 2);
}

TEST(PlyImport, PartialColoursAndCoordinatesLeaveTheMissingComponentsZero) {
    const std::string text =
        Ascii("xyzs", 3, "element face 1\nproperty list uchar int vertex_indices\n",
              "0 0 0 0.5\n1 0 0 0.5\n0 1 0 0.5\n3 0 1 2\n");
    const ImportRun run = ImportText("s_only.ply", text);
    ASSERT_TRUE(run.ok);
    ASSERT_TRUE(run.mesh.hasUVs);
    EXPECT_EQ(run.mesh.uvs[2], (std::array<float, 2>{0.5f, 0.0f}));
}

TEST(PlyImport, LaterComponentsWithoutTheFirstAreIgnored) {
    // green without red, ny without nx, t without s: no colours, normals or coordinates.
    const std::string text =
        "ply\nformat ascii 1.0\nelement vertex 3\nproperty float x\nproperty float y\n"
        "property float z\nproperty uchar green\nproperty float ny\nproperty float t\n"
        "element face 1\nproperty list uchar int vertex_indices\nend_header\n"
        "0 0 0 9 9 9\n1 0 0 9 9 9\n0 1 0 9 9 9\n3 0 1 2\n";
    const ImportRun run = ImportText("partial.ply", text);
    ASSERT_TRUE(run.ok);
    EXPECT_FALSE(run.mesh.hasColors);
    EXPECT_FALSE(run.mesh.hasUVs);
    ExpectVector(run.mesh.normals[0], 0, 0, 1);  // computed
}

TEST(PlyImport, EveryEncodingGivesTheSameMesh) {
    const std::string header =
        "element vertex 4\nproperty float x\nproperty float y\n"
        "property float z\nelement face 2\n"
        "property list uchar int vertex_indices\nend_header\n";
    const ImportRun ascii =
        ImportText("e.ply", "ply\nformat ascii 1.0\n" + header +
                                "0.1 0 0\n1 0 0.3\n1 1 0\n0 1 0\n3 0 1 2\n3 0 2 3\n");
    ASSERT_TRUE(ascii.ok);
    for (bool big : {false, true}) {
        std::string bytes;
        const auto put = [&](auto value) {
            char raw[sizeof(value)];
            std::memcpy(raw, &value, sizeof(value));
            if (big) {
                std::reverse(raw, raw + sizeof(value));
            }
            bytes.append(raw, sizeof(value));
        };
        for (float v : {0.1f, 0.f, 0.f, 1.f, 0.f, 0.3f, 1.f, 1.f, 0.f, 0.f, 1.f, 0.f}) {
            put(v);
        }
        for (int32_t second : {1, 2}) {
            put(uint8_t(3));
            put(int32_t(0));
            put(int32_t(second));
            put(int32_t(second + 1));
        }
        const ImportRun binary =
            ImportText("e.ply", std::string("ply\nformat ") +
                                    (big ? "binary_big_endian" : "binary_little_endian") +
                                    " 1.0\n" + header + bytes);
        ASSERT_TRUE(binary.ok) << binary.err;
        EXPECT_EQ(binary.mesh.positions, ascii.mesh.positions);
        EXPECT_EQ(binary.mesh.indices, ascii.mesh.indices);
        EXPECT_EQ(binary.mesh.normals, ascii.mesh.normals);
    }
}

TEST(PlyImport, HugeCoordinatesStillGetFiniteNormals) {
    // Edges of 1e30 overflow a float cross product. The second triangle's edges (1, 0, 1) and
    // (0, 1, 1) (times 1e30) have the cross product (-1, -1, 1), up to scale.
    const std::string text =
        Ascii("xyz", 6, kFaces,
              "0 0 0\n1e30 0 0\n0 1e30 0\n0 0 0\n1e30 0 1e30\n0 1e30 1e30\n3 0 1 2\n3 3 4 5\n");
    const ImportRun run = ImportText("huge.ply", text);
    ASSERT_TRUE(run.ok) << run.err;
    const float third = 1.0f / std::sqrt(3.0f);
    for (int i = 0; i < 3; ++i) {
        ExpectVector(run.mesh.normals[i], 0, 0, 1);
        ExpectVector(run.mesh.normals[3 + i], -third, -third, third);
    }
}

// ---------------------------------------------------------------------------------------------
// Failures: one message each, naming the file.

TEST(PlyImportFailure, EmptyOrMissingFileName) {
    ExpectOneMessage(Import(""), "Empty file object file name");
    ExpectOneMessage(Import(nullptr), "Empty file object file name");
}

TEST(PlyImportFailure, UnreadableFile) {
    const std::string path = testing::ScratchFolder("ply_import_missing") + "/none.ply";
    const ImportRun run = Import(path.c_str());
    ExpectOneMessage(run, "Unable to read PLY mesh file '" + path + "'");
    // The reader's own complaint comes first, on standard error.
    EXPECT_NE(run.err.find("PLY: " + path + ": cannot open the file"), std::string::npos);
}

TEST(PlyImportFailure, BadHeader) {
    const ImportRun run = ImportText("header.ply", "ply\nformat ascii 1.0\nelement vertex x\n");
    EXPECT_NE(run.err.find("PLY: "), std::string::npos);
    ExpectOneMessage(run, "Unable to read PLY header from '" +
                              testing::ScratchFolder("ply_import") + "/header.ply'");
}

TEST(PlyImportFailure, CountsThatCannotBeMet) {
    const std::string folder = testing::ScratchFolder("ply_import");
    // 2^31 vertices cannot be a count: a bad header. 2^31 - 1 can, but the body is too short.
    const std::string faces = "element face 1\nproperty list uchar int vertex_indices\n";
    const auto file = [&](const std::string& count) {
        return "ply\nformat binary_little_endian 1.0\nelement vertex " + count +
               "\nproperty float x\n" + faces + "end_header\n1234";
    };
    ExpectOneMessage(ImportText("big.ply", file("2147483648")),
                     "Unable to read PLY header from '" + folder + "/big.ply'");
    ExpectOneMessage(ImportText("big.ply", file("2147483647")),
                     "Unable to parse PLY file '" + folder + "/big.ply'");
}

TEST(PlyImportFailure, NoVerticesOrNoTriangles) {
    const std::string folder = testing::ScratchFolder("ply_import");
    ExpectOneMessage(ImportText("nov.ply", Ascii("xyz", 0, kFaces, "3 0 1 2\n3 0 1 2\n")),
                     "No vertices found in '" + folder + "/nov.ply'");
    ExpectOneMessage(
        ImportText("nox.ply", Ascii("abc", 3, kFaces, "0 0 0\n1 0 0\n0 1 0\n3 0 1 2\n3 0 1 2\n")),
        "No vertices found in '" + folder + "/nox.ply'");
    ExpectOneMessage(ImportText("nof.ply", Ascii("xyz", 3, "", "0 0 0\n1 0 0\n0 1 0\n")),
                     "No triangles found in '" + folder + "/nof.ply'");
    ExpectOneMessage(
        ImportText("zerof.ply",
                   Ascii("xyz", 3, "element face 0\nproperty list uchar int vertex_indices\n",
                         "0 0 0\n1 0 0\n0 1 0\n")),
        "No triangles found in '" + folder + "/zerof.ply'");
    // One vertex is enough, however degenerate its triangle.
    EXPECT_TRUE(ImportText("one.ply", Ascii("xyz", 1,
                                            "element face 1\nproperty list uchar int "
                                            "vertex_indices\n",
                                            "0 0 0\n3 0 0 0\n"))
                    .ok);
}

TEST(PlyImportFailure, TruncatedBody) {
    const std::string folder = testing::ScratchFolder("ply_import");
    const ImportRun run = ImportText(
        "cut.ply", Ascii("xyz", 4, kFaces, "0 0 0\n1 0 0\n1 1 0\n0 1 0\n3 0 1 2\n3 0\n"));
    ExpectOneMessage(run, "Unable to parse PLY file '" + folder + "/cut.ply'");
    // A whole header whose binary body ends early: whether the cut falls in the vertices or the
    // faces, the body is at fault, not the header.
    const std::string header =
        "ply\nformat binary_little_endian 1.0\nelement vertex 3\nproperty float x\n"
        "property float y\nproperty float z\n" +
        std::string(kFaces) + "end_header\n";
    const std::string vertices(36, '\0');
    std::string face(13, '\0');  // three corners, all vertex 0
    face[0] = 3;
    for (const std::string& body :
         {std::string(), vertices.substr(0, 20), vertices, vertices + face + face.substr(0, 5)}) {
        ExpectOneMessage(ImportText("cut.ply", header + body),
                         "Unable to parse PLY file '" + folder + "/cut.ply'");
    }
}

TEST(PlyImportFailure, FacesOutsideTheVerticesOrWithTooFewCorners) {
    const std::string folder = testing::ScratchFolder("ply_import");
    const std::string vertices = "0 0 0\n1 0 0\n1 1 0\n0 1 0\n";
    ExpectOneMessage(
        ImportText("high.ply", Ascii("xyz", 4, kFaces, vertices + "3 0 1 2\n3 0 2 4\n")),
        "Face 1 in '" + folder + "/high.ply' uses a vertex index outside the file's vertices");
    ExpectOneMessage(
        ImportText("low.ply", Ascii("xyz", 4, kFaces, vertices + "3 0 -1 2\n3 0 2 3\n")),
        "Face 0 in '" + folder + "/low.ply' uses a vertex index outside the file's vertices");
    ExpectOneMessage(ImportText("two.ply", Ascii("xyz", 4, kFaces, vertices + "3 0 1 2\n2 0 2\n")),
                     "Face 1 in '" + folder + "/two.ply' has fewer than three vertices");
    // The first bad face is the one named.
    ExpectOneMessage(
        ImportText("both.ply", Ascii("xyz", 4, kFaces, vertices + "3 0 9 2\n2 0 2\n")),
        "Face 0 in '" + folder + "/both.ply' uses a vertex index outside the file's vertices");
    ExpectOneMessage(
        ImportText("scalar.ply", Ascii("xyz", 4, "element face 1\nproperty int vertex_indices\n",
                                       vertices + "2\n")),
        "Face 0 in '" + folder + "/scalar.ply' has fewer than three vertices");
    // Float indices are truncated toward zero before the range test.
    const std::string floatFaces = "element face 1\nproperty list uchar float vertex_indices\n";
    EXPECT_TRUE(
        ImportText("fl.ply", Ascii("xyz", 4, floatFaces, vertices + "3 0.9 1.5 3.99\n")).ok);
    ExpectOneMessage(
        ImportText("fh.ply", Ascii("xyz", 4, floatFaces, vertices + "3 0 1 4.0\n")),
        "Face 0 in '" + folder + "/fh.ply' uses a vertex index outside the file's vertices");
    ExpectOneMessage(
        ImportText("fn.ply", Ascii("xyz", 4, floatFaces, vertices + "3 0 1 nan\n")),
        "Face 0 in '" + folder + "/fn.ply' uses a vertex index outside the file's vertices");
}

TEST(PlyImportFailure, ValuesThatAreNotFiniteNumbers) {
    const std::string folder = testing::ScratchFolder("ply_import");
    ExpectOneMessage(
        ImportText("nan.ply",
                   Ascii("xyz", 4, kFaces, "0 0 0\n1 nan 0\n1 1 0\n0 1 0\n3 0 1 2\n3 0 2 3\n")),
        "Vertex 1 in '" + folder + "/nan.ply' has a value that is not a finite number");
    // Beyond the float range counts as infinite.
    ExpectOneMessage(
        ImportText("inf.ply",
                   Ascii("xyz", 4, kFaces, "0 0 0\n1 0 0\n1 1 0\n0 1 1e39\n3 0 1 2\n3 0 2 3\n")),
        "Vertex 3 in '" + folder + "/inf.ply' has a value that is not a finite number");
}

TEST(PlyImportFailure, OffsetsBeyondThe32BitIndexRange) {
    const std::string folder = testing::ScratchFolder("ply_import");
    const ImportRun run = ImportText("offset.ply", Ascii("xyz", 4, kFaces, kSquare),
                                     std::numeric_limits<int32_t>::max() - 3);
    ExpectOneMessage(run, "Too many vertices in '" + folder + "/offset.ply' for one mesh set");
    EXPECT_TRUE(ImportText("offset.ply", Ascii("xyz", 4, kFaces, kSquare),
                           std::numeric_limits<int32_t>::max() - 4)
                    .ok);
}

// ---------------------------------------------------------------------------------------------
// Real meshes

TEST(PlyImportRealMeshes, CountsAndAttributes) {
    if (!testing::HasSharedData()) {
        GTEST_SKIP() << "shared meshes not available";
    }
    struct Expected {
        const char* file;
        int32_t vertices;
        int32_t triangles;
        bool colors;
        bool uvs;
    };
    for (const Expected& e :
         {Expected{"bun_zipper.ply", 35947, 69451, false, false},
          Expected{"xyzrgb_dragon_100k.ply", 50002, 100000, false, false},
          Expected{"spot_vn_rgba_ascii.ply", 2930, 5856, true, false},
          Expected{"spot_rgba_facetexcoord_binle.ply", 2930, 5856, true, false},
          // 468 quads and 32 triangles; 6 quads.
          Expected{"suzanne_quads_vn_st.ply", 1966, 968, false, true},
          Expected{"cube_blender_quads_vn_st.ply", 24, 12, false, true},
          // MeshLab's texture_u and texture_v are not s and t.
          Expected{"cube_meshlab_texture_uv_binle.ply", 24, 12, false, false}}) {
        const ImportRun run = ImportShared(e.file);
        ASSERT_TRUE(run.ok) << e.file << run.err;
        EXPECT_EQ(run.mesh.vertexCount, e.vertices) << e.file;
        EXPECT_EQ(run.mesh.triangleCount, e.triangles) << e.file;
        EXPECT_EQ(run.mesh.positions.size(), size_t(e.vertices)) << e.file;
        EXPECT_EQ(run.mesh.normals.size(), size_t(e.vertices)) << e.file;
        EXPECT_EQ(run.mesh.hasColors, e.colors) << e.file;
        EXPECT_EQ(run.mesh.hasUVs, e.uvs) << e.file;
    }
}

TEST(PlyImportRealMeshes, StoredNormalsKeepTheirLengthAndColoursScale) {
    if (!testing::HasSharedData()) {
        GTEST_SKIP() << "shared meshes not available";
    }
    const ImportRun run = ImportShared("spot_vn_rgba_ascii.ply");
    ASSERT_TRUE(run.ok);
    float shortest = 1e9f;
    float longest = 0.0f;
    for (const Vector3& n : run.mesh.normals) {
        shortest = std::min(shortest, n.Length());
        longest = std::max(longest, n.Length());
    }
    EXPECT_GT(shortest, 3.0f);
    EXPECT_LT(longest, 10.5f);
    EXPECT_EQ(run.mesh.colors[100].x, float(192 * 0.00392156862745098));
}

TEST(PlyImportRealMeshes, QuadsWithTextureCoordinates) {
    if (!testing::HasSharedData()) {
        GTEST_SKIP() << "shared meshes not available";
    }
    const ImportRun cube = ImportShared("cube_blender_quads_vn_st.ply");
    ASSERT_TRUE(cube.ok);
    float lowest = 1.0f;
    float highest = 0.0f;
    for (const auto& uv : cube.mesh.uvs) {
        lowest = std::min({lowest, uv[0], uv[1]});
        highest = std::max({highest, uv[0], uv[1]});
    }
    EXPECT_EQ(lowest, 0.0f);
    EXPECT_EQ(highest, 1.0f);
    EXPECT_EQ(cube.mesh.uvs[0], (std::array<float, 2>{0.625f, 0.5f}));
    EXPECT_EQ(cube.mesh.uvs[2], (std::array<float, 2>{0.875f, 0.75f}));
    // The two triangles of each quad lie on one side of the cube and cover it: the unit cube's
    // surface is 6.
    double area = 0.0;
    for (const auto& t : cube.mesh.indices) {
        const Vector3 n = cube.mesh.normals[t[0]];
        EXPECT_EQ(cube.mesh.normals[t[1]], n);
        EXPECT_EQ(cube.mesh.normals[t[2]], n);
        const std::vector<Vector3>& p = cube.mesh.positions;
        area += 0.5 * Cross(p[t[1]] - p[t[0]], p[t[2]] - p[t[0]]).Length();
    }
    EXPECT_NEAR(area, 6.0, 1e-5);
}

TEST(PlyImportRealMeshes, PlatonicShelfIsTheSameMeshInAllEncodings) {
    if (!testing::HasSharedData()) {
        GTEST_SKIP() << "shared meshes not available";
    }
    const ImportRun ascii = ImportShared("platonic_shelf_ascii.ply");
    const ImportRun little = ImportShared("platonic_shelf_binle.ply");
    const ImportRun big = ImportShared("platonic_shelf_binbe.ply");
    ASSERT_TRUE(ascii.ok && little.ok && big.ok);
    // 32 triangles, 6 quads and 12 pentagons.
    EXPECT_EQ(ascii.mesh.triangleCount, 32 + 6 * 2 + 12 * 3);
    for (const ImportRun* other : {&little, &big}) {
        EXPECT_EQ(other->mesh.positions, ascii.mesh.positions);
        EXPECT_EQ(other->mesh.indices, ascii.mesh.indices);
        EXPECT_EQ(other->mesh.normals, ascii.mesh.normals);
    }
}

TEST(PlyImportRealMeshes, ReversedWindingGivesOppositeNormals) {
    if (!testing::HasSharedData()) {
        GTEST_SKIP() << "shared meshes not available";
    }
    const ImportRun bunny = ImportShared("bun_zipper.ply");
    const ImportRun flipped = ImportShared("bunny_gatech_flipply.ply");
    ASSERT_TRUE(bunny.ok && flipped.ok);
    std::vector<bool> used(bunny.mesh.vertexCount, false);
    for (const auto& t : bunny.mesh.indices) {
        used[t[0]] = used[t[1]] = used[t[2]] = true;
    }
    int usedCount = 0;
    for (int32_t i = 0; i < bunny.mesh.vertexCount; ++i) {
        const Vector3& a = bunny.mesh.normals[i];
        const Vector3& b = flipped.mesh.normals[i];
        ASSERT_NEAR(a.x, -b.x, 1e-5) << i;
        ASSERT_NEAR(a.y, -b.y, 1e-5) << i;
        ASSERT_NEAR(a.z, -b.z, 1e-5) << i;
        // Vertices no face uses keep a zero normal; all others are unit length.
        ASSERT_NEAR(a.Length(), used[i] ? 1.0f : 0.0f, 1e-5) << i;
        usedCount += used[i];
    }
    EXPECT_EQ(usedCount, 34834);
}

}  // namespace
}  // namespace glintor
