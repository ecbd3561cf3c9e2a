#include "app/headless_run.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <thread>

#include "app/program_entry.h"
#include "render/render_job.h"
#include "tests/support/small_scene.h"
#include "tests/support/test_paths.h"

namespace glintor {
namespace {

namespace fs = std::filesystem;

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
        const std::string path =
            testing::WriteFile(folder + "/scene.xml", testing::SmallSceneText(image));
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
    fs::create_directory(folder + "/renders");
    // A Windows folder separator in SavedImage names the folder here too.
    // The job, and the clock in it, may have existed long before: the time logged must still
    // be this run's, from the moment the program started.
    RenderJob::Instance();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(Run(folder, "renders\\picture.png"), 0);
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_NE(out_.find("Total Cores = "), std::string::npos);
    EXPECT_NE(out_.find("Rendering Threads = "), std::string::npos);
    EXPECT_NE(out_.find("\nSaved\n"), std::string::npos) << out_;
    // The finished picture's line comes once, however quickly the render ended.
    const size_t last = err_.find("Rendering 100%");
    EXPECT_NE(last, std::string::npos) << err_;
    EXPECT_EQ(err_.find("Rendering 100%", last + 1), std::string::npos) << err_;
    EXPECT_TRUE(fs::exists(folder + "/renders/picture.png"));
    std::ifstream log(folder + "/renders/picture.png.txt");
    std::stringstream text;
    text << log.rdbuf();
    EXPECT_EQ(text.str().rfind("Glintor output for renders/picture.png\n\n", 0), 0u);
    EXPECT_NE(text.str().find("\nv0.409  "), std::string::npos);
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 2);

    // Loading and rendering are timed, only the save and the log coming after the last reading
    // (half the run leaves room for a busy machine), and a render that ends before the first
    // progress poll still gets rates that are not zero.
    const std::string row = testing::LastLogRow(folder + "/renders/picture.png.txt");
    const std::string time = testing::LogField(row, 19, 6);
    ASSERT_EQ(time.back(), 's') << row;
    // One step of the field (0.01 s) is allowed for a render of a few milliseconds.
    EXPECT_GE(std::stod(time) + 0.01, 0.5 * wall) << row;
    EXPECT_LE(std::stod(time), wall + 0.01) << row;
    EXPECT_NE(testing::LogField(row, 36, 10), "0.00K") << row;
    EXPECT_NE(testing::LogField(row, 46, 10), "0.00K") << row;
    EXPECT_EQ(testing::LogField(row, 26, 10), "2.00") << row;
}

TEST_F(HeadlessRun, UnwritableSceneImageIsRefusedBeforeRendering) {
    const std::string folder = testing::ScratchFolder("headless_bad_folder");
    EXPECT_EQ(Run(folder, "missing/folder/picture.png"), 2);
    EXPECT_EQ(out_.find("Total Cores"), std::string::npos) << out_;
    EXPECT_EQ(err_,
              "glintor: cannot write 'missing/folder/picture.png': No such file or directory\n");
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1);
}

TEST(HeadlessProgress, LineShowsPercentFiguresAndTimeLeft) {
    StatusFigures figures;
    figures.seconds = 30.0;
    figures.samplesPerPixel = 8.0;
    EXPECT_EQ(
        FormatProgressLine(20, 80, figures),
        "Rendering  25%  Time: 30.00s  s/p:  8.00  s/s:    0.00K  r/s:    0.00K  left 1m 30s");
    EXPECT_EQ(FormatProgressLine(80, 80, figures).find("left"), std::string::npos);
    EXPECT_EQ(FormatProgressLine(0, 0, figures).substr(0, 14), "Rendering 100%");
}

}  // namespace
}  // namespace glintor
