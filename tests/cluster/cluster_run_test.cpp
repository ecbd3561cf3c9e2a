// glintor-mpi run as people run it, under mpirun, against the plain program on the same scene.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <iterator>
#include <sstream>
#include <string>
#include <thread>

#include "tests/support/child_process.h"
#include "tests/support/film_claims.h"
#include "tests/support/pfm_reader.h"
#include "tests/support/small_scene.h"
#include "tests/support/test_paths.h"

namespace glintor {
namespace {

namespace fs = std::filesystem;

size_t Occurrences(const std::string& text, const std::string& part) {
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++count;
    }
    return count;
}

double MeanOf(const std::vector<float>& values) {
    double sum = 0.0;
    for (float v : values) {
        sum += v;
    }
    return sum / static_cast<double>(values.size());
}

class ClusterRun : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = testing::ScratchFolder("cluster_run");
        testing::WriteFile(folder_ + "/scene.xml", testing::SmallSceneText("scene.png", 1, 8));
    }

    // Runs in the scratch folder with standard error joined to the output; no display, so the
    // plain program renders headless as the cluster one always does.
    testing::CommandResult Run(const std::string& command) {
        return testing::RunCommand("cd '" + folder_ + "' && env -u DISPLAY " + command + " 2>&1");
    }
    static std::string Plain(const std::string& options) {
        return std::string(GLINTOR_EXECUTABLE) + " " + options + " scene.xml";
    }
    // mpirun and its options up to the program, as arguments.
    static std::vector<std::string> Launcher(int ranks) {
        std::vector<std::string> arguments{GLINTOR_MPIEXEC, "--oversubscribe", "-np",
                                           std::to_string(ranks)};
        if (getuid() == 0) {
            arguments.push_back("--allow-run-as-root");
        }
        arguments.push_back(GLINTOR_MPI_EXECUTABLE);
        return arguments;
    }
    static std::string Ranks(int ranks, const std::string& options) {
        std::string command;
        for (const std::string& argument : Launcher(ranks)) {
            command += argument + " ";
        }
        return command + options + " scene.xml";
    }
    std::string File(const std::string& name) const {
        return testing::ReadWholeFile(folder_ + "/" + name);
    }
    std::string Row(const std::string& log) const {
        return testing::LastLogRow(folder_ + "/" + log);
    }

    std::string folder_;
};

TEST_F(ClusterRun, OneRankOfOneThreadRendersThePlainProgramsPicture) {
    ASSERT_EQ(Run(Plain("-q -t 1 -o plain.png -o plain.pfm")).status, 0);
    const testing::CommandResult one = Run(Ranks(1, "-q -t 1 -o one.png -o one.pfm"));
    ASSERT_EQ(one.status, 0) << one.output;
    EXPECT_FALSE(File("one.png").empty());
    EXPECT_EQ(File("one.png"), File("plain.png"));
    EXPECT_EQ(File("one.pfm"), File("plain.pfm"));
    // The same row but for the time and the rates.
    const std::string plainRow = Row("plain.png.txt"), oneRow = Row("one.png.txt");
    ASSERT_GT(oneRow.size(), 57u);
    EXPECT_EQ(oneRow.substr(0, 19), plainRow.substr(0, 19));
    EXPECT_EQ(oneRow.substr(26, 10), plainRow.substr(26, 10));
    EXPECT_EQ(oneRow.substr(57), plainRow.substr(57));
}

