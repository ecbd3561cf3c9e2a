// The real program with its preview window on a private X server: what the window shows, what
// its keys do, and how the process ends. Each test writes a small scene into its own folder.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <sstream>
#include <thread>

#include "tests/support/child_process.h"
#include "tests/support/test_paths.h"
#include "tests/window/picture.h"
#include "tests/window/x_window_tools.h"
#include "tests/window/xvfb_server.h"

namespace glintor {
namespace {

namespace fs = std::filesystem;
using namespace glintor::testing;

constexpr int ScreenWidth = 1280;
constexpr int ScreenHeight = 1024;
constexpr const char* SceneFile = "window.xml";
constexpr const char* Title = "Glintor v0.4.409 by Quarnel - window.xml";
// Generous, so that the sanitizer build (several times slower) passes too.
constexpr double RenderSeconds = 120.0;
constexpr double WindowSeconds = 20.0;
constexpr double ExitSeconds = 10.0;
// About 1.5 s on two threads at 160 x 128 in a Release build; several seconds with sanitizers.
constexpr int RenderSamples = 256;
// Far longer than any test waits: the render is still running when the test acts.
constexpr int EndlessSamples = 5000;

// A back wall and a floor lit by a point light, with two spheres in front: every row of the
// picture has lit, mid-grey pixels for the overlay comparison. The samples set the render time.
std::string SceneXml(int width, int height, int samples) {
    std::ostringstream xml;
    xml << R"(<?xml version="1.0"?>
<Glintor>
  <Scene>
    <Threading><Threads>2</Threads><PixelBlockSize>16</PixelBlockSize></Threading>
    <Render>
      <SavedImage>out.png</SavedImage>
      <MaxDepth>4</MaxDepth>
      <Samples>)"
        << samples << R"(</Samples>
    </Render>
    <Camera>
      <Pos x="0" y="1.2" z="-5"/>
      <LookAt x="0" y="1.2" z="0"/>
      <Up x="0" y="1" z="0"/>
      <FOV>50</FOV>
    </Camera>
    <Film><Width>)"
        << width << "</Width><Height>" << height << R"(</Height></Film>
  </Scene>
  <Materials>
    <Material Type="MATTE"><Diffuse r="0.7" g="0.7" b="0.7"/></Material>
    <Material Type="MATTE"><Diffuse r="0.8" g="0.3" b="0.2"/></Material>
    <Material Type="MATTE"><Diffuse r="0.2" g="0.4" b="0.8"/></Material>
  </Materials>
  <Objects>
    <Object Type="Plane"><Normal x="0" y="1" z="0"/><Dist>0</Dist><MaterialId>0</MaterialId></Object>
    <Object Type="Plane"><Normal x="0" y="0" z="-1"/><Dist>3</Dist><MaterialId>0</MaterialId></Object>
    <Object Type="Sphere"><Center x="-0.9" y="0.8" z="0.5"/><Radius>0.8</Radius><MaterialId>1</MaterialId></Object>
    <Object Type="Sphere"><Center x="1" y="0.6" z="-0.3"/><Radius>0.6</Radius><MaterialId>2</MaterialId></Object>
  </Objects>
  <Lights>
    <Light Type="Point"><Pos x="0" y="3" z="-5"/><Color r="40" g="40" b="40"/></Light>
  </Lights>
</Glintor>
)";
    return xml.str();
}

int CountOf(const std::string& text, const std::string& piece) {
    int count = 0;
    for (size_t at = text.find(piece); at != std::string::npos; at = text.find(piece, at + 1)) {
        ++count;
    }
    return count;
}

// Rows of a statistics log: the lines that start with the version.
int LogRows(const std::string& log) {
    std::istringstream lines(log);
    std::string line;
    int rows = 0;
    while (std::getline(lines, line)) {
        rows += line.rfind("v0.409", 0) == 0 ? 1 : 0;
    }
    return rows;
}

class PreviewWindow : public ::testing::Test {
protected:
    void SetUp() override {
        const std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        folder_ = ScratchFolder(name);
        if (!server_.Start(ScreenWidth, ScreenHeight, folder_ + "/xvfb.log")) {
            GTEST_SKIP() << "No X server for the window test: " << server_.Problem();
        }
    }

    std::string Path(const std::string& file) const { return folder_ + "/" + file; }

