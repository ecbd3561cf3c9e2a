#include "app/headless_run.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/program_entry.h"
#include "tests/support/test_paths.h"

namespace glintor {
namespace {

namespace fs = std::filesystem;

const char* const SmallScene = R"(<Glintor>
  <Scene>
    <Threading><Threads>2</Threads><PixelBlockSize>16</PixelBlockSize></Threading>
    <Render><SavedImage>%IMAGE%</SavedImage><Samples>2</Samples><MaxDepth>3</MaxDepth></Render>
    <Camera><Pos x="0" y="1" z="-4"/><LookAt x="0" y="0.5" z="0"/><Up x="0" y="1" z="0"/>
      <FOV>50</FOV></Camera>
    <Film><Width>128</Width><Height>128</Height><Gamma>2.2</Gamma></Film>
  </Scene>
  <Materials><Material Type="MATTE"><Diffuse r="0.7" g="0.6" b="0.5"/></Material></Materials>
  <Objects>
    <Object Type="Plane"><Normal x="0" y="1" z="0"/><Dist>0</Dist></Object>
    <Object Type="Sphere"><Center x="0" y="0.5" z="0"/><Radius>0.5</Radius></Object>
  </Objects>
  <Lights><Light Type="Point"><Pos x="1" y="3" z="-2"/><Color r="9" g="9" b="9"/></Light></Lights>
</Glintor>)";

class HeadlessRun : public ::testing::Test {
protected:
    void SetUp() override {
        home_ = fs::current_path();
        // No display: the program must take the headless path whatever this machine has.
        if (const char* display = std::getenv("DISPLAY")) {
            savedDisplay_ = display;
        }
        unsetenv("DISPLAY");
    }
    void TearDown() override {
        fs::current_path(home_);
        if (!savedDisplay_.empty()) {
            setenv("DISPLAY", savedDisplay_.c_str(), 1);
        }
    }

    int Run(const std::string& folder, const std::string& image) {
        std::string scene = SmallScene;
        scene.replace(scene.find("%IMAGE%"), 7, image);
        const std::string path = testing::WriteFile(folder + "/scene.xml", scene);
        std::string program = "glintor";
        std::vector<char*> argv = {program.data(), const_cast<char*>(path.c_str()), nullptr};
        ::testing::internal::CaptureStdout();
        ::testing::internal::CaptureStderr();
        const int status = RunProgram(2, argv.data());
        out_ = ::testing::internal::GetCapturedStdout();
        err_ = ::testing::internal::GetCapturedStderr();
        fs::current_path(home_);
        return status;
    }

    fs::path home_;
    std::string savedDisplay_;
    std::string out_;
    std::string err_;
};

TEST_F(HeadlessRun, RendersSavesLogsAndSaysSaved) {
    const std::string folder = testing::ScratchFolder("headless_ok");
    EXPECT_EQ(Run(folder, "picture.png"), 0);
    EXPECT_NE(out_.find("Total Cores = "), std::string::npos);
    EXPECT_NE(out_.find("Rendering Threads = "), std::string::npos);
    EXPECT_NE(out_.find("\nSaved\n"), std::string::npos) << out_;
    EXPECT_NE(err_.find("Rendering 100%"), std::string::npos) << err_;
    EXPECT_TRUE(fs::exists(folder + "/picture.png"));
    std::ifstream log(folder + "/picture.png.txt");
    std::stringstream text;
    text << log.rdbuf();
    EXPECT_EQ(text.str().rfind("Glintor output for picture.png\n\n", 0), 0u);
    EXPECT_NE(text.str().find("\nv0.409  "), std::string::npos);
}

TEST_F(HeadlessRun, UnwritableImageIsReportedWithAFailingStatus) {
    const std::string folder = testing::ScratchFolder("headless_bad_folder");
    EXPECT_EQ(Run(folder, "missing/folder/picture.png"), 1);
    EXPECT_EQ(out_.find("Saved"), std::string::npos);
    EXPECT_NE(err_.find("Could not save the image to 'missing/folder/picture.png'"),
              std::string::npos);
    size_t entries = 0;
    for (const auto& entry : fs::directory_iterator(folder)) {
        (void)entry;
        ++entries;
    }
    EXPECT_EQ(entries, 1u);  // only the scene file
}

TEST(HeadlessProgress, LineShowsPercentFiguresAndTimeLeft) {
    StatusFigures figures;
    figures.seconds = 30.0;
    figures.samplesPerPixel = 8.0;
    EXPECT_EQ(FormatProgressLine(20, 80, figures),
              "Rendering  25%  Time: 30.00s  s/p:  8.00  s/s:    0.00K  r/s:    0.00K  left 1m 30s");
    EXPECT_EQ(FormatProgressLine(80, 80, figures).find("left"), std::string::npos);
    EXPECT_EQ(FormatProgressLine(0, 0, figures).substr(0, 14), "Rendering 100%");
}

}  // namespace
}  // namespace glintor