TEST_F(ClusterRun, TwoRanksShareTheSamplesAndTheFirstWritesTheSums) {
    ASSERT_EQ(Run(Plain("-q -t 1 -o plain8.pfm")).status, 0);
    ASSERT_EQ(Run(Plain("-q -t 1 -s 4 -o plain4.pfm")).status, 0);
    const testing::CommandResult two = Run(Ranks(2, "-t 1 -o two.pfm"));
    ASSERT_EQ(two.status, 0) << two.output;
    // Only the first rank speaks: one set of start-up lines, one finished line, one "Saved".
    EXPECT_EQ(Occurrences(two.output, "World Radius"), 1u) << two.output;
    EXPECT_EQ(Occurrences(two.output, "Total Cores = "), 1u) << two.output;
    EXPECT_EQ(Occurrences(two.output, "Rendering 100%"), 1u) << two.output;
    EXPECT_EQ(Occurrences(two.output, "Saved\n"), 1u) << two.output;

    const testing::PfmPicture plain = testing::ReadPfm(folder_ + "/plain8.pfm");
    const testing::PfmPicture shared = testing::ReadPfm(folder_ + "/two.pfm");
    ASSERT_EQ(shared.rgb.size(), plain.rgb.size());
    ASSERT_FALSE(shared.rgb.empty());
    // Two ranks drawing the same numbers would give exactly the picture of their share alone.
    EXPECT_NE(File("two.pfm"), File("plain4.pfm"));
    // Both pictures estimate the same means. Each render thread keeps one set of sub-pixel
    // offsets for every pixel, so the mean of a whole picture carries an error common to all its
    // pixels, a few tenths of a percent at 8 samples; the faults this catches (weights counted
    // twice or not at all, radiance of one rank lost) move it by half or more.
    EXPECT_GT(MeanOf(plain.rgb), 0.01);
    EXPECT_NEAR(MeanOf(shared.rgb), MeanOf(plain.rgb), 0.02 * MeanOf(plain.rgb));

    // The log counts the samples and rays of both ranks: 8 per pixel, and as many rays per sample
    // as one process traces.
    const std::string row = Row("two.pfm.txt"), plainRow = Row("plain8.pfm.txt");
    EXPECT_EQ(testing::LogField(row, 26, 10), "8.00") << row;
    EXPECT_EQ(testing::LogField(row, 57, 6), "8x1") << row;
    auto raysPerSample = [](const std::string& r) {
        return std::stod(testing::LogField(r, 46, 10)) / std::stod(testing::LogField(r, 36, 10));
    };
    EXPECT_NEAR(raysPerSample(row), raysPerSample(plainRow), 0.1 * raysPerSample(plainRow));
}

