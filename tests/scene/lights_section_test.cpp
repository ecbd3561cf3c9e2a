#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "lights/area_light.h"
#include "lights/env_light.h"
#include "lights/point_light.h"
#include "lights/sky_light.h"
#include "lights/sphere_area_light.h"
#include "lights/sun_light.h"
#include "scene/scene_loader.h"
#include "tests/support/collected_messages.h"
#include "tests/support/test_paths.h"

namespace glintor {
namespace {

using testing::CollectedMessages;
using testing::Warning;
using Texts = std::vector<std::string>;

const std::string AlreadyExists =
    "WARNING: The Value of Already Exists is not valid for <Light type=\"DirectLighting\"";

// A scene with no materials and no objects and the given Lights section (or none).
std::string Document(const std::string& lightsSection) {
    return "<?xml version=\"1.0\"?>\n<Glintor>\n<Scene><Camera/><Film/></Scene>\n"
           "<Materials/><Objects/>\n" +
           lightsSection + "\n</Glintor>\n";
}

std::string Lights(const std::string& lights) {
    return "<Lights>\n" + lights + "\n</Lights>";
}

struct Loaded {
    bool ok = false;
    Texts messages;
};

Loaded Load(const std::string& contents, Scene& scene) {
    const std::string folder = glintor::testing::ScratchFolder("lights_section");
    const std::string path = glintor::testing::WriteFile(folder + "/scene.xml", contents);
    CollectedMessages messages;
    Loaded loaded;
    loaded.ok = LoadScene(path.c_str(), scene);
    loaded.messages = messages.texts;
    return loaded;
}

template <typename Light>
const Light* LightAt(const Scene& scene, size_t index) {
    if (index >= scene.lights.size()) {
        return nullptr;
    }
    return dynamic_cast<const Light*>(scene.lights[index].get());
}

// ---- The section ----

TEST(LightsSectionTest, SectionIsOptional) {
    for (const std::string& section :
         {std::string(), std::string("<Lights/>"), Lights("<Light Type=\"Spot\"/><Light/>")}) {
        Scene scene;
        const Loaded loaded = Load(Document(section), scene);
        EXPECT_TRUE(loaded.ok) << section;
        EXPECT_TRUE(loaded.messages.empty()) << section;
        EXPECT_TRUE(scene.lights.empty()) << section;
        EXPECT_FALSE(scene.hasEnvironment);
    }
}

TEST(LightsSectionTest, FileOrderAndUnknownTypesSkipped) {
    Scene scene;
    const Loaded loaded =
        Load(Document(Lights("<Light Type=\"point\"/><Light Type=\"Spot\"><Radius>0</Radius>"
                             "</Light><Light Type=\"AREA\"/><Light/><Light Type=\"sphere\"/>")),
             scene);
    ASSERT_TRUE(loaded.ok);
    // The skipped light's bad radius is never read.
    EXPECT_TRUE(loaded.messages.empty());
    ASSERT_EQ(scene.lights.size(), 3u);
    EXPECT_NE(LightAt<PointLight>(scene, 0), nullptr);
    EXPECT_NE(LightAt<AreaLight>(scene, 1), nullptr);
    EXPECT_NE(LightAt<SphereAreaLight>(scene, 2), nullptr);
    EXPECT_EQ(scene.lights.capacity(), 5u);
}

// ---- Point, sphere and area lights ----

TEST(LightsSectionTest, PointLightReportsItsPositionAsCenter) {
    Scene scene;
    const Loaded loaded =
        Load(Document(Lights("<Light Type=\"Point\"><Pos x=\"1\" z=\"3\"/>"
                             "<Color r=\"10\" g=\"20\" b=\"30\"/><Power>5</Power></Light>")),
             scene);
    ASSERT_TRUE(loaded.ok);
    EXPECT_EQ(loaded.messages, (Texts{Warning("Pos", "<Light><Center>")}));
    const auto* light = LightAt<PointLight>(scene, 0);
    ASSERT_NE(light, nullptr);
    EXPECT_EQ(light->Pos, Vector3(1, 0, 3));
    EXPECT_EQ(light->Color, Vector3(10, 20, 30));
    // A point light has no Power element.
    EXPECT_EQ(light->Power, 1.0f);
}

TEST(LightsSectionTest, AbsentColourIsBlack) {
    Scene scene;
    ASSERT_TRUE(Load(Document(Lights("<Light Type=\"Point\"/>")), scene).ok);
    const auto* light = LightAt<PointLight>(scene, 0);
    ASSERT_NE(light, nullptr);
    EXPECT_EQ(light->Color, Vector3(0, 0, 0));
    EXPECT_EQ(light->Pos, Vector3(0, 0, 0));
}

TEST(LightsSectionTest, SphereLightValuesAndPrepare) {
    {
        Scene scene;
        const Loaded loaded =
            Load(Document(Lights("<Light Type=\"Sphere\"><Pos x=\"1\" y=\"2\" z=\"3\"/>"
                                 "<Color r=\"1\" g=\"1\" b=\"1\"/><Radius>0</Radius>"
                                 "<Power>2000</Power></Light>")),
                 scene);
        ASSERT_TRUE(loaded.ok);
        EXPECT_EQ(loaded.messages,
                  (Texts{Warning("0", "<Light><Radius>"), Warning("2000", "<Light><Power>")}));
        const auto* light = LightAt<SphereAreaLight>(scene, 0);
        ASSERT_NE(light, nullptr);
        EXPECT_EQ(light->Radius, 0.001f);
        EXPECT_EQ(light->Power, 1000.0f);
        EXPECT_EQ(light->Pos, Vector3(1, 2, 3));
        EXPECT_EQ(light->Color, Vector3(1, 1, 1));
    }
    {
        Scene scene;
        ASSERT_TRUE(
            Load(Document(Lights("<Light Type=\"Sphere\"><Radius>2</Radius></Light>")), scene).ok);
        const auto* light = LightAt<SphereAreaLight>(scene, 0);
        ASSERT_NE(light, nullptr);
        EXPECT_EQ(light->Power, 1.0f);
        // Prepared: half the sphere's area.
        EXPECT_NEAR(light->Extent, 2.0 * M_PI * 4.0, 1e-4);
    }
}

TEST(LightsSectionTest, AreaLightRotationInRadiansAndPrepare) {
    Scene scene;
    const Loaded loaded =
        Load(Document(Lights("<Light Type=\"Area\"><Power>3</Power><Width>4</Width>"
                             "<Height>2</Height><Rotate x=\"90\" y=\"0\"/>"
                             "<Color r=\"1\" g=\"0.5\" b=\"0.25\"/>"
                             "<Pos x=\"0\" y=\"5\" z=\"0\"/></Light>")),
             scene);
    ASSERT_TRUE(loaded.ok);
    EXPECT_EQ(loaded.messages, (Texts{Warning("Rotate", "<Light><Rotate>")}));
    const auto* light = LightAt<AreaLight>(scene, 0);
    ASSERT_NE(light, nullptr);
    EXPECT_NEAR(light->Rotate[0], 1.5707963f, 1e-6f);
    EXPECT_EQ(light->Rotate[1], 0.0f);
    EXPECT_EQ(light->Rotate[2], 0.0f);
    EXPECT_EQ(light->Pos, Vector3(0, 5, 0));
    EXPECT_EQ(light->Color, Vector3(1, 0.5f, 0.25f));
    EXPECT_EQ(light->Width, 4.0f);
    EXPECT_EQ(light->Height, 2.0f);
    EXPECT_EQ(light->Power, 3.0f);
    // Prepared: the rectangle has its area, and the unrotated -z facing turned by 90 degrees
    // about x faces +y or -y.
    EXPECT_NEAR(light->Extent, 8.0f, 1e-5f);
    EXPECT_NEAR(std::fabs(light->Normal.y), 1.0f, 1e-5f);
}

TEST(LightsSectionTest, AreaLightWarningsInReadingOrder) {
    Scene scene;
    const Loaded loaded =
        Load(Document(Lights("<Light Type=\"AREA\"><Power>0</Power><Width>-1</Width>"
                             "<Height>x</Height><Color r=\"1\" g=\"1\"/><Rotate y=\"1\" z=\"1\"/>"
                             "<Pos x=\"1\" y=\"1\"/></Light>")),
             scene);
    ASSERT_TRUE(loaded.ok);
    EXPECT_EQ(loaded.messages,
              (Texts{Warning("Pos", "<Light><Pos>"), Warning("Rotate", "<Light><Rotate>"),
                     Warning("Color", "<Light><Color>"), Warning("x", "<Light><Height>"),
                     Warning("-1", "<Light><Width>"), Warning("0", "<Light><Power>")}));
    const auto* light = LightAt<AreaLight>(scene, 0);
    ASSERT_NE(light, nullptr);
    EXPECT_EQ(light->Height, 1.0f);
    EXPECT_EQ(light->Width, 0.001f);
    EXPECT_EQ(light->Power, 0.001f);
}

// ---- Environment, sun and sky ----

TEST(LightsSectionTest, EnvLightWithoutSunOrFile) {
    Scene scene;
    const Loaded loaded =
        Load(Document(Lights("<Light Type=\"env\"><Power>4</Power>"
                             "<SunGain>x</SunGain><SunSize>x</SunSize><SunTurbidity>x"
                             "</SunTurbidity></Light><Light Type=\"Point\"/>")),
             scene);
    // A missing picture is reported but does not stop loading; the sun's values are not read
    // without a sun.
    EXPECT_TRUE(loaded.ok);
    EXPECT_EQ(loaded.messages, (Texts{"ERROR: <File>"}));
    ASSERT_EQ(scene.lights.size(), 2u);
    const auto* env = LightAt<EnvLight>(scene, 0);
    ASSERT_NE(env, nullptr);
    EXPECT_TRUE(scene.hasEnvironment);
    EXPECT_EQ(scene.envLight, env);
    EXPECT_EQ(scene.skyLight, nullptr);
    EXPECT_EQ(env->Power, 4.0f);
    EXPECT_TRUE(env->Image.IsEmpty());
    // Prepared without a picture: no distribution, black everywhere.
    EXPECT_EQ(env->Distribution, nullptr);
    Vector3 radiance(1, 1, 1);
    env->Emitted(radiance, Vector3(0, 0, 1), nullptr);
    EXPECT_EQ(radiance, Vector3(0, 0, 0));
    EXPECT_NE(LightAt<PointLight>(scene, 1), nullptr);
}

TEST(LightsSectionTest, EnvLightPictureThatCannotBeLoaded) {
    Scene scene;
    const Loaded loaded = Load(Document(Lights("<Light Type=\"ENV\"><File>sky\\missing.hdr"
                                               "</File><Power>0</Power></Light>")),
                               scene);
    EXPECT_TRUE(loaded.ok);
    EXPECT_EQ(loaded.messages,
              (Texts{Warning("sky\\missing.hdr", "<File>"), Warning("0", "<Light><Power>")}));
    ASSERT_NE(scene.envLight, nullptr);
    EXPECT_EQ(scene.envLight->Power, 0.001f);
    EXPECT_TRUE(scene.envLight->Image.IsEmpty());
}

TEST(LightsSectionTest, EnvLightLoadsARealPicture) {
    const std::string picture = glintor::testing::SharedDataPath("env/rooitou_park_1k.hdr");
    if (!std::filesystem::exists(picture)) {
        GTEST_SKIP() << "shared data not found: " << picture;
    }
    Scene scene;
    const Loaded loaded =
        Load(Document(Lights("<Light Type=\"Env\"><File>" + picture + "</File></Light>")), scene);
    ASSERT_TRUE(loaded.ok);
    EXPECT_TRUE(loaded.messages.empty());
    ASSERT_NE(scene.envLight, nullptr);
    EXPECT_EQ(scene.envLight->Power, 1.0f);
    EXPECT_EQ(scene.envLight->Image.Width, 2 * scene.envLight->Image.Height);
    EXPECT_GT(scene.envLight->Image.Height, 0u);
    EXPECT_NE(scene.envLight->Distribution, nullptr);
}

TEST(LightsSectionTest, EnvLightWithSunAddsTheSunRightAfterIt) {
    Scene scene;
    const Loaded loaded =
        Load(Document(Lights("<Light Type=\"Env\"><SunDirection x=\"0\" y=\"2\" z=\"0\"/>"
                             "<SunGain>0</SunGain><SunSize>0.5</SunSize></Light>"
                             "<Light Type=\"Point\"/>")),
             scene);
    EXPECT_TRUE(loaded.ok);
    EXPECT_EQ(loaded.messages, (Texts{"ERROR: <File>", Warning("0", "<Light><SunGain>")}));
    ASSERT_EQ(scene.lights.size(), 3u);
    EXPECT_NE(LightAt<EnvLight>(scene, 0), nullptr);
    const auto* sun = LightAt<SunLight>(scene, 1);
    ASSERT_NE(sun, nullptr);
    EXPECT_NE(LightAt<PointLight>(scene, 2), nullptr);
    EXPECT_EQ(sun->SunDirection, Vector3(0, 1, 0));
    EXPECT_EQ(sun->Turbidity, 2.0f);
    EXPECT_EQ(sun->SunGain, 0.001f);
    EXPECT_EQ(sun->SunSize, 0.5f);
}

TEST(LightsSectionTest, SunSkyAddsTheSkyThenTheSun) {
    Scene scene;
    const Loaded loaded =
        Load(Document(Lights("<Light Type=\"sunsky\"><SunDirection x=\"0\" y=\"1\" z=\"1\"/>"
                             "<SunTurbidity>3</SunTurbidity><SkyTurbidity>4</SkyTurbidity>"
                             "<SunGain>0.5</SunGain><SkyGain>0.25</SkyGain><SunSize>2</SunSize>"
                             "</Light>")),
             scene);
    ASSERT_TRUE(loaded.ok);
    EXPECT_TRUE(loaded.messages.empty());
    ASSERT_EQ(scene.lights.size(), 2u);
    const auto* sky = LightAt<SkyLight>(scene, 0);
    const auto* sun = LightAt<SunLight>(scene, 1);
    ASSERT_NE(sky, nullptr);
    ASSERT_NE(sun, nullptr);
    EXPECT_TRUE(scene.hasEnvironment);
    EXPECT_EQ(scene.skyLight, sky);
    EXPECT_EQ(scene.envLight, nullptr);
    EXPECT_EQ(sky->Turbidity, 4.0f);
    EXPECT_EQ(sky->SkyGain, 0.25f);
    EXPECT_NEAR(sky->SunDirection.y, std::sqrt(0.5f), 1e-6f);
    EXPECT_EQ(sun->Turbidity, 3.0f);
    EXPECT_EQ(sun->SunGain, 0.5f);
    EXPECT_EQ(sun->SunSize, 2.0f);
    EXPECT_NEAR(sun->SunDirection.z, std::sqrt(0.5f), 1e-6f);
}

TEST(LightsSectionTest, SunSkyDefaultsAndLabels) {
    Scene scene;
    const Loaded loaded =
        Load(Document(Lights("<Light Type=\"SunSky\"><SunDirection x=\"0\" y=\"0\" z=\"1\"/>"
                             "<SunSize>11</SunSize><SkyGain>0</SkyGain><SunGain>0</SunGain>"
                             "<SkyTurbidity>0</SkyTurbidity><SunTurbidity>0</SunTurbidity>"
                             "</Light>")),
             scene);
    ASSERT_TRUE(loaded.ok);
    EXPECT_EQ(loaded.messages,
              (Texts{Warning("0", "<Light><Turbidity>"), Warning("0", "<Light><SkyTurbidity>"),
                     Warning("0", "<Light><SunGain>"), Warning("0", "<Light><SkyGain>"),
                     Warning("11", "<Light><SunSize>")}));
    const auto* sky = LightAt<SkyLight>(scene, 0);
    const auto* sun = LightAt<SunLight>(scene, 1);
    ASSERT_NE(sky, nullptr);
    ASSERT_NE(sun, nullptr);
    EXPECT_EQ(sky->Turbidity, 0.001f);
    EXPECT_EQ(sky->SkyGain, 0.001f);
    EXPECT_EQ(sun->Turbidity, 0.001f);
    EXPECT_EQ(sun->SunGain, 0.001f);
    EXPECT_EQ(sun->SunSize, 10.0f);

    Scene defaults;
    ASSERT_TRUE(Load(Document(Lights("<Light Type=\"SunSky\"><SunDirection x=\"0\" y=\"0\" "
                                     "z=\"1\"/></Light>")),
                     defaults)
                    .ok);
    const auto* defaultSky = LightAt<SkyLight>(defaults, 0);
    const auto* defaultSun = LightAt<SunLight>(defaults, 1);
    ASSERT_NE(defaultSky, nullptr);
    ASSERT_NE(defaultSun, nullptr);
    EXPECT_EQ(defaultSky->Turbidity, 2.0f);
    EXPECT_EQ(defaultSky->SkyGain, 0.002f);
    EXPECT_EQ(defaultSun->Turbidity, 2.0f);
    EXPECT_EQ(defaultSun->SunGain, 0.002f);
    EXPECT_EQ(defaultSun->SunSize, 1.0f);
}

TEST(LightsSectionTest, SunSkyWithoutDirection) {
    Scene scene;
    const Loaded loaded = Load(Document(Lights("<Light Type=\"SunSky\"/>")), scene);
    ASSERT_TRUE(loaded.ok);
    EXPECT_TRUE(loaded.messages.empty());
    const auto* sky = LightAt<SkyLight>(scene, 0);
    const auto* sun = LightAt<SunLight>(scene, 1);
    ASSERT_NE(sky, nullptr);
    ASSERT_NE(sun, nullptr);
    EXPECT_EQ(sky->SunDirection, Vector3(0, 0, 0));
    EXPECT_EQ(sun->SunDirection, Vector3(0, 0, 0));
    // No sun at all, and a sky of finite colour (a sun on the horizon).
    EXPECT_EQ(sun->SunRadiance, Vector3(0, 0, 0));
    Vector3 radiance;
    sky->Emitted(radiance, Vector3(0, 0.6f, 0.8f), nullptr);
    EXPECT_TRUE(std::isfinite(radiance.x) && std::isfinite(radiance.y) &&
                std::isfinite(radiance.z));
}

TEST(LightsSectionTest, SecondEnvironmentIsFatal) {
    struct Case {
        const char* first;
        const char* second;
        size_t lightsKept;
    };
    const Case cases[] = {
        {"<Light Type=\"Env\"/>", "<Light Type=\"SunSky\"/>", 1},
        {"<Light Type=\"SunSky\"/>", "<Light Type=\"Env\"/>", 2},
        {"<Light Type=\"Env\"/>", "<Light Type=\"env\"/>", 1},
        {"<Light Type=\"SunSky\"/>", "<Light Type=\"SUNSKY\"/>", 2},
    };
    for (const Case& c : cases) {
        Scene scene;
        // Nothing after the second environment is read: the point light's bad colour would warn.
        const Loaded loaded = Load(Document(Lights(std::string(c.first) + c.second +
                                                   "<Light Type=\"Point\"><Color r=\"x\"/>"
                                                   "</Light>")),
                                   scene);
        EXPECT_FALSE(loaded.ok) << c.first << c.second;
        ASSERT_FALSE(loaded.messages.empty());
        EXPECT_EQ(loaded.messages.back(), AlreadyExists) << c.first << c.second;
        EXPECT_EQ(scene.lights.size(), c.lightsKept) << c.first << c.second;
    }
}

}  // namespace
}  // namespace glintor
