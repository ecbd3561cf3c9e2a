#include "app/program_entry.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "geometry/object_base.h"
#include "lights/point_light.h"
#include "render/material.h"
#include "tests/support/collected_messages.h"
#include "tests/support/test_paths.h"

namespace glintor {
namespace {

namespace fs = std::filesystem;

TEST(SplitScenePathTest, SplitsAtTheLastSeparatorOfEitherKind) {
    struct Case {
        const char* argument;
        bool hasFolder;
        const char* folder;
        const char* fileName;
    };
    const Case cases[] = {
        {"a.xml", false, "", "a.xml"},
        {"C:\\scenes\\a.xml", true, "C:/scenes", "a.xml"},
        {"scenes/a.xml", true, "scenes", "a.xml"},
        {"/home/me/scenes/room.xml", true, "/home/me/scenes", "room.xml"},
        {"dir/sub\\a.xml", true, "dir/sub", "a.xml"},
        {"dir\\sub/a.xml", true, "dir/sub", "a.xml"},
        // A '/' at the start is the root folder; a '\' there leaves nothing to enter.
        {"/a.xml", true, "/", "a.xml"},
        {"\\a.xml", true, "", "a.xml"},
        {"scenes/", true, "scenes", ""},
        {"", false, "", ""},
    };
    for (const Case& c : cases) {
        const ScenePath path = SplitScenePath(c.argument);
        EXPECT_EQ(path.hasFolder, c.hasFolder) << c.argument;
        EXPECT_EQ(path.folder, c.folder) << c.argument;
        EXPECT_EQ(path.fileName, c.fileName) << c.argument;
    }
}

TEST(WindowTitleTest, NamesVersionAuthorAndFile) {
    EXPECT_EQ(WindowTitle("room.xml"), "Glintor v0.4.409 by Quarnel - room.xml");
    EXPECT_EQ(WindowTitle(""), "Glintor v0.4.409 by Quarnel - ");
}

class StubObject : public ObjectBase {
public:
    bool Intersect(const Ray&, Intersection&) const override { return false; }
    BoundingBox Bounds() const override { return {}; }
};

TEST(UnusableSceneMessageTest, ObjectsAreCheckedBeforeMaterials) {
    Scene scene;
    EXPECT_STREQ(UnusableSceneMessage(scene), "Please add objects to your scene");
    scene.lights.push_back(std::make_unique<PointLight>());
    EXPECT_STREQ(UnusableSceneMessage(scene), "Please add objects to your scene");
    scene.materials.push_back(std::make_unique<Material>());
    EXPECT_STREQ(UnusableSceneMessage(scene), "Please add objects to your scene");

    Scene noMaterials;
    noMaterials.objects.push_back(std::make_unique<StubObject>());
    EXPECT_STREQ(UnusableSceneMessage(noMaterials), "Please add materials to your scene");
    noMaterials.materials.push_back(std::make_unique<Material>());
    EXPECT_EQ(UnusableSceneMessage(noMaterials), nullptr);
}

// Runs the program in a scratch folder and restores the working directory afterwards.
class RunProgramTest : public ::testing::Test {
protected:
    void SetUp() override {
        home_ = fs::current_path();
        folder_ = fs::path(glintor::testing::ScratchFolder("program_entry"));
    }
    void TearDown() override { fs::current_path(home_); }

    std::string Run(std::initializer_list<const char*> arguments) {
        std::vector<std::string> storage(arguments.begin(), arguments.end());
        std::vector<char*> argv;
        for (std::string& argument : storage) {
            argv.push_back(argument.data());
        }
        argv.push_back(nullptr);
        ::testing::internal::CaptureStdout();
        exitCode_ = RunProgram(static_cast<int>(storage.size()), argv.data());
        return ::testing::internal::GetCapturedStdout();
    }

    std::string WriteScene(const fs::path& path, const std::string& scene) {
        fs::create_directories(path.parent_path());
        return glintor::testing::WriteFile(path.string(), "<Glintor><Scene>" + scene +
                                                              "</Scene><Materials/><Objects/>"
                                                              "<Lights/></Glintor>");
    }

    fs::path home_;
    fs::path folder_;
    int exitCode_ = -1;
    glintor::testing::CollectedMessages messages_;
};

TEST_F(RunProgramTest, NoArgumentPrintsTheUsageLine) {
    EXPECT_EQ(Run({"glintor"}), "Usage: glintor SceneFile.xml\n");
    EXPECT_EQ(exitCode_, 0);
}

TEST_F(RunProgramTest, EntersTheScenesFolderAndRefusesASceneWithoutObjects) {
    const std::string path = WriteScene(folder_ / "scenes" / "room.xml", "<Camera/><Film/>");
    EXPECT_EQ(Run({"glintor", path.c_str()}), "Please add objects to your scene\n");
    EXPECT_EQ(exitCode_, 0);
    EXPECT_EQ(fs::current_path(), fs::canonical(folder_ / "scenes"));
    EXPECT_TRUE(messages_.texts.empty());
    // A second scene file is bad usage, not something to ignore.
    EXPECT_EQ(Run({"glintor", path.c_str(), "other.xml"}), "");
    EXPECT_EQ(exitCode_, 2);
}

TEST_F(RunProgramTest, WindowsSeparatorsNameTheFolderToo) {
    WriteScene(folder_ / "scenes" / "room.xml", "<Camera/><Film/>");
    fs::current_path(folder_);
    EXPECT_EQ(Run({"glintor", "scenes\\room.xml"}), "Please add objects to your scene\n");
    EXPECT_EQ(fs::current_path(), fs::canonical(folder_ / "scenes"));
}

TEST_F(RunProgramTest, AFileNameAloneLoadsFromTheCurrentFolder) {
    WriteScene(folder_ / "a.xml", "<Camera/><Film/>");
    fs::current_path(folder_);
    EXPECT_EQ(Run({"glintor", "a.xml"}), "Please add objects to your scene\n");
    EXPECT_EQ(fs::current_path(), fs::canonical(folder_));
}

TEST_F(RunProgramTest, AFolderThatCannotBeEnteredIsReportedAndLoadingGoesOn) {
    WriteScene(folder_ / "a.xml", "<Camera/><Film/>");
    fs::current_path(folder_);
    EXPECT_EQ(Run({"glintor", "missing/a.xml"}),
              "Filed to set path\nPlease add objects to your scene\n");
    EXPECT_EQ(exitCode_, 0);
    EXPECT_EQ(fs::current_path(), fs::canonical(folder_));
}

TEST_F(RunProgramTest, ASceneThatFailsToLoadEndsWithTheLoadersReportOnly) {
    const std::string path = WriteScene(folder_ / "broken.xml", "<Film/>");
    EXPECT_EQ(Run({"glintor", path.c_str()}), "");
    EXPECT_EQ(exitCode_, 0);
    EXPECT_EQ(messages_.texts, (std::vector<std::string>{"ERROR: <Camera> node missing"}));
}

}  // namespace
}  // namespace glintor
