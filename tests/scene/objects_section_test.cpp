#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "geometry/plane_prim.h"
#include "geometry/sphere_prim.h"
#include "scene/scene_loader.h"
#include "tests/support/collected_messages.h"
#include "tests/support/test_paths.h"

namespace glintor {
namespace {

using testing::CollectedMessages;
using testing::Warning;
using Texts = std::vector<std::string>;

// A scene with one matte material, the given Objects content, and `rest` after the section.
std::string Document(const std::string& objects, const std::string& rest = "") {
    return "<?xml version=\"1.0\"?>\n<Glintor>\n<Scene><Camera/><Film/></Scene>\n"
           "<Materials><Material Type=\"MATTE\"/></Materials>\n<Objects>\n" +
           objects + "\n</Objects>\n" + rest + "\n</Glintor>\n";
}

struct Loaded {
    bool ok = false;
    Texts messages;
    std::string console;
};

Loaded Load(const std::string& contents, Scene& scene) {
    const std::string folder = glintor::testing::ScratchFolder("objects_section");
    const std::string path = glintor::testing::WriteFile(folder + "/scene.xml", contents);
    CollectedMessages messages;
    Loaded loaded;
    ::testing::internal::CaptureStdout();
    loaded.ok = LoadScene(path.c_str(), scene);
    std::fflush(stdout);
    loaded.console = ::testing::internal::GetCapturedStdout();
    loaded.messages = messages.texts;
    return loaded;
}

template <typename Object>
const Object* ObjectAt(const Scene& scene, size_t index) {
    if (index >= scene.objects.size()) {
        return nullptr;
    }
    return dynamic_cast<const Object*>(scene.objects[index].get());
}

// ---- Spheres and planes ----

TEST(ObjectsSectionTest, SphereValuesAndDefaults) {
    Scene scene;
    const Loaded loaded = Load(Document("<Object Type=\"Sphere\"/>"
                                        "<Object Type=\"sphere\"><Center x=\"1\" y=\"2\" z=\"3\"/>"
                                        "<Radius>2.5</Radius><MaterialId>4</MaterialId></Object>"),
                               scene);
    ASSERT_TRUE(loaded.ok);
    EXPECT_TRUE(loaded.messages.empty());
    const auto* unit = ObjectAt<SpherePrim>(scene, 0);
    ASSERT_NE(unit, nullptr);
    EXPECT_EQ(unit->center, Vector3(0, 0, 0));
    EXPECT_EQ(unit->radius, 1.0f);
    EXPECT_EQ(unit->materialId, 0);
    const auto* sphere = ObjectAt<SpherePrim>(scene, 1);
    ASSERT_NE(sphere, nullptr);
    EXPECT_EQ(sphere->center, Vector3(1, 2, 3));
    EXPECT_EQ(sphere->radius, 2.5f);
    // Beyond the one material of the scene, yet kept as written.
    EXPECT_EQ(sphere->materialId, 4);
}

TEST(ObjectsSectionTest, SphereRangesClamp) {
    struct Case {
        const char* parameters;
        float radius;
        int materialId;
        Texts messages;
    };
    const Case cases[] = {
        {"<Radius>0</Radius>", 0.001f, 0, {Warning("0", "<Object><Radius>")}},
        {"<Radius>5000</Radius>", 1000.0f, 0, {Warning("5000", "<Object><Radius>")}},
        {"<Radius>big</Radius>", 1.0f, 0, {Warning("big", "<Object><Radius>")}},
        {"<MaterialId>300</MaterialId>", 1.0f, 255, {Warning("300", "<Object><MaterialId>")}},
        {"<MaterialId>-1</MaterialId>", 1.0f, 0, {Warning("-1", "<Object><MaterialId>")}},
        {"<MaterialId>255</MaterialId>", 1.0f, 255, {}},
        {"<MaterialId>1.5</MaterialId>", 1.0f, 0, {Warning("1.5", "<Object><MaterialId>")}},
        // The integer form reads the leading digits only.
        {"<MaterialId>2e1</MaterialId>", 1.0f, 2, {}},
        // Read in the order Center, Radius, MaterialId, whatever the file's order.
        {"<MaterialId>x</MaterialId><Radius>y</Radius><Center x=\"1\" y=\"1\"/>",
         1.0f,
         0,
         {Warning("Center", "<Object><Center>"), Warning("y", "<Object><Radius>"),
          Warning("x", "<Object><MaterialId>")}},
    };
    for (const Case& c : cases) {
        Scene scene;
        const Loaded loaded = Load(
            Document(std::string("<Object Type=\"Sphere\">") + c.parameters + "</Object>"), scene);
        ASSERT_TRUE(loaded.ok) << c.parameters;
        EXPECT_EQ(loaded.messages, c.messages) << c.parameters;
        const auto* sphere = ObjectAt<SpherePrim>(scene, 0);
        ASSERT_NE(sphere, nullptr) << c.parameters;
        EXPECT_EQ(sphere->radius, c.radius) << c.parameters;
        EXPECT_EQ(sphere->materialId, c.materialId) << c.parameters;
    }
}

TEST(ObjectsSectionTest, PlaneNormalIsKeptAsWritten) {
    Scene scene;
    const Loaded loaded =
        Load(Document("<Object Type=\"PLANE\"><Normal x=\"0\" y=\"2\" z=\"0\"/><Dist>-2</Dist>"
                      "<MaterialId>1</MaterialId></Object>"
                      "<Object Type=\"plane\"><Dist>2000</Dist></Object>"),
             scene);
    ASSERT_TRUE(loaded.ok);
    EXPECT_EQ(loaded.messages, (Texts{Warning("2000", "<Object><Dist>")}));
    const auto* plane = ObjectAt<PlanePrim>(scene, 0);
    ASSERT_NE(plane, nullptr);
    EXPECT_EQ(plane->planeNormal, Vector3(0, 2, 0));
    EXPECT_EQ(plane->dist, -2.0f);
    EXPECT_EQ(plane->materialId, 1);
    const auto* bare = ObjectAt<PlanePrim>(scene, 1);
    ASSERT_NE(bare, nullptr);
    EXPECT_EQ(bare->planeNormal, Vector3(0, 0, 0));
    EXPECT_EQ(bare->dist, 1000.0f);
    EXPECT_EQ(bare->materialId, 0);
}

TEST(ObjectsSectionTest, UnknownTypesAreSkipped) {
    Scene scene;
    const Loaded loaded = Load(Document("<Object Type=\"Cube\"><Radius>0</Radius></Object>"
                                        "<Object><Radius>0</Radius></Object>"
                                        "<Object Type=\"Plane\"/><Object Type=\"Sphere\"/>"),
                               scene);
    ASSERT_TRUE(loaded.ok);
    EXPECT_TRUE(loaded.messages.empty());
    ASSERT_EQ(scene.objects.size(), 2u);
    EXPECT_NE(ObjectAt<PlanePrim>(scene, 0), nullptr);
    EXPECT_NE(ObjectAt<SpherePrim>(scene, 1), nullptr);
    // Reserved for every Object element, used or not.
    EXPECT_EQ(scene.objects.capacity(), 4u);
}

// ---- World bounding sphere ----

TEST(ObjectsSectionTest, UnitSphereWorld) {
    Scene scene;
    const Loaded loaded = Load(Document("<Object Type=\"Sphere\"/>"), scene);
    ASSERT_TRUE(loaded.ok);
    EXPECT_EQ(scene.worldCenter, Vector3(0, 0, 0));
    EXPECT_FLOAT_EQ(scene.worldRadius, std::sqrt(3.0f));
    EXPECT_EQ(loaded.console, "World Radius = 1.732051\n\n");
}

TEST(ObjectsSectionTest, WorldEnclosesEverySphere) {
    Scene scene;
    const Loaded loaded =
        Load(Document("<Object Type=\"Sphere\"><Center x=\"1\" y=\"2\" z=\"3\"/>"
                      "<Radius>2</Radius></Object><Object Type=\"Plane\"/>"
                      "<Object Type=\"Sphere\"><Center x=\"-1\" y=\"0\" z=\"0\"/></Object>"),
             scene);
    ASSERT_TRUE(loaded.ok);
    // Box (-2, -1, -1) to (3, 4, 5).
    EXPECT_EQ(scene.worldCenter, Vector3(0.5f, 1.5f, 2.0f));
    EXPECT_FLOAT_EQ(scene.worldRadius, std::sqrt(21.5f));
    EXPECT_EQ(loaded.console, "World Radius = 4.636809\n\n");
}

TEST(ObjectsSectionTest, PlanesAloneGiveRadiusZero) {
    Scene scene;
    const Loaded loaded = Load(Document("<Object Type=\"Plane\"><Normal x=\"0\" y=\"1\" z=\"0\"/>"
                                        "</Object><Object Type=\"Plane\"/>"),
                               scene);
    ASSERT_TRUE(loaded.ok);
    EXPECT_EQ(scene.objects.size(), 2u);
    EXPECT_EQ(scene.worldCenter, Vector3(0, 0, 0));
    EXPECT_EQ(scene.worldRadius, 0.0f);
    EXPECT_EQ(loaded.console, "World Radius = 0.000000\n\n");
}

TEST(ObjectsSectionTest, SkippedObjectsStillGiveAWorld) {
    // Object elements that all are skipped: no object, but the world is still worked out, from
    // the empty box.
    Scene scene;
    const Loaded loaded = Load(Document("<Object Type=\"Torus\"/>"), scene);
    ASSERT_TRUE(loaded.ok);
    EXPECT_TRUE(scene.objects.empty());
    EXPECT_EQ(scene.worldRadius, 0.0f);
    EXPECT_EQ(loaded.console, "World Radius = 0.000000\n\n");
}

TEST(ObjectsSectionTest, NoObjectsKeepTheStartWorld) {
    Scene scene;
    const Loaded loaded = Load(Document(""), scene);
    ASSERT_TRUE(loaded.ok);
    EXPECT_TRUE(loaded.messages.empty());
    EXPECT_TRUE(scene.objects.empty());
    EXPECT_EQ(scene.worldCenter, Vector3(0, 0, 0));
    EXPECT_EQ(scene.worldRadius, 1.0f);
    EXPECT_EQ(loaded.console, "");
}

// ---- Place in the order of reading ----

TEST(ObjectsSectionTest, ReadBetweenMaterialsAndLights) {
    {
        // A failed material stops loading before any object is read.
        Scene scene;
        const Loaded loaded = Load(
            "<Glintor><Scene><Camera/><Film/></Scene><Materials><Material/></Materials>"
            "<Objects><Object Type=\"Sphere\"><Radius>0</Radius></Object></Objects>"
            "</Glintor>",
            scene);
        EXPECT_FALSE(loaded.ok);
        EXPECT_EQ(loaded.messages, (Texts{"ERROR: Material type does not exist"}));
        EXPECT_TRUE(scene.objects.empty());
        EXPECT_EQ(loaded.console, "");
    }
    {
        // The objects and the world are complete before a light fails.
        Scene scene;
        const Loaded loaded =
            Load(Document("<Object Type=\"Sphere\"><Radius>0</Radius></Object>",
                          "<Lights><Light Type=\"SunSky\"/><Light Type=\"Env\"/></Lights>"),
                 scene);
        EXPECT_FALSE(loaded.ok);
        ASSERT_EQ(loaded.messages.size(), 2u);
        EXPECT_EQ(loaded.messages[0], Warning("0", "<Object><Radius>"));
        EXPECT_EQ(scene.objects.size(), 1u);
        EXPECT_EQ(loaded.console, "World Radius = 0.001732\n\n");
    }
}

}  // namespace
}  // namespace glintor