    // Writes the scene and starts the program on it; answers the window, 0 when none appeared.
    unsigned long Launch(int width, int height, int samples) {
        WriteFile(Path(SceneFile), SceneXml(width, height, samples));
        const bool started = program_.Start({GLINTOR_EXECUTABLE, Path(SceneFile)}, folder_,
                                            Path("stdout.txt"), Path("stderr.txt"));
        EXPECT_TRUE(started) << "could not run " << GLINTOR_EXECUTABLE;
        return started ? WaitForWindow(Title, WindowSeconds) : 0;
    }

    std::string Output() const { return ReadWholeFile(Path("stdout.txt")); }

    // What the program printed, for failure messages.
    std::string Transcript() const {
        return "\n--- stdout ---\n" + Output() + "\n--- stderr ---\n" +
               ReadWholeFile(Path("stderr.txt"));
    }

    // The render ends with the picture saved (it appears at once, under its final name).
    bool WaitForImage() {
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::duration<double>(RenderSeconds);
        while (std::chrono::steady_clock::now() < deadline) {
            if (fs::exists(Path("out.png"))) {
                return true;
            }
            if (!program_.Running()) {
                return false;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return false;
    }

    // Waits for the program to print "Saved" count times in all.
    bool WaitForSaved(int count) {
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::duration<double>(ExitSeconds);
        while (std::chrono::steady_clock::now() < deadline) {
            if (CountOf(Output(), "Saved\n") >= count) {
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return false;
    }

    // Esc ends the program; answers its exit status (-1 while it still runs).
    int Quit(unsigned long window) {
        PressKeys(window, "Escape");
        return program_.Wait(ExitSeconds).value_or(-1);
    }

    std::string folder_;
    XvfbServer server_;
    ChildProcess program_;
};

TEST_F(PreviewWindow, OpensTitledWindowOfTheImageSizeCentredOnTheScreen) {
    const unsigned long window = Launch(160, 128, EndlessSamples);
    ASSERT_NE(window, 0u) << "no window titled '" << Title << "'" << Transcript();
    WindowInfo info;
    ASSERT_TRUE(QueryWindow(window, info));
    EXPECT_EQ(info.title, Title);
    EXPECT_EQ(info.width, 160);
    EXPECT_EQ(info.height, 128);
    EXPECT_EQ(info.x, (ScreenWidth - 160) / 2);
    EXPECT_EQ(info.y, (ScreenHeight - 128) / 2);
    EXPECT_EQ(Quit(window), 0) << Transcript();
    // The two count lines come after the window exists, then the help text.
    const std::string out = Output();
    const size_t counts = out.find("Total Cores = ");
    const size_t threads = out.find("Rendering Threads = 2\n");
    const size_t help = out.find("\nRender started\n");
    EXPECT_NE(counts, std::string::npos) << out;
    EXPECT_LT(counts, threads);
    EXPECT_LT(threads, help);
    EXPECT_NE(out.find("[   - Decrease scale for linear tone mapping by 0.05\n\n"),
              std::string::npos)
        << out;
}

TEST_F(PreviewWindow, LargeImageOpensAFittedWindowOfAtMost1024By768) {
    const unsigned long window = Launch(2048, 1536, 1000);
    ASSERT_NE(window, 0u) << Transcript();
    WindowInfo info;
    ASSERT_TRUE(QueryWindow(window, info));
    EXPECT_EQ(info.width, 1024);
    EXPECT_EQ(info.height, 768);
    EXPECT_EQ(info.x, 128);
    EXPECT_EQ(info.y, 128);
    EXPECT_EQ(Quit(window), 0) << Transcript();
}

// The preview shows the film through the same tone mapping as the file (its table may differ
// from the exact power by a step or two on lit pixels), under two strips that keep 40 % of the
// picture: black drawn with alpha 0.6.
TEST_F(PreviewWindow, ShowsThePictureBetweenTwoTranslucentOverlayStrips) {
    const unsigned long window = Launch(160, 128, RenderSamples);
    ASSERT_NE(window, 0u) << Transcript();
    ASSERT_TRUE(WaitForImage()) << Transcript();
    // One more timer call redraws the finished film.
    std::this_thread::sleep_for(std::chrono::milliseconds(600));
    Picture shot, saved;
    std::string problem;
    ASSERT_TRUE(Screenshot(window, Path("shot.xwd"), shot, problem)) << problem;
    ASSERT_TRUE(LoadPng(Path("out.png"), saved));
    EXPECT_EQ(shot.name, Title);
    ASSERT_EQ(shot.width, 160);
    ASSERT_EQ(shot.height, 128);
    ASSERT_EQ(saved.width, 160);
    ASSERT_EQ(saved.height, 128);

    // Each row is judged on its lit pixels that are not white text: either they match the file
    // (picture) or 0.4 times it (overlay).
    enum class Row { Picture, Overlay, Unclear };
    auto judge = [&](int y) {
        int picture = 0, overlay = 0, lit = 0;
        for (int x = 0; x < shot.width; ++x) {
            const Rgb s = shot.At(x, y), f = saved.At(x, y);
            if (s == Rgb{255, 255, 255} || std::min({f.r, f.g, f.b}) < 30) {
                continue;
            }
            ++lit;
            auto near = [](int a, double b, double tolerance) {
                return std::abs(a - b) <= tolerance;
            };
            picture += near(s.r, f.r, 3) && near(s.g, f.g, 3) && near(s.b, f.b, 3);
            overlay +=
                near(s.r, 0.4 * f.r, 2.5) && near(s.g, 0.4 * f.g, 2.5) && near(s.b, 0.4 * f.b, 2.5);
        }
        if (lit < shot.width / 4) {
            return Row::Unclear;
        }
        if (picture >= lit * 9 / 10) {
            return Row::Picture;
        }
        return overlay >= lit * 9 / 10 ? Row::Overlay : Row::Unclear;
    };
    std::vector<Row> rows;
    for (int y = 0; y < shot.height; ++y) {
        rows.push_back(judge(y));
    }
    int top = 0, bottom = 0;
    while (top < shot.height && rows[top] == Row::Overlay) {
        ++top;
    }
    while (bottom < shot.height && rows[shot.height - 1 - bottom] == Row::Overlay) {
        ++bottom;
    }
    std::printf("Overlay strips: %d rows at the top, %d at the bottom\n", top, bottom);
    // The strips are drawn from y = h - 18 to h - 1 and from 0 to 18 in a projection that maps
    // 0 .. h - 1 onto the h rows, so their edges land at (h - 18) h / (h - 1) and 18 h / (h - 1):
    // 17 pixel centres lie in the top strip and 18 in the bottom one.
    EXPECT_EQ(top, 17);
    EXPECT_EQ(bottom, 18);
    int unclear = 0;
    for (int y = top; y < shot.height - bottom; ++y) {
        EXPECT_NE(rows[y], Row::Overlay) << "row " << y;
        unclear += rows[y] == Row::Unclear;
    }
    EXPECT_LE(unclear, 4) << "rows between the strips that do not show the picture";

    // The strips carry text: white glyph pixels on the top line from its first column on.
    int topText = 0, bottomText = 0;
    for (int y = 0; y < top; ++y) {
        for (int x = 0; x < shot.width; ++x) {
            topText += shot.At(x, y) == Rgb{255, 255, 255};
            bottomText += shot.At(x, shot.height - 1 - y) == Rgb{255, 255, 255};
        }
    }
    EXPECT_GT(topText, 50) << "no tone line in the top strip";
    EXPECT_GT(bottomText, 50) << "no status line in the bottom strip";
    EXPECT_EQ(Quit(window), 0) << Transcript();
}

TEST_F(PreviewWindow, SavesAndLogsExactlyOnceWhenTheRenderEnds) {
    const unsigned long window = Launch(160, 128, RenderSamples);
    ASSERT_NE(window, 0u) << Transcript();
    ASSERT_TRUE(WaitForImage()) << Transcript();
    // The timer goes on every 250 ms after the render; none of its calls may save or log again.
    std::this_thread::sleep_for(std::chrono::seconds(3));
    EXPECT_TRUE(program_.Running()) << "the program must keep showing the picture";
    const std::string log = ReadWholeFile(Path("out.png.txt"));
    ASSERT_FALSE(log.empty()) << "no statistics log" << Transcript();
    EXPECT_EQ(log.rfind("Glintor output for out.png\n\nVersion Date", 0), 0u) << log;
    EXPECT_EQ(LogRows(log), 1) << log;
    EXPECT_NE(log.find("160x128"), std::string::npos) << log;
    EXPECT_NE(log.back(), '\n');
    // The save at the end prints nothing; only the S key says "Saved".
    EXPECT_EQ(CountOf(Output(), "Saved"), 0) << Transcript();
    const auto saved = fs::last_write_time(Path("out.png"));
    std::this_thread::sleep_for(std::chrono::seconds(1));
    EXPECT_EQ(fs::last_write_time(Path("out.png")), saved);
    EXPECT_EQ(Quit(window), 0) << Transcript();
    EXPECT_EQ(LogRows(ReadWholeFile(Path("out.png.txt"))), 1);
}

TEST_F(PreviewWindow, GammaKeyBrightensTheResavedImageAndResetRestoresIt) {
    const unsigned long window = Launch(160, 128, RenderSamples);
    ASSERT_NE(window, 0u) << Transcript();
    ASSERT_TRUE(WaitForImage()) << Transcript();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const std::string first = ReadWholeFile(Path("out.png"));
    Picture before, after;
    ASSERT_TRUE(LoadPng(Path("out.png"), before));

    ASSERT_TRUE(PressKeys(window, "plus S"));
    ASSERT_TRUE(WaitForSaved(1)) << Transcript();
    ASSERT_TRUE(LoadPng(Path("out.png"), after));
    ASSERT_EQ(after.pixels.size(), before.pixels.size());
    // Gamma 2.2 -> 2.3: q^(1/2.3) >= q^(1/2.2) on [0, 1], equal only at 0 and 1.
    int darker = 0, midTones = 0;
    double gain = 0.0;
    for (size_t i = 0; i < before.pixels.size(); ++i) {
        for (auto channel : {&Rgb::r, &Rgb::g, &Rgb::b}) {
            const int b = before.pixels[i].*channel, a = after.pixels[i].*channel;
            darker += a < b;
            if (b >= 64 && b <= 192) {
                ++midTones;
                gain += a - b;
            }
        }
    }
    EXPECT_EQ(darker, 0);
    ASSERT_GT(midTones, 1000) << "the scene has too few mid-tones to judge";
    // About 3 steps at the middle of the range: 0.5^(1/2.3) - 0.5^(1/2.2) = 0.0114.
    EXPECT_GT(gain / midTones, 1.5);

    ASSERT_TRUE(PressKeys(window, "R S"));
    ASSERT_TRUE(WaitForSaved(2)) << Transcript();
    EXPECT_TRUE(ReadWholeFile(Path("out.png")) == first)
        << "after R the saved picture differs from the first one";
    EXPECT_EQ(Quit(window), 0) << Transcript();
    EXPECT_EQ(LogRows(ReadWholeFile(Path("out.png.txt"))), 1) << "S must not log";
}

TEST_F(PreviewWindow, EscWhileRenderingEndsWithStatusZeroAndLeavesNothing) {
    const unsigned long window = Launch(160, 128, EndlessSamples);
    ASSERT_NE(window, 0u) << Transcript();
    std::this_thread::sleep_for(std::chrono::milliseconds(700));
    ASSERT_TRUE(program_.Running()) << Transcript();
    EXPECT_EQ(Quit(window), 0) << Transcript();
    EXPECT_FALSE(fs::exists(Path("out.png")));
    EXPECT_FALSE(fs::exists(Path("out.png.txt")));
    for (const auto& entry : fs::directory_iterator(folder_)) {
        EXPECT_EQ(entry.path().filename().string().find("out.png"), std::string::npos)
            << entry.path();
    }
}

// A save that fails ends the program with status 1 when it quits, as a headless run would.
TEST_F(PreviewWindow, AFailedSaveIsToldAndQuittingThenEndsWithStatusOne) {
    const unsigned long window = Launch(160, 128, EndlessSamples);
    ASSERT_NE(window, 0u) << Transcript();
    fs::create_directory(Path("out.png"));  // the picture can no longer replace it
    ASSERT_TRUE(PressKeys(window, "S"));
    const std::string told = "Could not save the image to 'out.png': Is a directory\n";
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::duration<double>(ExitSeconds);
    while (ReadWholeFile(Path("stderr.txt")).find(told) == std::string::npos &&
           std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    EXPECT_NE(ReadWholeFile(Path("stderr.txt")).find(told), std::string::npos) << Transcript();
    EXPECT_EQ(Quit(window), 1) << Transcript();
    EXPECT_EQ(CountOf(Output(), "Saved"), 0) << Transcript();
}

// Without a window manager the close button is simulated by the message a manager sends;
// freeglut hands it to the close callback.
TEST_F(PreviewWindow, ClosingTheWindowEndsWithStatusZero) {
    const unsigned long window = Launch(160, 128, EndlessSamples);
    ASSERT_NE(window, 0u) << Transcript();
    std::this_thread::sleep_for(std::chrono::milliseconds(700));
    ASSERT_TRUE(program_.Running()) << Transcript();
    ASSERT_TRUE(RequestClose(window));
    EXPECT_EQ(program_.Wait(ExitSeconds).value_or(-1), 0) << Transcript();
    EXPECT_FALSE(fs::exists(Path("out.png")));
    EXPECT_FALSE(fs::exists(Path("out.png.txt")));
}

}  // namespace
}  // namespace glintor
