// File objects of the Objects section: every PLY mesh of the scene in one triangle mesh set.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "formats/ply_writer.h"
#include "geometry/plane_prim.h"
#include "geometry/qbvh.h"
#include "geometry/sphere_prim.h"
#include "geometry/triangle_mesh_set.h"
#include "scene/scene_loader.h"
#include "tests/support/collected_messages.h"
#include "tests/support/test_paths.h"

namespace glintor {
namespace {

using testing::CollectedMessages;
using testing::Warning;
using Texts = std::vector<std::string>;

std::string Folder() {
    static const std::string folder = testing::ScratchFolder("mesh_objects");
    return folder;
}

// A square of two triangles in the plane z = height, from (x, 0) to (x + 2, 2).
PlyMesh Square(float x, float height) {
    PlyMesh mesh;
    mesh.positions = {{x, 0, height}, {x + 2, 0, height}, {x + 2, 2, height}, {x, 2, height}};
    mesh.triangles = {{0, 1, 2}, {0, 2, 3}};
    return mesh;
}

// One triangle of three vertices.
PlyMesh Triangle(float x) {
    PlyMesh mesh;
    mesh.positions = {{x, 0, 0}, {x + 1, 0, 0}, {x, 1, 0}};
    mesh.triangles = {{0, 1, 2}};
    return mesh;
}

std::string WriteMesh(const std::string& name, const PlyMesh& mesh) {
    const std::string path = Folder() + "/" + name;
    EXPECT_TRUE(WritePly(path, mesh, PlyEncoding::BinaryLittleEndian));
    return path;
}

std::string FileObject(const std::string& plyFile, const std::string& materialId) {
    return "<Object Type=\"File\"><MaterialId>" + materialId + "</MaterialId><PlyFile>" + plyFile +
           "</PlyFile></Object>";
}

// A scene with one matte material and the given Objects content.
std::string Document(const std::string& objects) {
    return "<?xml version=\"1.0\"?>\n<Glintor>\n<Scene><Camera/><Film/></Scene>\n"
           "<Materials><Material Type=\"MATTE\"/></Materials>\n<Objects>\n" +
           objects + "\n</Objects>\n</Glintor>\n";
}

struct Loaded {
    bool ok = false;
    Texts messages;   // scene messages
    std::string out;  // console, PLY import messages included
    std::string err;  // message boxes of the PLY import
};

Loaded Load(const std::string& objects, Scene& scene) {
    const std::string path = testing::WriteFile(Folder() + "/scene.xml", Document(objects));
    CollectedMessages messages;
    Loaded loaded;
    ::testing::internal::CaptureStdout();
    ::testing::internal::CaptureStderr();
    loaded.ok = LoadScene(path.c_str(), scene);
    std::fflush(stdout);
    loaded.out = ::testing::internal::GetCapturedStdout();
    loaded.err = ::testing::internal::GetCapturedStderr();
    loaded.messages = messages.texts;
    return loaded;
}

const TriangleMeshSet* MeshSetAt(const Scene& scene, size_t index) {
    if (index >= scene.objects.size()) {
        return nullptr;
    }
    return dynamic_cast<const TriangleMeshSet*>(scene.objects[index].get());
}

int MeshSetCount(const Scene& scene) {
    int count = 0;
    for (const auto& object : scene.objects) {
        count += dynamic_cast<const TriangleMeshSet*>(object.get()) != nullptr ? 1 : 0;
    }
    return count;
}

// The material of the nearest hit over the scene's objects straight down onto (x, y).
int MaterialBelow(const Scene& scene, float x, float y) {
    Intersection hit;
    int material = -1;
    for (const auto& object : scene.objects) {
        if (object->Intersect(Ray({x, y, 10}, {0, 0, -1}, RayInfinity), hit)) {
            material = hit.materialId;
        }
    }
    return material;
}

TEST(MeshObjects, AllFilesShareOneSetAtThePositionOfTheFirst) {
    const std::string first = WriteMesh("first.ply", Triangle(0));
    const std::string second = WriteMesh("second.ply", Square(4, 0));
    const std::string third = WriteMesh("third.ply", Square(8, 0));
    Scene scene;
    const Loaded loaded =
        Load("<Object Type=\"Sphere\"><Center x=\"0\" y=\"0\" z=\"-5\"/></Object>" +
                 FileObject(first, "3") + "<Object Type=\"Plane\"/>" + FileObject(second, "7") +
                 "<Object Type=\"file\"><PlyFile>" + third +
                 "</PlyFile><MaterialId>9</MaterialId></Object>"
                 "<Object Type=\"Sphere\"><Center x=\"0\" y=\"0\" z=\"-9\"/></Object>",
             scene);
    ASSERT_TRUE(loaded.ok);
    EXPECT_TRUE(loaded.messages.empty());

    ASSERT_EQ(scene.objects.size(), 4u);
    EXPECT_NE(dynamic_cast<const SpherePrim*>(scene.objects[0].get()), nullptr);
    const TriangleMeshSet* set = MeshSetAt(scene, 1);
    ASSERT_NE(set, nullptr);
    EXPECT_NE(dynamic_cast<const PlanePrim*>(scene.objects[2].get()), nullptr);
    EXPECT_NE(dynamic_cast<const SpherePrim*>(scene.objects[3].get()), nullptr);
    EXPECT_EQ(MeshSetCount(scene), 1);

    EXPECT_EQ(set->vertexCount, 11u);
    EXPECT_EQ(set->triangleCount, 5u);
    EXPECT_EQ(set->triangles, (std::vector<int32_t>{0, 1, 2, 3, 4, 5, 3, 5, 6, 7, 8, 9, 7, 9, 10}));
    EXPECT_EQ(set->triangleMaterials, (std::vector<uint8_t>{3, 7, 7, 9, 9}));
    EXPECT_EQ(scene.meshTriangleCount, 5);
    EXPECT_EQ(set->materialId, 255);
    EXPECT_EQ(set->acceleratorKind, 2);
    ASSERT_NE(dynamic_cast<const QBVH*>(set->accelerator.get()), nullptr);

    // Built after the world radius, over every file's triangles.
    const size_t radius = loaded.out.find("World Radius = ");
    const size_t build = loaded.out.find("QBVH - Primitives: 5, Initial Nodes ");
    ASSERT_NE(radius, std::string::npos) << loaded.out;
    ASSERT_NE(build, std::string::npos) << loaded.out;
    EXPECT_LT(radius, build);

    // Each triangle answers with its own file's material.
    EXPECT_EQ(MaterialBelow(scene, 0.25f, 0.25f), 3);
    EXPECT_EQ(MaterialBelow(scene, 5, 1), 7);
    EXPECT_EQ(MaterialBelow(scene, 9, 1), 9);
}

TEST(MeshObjects, MeshesCountInTheWorldSphere) {
    const std::string square = WriteMesh("square.ply", Square(4, 1));
    Scene scene;
    const Loaded loaded = Load(FileObject(square, "0"), scene);
    ASSERT_TRUE(loaded.ok);
    // Box (4, 0, 1) to (6, 2, 1).
    EXPECT_EQ(scene.worldCenter, Vector3(5, 1, 1));
    EXPECT_FLOAT_EQ(scene.worldRadius, std::sqrt(2.0f));
    EXPECT_EQ(loaded.out.rfind("World Radius = 1.414214\n\nQBVH - Primitives: 2, ", 0), 0u)
        << loaded.out;
}

TEST(MeshObjects, UnreadableFileAddsNothingAndLoadingGoesOn) {
    const std::string square = WriteMesh("square.ply", Square(4, 0));
    const std::string missing = Folder() + "/missing.ply";
    Scene scene;
    const Loaded loaded = Load(FileObject(missing, "2") + FileObject(square, "5") +
                                   "<Object Type=\"Sphere\"><Radius>0.5</Radius></Object>",
                               scene);
    ASSERT_TRUE(loaded.ok);
    EXPECT_TRUE(loaded.messages.empty());
    EXPECT_EQ(loaded.out.rfind("ERROR:  Unable to read PLY mesh file '" + missing + "'\n", 0), 0u)
        << loaded.out;
    EXPECT_NE(loaded.err.find("XML Parsing error\nUnable to read PLY mesh file '" + missing + "'"),
              std::string::npos)
        << loaded.err;
    // The set was created by the failed object, in its place.
    ASSERT_EQ(scene.objects.size(), 2u);
    const TriangleMeshSet* set = MeshSetAt(scene, 0);
    ASSERT_NE(set, nullptr);
    EXPECT_NE(dynamic_cast<const SpherePrim*>(scene.objects[1].get()), nullptr);
    EXPECT_EQ(set->vertexCount, 4u);
    EXPECT_EQ(set->triangles, (std::vector<int32_t>{0, 1, 2, 0, 2, 3}));
    EXPECT_EQ(set->triangleMaterials, (std::vector<uint8_t>{5, 5}));
    EXPECT_EQ(scene.meshTriangleCount, 2);
}

TEST(MeshObjects, SetWithoutTrianglesIsNeverBuiltNorHit) {
    Scene scene;
    const Loaded loaded = Load(FileObject(Folder() + "/missing.ply", "1") +
                                   "<Object Type=\"Sphere\"><Center x=\"1\" y=\"2\" z=\"3\"/>"
                                   "</Object>",
                               scene);
    ASSERT_TRUE(loaded.ok);
    ASSERT_EQ(scene.objects.size(), 2u);
    const TriangleMeshSet* set = MeshSetAt(scene, 0);
    ASSERT_NE(set, nullptr);
    EXPECT_EQ(set->triangleCount, 0u);
    EXPECT_EQ(scene.meshTriangleCount, 0);
    EXPECT_EQ(loaded.out.find("QBVH"), std::string::npos) << loaded.out;
    // The empty set adds nothing to the world: the sphere alone decides it.
    EXPECT_EQ(scene.worldCenter, Vector3(1, 2, 3));
    EXPECT_FLOAT_EQ(scene.worldRadius, std::sqrt(3.0f));
    Intersection hit;
    EXPECT_FALSE(set->Intersect(Ray({0, 0, 10}, {0, 0, -1}, RayInfinity), hit));
}

TEST(MeshObjects, MissingOrEmptyPlyFileIsReportedByTheImport) {
    for (const char* object : {"<Object Type=\"File\"><MaterialId>1</MaterialId></Object>",
                               "<Object Type=\"File\"><PlyFile></PlyFile></Object>"}) {
        Scene scene;
        const Loaded loaded = Load(object, scene);
        ASSERT_TRUE(loaded.ok) << object;
        EXPECT_EQ(loaded.out.rfind("ERROR:  Empty file object file name\n", 0), 0u) << loaded.out;
        EXPECT_NE(loaded.err.find("XML Parsing error\nEmpty file object file name\n"),
                  std::string::npos)
            << loaded.err;
        EXPECT_EQ(MeshSetCount(scene), 1);
        EXPECT_EQ(scene.meshTriangleCount, 0);
    }
}

TEST(MeshObjects, MaterialIdIsReadLikeOtherObjects) {
    const std::string triangle = WriteMesh("triangle.ply", Triangle(0));
    const std::string square = WriteMesh("square.ply", Square(4, 0));
    const std::string other = WriteMesh("other.ply", Square(8, 0));
    Scene scene;
    const Loaded loaded =
        Load(FileObject(triangle, "300") + FileObject(square, "-1") +
                 "<Object Type=\"File\"><PlyFile>" + other + "</PlyFile></Object>",
             scene);
    ASSERT_TRUE(loaded.ok);
    EXPECT_EQ(loaded.messages, (Texts{Warning("300", "<Object><MaterialId>"),
                                      Warning("-1", "<Object><MaterialId>")}));
    const TriangleMeshSet* set = MeshSetAt(scene, 0);
    ASSERT_NE(set, nullptr);
    EXPECT_EQ(set->triangleMaterials, (std::vector<uint8_t>{255, 0, 0, 0, 0}));
}

TEST(MeshObjects, PlyFileIsRelativeToTheCurrentFolderWithEitherSeparator) {
    namespace fs = std::filesystem;
    fs::create_directories(Folder() + "/meshes");
    WriteMesh("meshes/square.ply", Square(4, 0));
    const fs::path home = fs::current_path();
    fs::current_path(Folder());
    Scene scene;
    const Loaded loaded = Load(FileObject("meshes\\square.ply", "4"), scene);
    fs::current_path(home);
    ASSERT_TRUE(loaded.ok);
    EXPECT_EQ(scene.meshTriangleCount, 2) << loaded.out;
    EXPECT_EQ(MaterialBelow(scene, 5, 1), 4);
}

TEST(MeshObjects, SceneWithoutFileObjectsHasNoSet) {
    Scene scene;
    const Loaded loaded = Load("<Object Type=\"Sphere\"/>", scene);
    ASSERT_TRUE(loaded.ok);
    EXPECT_EQ(MeshSetCount(scene), 0);
    EXPECT_EQ(scene.meshTriangleCount, 0);
    EXPECT_EQ(loaded.out.find("QBVH"), std::string::npos);
}

TEST(MeshObjects, RealMeshLoadsThroughTheScene) {
    const std::string bunny = testing::SharedDataPath("meshes/bun_zipper_res4.ply");
    if (!std::filesystem::exists(bunny)) {
        GTEST_SKIP() << "No shared mesh at " << bunny;
    }
    Scene scene;
    const Loaded loaded = Load(FileObject(bunny, "0"), scene);
    ASSERT_TRUE(loaded.ok);
    EXPECT_EQ(scene.meshTriangleCount, 948);
    EXPECT_NE(loaded.out.find("QBVH - Primitives: 948, "), std::string::npos) << loaded.out;
    // Inside the box noted for the full-resolution bunny.
    EXPECT_NEAR(scene.worldCenter.x, -0.017f, 0.01f);
    EXPECT_NEAR(scene.worldCenter.y, 0.110f, 0.01f);
    EXPECT_NEAR(scene.worldCenter.z, -0.002f, 0.01f);
}

TEST(MeshObjects, ExampleSceneLoadsBothMeshes) {
    namespace fs = std::filesystem;
    const fs::path home = fs::current_path();
    fs::current_path(fs::path(GLINTOR_SOURCE_DIR) / "scenes");
    Scene scene;
    CollectedMessages messages;
    ::testing::internal::CaptureStdout();
    const bool ok = LoadScene("meshes.xml", scene);
    const std::string out = ::testing::internal::GetCapturedStdout();
    fs::current_path(home);
    ASSERT_TRUE(ok) << out;
    EXPECT_TRUE(messages.texts.empty());
    EXPECT_EQ(out.find("ERROR"), std::string::npos) << out;
    ASSERT_EQ(MeshSetCount(scene), 1);
    const TriangleMeshSet* set = MeshSetAt(scene, 2);
    ASSERT_NE(set, nullptr);
    // The sphere with texture coordinates, then the torus without.
    EXPECT_EQ(scene.meshTriangleCount, 5120 + 8192);
    EXPECT_EQ(set->triangleMaterials.front(), 1);
    EXPECT_EQ(set->triangleMaterials.back(), 2);
    EXPECT_EQ(set->triangleFlags.front(), TriangleHasUVs);
    EXPECT_EQ(set->triangleFlags.back(), 0);
}

}  // namespace
}  // namespace glintor
