// Scene files a user may hand the program by mistake: nothing of this may crash, hang or grow
// memory without bound; each gets the reader's or the loader's own message.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "render/scene.h"
#include "scene/scene_loader.h"
#include "tests/support/collected_messages.h"
#include "tests/support/test_paths.h"

namespace glintor {
namespace {

using testing::CollectedMessages;
using testing::Warning;

std::string Write(const std::string& name, const std::string& contents) {
    return testing::WriteFile(testing::ScratchFolder("bad_input_" + name) + "/scene.xml", contents);
}

std::string WithSettings(const std::string& render, const std::string& camera) {
    return "<Glintor><Scene><Render>" + render + "</Render><Camera>" + camera +
           "</Camera><Film/></Scene><Materials/><Objects/></Glintor>";
}

TEST(SceneFileBadInputDeathTest, MissingEmptyAndBinaryFilesEndWithTheReadersMessage) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const std::string missing = testing::ScratchFolder("bad_input_missing") + "/none.xml";
    EXPECT_EXIT(
        {
            Scene scene;
            LoadScene(missing.c_str(), scene);
        },
        ::testing::ExitedWithCode(255), "Error: File not found\nAt line 0, column 0.");
    const std::string empty = Write("empty", "");
    EXPECT_EXIT(
        {
            Scene scene;
            LoadScene(empty.c_str(), scene);
        },
        ::testing::ExitedWithCode(255), "Error: No XML data\nAt line 0, column 0.");

    std::mt19937 bytes(7);
    std::string binary(4096, '\0');
    for (char& c : binary) {
        c = static_cast<char>(bytes() & 0xFF);
    }
    const std::string binaryPath = Write("binary", binary);
    EXPECT_EXIT(
        {
            Scene scene;
            LoadScene(binaryPath.c_str(), scene);
        },
        ::testing::ExitedWithCode(255), "XML Parsing error inside file");
}

TEST(SceneFileBadInput, FiftyMegabyteTextElementIsReadOnce) {
    const std::string huge(50u << 20, '7');
    Scene scene;
    CollectedMessages messages;
    ASSERT_TRUE(LoadScene(Write("huge", WithSettings("<Samples>" + huge + "</Samples>" +
                                                         "<SavedImage>" + huge + "</SavedImage>",
                                                     ""))
                              .c_str(),
                          scene));
    // All digits: an integer far beyond the range, clamped with one warning.
    EXPECT_EQ(scene.settings.samples, 10000);
    ASSERT_EQ(messages.texts.size(), 1u);
    EXPECT_EQ(messages.texts[0], Warning(huge, "<Render><Samples>"));
    EXPECT_EQ(scene.settings.savedImage.size(), huge.size());
}

TEST(SceneFileBadInput, DeepNestingLoadsWithoutExhaustingTheStack) {
    std::string deep = "<Glintor><Scene><Camera/><Film/></Scene><Materials/><Objects>";
    for (int i = 0; i < 100000; ++i) {
        deep += "<Object>";
    }
    for (int i = 0; i < 100000; ++i) {
        deep += "</Object>";
    }
    deep += "</Objects></Glintor>";
    Scene scene;
    CollectedMessages messages;
    EXPECT_TRUE(LoadScene(Write("deep", deep).c_str(), scene));
    EXPECT_TRUE(scene.objects.empty());  // the outer Object has no Type: skipped
}

TEST(SceneFileBadInput, HugeAndNonNumbersGetWarningsAndSafeValues) {
    Scene scene;
    CollectedMessages messages;
    ASSERT_TRUE(LoadScene(Write("numbers", WithSettings("<Samples>NaN</Samples>",
                                                        "<FOV>1e999</FOV>"
                                                        "<LensRadius>-1e999</LensRadius>"
                                                        "<Pos x=\"1e999\" y=\"nan\" z=\"inf\"/>"))
                              .c_str(),
                          scene));
    EXPECT_EQ(scene.settings.samples, 1);
    EXPECT_EQ(scene.fov, 189.0f);
    EXPECT_EQ(scene.lensRadius, 0.0f);
    EXPECT_EQ(scene.cameraPos.y, 0.0f);
    EXPECT_EQ(scene.cameraPos.z, 0.0f);
    const std::vector<std::string> expected = {
        Warning("NaN", "<Render><Samples>"), Warning("Pos", "<Camera><Pos>"),
        Warning("Pos", "<Camera><Pos>"), Warning("1e999", "<Camera><FOV>"),
        Warning("-1e999", "<Camera><LensRadius>")};
    EXPECT_EQ(messages.texts, expected);
}

}  // namespace
}  // namespace glintor
