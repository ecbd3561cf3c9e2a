// Film files used as a batch user would: a render stopped by SIGTERM and resumed, films of two
// seeds merged, and the refusals of films that must not be added. The program runs as a child
// process, headless, so that the signal reaches it as a scheduler's would.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <csignal>
#include <filesystem>
#include <string>
#include <thread>

#include "formats/film_file.h"
#include "tests/support/child_process.h"
#include "tests/support/film_claims.h"
#include "tests/support/small_scene.h"
#include "tests/support/test_paths.h"

namespace glintor {
namespace {

namespace fs = std::filesystem;

FilmFileContents ReadFilm(const std::string& path) {
    FilmFileContents film;
    std::string error;
    EXPECT_TRUE(ReadFilmFile(path, film, error)) << path << ": " << error;
    return film;
}

// Largest |t| over the 16 x 16 tiles of the per-pixel difference of two films' means (red, green
// and blue added). Each pixel's difference has expectation 0 when both films estimate the same
// picture, so its spread within a tile measures the noise alone, whatever the picture holds.
// Where a tile has almost no noise, the runs' own sub-pixel offsets still shift it a little: the
// error of the mean gets a floor of 1e-4 of the tile's brightness, far below what a lost or
// misplaced block changes.
double LargestTileT(const FilmFileContents& a, const FilmFileContents& b) {
    const int width = a.header.width, height = a.header.height, tile = 16;
    double largest = 0.0;
    for (int ty = 0; ty < height; ty += tile) {
        for (int tx = 0; tx < width; tx += tile) {
            double sum = 0.0, squares = 0.0, brightness = 0.0;
            for (int y = ty; y < ty + tile; ++y) {
                for (int x = tx; x < tx + tile; ++x) {
                    const float* p = &a.radiance[(static_cast<size_t>(y) * width + x) * 4];
                    const float* q = &b.radiance[(static_cast<size_t>(y) * width + x) * 4];
                    const double d = (p[0] + p[1] + p[2]) / p[3] - (q[0] + q[1] + q[2]) / q[3];
                    sum += d;
                    squares += d * d;
                    brightness += (q[0] + q[1] + q[2]) / q[3];
                }
            }
            const double n = tile * tile, mean = sum / n;
            const double variance = (squares - n * mean * mean) / (n - 1.0);
            const double floor = 1e-4 * std::fabs(brightness / n);
            const double t = mean / (std::sqrt(std::max(variance, 0.0) / n) + floor);
            largest = std::max(largest, std::fabs(t));
        }
    }
    return largest;
}

class FilmRun : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = testing::ScratchFolder("film_run");
        testing::WriteFile(folder_ + "/scene.xml", SceneText());
    }

    // The small scene seen from above, without a horizon, and with the narrowest pixel filter:
    // every run's sub-pixel offsets are fixed for all its pixels, so two seeds differ along a
    // sharp edge that runs with the pixel rows by more than noise.
    static std::string SceneText() {
        std::string text = testing::SmallSceneText("scene.png", 1, 8);
        const auto replace = [&text](const std::string& from, const std::string& to) {
            text.replace(text.find(from), from.size(), to);
        };
        replace("<MaxDepth>3</MaxDepth>", "<MaxDepth>3</MaxDepth><Antialiasing width=\"0.01\"/>");
        replace("<Pos x=\"0\" y=\"1\" z=\"-4\"/>", "<Pos x=\"0\" y=\"3\" z=\"-4\"/>");
        return text;
    }

    testing::CommandResult Run(const std::string& options) {
        return testing::RunCommand("cd '" + folder_ + "' && env -u DISPLAY " + GLINTOR_EXECUTABLE +
                                   " -q " + options + " 2>&1");
    }
    std::string Path(const std::string& name) const { return folder_ + "/" + name; }

    std::string folder_;
};

// Measured over 200 pairs of seeds (16 samples each): the largest tile |t| stayed below 3.9; a
// film that lost or misplaced a block reaches hundreds.
constexpr double TileBound = 6.0;