TEST_F(ClusterRun, TwoRanksStoppedBySigtermWriteTheWholeBlocksOfBoth) {
    // There are enough blocks (4096) that the render lasts far longer than it takes the signal to
    // arrive, even on an idle machine.
    std::vector<std::string> arguments = Launcher(2);
    for (const char* option : {"-t", "1", "-s", "256", "--size", "1024x1024", "--film",
                               "stopped.exr", "-o", "stopped.pfm", "scene.xml"}) {
        arguments.push_back(option);
    }
    testing::ChildProcess job;
    ASSERT_TRUE(job.Start(arguments, folder_, folder_ + "/stdout.txt", folder_ + "/stderr.txt"));
    // Rank 0 says it started once every rank catches the stop signals.
    for (int i = 0; i < 6000 && File("stdout.txt").find("Render started") == std::string::npos;
         ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    // The signal goes to the ranks themselves, as a batch system's does: mpirun, signalled, kills
    // its ranks a second after passing it on, whether or not they have written by then. The
    // ranks are mpirun's own children.
    const std::string id = std::to_string(job.Id());
    std::istringstream children(
        testing::ReadWholeFile("/proc/" + id + "/task/" + id + "/children"));
    int ranks = 0;
    for (pid_t rank = 0; children >> rank; ++ranks) {
        kill(rank, SIGTERM);
    }
    EXPECT_EQ(ranks, 2);
    const std::optional<int> status = job.Wait(600.0);
    const std::string said = File("stderr.txt");
    // mpirun reports the ranks' status 143 as its own failure.
    EXPECT_TRUE(status.has_value() && *status != 0) << said;
    EXPECT_EQ(Occurrences(said, "Stopped by SIGTERM: "), 1u) << said;

    FilmFileContents film;
    std::string error;
    ASSERT_TRUE(ReadFilmFile(folder_ + "/stopped.exr", film, error)) << error << "\n" << said;
    // Each rank draws its blocks in an order of its own and gives up its blocks in flight: a block
    // one rank rendered and the other did not is left out, so every block holds both halves or
    // neither, and every pixel weighs what it claims.
    const int complete = testing::CheckBlockClaims(film, {0, 256});
    EXPECT_LT(complete, 4096);
    EXPECT_NE(said.find("Stopped by SIGTERM: " + std::to_string(complete) + " of 4096 blocks done"),
              std::string::npos)
        << said;
    EXPECT_EQ(testing::ReadPfm(folder_ + "/stopped.pfm").rgb.size(), 1024u * 1024u * 3u);
}

TEST_F(ClusterRun, TwoRanksCheckpointTheSumOfTheirWholeBlocks) {
    std::vector<std::string> arguments = Launcher(2);
    for (const char* option : {"-t", "1", "-s", "256", "--size", "1024x1024", "--film", "film.exr",
                               "--checkpoint", "1", "scene.xml"}) {
        arguments.push_back(option);
    }
    testing::ChildProcess job;
    ASSERT_TRUE(job.Start(arguments, folder_, folder_ + "/stdout.txt", folder_ + "/stderr.txt"));
    // The ranks draw their blocks in orders of their own, so a block holding both halves shows
    // that the checkpoint summed the ranks; one appears within seconds of a render of many more.
    // The film appears whole through its rename, so any film found can be read.
    FilmFileContents checkpoint;
    std::string error;
    auto bothHalves = [&checkpoint] {
        const std::vector<uint32_t>& claims = checkpoint.header.blockSamples;
        return std::find(claims.begin(), claims.end(), 256u) != claims.end();
    };
    bool found = false;
    for (int i = 0; i < 60000 && !found && job.Running(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        found = fs::exists(folder_ + "/film.exr") &&
                ReadFilmFile(folder_ + "/film.exr", checkpoint, error) && bothHalves();
    }
    const bool running = job.Running();
    kill(job.Id(), SIGTERM);
    job.Wait(600.0);
    ASSERT_TRUE(found && running) << error << "\n" << File("stderr.txt");
    EXPECT_LT(testing::CheckBlockClaims(checkpoint, {0, 256}), 4096);
}

// Three ranks complete a film whose blocks hold all, some or none of the samples: each block gets
// what it lacks, split among the ranks, and the film then holds exactly the samples it claims.
TEST_F(ClusterRun, RanksResumeAFilmAndAddWhatEachBlockLacks) {
    ASSERT_EQ(Run(Plain("-q -t 1 -o plain.pfm")).status, 0);
    ASSERT_EQ(Run(Plain("-q -t 1 -s 3 --film part.exr")).status, 0);
    FilmFileContents film;
    std::string error;
    ASSERT_TRUE(ReadFilmFile(folder_ + "/part.exr", film, error)) << error;
    // Of the 8 x 8 blocks of 16 pixels, the top half is emptied and the bottom half has 3 of 8.
    const int width = film.header.width;
    for (int y = 64; y < 128; ++y) {
        std::fill_n(film.radiance.begin() + y * width * 4, width * 4, 0.0f);
        std::fill_n(film.passes.begin() + y * width * FilmPassCount, width * FilmPassCount, 0.0f);
    }
    std::fill(film.header.blockSamples.begin() + 32, film.header.blockSamples.end(), 0u);
    ASSERT_TRUE(WriteFilmFile(folder_ + "/part.exr", film, error)) << error;

    const testing::CommandResult resumed =
        Run(Ranks(3, "-t 1 -s 8 --resume part.exr --film whole.exr -o whole.pfm"));
    ASSERT_EQ(resumed.status, 0) << resumed.output;
    EXPECT_EQ(Occurrences(resumed.output, "part.exr': 0 of 64 blocks complete"), 1u)
        << resumed.output;
    ASSERT_TRUE(ReadFilmFile(folder_ + "/whole.exr", film, error)) << error;
    EXPECT_EQ(testing::CheckBlockClaims(film, {8}), 64);
    EXPECT_EQ(film.header.seeds,
              (std::vector<uint32_t>{12345678, 12345679, 12345680, 12345681}));
    const double plain = MeanOf(testing::ReadPfm(folder_ + "/plain.pfm").rgb);
    EXPECT_NEAR(MeanOf(testing::ReadPfm(folder_ + "/whole.pfm").rgb), plain, 0.02 * plain);
    EXPECT_NE(Row("whole.pfm.txt").find("resumed"), std::string::npos);

    // A film the ranks may not go on from is refused once, by the rank that read it.
    const testing::CommandResult refused =
        Run(Ranks(2, "-t 1 --size 256x256 --resume whole.exr -o other.pfm"));
    EXPECT_NE(refused.status, 0) << refused.output;
    EXPECT_EQ(Occurrences(refused.output, "whole.exr': it differs in the film "
                                          "size (128x128, not 256x256)"),
              1u)
        << refused.output;
    EXPECT_FALSE(fs::exists(folder_ + "/other.pfm"));
}

TEST_F(ClusterRun, FailuresEndEveryRankWithOneMessageAndNothingWritten) {
    testing::WriteFile(folder_ + "/scene.xml", "<Glintor><Scene><Film/></Scene></Glintor>");
    const testing::CommandResult broken = Run(Ranks(2, "-o out.png"));
    EXPECT_NE(broken.status, 0);
    // One rank's report: the console line and the message box, never a second rank's.
    EXPECT_EQ(Occurrences(broken.output, "XML Parsing error"), 1u) << broken.output;
    EXPECT_NE(broken.output.find("ERROR: <Camera> node missing"), std::string::npos);

    const testing::CommandResult refused = Run(Ranks(2, "--spp 0"));
    EXPECT_NE(refused.status, 0);
    EXPECT_EQ(Occurrences(refused.output, "glintor-mpi: --spp needs a whole number"), 1u)
        << refused.output;
    EXPECT_EQ(Occurrences(refused.output, "Usage: glintor-mpi SceneFile.xml"), 1u);

    EXPECT_EQ(std::distance(fs::directory_iterator(folder_), fs::directory_iterator()), 1);
    EXPECT_EQ(Occurrences(broken.output + refused.output, "Saved"), 0u);
}

TEST_F(ClusterRun, RanksThatLoadedDifferentScenesStopBeforeRendering) {
    // Two copies of one scene folder, the second stale: it lacks the mesh.
    const std::string ply =
        "ply\nformat ascii 1.0\nelement vertex 3\nproperty float x\nproperty float y\n"
        "property float z\nelement face 1\nproperty list uchar int vertex_indices\n"
        "end_header\n-1 0 1\n1 0 1\n0 2 1\n3 0 1 2\n";
    std::string scene = testing::SmallSceneText("scene.png", 1, 2);
    scene.replace(scene.find("</Objects>"), 0,
                  "<Object Type=\"File\"><PlyFile>mesh.ply</PlyFile></Object>\n");
    for (const char* copy : {"/full", "/stale"}) {
        fs::create_directory(folder_ + copy);
        testing::WriteFile(folder_ + copy + "/scene.xml", scene);
    }
    testing::WriteFile(folder_ + "/full/mesh.ply", ply);
    std::string command = std::string(GLINTOR_MPIEXEC) + " --oversubscribe";
    if (getuid() == 0) {
        command += " --allow-run-as-root";
    }
    const std::string rank =
        std::string(" -np 1 ") + GLINTOR_MPI_EXECUTABLE + " -t 1 -o " + folder_ + "/out.pfm ";
    const testing::CommandResult run =
        Run(command + rank + "full/scene.xml :" + rank + "stale/scene.xml");
    EXPECT_NE(run.status, 0);
    // The stale rank's own complaint reaches the console, marked with its rank, then one message
    // names the ranks and what differs.
    EXPECT_NE(run.output.find("[rank 1] PLY: mesh.ply: cannot open the file: No such file or "
                              "directory\n[rank 1] XML Parsing error\n[rank 1] Unable to read PLY "
                              "mesh file 'mesh.ply'\nThe ranks"),
              std::string::npos)
        << run.output;
    EXPECT_EQ(Occurrences(run.output, "The ranks did not load the same scene"), 1u) << run.output;
    EXPECT_NE(run.output.find("rank 1 differs from rank 0: triangles 0 (rank 0: 1); file "
                              "'mesh.ply' missing (rank 0: "),
              std::string::npos)
        << run.output;
    EXPECT_EQ(run.output.find("Saved"), std::string::npos);
    EXPECT_EQ(run.output.find("Rendering"), std::string::npos);
    EXPECT_FALSE(fs::exists(folder_ + "/out.pfm"));
    EXPECT_FALSE(fs::exists(folder_ + "/out.pfm.txt"));
}

}  // namespace
}  // namespace glintor
