#include "scene/scene_loader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/collected_messages.h"
#include "tests/support/test_paths.h"

namespace glintor {
namespace {

using testing::CollectedMessages;
using testing::Warning;
using Texts = std::vector<std::string>;

constexpr const char* MinimalScene = "<Camera/><Film/>";
constexpr const char* RootSections = "<Materials/><Objects/>";

// A scene file with the given content of <Scene> and the sections after it.
std::string Document(const std::string& sceneBody, const std::string& rest = RootSections) {
    return "<?xml version=\"1.0\"?>\n<Glintor>\n<Scene>\n" + sceneBody + "\n</Scene>\n" + rest +
           "\n</Glintor>\n";
}

std::string WriteScene(const std::string& contents) {
    const std::string folder = glintor::testing::ScratchFolder("scene_loader");
    return glintor::testing::WriteFile(folder + "/scene.xml", contents);
}

struct Loaded {
    bool ok = false;
    Texts messages;
};

Loaded Load(const std::string& contents, Scene& scene) {
    CollectedMessages messages;
    Loaded loaded;
    loaded.ok = LoadScene(WriteScene(contents).c_str(), scene);
    loaded.messages = messages.texts;
    return loaded;
}

TEST(SceneTest, InitialValues) {
    const Scene scene;
    EXPECT_EQ(scene.width, 640);
    EXPECT_EQ(scene.height, 480);
    EXPECT_EQ(scene.linearScale, 1.0f);
    EXPECT_EQ(scene.reinhardPreScale, 1.0f);
    EXPECT_EQ(scene.reinhardPostScale, 1.2f);
    EXPECT_EQ(scene.reinhardBurn, 3.75f);
    EXPECT_FALSE(scene.useReinhard);
    EXPECT_EQ(scene.cameraPos, Vector3(0, 0, 0));
    EXPECT_EQ(scene.cameraLookAt, Vector3(0, 0, 0));
    EXPECT_EQ(scene.cameraUp, Vector3(0, 1, 0));
    EXPECT_EQ(scene.fov, 40.0f);
    EXPECT_EQ(scene.lensRadius, 0.0f);
    EXPECT_EQ(scene.focalLength, 0.0f);
    EXPECT_EQ(scene.focalPoint, 0.0f);
    EXPECT_TRUE(scene.materials.empty());
    EXPECT_TRUE(scene.objects.empty());
    EXPECT_TRUE(scene.lights.empty());
    EXPECT_FALSE(scene.hasEnvironment);
    EXPECT_EQ(scene.envLight, nullptr);
    EXPECT_EQ(scene.skyLight, nullptr);
    EXPECT_EQ(scene.worldCenter, Vector3(0, 0, 0));
    EXPECT_EQ(scene.worldRadius, 1.0f);
    EXPECT_EQ(scene.meshTriangleCount, 0);

    const RenderSettings& settings = scene.settings;
    EXPECT_EQ(settings.savedImage, "");
    EXPECT_EQ(settings.maxDepth, 6);
    EXPECT_EQ(settings.gaussianFilter, 1);
    EXPECT_EQ(settings.filterRadius, 1.0f);
    EXPECT_EQ(settings.samples, 32);
    EXPECT_EQ(settings.shadowRays, 1);
    EXPECT_EQ(settings.rrDepth, 3);
    EXPECT_EQ(settings.rrProbability, 0.25f);
    EXPECT_EQ(settings.threads, 0);
    EXPECT_EQ(settings.pixelBlockSize, 64);
}

TEST(SceneLoaderTest, MinimalSceneKeepsSettingsAndTakesSectionDefaults) {
    Scene scene;
    const Loaded loaded = Load(Document(MinimalScene), scene);
    EXPECT_TRUE(loaded.ok);
    EXPECT_TRUE(loaded.messages.empty());

    // Render and Threading absent: the start values stay.
    EXPECT_EQ(scene.settings.samples, 32);
    EXPECT_EQ(scene.settings.maxDepth, 6);
    EXPECT_EQ(scene.settings.filterRadius, 1.0f);
    EXPECT_EQ(scene.settings.savedImage, "");
    EXPECT_EQ(scene.settings.threads, 0);
    EXPECT_EQ(scene.settings.pixelBlockSize, 64);

    // Camera and Film present but empty: the readers' defaults.
    EXPECT_EQ(scene.cameraUp, Vector3(0, 0, 0));
    EXPECT_EQ(scene.fov, 0.0f);
    EXPECT_EQ(scene.focalLength, 0.0f);
    EXPECT_EQ(scene.width, 640);
    EXPECT_EQ(scene.height, 480);
    EXPECT_FLOAT_EQ(scene.gamma, 2.2f);
    EXPECT_EQ(scene.linearScale, 1.0f);
    EXPECT_FALSE(scene.useReinhard);

    // The later sections are not read yet.
    EXPECT_TRUE(scene.materials.empty());
    EXPECT_TRUE(scene.objects.empty());
    EXPECT_TRUE(scene.lights.empty());
}

TEST(SceneLoaderTest, EmptyRenderSectionTakesItsOwnDefaults) {
    Scene scene;
    const Loaded loaded = Load(Document("<Render/><Camera/><Film/>"), scene);
    EXPECT_TRUE(loaded.ok);
    EXPECT_TRUE(loaded.messages.empty());
    const RenderSettings& settings = scene.settings;
    EXPECT_EQ(settings.samples, 1);
    EXPECT_EQ(settings.maxDepth, 5);
    EXPECT_EQ(settings.shadowRays, 1);
    EXPECT_EQ(settings.filterRadius, 0.5f);
    EXPECT_EQ(settings.gaussianFilter, 1);
    EXPECT_EQ(settings.savedImage, "out.png");
    EXPECT_EQ(settings.rrDepth, 3);
    EXPECT_EQ(settings.rrProbability, 0.25f);
}

TEST(SceneLoaderTest, RenderSectionValues) {
    Scene scene;
    const Loaded loaded = Load(Document(R"(
        <Render>
          <SavedImage> render.png </SavedImage>
          <Antialiasing Type="GAUSSIAN" width="3"/>
          <MaxDepth>10</MaxDepth>
          <Samples> 64 </Samples>
          <ShadowRays>4</ShadowRays>
          <RR depth="5" Probability="0.5"/>
        </Render>
        <Camera/><Film/>)"),
                               scene);
    EXPECT_TRUE(loaded.ok);
    EXPECT_TRUE(loaded.messages.empty());
    const RenderSettings& settings = scene.settings;
    EXPECT_EQ(settings.savedImage, "render.png");
    EXPECT_EQ(settings.gaussianFilter, 1);
    EXPECT_EQ(settings.filterRadius, 1.5f);
    EXPECT_EQ(settings.maxDepth, 10);
    EXPECT_EQ(settings.samples, 64);
    EXPECT_EQ(settings.shadowRays, 4);
    EXPECT_EQ(settings.rrDepth, 5);
    EXPECT_EQ(settings.rrProbability, 0.5f);
}

int SamplesOf(const std::string& samplesText, Texts& messages) {
    Scene scene;
    const Loaded loaded = Load(
        Document("<Render><Samples>" + samplesText + "</Samples></Render>" + MinimalScene), scene);
    EXPECT_TRUE(loaded.ok);
    messages = loaded.messages;
    return scene.settings.samples;
}

TEST(SceneLoaderTest, SamplesEdgeCases) {
    Texts messages;
    EXPECT_EQ(SamplesOf("0", messages), 1);
    EXPECT_EQ(messages, (Texts{Warning("0", "<Render><Samples>")}));
    EXPECT_EQ(SamplesOf("abc", messages), 1);
    EXPECT_EQ(messages, (Texts{Warning("abc", "<Render><Samples>")}));
    EXPECT_EQ(SamplesOf("1e3", messages), 1);
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(SamplesOf("2.5", messages), 1);
    EXPECT_EQ(messages, (Texts{Warning("2.5", "<Render><Samples>")}));
    EXPECT_EQ(SamplesOf("20000", messages), 10000);
    EXPECT_EQ(messages, (Texts{Warning("20000", "<Render><Samples>")}));
    EXPECT_EQ(SamplesOf("", messages), 1);
    EXPECT_TRUE(messages.empty());
}

TEST(SceneLoaderTest, AntialiasingAndRouletteAttributes) {
    Scene scene;
    const Loaded loaded = Load(Document(R"(
        <Render>
          <Antialiasing Type="box" width="20"/>
          <MaxDepth>0</MaxDepth>
          <ShadowRays>x</ShadowRays>
          <RR depth="1" Probability="2"/>
        </Render>
        <Camera/><Film/>)"),
                               scene);
    EXPECT_TRUE(loaded.ok);
    // The only pixel filter is Gaussian; another type leaves the flag as it was.
    EXPECT_EQ(scene.settings.gaussianFilter, 1);
    EXPECT_EQ(scene.settings.filterRadius, 5.0f);
    EXPECT_EQ(scene.settings.maxDepth, 1);
    EXPECT_EQ(scene.settings.shadowRays, 1);
    EXPECT_EQ(scene.settings.rrDepth, 2);
    EXPECT_EQ(scene.settings.rrProbability, 1.0f);
    EXPECT_EQ(loaded.messages,
              (Texts{Warning("20", "<Antialiasing width />"), Warning("0", "<Render><MaxDepth>"),
                     Warning("x", "<Render><ShadowRays>"), Warning("1", "<RR depth />"),
                     Warning("2", "<RR Probability />")}));
}

TEST(SceneLoaderTest, MalformedAttributesFallBackToTheReaderDefaults) {
    Scene scene;
    const Loaded loaded = Load(
        Document(R"(<Render><Antialiasing width="wide"/><RR depth="deep" Probability=""/></Render>)"
                 R"(<Camera/><Film/>)"),
        scene);
    EXPECT_TRUE(loaded.ok);
    EXPECT_EQ(scene.settings.filterRadius, 0.5f);
    EXPECT_EQ(scene.settings.rrDepth, 3);
    EXPECT_EQ(scene.settings.rrProbability, 0.25f);
    EXPECT_EQ(loaded.messages,
              (Texts{Warning("wide", "<Antialiasing width />"), Warning("deep", "<RR depth />")}));
}

TEST(SceneLoaderTest, ThreadingSection) {
    {
        Scene scene;
        const Loaded loaded =
            Load(Document("<Threading><Threads>4</Threads><PixelBlockSize>32</PixelBlockSize>"
                          "</Threading><Camera/><Film/>"),
                 scene);
        EXPECT_TRUE(loaded.ok);
        EXPECT_TRUE(loaded.messages.empty());
        EXPECT_EQ(scene.settings.threads, 4);
        EXPECT_EQ(scene.settings.pixelBlockSize, 32);
    }
    {
        Scene scene;
        const Loaded loaded =
            Load(Document("<Threading><Threads>64</Threads><PixelBlockSize>8</PixelBlockSize>"
                          "</Threading><Camera/><Film/>"),
                 scene);
        EXPECT_EQ(scene.settings.threads, 32);
        EXPECT_EQ(scene.settings.pixelBlockSize, 16);
        EXPECT_EQ(loaded.messages, (Texts{Warning("64", "<Threading><Threads>"),
                                          Warning("8", "<Threading><PixelBlockSize>")}));
    }
    {
        Scene scene;
        Load(Document("<Threading/><Camera/><Film/>"), scene);
        EXPECT_EQ(scene.settings.threads, 0);
        EXPECT_EQ(scene.settings.pixelBlockSize, 64);
    }
}

TEST(SceneLoaderTest, CameraSection) {
    Scene scene;
    const Loaded loaded = Load(Document(R"(
        <Camera>
          <Pos x="1" y="2"/>
          <LookAt x="0" y="1" z="-5"/>
          <Up x="0" y="2" z="0"/>
          <FOV>45</FOV>
          <LensRadius>0.25</LensRadius>
          <FocalLength>35</FocalLength>
          <FocalPoint>12.5</FocalPoint>
        </Camera>
        <Film/>)"),
                               scene);
    EXPECT_TRUE(loaded.ok);
    EXPECT_EQ(loaded.messages, (Texts{Warning("Pos", "<Camera><Pos>")}));
    EXPECT_EQ(scene.cameraPos, Vector3(1, 2, 0));
    EXPECT_EQ(scene.cameraLookAt, Vector3(0, 1, -5));
    EXPECT_EQ(scene.cameraUp, Vector3(0, 1, 0));
    EXPECT_EQ(scene.fov, 45.0f);
    EXPECT_EQ(scene.lensRadius, 0.25f);
    EXPECT_EQ(scene.focalLength, 35.0f);
    EXPECT_EQ(scene.focalPoint, 12.5f);
}

TEST(SceneLoaderTest, CameraUpIsNormalisedUnlessZero) {
    Scene tilted;
    Load(Document(R"(<Camera><Up x="3" y="4" z="0"/></Camera><Film/>)"), tilted);
    EXPECT_FLOAT_EQ(tilted.cameraUp.x, 0.6f);
    EXPECT_FLOAT_EQ(tilted.cameraUp.y, 0.8f);
    EXPECT_EQ(tilted.cameraUp.z, 0.0f);

    Scene zero;
    const Loaded loaded =
        Load(Document(R"(<Camera><Up x="0" y="0" z="0"/></Camera><Film/>)"), zero);
    EXPECT_TRUE(loaded.messages.empty());
    EXPECT_EQ(zero.cameraUp, Vector3(0, 0, 0));
}

TEST(SceneLoaderTest, CameraRangesClampAndDefaultsDoNot) {
    Scene scene;
    const Loaded loaded = Load(Document(R"(
        <Camera>
          <FOV>200</FOV>
          <LensRadius>-1</LensRadius>
          <FocalLength>5</FocalLength>
          <FocalPoint>1e30</FocalPoint>
        </Camera>
        <Film/>)"),
                               scene);
    EXPECT_EQ(scene.fov, 189.0f);
    EXPECT_EQ(scene.lensRadius, 0.0f);
    EXPECT_EQ(scene.focalLength, 10.0f);
    EXPECT_EQ(scene.focalPoint, 1e20f);
    EXPECT_EQ(
        loaded.messages,
        (Texts{Warning("200", "<Camera><FOV>"), Warning("-1", "<Camera><LensRadius>"),
               Warning("5", "<Camera><FocalLength>"), Warning("1e30", "<Camera><FocalPoint>")}));
}

TEST(SceneLoaderTest, FilmSizeAndScale) {
    struct Case {
        const char* film;
        int width;
        int height;
        size_t warnings;
    };
    const Case cases[] = {
        {"<Width>800</Width><Height>600</Height>", 800, 600, 0},
        {"<Width>4000</Width>", 2048, 480, 1},
        {"<Height>100</Height>", 640, 128, 1},
        {"<Scale>0.5</Scale>", 320, 240, 0},
        // The scaled size is not clamped again.
        {"<Width>2048</Width><Height>2048</Height><Scale>10</Scale>", 20480, 20480, 0},
        {"<Width>128</Width><Height>128</Height><Scale>0.1</Scale>", 12, 12, 0},
        {"<Width>333</Width><Scale>1.5</Scale>", 499, 720, 0},
        {"<Scale>20</Scale>", 6400, 4800, 1},
        {"<Scale>1</Scale>", 640, 480, 0},
    };
    for (const Case& c : cases) {
        Scene scene;
        const Loaded loaded =
            Load(Document(std::string("<Camera/><Film>") + c.film + "</Film>"), scene);
        EXPECT_EQ(scene.width, c.width) << c.film;
        EXPECT_EQ(scene.height, c.height) << c.film;
        EXPECT_EQ(loaded.messages.size(), c.warnings) << c.film;
    }
}

TEST(SceneLoaderTest, FilmGammaAndLinearToneMapping) {
    {
        Scene scene;
        const Loaded loaded =
            Load(Document("<Camera/><Film><Gamma>2.</Gamma><LinearToneMapping/></Film>"), scene);
        EXPECT_FLOAT_EQ(scene.gamma, 2.2f);
        EXPECT_EQ(scene.linearScale, 1.0f);
        EXPECT_EQ(loaded.messages, (Texts{Warning("2.", "<Film><Gamma>")}));
    }
    {
        Scene scene;
        const Loaded loaded = Load(
            Document(R"(<Camera/><Film><Gamma>1.8</Gamma><LinearToneMapping scale="2.5"/></Film>)"),
            scene);
        EXPECT_FLOAT_EQ(scene.gamma, 1.8f);
        EXPECT_EQ(scene.linearScale, 2.5f);
        EXPECT_FALSE(scene.useReinhard);
        EXPECT_TRUE(loaded.messages.empty());
    }
    {
        Scene scene;
        const Loaded loaded =
            Load(Document(R"(<Camera/><Film><LinearToneMapping scale="50"/></Film>)"), scene);
        EXPECT_EQ(scene.linearScale, 10.0f);
        EXPECT_EQ(loaded.messages, (Texts{Warning("50", "<LinearToneMapping scale />")}));
    }
}

TEST(SceneLoaderTest, ReinhardToneMapping) {
    {
        Scene scene;
        const Loaded loaded = Load(Document("<Camera/><Film><ReinhardToneMapping/></Film>"), scene);
        EXPECT_TRUE(loaded.messages.empty());
        EXPECT_TRUE(scene.useReinhard);
        EXPECT_EQ(scene.reinhardPreScale, 1.0f);
        EXPECT_EQ(scene.reinhardPostScale, 1.2f);
        EXPECT_EQ(scene.reinhardBurn, 3.75f);
    }
    {
        Scene scene;
        Load(Document(R"(<Camera/><Film>)"
                      R"(<ReinhardToneMapping preScale="2" postScale="0.5" burn="50"/></Film>)"),
             scene);
        EXPECT_EQ(scene.reinhardPreScale, 2.0f);
        EXPECT_EQ(scene.reinhardPostScale, 0.5f);
        EXPECT_EQ(scene.reinhardBurn, 50.0f);
    }
    {
        // A malformed value takes the reader's default 1.0, not the value for an absent one.
        Scene scene;
        const Loaded loaded =
            Load(Document(R"(<Camera/><Film>)"
                          R"(<ReinhardToneMapping preScale="0" postScale="x" burn="200"/></Film>)"),
                 scene);
        EXPECT_EQ(scene.reinhardPreScale, 0.01f);
        EXPECT_EQ(scene.reinhardPostScale, 1.0f);
        EXPECT_EQ(scene.reinhardBurn, 100.0f);
        EXPECT_EQ(loaded.messages, (Texts{Warning("0", "<ReinhardToneMapping preScale />"),
                                          Warning("x", "<ReinhardToneMapping postScale />"),
                                          Warning("200", "<ReinhardToneMapping burn />")}));
    }
}

TEST(SceneLoaderTest, NamesMatchInAnyCase) {
    for (const char* name : {"scene", "SCENE", "Scene"}) {
        Scene scene;
        const std::string file = std::string("<glintor><") + name +
                                 "><render><SAMPLES>9</SAMPLES>"
                                 "<antialiasing TYPE=\"GAUSSIAN\" WIDTH=\"4\"/></render>"
                                 "<CAMERA><fov>30</fov></CAMERA><film><width>256</width></film></" +
                                 name + "><MATERIALS/><objects/></glintor>";
        const Loaded loaded = Load(file, scene);
        EXPECT_TRUE(loaded.ok) << name;
        EXPECT_TRUE(loaded.messages.empty()) << name;
        EXPECT_EQ(scene.settings.samples, 9) << name;
        EXPECT_EQ(scene.settings.gaussianFilter, 1) << name;
        EXPECT_EQ(scene.settings.filterRadius, 2.0f) << name;
        EXPECT_EQ(scene.fov, 30.0f) << name;
        EXPECT_EQ(scene.width, 256) << name;
    }
}

TEST(SceneLoaderTest, OnlyTheFirstElementOfANameIsRead) {
    Scene scene;
    Load(Document("<Render><Samples>8</Samples><Samples>99</Samples></Render>"
                  "<Camera><FOV>10</FOV></Camera><Camera><FOV>20</FOV></Camera><Film/>"),
         scene);
    EXPECT_EQ(scene.settings.samples, 8);
    EXPECT_EQ(scene.fov, 10.0f);
}

TEST(SceneLoaderTest, MessagesFollowTheFileOrder) {
    Scene scene;
    const Loaded loaded = Load(Document(R"(
        <Threading><Threads>x</Threads></Threading>
        <Render><Samples>y</Samples></Render>
        <Camera><FOV>z</FOV></Camera>
        <Film><Gamma>w</Gamma></Film>)"),
                               scene);
    EXPECT_EQ(loaded.messages,
              (Texts{Warning("x", "<Threading><Threads>"), Warning("y", "<Render><Samples>"),
                     Warning("z", "<Camera><FOV>"), Warning("w", "<Film><Gamma>")}));
}

TEST(SceneLoaderTest, FatalMessagesInTheOrderOfReading) {
    struct Case {
        std::string file;
        const char* message;
    };
    const Case cases[] = {
        {"<Glintor><Materials/><Objects/></Glintor>", "ERROR: <Scene> node missing"},
        // Camera is looked for before Film.
        {Document(""), "ERROR: <Camera> node missing"},
        {Document("<Film/>"), "ERROR: <Camera> node missing"},
        {Document("<Camera/>"), "ERROR: Film node missing"},
        {Document(MinimalScene, ""), "ERROR: <Materials> node missing"},
        {Document(MinimalScene, "<Objects/>"), "ERROR: <Materials> node missing"},
        {Document(MinimalScene, "<Materials/>"), "ERROR: <Objects> node missing"},
        // Materials and Objects belong to the root, not to Scene.
        {Document(std::string(MinimalScene) + RootSections, ""), "ERROR: <Materials> node missing"},
    };
    for (const Case& c : cases) {
        Scene scene;
        const Loaded loaded = Load(c.file, scene);
        EXPECT_FALSE(loaded.ok) << c.file;
        EXPECT_EQ(loaded.messages, (Texts{c.message})) << c.file;
    }
}

TEST(SceneLoaderTest, ValuesReadBeforeAFatalStepStay) {
    Scene scene;
    const Loaded loaded = Load(Document("<Render><Samples>0</Samples></Render><Film/>"), scene);
    EXPECT_FALSE(loaded.ok);
    EXPECT_EQ(scene.settings.samples, 1);
    EXPECT_EQ(loaded.messages,
              (Texts{Warning("0", "<Render><Samples>"), "ERROR: <Camera> node missing"}));
}

TEST(SceneLoaderTest, LightsAreOptional) {
    Scene scene;
    const Loaded loaded = Load(
        Document(MinimalScene, "<Materials/><Objects/><Lights><Light Type=\"Point\"/></Lights>"),
        scene);
    EXPECT_TRUE(loaded.ok);
    EXPECT_TRUE(loaded.messages.empty());
}

TEST(SceneLoaderTest, RootFoundBesideOtherTopLevelNodes) {
    Scene scene;
    const Loaded loaded = Load(
        "<?xml version=\"1.0\"?><!-- a comment --><Glintor><Scene><Camera/><Film/></Scene>"
        "<Materials/><Objects/></Glintor>",
        scene);
    EXPECT_TRUE(loaded.ok);
}

TEST(SceneLoaderTest, EmptyRootIsAnInvalidFile) {
    CollectedMessages messages;
    Scene scene;
    EXPECT_FALSE(ReadSceneDocument(XmlNode(), scene));
    EXPECT_EQ(messages.texts, (Texts{"ERROR: Invalid XML File"}));
}

using SceneLoaderDeathTest = ::testing::Test;

TEST_F(SceneLoaderDeathTest, RootOtherThanGlintorEndsInTheReader) {
    const std::string path = WriteScene("<Other><Scene><Camera/><Film/></Scene></Other>");
    Scene scene;
    EXPECT_EXIT(LoadScene(path.c_str(), scene), ::testing::ExitedWithCode(255),
                "First Tag not found");
}

TEST_F(SceneLoaderDeathTest, MalformedDocumentEndsTheProcess) {
    const std::string path = WriteScene("<Glintor><Scene><Camera></Scene></Glintor>");
    Scene scene;
    EXPECT_EXIT(LoadScene(path.c_str(), scene), ::testing::ExitedWithCode(255),
                "Unmatched end tag");
}

}  // namespace
}  // namespace glintor