TEST_F(FilmRun, StoppedBySigtermAndResumedEqualsAnUninterruptedRender) {
    testing::ChildProcess render;
    ASSERT_TRUE(render.Start({GLINTOR_EXECUTABLE, "-q", "-t", "1", "-s", "256", "--film",
                              "stopped.exr", "-o", "stopped.png", "scene.xml"},
                             folder_, Path("stdout.txt"), Path("stderr.txt")));
    // The help text follows the start of the render threads, after the handlers are in place.
    for (int i = 0; i < 3000 && testing::ReadWholeFile(Path("stdout.txt")).find("Render started") ==
                                    std::string::npos;
         ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    kill(render.Id(), SIGTERM);
    ASSERT_EQ(render.Wait(600.0), 128 + SIGTERM);
    const std::string said = testing::ReadWholeFile(Path("stderr.txt"));
    EXPECT_NE(said.find("Stopped by SIGTERM: "), std::string::npos) << said;
    EXPECT_NE(said.find(" of 64 blocks done; the film is in '" + Path("stopped.exr") + "'"),
              std::string::npos)
        << said;
    EXPECT_TRUE(fs::exists(Path("stopped.png")));

    // The film holds whole blocks only, each with every sample or none, and the row counts the
    // samples of those blocks only, not those of the block given up.
    const int complete = testing::CheckBlockClaims(ReadFilm(Path("stopped.exr")), {0, 256});
    EXPECT_LT(complete, 64);
    const std::string stoppedRow = testing::LastLogRow(Path("stopped.png.txt"));
    EXPECT_NEAR(std::stod(testing::LogField(stoppedRow, 26, 10)), 256.0 * complete / 64.0, 0.01)
        << stoppedRow;

    const testing::CommandResult resumed =
        Run("-t 1 --resume stopped.exr --film resumed.exr -o resumed.png scene.xml");
    ASSERT_EQ(resumed.status, 0) << resumed.output;
    EXPECT_NE(resumed.output.find("Resuming '" + Path("stopped.exr") +
                                  "': " + std::to_string(complete) + " of 64 blocks complete"),
              std::string::npos)
        << resumed.output;
    const std::string row = testing::LastLogRow(Path("resumed.png.txt"));
    EXPECT_EQ(row.substr(row.size() - 9), "  resumed");
    // The row counts this run's samples: the missing blocks' share of 256 per pixel.
    EXPECT_NEAR(std::stod(testing::LogField(row, 26, 10)), 256.0 * (64 - complete) / 64.0, 0.01);

    const FilmFileContents film = ReadFilm(Path("resumed.exr"));
    EXPECT_EQ(film.header.blockSamples, std::vector<uint32_t>(64, 256));
    ASSERT_EQ(film.header.seeds.size(), 2u);
    EXPECT_NE(film.header.seeds[0], film.header.seeds[1]);
    for (size_t i = 0; i < film.radiance.size(); i += 4) {
        ASSERT_EQ(film.radiance[i + 3], 256.0f);
    }
    ASSERT_EQ(Run("-t 1 -s 64 --seed 7 --film whole.exr scene.xml").status, 0);
    EXPECT_LT(LargestTileT(film, ReadFilm(Path("whole.exr"))), TileBound);
}

TEST_F(FilmRun, CheckpointsHoldWholeBlocksWhileTheRenderGoesOn) {
    testing::ChildProcess render;
    ASSERT_TRUE(render.Start({GLINTOR_EXECUTABLE, "-q", "-t", "2", "-s", "2048", "--film",
                              "film.exr", "--checkpoint", "1", "scene.xml"},
                             folder_, "", Path("stderr.txt")));
    // The first checkpoint is due a second into a render of many seconds; the film appears whole
    // through its rename, so any film found can be read.
    FilmFileContents checkpoint;
    std::string error;
    bool found = false;
    for (int i = 0; i < 6000 && !found; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        found = fs::exists(Path("film.exr")) && ReadFilmFile(Path("film.exr"), checkpoint, error);
    }
    ASSERT_TRUE(found) << error;
    ASSERT_TRUE(render.Running());
    kill(render.Id(), SIGTERM);
    ASSERT_EQ(render.Wait(600.0), 128 + SIGTERM);

    const int atCheckpoint = testing::CheckBlockClaims(checkpoint, {0, 2048});
    const int atStop = testing::CheckBlockClaims(ReadFilm(Path("film.exr")), {0, 2048});
    EXPECT_LE(atCheckpoint, atStop);
    EXPECT_LT(atStop, 64);
    EXPECT_NE(testing::ReadWholeFile(Path("stderr.txt"))
                  .find("Stopped by SIGTERM: " + std::to_string(atStop) + " of 64 blocks done"),
              std::string::npos);
}

TEST_F(FilmRun, FilmsOfTwoSeedsMergeIntoOneOfTwiceTheSamples) {
    ASSERT_EQ(Run("-t 1 -s 32 --seed 1 --film one.exr scene.xml").status, 0);
    ASSERT_EQ(Run("-t 1 -s 32 --seed 2 --film two.exr scene.xml").status, 0);
    ASSERT_EQ(Run("-t 1 -s 64 --seed 3 --film whole.exr scene.xml").status, 0);
    const testing::CommandResult merged = Run("--merge merged.exr one.exr two.exr -o merged.pfm");
    ASSERT_EQ(merged.status, 0) << merged.output;
    EXPECT_NE(merged.output.find("Merged 2 films into 'merged.exr': 64 samples per pixel"),
              std::string::npos)
        << merged.output;
    EXPECT_TRUE(fs::exists(Path("merged.pfm")));

    const FilmFileContents one = ReadFilm(Path("one.exr")), two = ReadFilm(Path("two.exr"));
    const FilmFileContents sum = ReadFilm(Path("merged.exr"));
    const FilmFileContents whole = ReadFilm(Path("whole.exr"));
    EXPECT_EQ(sum.header.seeds, (std::vector<uint32_t>{1, 2}));
    EXPECT_EQ(sum.header.samplesPerPixel, 64);
    EXPECT_EQ(sum.header.blockSamples, whole.header.blockSamples);
    ASSERT_EQ(sum.radiance.size(), whole.radiance.size());
    for (size_t i = 0; i < sum.radiance.size(); ++i) {
        ASSERT_EQ(sum.radiance[i], one.radiance[i] + two.radiance[i]) << i;
        if (i % 4 == 3) {
            ASSERT_EQ(sum.radiance[i], whole.radiance[i]) << i;
        }
    }
    EXPECT_LT(LargestTileT(sum, whole), TileBound);
}

TEST_F(FilmRun, FilmsThatMustNotBeAddedAreRefusedWithTheReason) {
    ASSERT_EQ(Run("-t 1 -s 2 --film base.exr scene.xml").status, 0);
    ASSERT_EQ(Run("-t 1 -s 2 --size 128x144 --seed 5 --film tall.exr scene.xml").status, 0);
    const std::string base = "Cannot resume from '" + Path("base.exr") + "': ";
    const struct {
        std::string options;
        std::string message;
    } refusals[] = {
        {"--depth 2 --resume base.exr scene.xml",
         base + "it differs in the options (maxDepth=3 gamma=2.2 linearScale=1, not maxDepth=2 "
                "gamma=2.2 linearScale=1)"},
        {"--size 144x128 --resume base.exr scene.xml",
         base + "it differs in the film size (128x128, not 144x128)"},
        {"-s 1 --resume base.exr scene.xml",
         base + "it holds 2 samples per pixel, more than the 1 asked for"},
        {"--seed 12345678 --resume base.exr scene.xml",
         base + "seed 12345678 was used for it already; choose another --seed"},
        {"--merge out.exr base.exr base.exr",
         "Cannot merge 'base.exr' with 'base.exr': both were rendered with seed 12345678, so "
         "their samples are not independent"},
        {"--merge out.exr base.exr tall.exr",
         "Cannot merge 'tall.exr' with 'base.exr': they differ in the film size (128x144, not "
         "128x128)"},
        {"--merge out.exr base.exr missing.exr",
         "Cannot use the film 'missing.exr': No such file or directory"},
        {"--film big.exr big.xml",
         "glintor: cannot keep the film of a 3072x192 picture in '" + Path("big.exr") +
             "': film files hold at most 2048 pixels a side"},
    };
    // A scaled film larger than a film file holds.
    std::string big = SceneText();
    big.replace(big.find("<Width>128</Width>"), 18, "<Width>2048</Width><Scale>1.5</Scale>");
    testing::WriteFile(Path("big.xml"), big);
    for (const auto& refusal : refusals) {
        const testing::CommandResult run = Run(refusal.options);
        EXPECT_EQ(run.status, 2) << refusal.options;
        EXPECT_NE(run.output.find(refusal.message), std::string::npos) << refusal.options << "\n"
                                                                       << run.output;
    }
    EXPECT_FALSE(fs::exists(Path("out.exr")));
    EXPECT_FALSE(fs::exists(Path("big.exr")));

    // A scene file with other bytes is another scene.
    testing::WriteFile(Path("scene.xml"), SceneText() + "\n");
    const testing::CommandResult other = Run("--resume base.exr scene.xml");
    EXPECT_EQ(other.status, 2);
    EXPECT_NE(other.output.find(base + "it differs in the scene file"), std::string::npos)
        << other.output;
}

}  // namespace
}  // namespace glintor
