#include "app/whole_blocks.h"

#include <gtest/gtest.h>

#include <vector>

#include "app/render_group.h"
#include "formats/film_file.h"
#include "render/film.h"
#include "render/render_job.h"
#include "tests/support/scene_builder.h"

namespace glintor {
namespace {

// A rank of a group whose other ranks have not rendered the last block.
class RankOfGroup : public SingleProcess {
public:
    explicit RankOfGroup(int rank) : rank_(rank) {}
    int Rank() const override { return rank_; }
    int Size() const override { return 2; }
    void AgreeOnBlocks(std::vector<uint8_t>& flags) override { flags.back() = 0; }

private:
    int rank_;
};

// A 32 x 24 picture of four blocks (the top two 8 rows high) resumed from a film holding 2 of 4
// samples in each: where another rank has not rendered its part, rank 0 puts the film's values
// back and the other ranks nothing, and the block claims only the film's samples.
TEST(WholeBlocks, ABlockSomeRankLacksIsPutBackAsTheRunFoundIt) {
    auto scene = testing::MakeScene(32, 24, Vector3(0, 0, -1), Vector3());
    scene->settings.samples = 4;
    RenderJob job;
    job.scene = scene.get();
    job.blockSize = 16;
    job.BuildBlocks(32, 24);
    job.SkipDone({2, 2, 2, 2});
    const std::size_t pixels = 32 * 24;
    FilmFileContents start;
    start.radiance.assign(pixels * 4, 1.0f);
    start.passes.assign(pixels * Film::PassCount, 2.0f);
    for (int rank : {0, 1}) {
        std::vector<float> radiance(pixels * 4, 7.0f), passes(pixels * Film::PassCount, 9.0f);
        RankOfGroup group(rank);
        const std::vector<uint32_t> claims = KeepBlocksEveryRankRendered(
            group, job, {1, 1, 1, 1}, {radiance.data(), passes.data()}, &start);
        EXPECT_EQ(claims, (std::vector<uint32_t>{4, 4, 4, 2}));
        const float back = rank == 0 ? 1.0f : 0.0f, backPasses = rank == 0 ? 2.0f : 0.0f;
        for (std::size_t i = 0; i < pixels; ++i) {
            const bool last = i % 32 >= 16 && i / 32 >= 16;
            ASSERT_EQ(radiance[i * 4 + 3], last ? back : 7.0f) << rank << " " << i;
            ASSERT_EQ(passes[i * Film::PassCount + 7], last ? backPasses : 9.0f) << i;
        }
    }
}

}  // namespace
}  // namespace glintor
