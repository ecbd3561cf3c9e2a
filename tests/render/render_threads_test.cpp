#include "render/render_thread.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <thread>

#include "app/image_output.h"
#include "render/film.h"
#include "render/render_job.h"
#include "tests/support/scene_builder.h"
#include "tests/support/test_paths.h"

namespace glintor {
namespace {

std::unique_ptr<Scene> SmallScene() {
    auto scene = testing::MakeScene(128, 128, Vector3(0, 3, -6), Vector3(0, 1, 0));
    scene->cameraUp = Vector3(0, 1, 0);
    scene->settings.samples = 8;
    scene->settings.maxDepth = 4;
    scene->settings.pixelBlockSize = 16;
    const int grey = testing::AddMatte(*scene, Vector3(0.7f, 0.7f, 0.7f));
    const int red = testing::AddMatte(*scene, Vector3(0.8f, 0.2f, 0.1f));
    testing::AddPlane(*scene, Vector3(0, 1, 0), 0.0f, grey);
    testing::AddSphere(*scene, Vector3(0, 1, 0), 1.0f, red);
    testing::AddPointLight(*scene, Vector3(2, 5, -3), Vector3(20, 20, 20));
    return scene;
}

struct RenderResult {
    std::vector<float> means;
    uint64_t rays = 0;
    uint64_t samples = 0;
    std::string png;
};

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

RenderResult Render(Scene& scene, int threads, const std::string& pngPath) {
    Film film(scene.width, scene.height);
    RenderJob job;
    job.scene = &scene;
    job.film = &film;
    job.blockSize = scene.settings.pixelBlockSize;
    job.activeThreads = threads;
    job.BuildBlocks(film.width, film.height);
    std::vector<std::unique_ptr<CRenderThread>> workers;
    for (int i = 0; i < threads; ++i) {
        workers.push_back(std::make_unique<CRenderThread>());
        workers.back()->Start(&job);
    }
    CRenderThread::JoinAll(workers);
    EXPECT_EQ(job.activeThreads, 0);
    EXPECT_TRUE(job.blocks.empty());
    EXPECT_EQ(job.BlocksDone(), job.blockCount);

    RenderResult result;
    for (int i = 0; i < film.pixelCount; ++i) {
        const float* p = film.accumulation + i * 4;
        for (int c = 0; c < 3; ++c) {
            result.means.push_back(p[c] / p[3]);
        }
    }
    result.rays = job.rayTotal;
    result.samples = job.sampleTotal;
    EXPECT_EQ(SaveImage(film, pngPath, 2.2f, 1.0f), 0);
    result.png = ReadAll(pngPath);
    return result;
}

TEST(RenderThreads, OneThreadRendersByteIdenticalImagesTwice) {
    auto scene = SmallScene();
    const std::string folder = testing::ScratchFolder("render_threads_one");
    const RenderResult first = Render(*scene, 1, folder + "/a.png");
    const RenderResult second = Render(*scene, 1, folder + "/b.png");
    ASSERT_FALSE(first.png.empty());
    EXPECT_EQ(first.png, second.png);
    // Every camera sample of every pixel is counted once the threads are done.
    EXPECT_EQ(first.samples, 128u * 128u * 8u);
    EXPECT_EQ(first.rays, second.rays);
}

TEST(RenderThreads, TwoThreadsAgreeWithOneWithinNoise) {
    auto scene = SmallScene();
    scene->settings.samples = 64;
    const std::string folder = testing::ScratchFolder("render_threads_two");
    const RenderResult one = Render(*scene, 1, folder + "/one.png");
    const RenderResult two = Render(*scene, 2, folder + "/two.png");
    ASSERT_EQ(one.means.size(), two.means.size());
    // With two threads the blocks get other random numbers, so the images differ only by
    // sampling noise. Compared over 8x8-pixel tiles, that noise is far below 1% of the signal;
    // a block rendered twice, lost or misplaced would show as several percent.
    constexpr int Size = 128, Tile = 8;
    double difference = 0.0, level = 0.0;
    for (int ty = 0; ty < Size; ty += Tile) {
        for (int tx = 0; tx < Size; tx += Tile) {
            for (int c = 0; c < 3; ++c) {
                double a = 0.0, b = 0.0;
                for (int y = ty; y < ty + Tile; ++y) {
                    for (int x = tx; x < tx + Tile; ++x) {
                        a += one.means[(y * Size + x) * 3 + c];
                        b += two.means[(y * Size + x) * 3 + c];
                    }
                }
                difference += std::fabs(a - b);
                level += a;
            }
        }
    }
    ASSERT_GT(level, 0.0);
    std::printf("relative tile difference between 1 and 2 threads: %.5f\n", difference / level);
    EXPECT_LT(difference / level, 0.01);
    EXPECT_EQ(two.samples, one.samples);
}

}  // namespace
}  // namespace glintor

