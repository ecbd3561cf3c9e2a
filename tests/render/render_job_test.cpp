#include "render/render_job.h"

#include <gtest/gtest.h>

#include <set>
#include <tuple>

namespace glintor {
namespace {

TEST(RenderJob, BlocksOf640By480) {
    RenderJob job;
    job.blockSize = 64;
    job.BuildBlocks(640, 480);
    ASSERT_EQ(job.blocks.size(), 80u);
    int topStrip = 0;
    uint64_t area = 0;
    for (const PixelBlock& b : job.blocks) {
        area += uint64_t(b.width) * b.height;
        if (b.y == 448) {
            EXPECT_EQ(b.height, 32u);
            EXPECT_EQ(b.width, 64u);
            ++topStrip;
        }
        EXPECT_NE(b.width, 0u);
    }
    EXPECT_EQ(topStrip, 10);
    EXPECT_EQ(area, 640u * 480u);
    // The list holds the blocks in reverse order of making: the last partial one comes first.
    EXPECT_EQ(job.blocks.front(), (PixelBlock{576, 448, 64, 32}));
    EXPECT_EQ(job.blocks.back(), (PixelBlock{0, 0, 64, 64}));
}

TEST(RenderJob, BlocksOf100By100) {
    RenderJob job;
    job.blockSize = 64;
    job.BuildBlocks(100, 100);
    const std::vector<PixelBlock> expected = {
        {64, 64, 36, 36}, {0, 64, 64, 36}, {64, 0, 36, 64}, {0, 0, 64, 64}};
    EXPECT_EQ(job.blocks, expected);
}

TEST(RenderJob, FirstDrawsAreFixedAndEveryBlockIsTakenOnce) {
    BlockDraw draw;
    // Hand-computed from the multiply-with-carry recurrences and the initial state.
    uint32_t z = 0x1f123bb5u, w = 0x159a55e5u;
    for (int i = 0; i < 5; ++i) {
        z = 36969u * (z & 0xFFFFu) + (z >> 16);
        w = 18000u * (w & 0xFFFFu) + (w >> 16);
        EXPECT_EQ(draw.NextIndex(80 - i), ((z << 16) + (w & 0xFFFFu)) % (80 - i));
    }
    EXPECT_EQ(BlockDraw().NextIndex(80), 58u);  // worked out independently in Python

    RenderJob job;
    job.blockSize = 64;
    job.BuildBlocks(640, 480);
    std::set<std::tuple<uint32_t, uint32_t>> seen;
    uint64_t rays = 7, samples = 3, dropped = 0;
    std::vector<PixelBlock> order;
    std::optional<PixelBlock> finished;
    while (auto block =
               job.HandOverAndTake(rays, samples, dropped, finished ? &*finished : nullptr)) {
        finished = block;
        EXPECT_TRUE(seen.insert({block->x, block->y}).second);
        order.push_back(*block);
    }
    EXPECT_EQ(seen.size(), 80u);
    EXPECT_EQ(job.BlocksDone(), 80u);
    EXPECT_EQ(job.rayTotal, 7u);
    EXPECT_EQ(job.sampleTotal, 3u);
    EXPECT_EQ(rays, 0u);
    // Not row by row: the draw scatters the blocks.
    EXPECT_NE(order.front(), (PixelBlock{576, 448, 64, 32}));
}

// The processes of a group split what a block lacks as evenly as whole samples allow, and their
// parts follow each other from the samples held to the total.
TEST(RenderJob, PartsOfTheMissingSamplesFollowEachOther) {
    // 10 over 4 ranks: 3, 3, 2, 2; with more ranks than samples the last ones render nothing.
    EXPECT_EQ(PartOfSamples(0, 10, 0, 4), (SamplePart{3, 0}));
    EXPECT_EQ(PartOfSamples(0, 10, 1, 4), (SamplePart{3, 3}));
    EXPECT_EQ(PartOfSamples(0, 10, 3, 4), (SamplePart{2, 8}));
    EXPECT_EQ(PartOfSamples(4, 7, 3, 4).count, 0u);
    EXPECT_EQ(PartOfSamples(9, 8, 0, 1).count, 0u);
    for (uint32_t size = 1; size <= 9; ++size) {
        for (uint32_t held = 0; held <= 12; held += 3) {
            for (uint32_t total = held; total <= 40; ++total) {
                uint32_t next = held;
                for (uint32_t rank = 0; rank < size; ++rank) {
                    const SamplePart part = PartOfSamples(held, total, rank, size);
                    EXPECT_EQ(part.first, next) << held << ".." << total << " rank " << rank;
                    EXPECT_LE(part.count - PartOfSamples(held, total, size - 1, size).count, 1u);
                    next += part.count;
                }
                EXPECT_EQ(next, total) << held << ".." << total << " over " << size;
            }
        }
    }
}

TEST(RenderClock, TotalsAddDeltas) {
    RenderClock clock;
    clock.Start();
    const double before = clock.total;
    clock.Tick();
    EXPECT_GE(clock.total, before);
    EXPECT_DOUBLE_EQ(clock.delta, clock.now - clock.last);
}

}  // namespace
}  // namespace glintor
