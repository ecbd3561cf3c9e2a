#include "app/load_fingerprint.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "render/scene.h"
#include "tests/support/test_paths.h"

namespace glintor {
namespace {

TEST(LoadFingerprint, NamesEachRankAndEverythingThatDiffers) {
    Scene scene;
    scene.width = 320;
    scene.height = 240;
    scene.meshTriangleCount = 12;
    const std::string folder = testing::ScratchFolder("load_fingerprint");
    scene.sourceFiles = {testing::WriteFile(folder + "/a.xml", "a"), folder + "/gone.ply"};
    const std::string full = LoadFingerprint(scene);
    // FNV-1a of the single byte 'a'.
    EXPECT_NE(full.find("\tsamples 32, shadow rays 1, depth 6,"), std::string::npos) << full;
    EXPECT_NE(full.find("file '" + folder + "/a.xml'\taf63dc4c8601ec8c\n"), std::string::npos)
        << full;
    EXPECT_NE(full.find("file '" + folder + "/gone.ply'\tmissing\n"), std::string::npos);

    scene.width = 640;
    scene.settings.maxDepth = 7;
    scene.settings.threads = 5;  // machines may differ in cores: not a difference
    scene.sourceFiles.pop_back();
    const std::string other = LoadFingerprint(scene);
    EXPECT_EQ(FingerprintDifferences({full, full, full}), "");
    EXPECT_EQ(FingerprintDifferences({full, full, other}),
              "rank 2 differs from rank 0: film 640x240 (rank 0: 320x240); settings samples 32, "
              "shadow rays 1, depth 7, roulette 3 0.25, filter 1 1, block 64 (rank 0: samples 32, "
              "shadow rays 1, depth 6, roulette 3 0.25, filter 1 1, block 64); file '" +
                  folder + "/gone.ply' not read (rank 0: missing)\n");
    EXPECT_EQ(FingerprintDifferences({other, full}),
              "rank 1 differs from rank 0: film 320x240 (rank 0: 640x240); settings samples 32, "
              "shadow rays 1, depth 6, roulette 3 0.25, filter 1 1, block 64 (rank 0: samples 32, "
              "shadow rays 1, depth 7, roulette 3 0.25, filter 1 1, block 64); file '" +
                  folder + "/gone.ply' missing (rank 0: not read)\n");
}

}  // namespace
}  // namespace glintor