namespace glintor {
namespace {

// Two render threads working through the scene's blocks of 16 pixels into the film.
std::vector<std::unique_ptr<CRenderThread>> StartTwoThreads(RenderJob& job, Scene& scene,
                                                            Film& film) {
    job.scene = &scene;
    job.film = &film;
    job.blockSize = 16;
    job.activeThreads = 2;
    job.BuildBlocks(film.width, film.height);
    std::vector<std::unique_ptr<CRenderThread>> workers;
    for (int i = 0; i < 2; ++i) {
        workers.push_back(std::make_unique<CRenderThread>());
        workers.back()->Start(&job);
    }
    return workers;
}

// The preview saves and logs as soon as it sees no active thread: by then every thread must have
// handed over the counters of its last block.
TEST(RenderThreads, TotalsAreCompleteWhenTheLastThreadCountsItselfOut) {
    auto scene = SmallScene();
    scene->settings.samples = 2;
    Film film(scene->width, scene->height);
    RenderJob job;
    std::vector<std::unique_ptr<CRenderThread>> workers = StartTwoThreads(job, *scene, film);
    uint64_t samplesSeen = 0;
    for (;;) {
        pthread_mutex_lock(&job.lock);
        const int32_t active = job.activeThreads;
        samplesSeen = job.sampleTotal;
        pthread_mutex_unlock(&job.lock);
        if (active == 0) {
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    EXPECT_EQ(samplesSeen, 128u * 128u * 2u);
    EXPECT_EQ(job.BlocksDone(), job.blockCount);
    CRenderThread::JoinAll(workers);
}

// A thread that ends at once must still start cleanly: lowering the priority from outside after
// pthread_create raced such threads and ended the process with "Error at pthread_getschedparam".
TEST(RenderThreads, ThreadsThatEndAtOnceStartWithTheLowestPriority) {
    struct Probe : CThread {
        int priority = -1;
        int lowest = -2;
        void Run(void*) override {
            int policy = 0;
            sched_param parameters{};
            pthread_getschedparam(pthread_self(), &policy, &parameters);
            priority = parameters.sched_priority;
            lowest = sched_get_priority_min(policy);
        }
    };
    for (int i = 0; i < 3000; ++i) {
        Probe probe;
        probe.Start(nullptr);
        probe.Join();
        ASSERT_EQ(probe.priority, probe.lowest) << "start " << i;
    }
}

}  // namespace
}  // namespace glintor

namespace glintor {
namespace {

// Weight of every pixel equals its block's entry in blockSamples: the film holds whole blocks.
void ExpectWholeBlocks(const std::vector<float>& accumulation, const std::vector<uint32_t>& done,
                       const RenderJob& job, int width) {
    for (size_t i = 0; i < accumulation.size() / 4; ++i) {
        const PixelBlock pixel{static_cast<uint32_t>(i % width), static_cast<uint32_t>(i / width)};
        ASSERT_EQ(accumulation[i * 4 + 3], static_cast<float>(done[job.BlockIndex(pixel)])) << i;
    }
}

// Checkpoints copy the film while threads render, and a stop ends the render early: neither may
// ever see part of a block. A resume then renders only the samples each block lacks.
TEST(RenderThreads, SnapshotsAndStopsHoldWholeBlocksAndAResumeAddsTheMissingSamples) {
    auto scene = SmallScene();
    scene->settings.samples = 4;
    Film film(scene->width, scene->height);
    film.EnablePasses();
    RenderJob job;
    std::vector<std::unique_ptr<CRenderThread>> workers = StartTwoThreads(job, *scene, film);
    const size_t values = static_cast<size_t>(film.pixelCount) * 4;
    for (int snapshot = 0; snapshot < 3; ++snapshot) {
        std::vector<float> copy;
        std::vector<uint32_t> done;
        job.WithWholeBlocks([&] {
            copy.assign(film.accumulation, film.accumulation + values);
            done = job.PictureSamples(job.partsDone);
        });
        ExpectWholeBlocks(copy, done, job, film.width);
    }
    job.stopRequested = true;
    CRenderThread::JoinAll(workers);
    std::vector<uint32_t> done = job.PictureSamples(job.PartsDone());
    ExpectWholeBlocks({film.accumulation, film.accumulation + values}, done, job, film.width);
    EXPECT_EQ(job.BlocksDone(), static_cast<uint32_t>(std::count(done.begin(), done.end(), 4u)));

    // Going on with 6 samples: every block gets what it lacks, drawn from new offsets.
    scene->settings.samples = 6;
    RenderJob more;
    more.scene = scene.get();
    more.film = &film;
    more.blockSize = 16;
    more.activeThreads = 1;
    more.BuildBlocks(film.width, film.height);
    more.SkipDone(done);
    CRenderThread worker;
    worker.Start(&more);
    worker.Join();
    const std::vector<uint32_t> all = more.PictureSamples(more.PartsDone());
    EXPECT_EQ(all, std::vector<uint32_t>(more.blockCount, 6u));
    ExpectWholeBlocks({film.accumulation, film.accumulation + values}, all, more, film.width);
    // Every sample added its pass values: at the bottom corners the grey plane, straight up,
    // farther at the top of the picture than at the bottom.
    const auto passes = [&film](int y) {
        return film.passes + (static_cast<size_t>(film.width) * y + 2) * Film::PassCount;
    };
    for (int y : {2, 125}) {
        EXPECT_NEAR(passes(y)[0] / 6.0f, 0.7f, 1e-5f);
        EXPECT_EQ(passes(y)[3], 0.0f);
        EXPECT_EQ(passes(y)[4], 6.0f);
        EXPECT_EQ(passes(y)[7], 6.0f);
    }
    EXPECT_GT(passes(125)[6], 2.0f * passes(2)[6]);
}

}  // namespace
}  // namespace glintor
