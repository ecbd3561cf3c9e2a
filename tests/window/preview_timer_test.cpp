// The preview's timer inside this process: a scene built in code renders on every core while the
// window's 250 ms timer and its redraws are timed through the preview's observer hook.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <link.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <numeric>
#include <vector>

#include "app/preview_window.h"
#include "app/render_session.h"
#include "platform/platform.h"
#include "render/film.h"
#include "render/render_job.h"
#include "render/render_thread.h"
#include "tests/support/scene_builder.h"
#include "tests/support/test_paths.h"
#include "tests/window/xvfb_server.h"

// Leaving the window library's loop closes its display, and Mesa's GL driver does not free all of
// its screen on the way (the program itself never leaves the loop). The driver is kept loaded, so
// that the leak checker can name it, and its leaks alone are suppressed.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:_dri.so\nleak:libgallium\n";
}

namespace glintor {
namespace {

using Clock = std::chrono::steady_clock;

// Enough rendering timer calls for a steady figure; the render is cut short after them.
constexpr size_t TicksToMeasure = 16;

std::unique_ptr<Scene> BusyScene() {
    auto scene =
        testing::MakeScene(128, 128, Vector3(0.0f, -6.0f, 1.5f), Vector3(0.0f, 0.0f, 1.0f));
    scene->settings.samples = 4096;  // far longer than the measurement; the rest is dropped
    scene->settings.maxDepth = 4;
    scene->settings.pixelBlockSize = 16;
    scene->settings.savedImage = testing::ScratchFolder("timer-image") + "/out.png";
    const int grey = testing::AddMatte(*scene, Vector3(0.6f, 0.6f, 0.6f));
    const int red = testing::AddMatte(*scene, Vector3(0.8f, 0.2f, 0.2f));
    testing::AddPlane(*scene, Vector3(0.0f, 0.0f, 1.0f), 0.0f, grey);
    testing::AddPlane(*scene, Vector3(0.0f, -1.0f, 0.0f), -4.0f, grey);
    testing::AddSphere(*scene, Vector3(-1.0f, 0.0f, 1.0f), 1.0f, red);
    testing::AddSphere(*scene, Vector3(1.2f, 0.5f, 0.8f), 0.8f, grey);
    testing::AddPointLight(*scene, Vector3(0.0f, -3.0f, 5.0f), Vector3(30.0f, 30.0f, 30.0f));
    return scene;
}

int32_t ActiveThreads(RenderJob& job) {
    pthread_mutex_lock(&job.lock);
    const int32_t active = job.activeThreads;
    pthread_mutex_unlock(&job.lock);
    return active;
}

// Makes every library loaded so far resident, the GL driver among them.
void KeepLibrariesLoaded() {
    dl_iterate_phdr(
        [](dl_phdr_info* info, size_t, void*) {
            if (info->dlpi_name != nullptr && info->dlpi_name[0] != '\0') {
                dlopen(info->dlpi_name, RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
            }
            return 0;
        },
        nullptr);
}

struct Intervals {
    double mean = 0.0;
    double max = 0.0;
    double min = 0.0;
};

// Milliseconds between consecutive moments.
Intervals Measure(const std::vector<Clock::time_point>& moments) {
    std::vector<double> gaps;
    for (size_t i = 1; i < moments.size(); ++i) {
        gaps.push_back(
            std::chrono::duration<double, std::milli>(moments[i] - moments[i - 1]).count());
    }
    Intervals result;
    if (!gaps.empty()) {
        result.mean = std::accumulate(gaps.begin(), gaps.end(), 0.0) / gaps.size();
        result.max = *std::max_element(gaps.begin(), gaps.end());
        result.min = *std::min_element(gaps.begin(), gaps.end());
    }
    return result;
}

TEST(PreviewTimer, KeepsItsRhythmWhileEveryCoreRenders) {
    testing::XvfbServer server;
    if (!server.Start(1280, 1024, testing::ScratchFolder("timer") + "/xvfb.log")) {
        GTEST_SKIP() << "No X server for the window test: " << server.Problem();
    }

    std::unique_ptr<Scene> scene = BusyScene();
    Film film(scene->width, scene->height);
    RenderJob& job = RenderJob::Instance();
    RenderSession session;
    session.scene = scene.get();
    session.film = &film;
    session.job = &job;
    session.title = "Glintor timer test";
    session.ResetTone();

    std::vector<Clock::time_point> ticks, frames;
    bool renderEnded = false;
    // Only calls made while the threads render count: that is when the window competes for the
    // processors. After enough of them the blocks still waiting are dropped and the loop is left.
    SetPreviewObserver(PreviewObserver{[&] {
                                           if (ActiveThreads(job) == 0) {
                                               renderEnded = true;
                                               LeavePreviewLoop();
                                               return;
                                           }
                                           ticks.push_back(Clock::now());
                                           if (ticks.size() > TicksToMeasure) {
                                               pthread_mutex_lock(&job.lock);
                                               job.blocks.clear();
                                               pthread_mutex_unlock(&job.lock);
                                               LeavePreviewLoop();
                                           }
                                       },
                                       [&] {
                                           if (!renderEnded && ActiveThreads(job) > 0) {
                                               frames.push_back(Clock::now());
                                           }
                                       }});

    int argc = 1;
    char name[] = "tests_window";
    char* argv[] = {name, nullptr};
    OpenPreviewWindow(session, argc, argv);
    KeepLibrariesLoaded();

    const int threads = ProcessorCount();
    scene->settings.threads = threads;
    session.threadCount = threads;
    job.scene = scene.get();
    job.film = &film;
    job.activeThreads = threads;
    job.blockSize = scene->settings.pixelBlockSize;
    job.BuildBlocks(static_cast<uint32_t>(film.width), static_cast<uint32_t>(film.height));
    std::vector<std::unique_ptr<CRenderThread>> renderThreads;
    for (int i = 0; i < threads; ++i) {
        renderThreads.push_back(std::make_unique<CRenderThread>());
        renderThreads.back()->Start(&job);
    }
    RunPreviewLoop();
    CRenderThread::JoinAll(renderThreads);
    SetPreviewObserver(PreviewObserver{});

    ASSERT_FALSE(renderEnded) << "the render ended before " << TicksToMeasure
                              << " timer calls; make the scene slower";
    const Intervals timer = Measure(ticks);
    const Intervals redraw = Measure(frames);
    std::printf(
        "Preview timer with %d render threads: %zu intervals, mean %.1f ms, min %.1f ms, "
        "max %.1f ms\n",
        threads, ticks.size() - 1, timer.mean, timer.min, timer.max);
    std::printf("Preview redraws: %zu intervals, mean %.1f ms, min %.1f ms, max %.1f ms\n",
                frames.size() - 1, redraw.mean, redraw.min, redraw.max);
    // The timer re-arms itself at the end of each call, so each interval is 250 ms plus the
    // call's own work and the wait for a processor; a window starved by the render threads
    // would show far longer gaps.
    EXPECT_GE(timer.mean, 245.0);
    EXPECT_LE(timer.mean, 375.0);
    EXPECT_LE(timer.max, 1000.0);
    EXPECT_GE(frames.size(), TicksToMeasure - 1);
    EXPECT_LE(redraw.max, 1000.0);
}

}  // namespace
}  // namespace glintor
