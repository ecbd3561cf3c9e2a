#include "app/render_startup.h"

#include <cstdio>
#include <memory>
#include <vector>

#include "app/command_line.h"
#include "app/display_probe.h"
#include "app/headless_run.h"
#include "app/preview_window.h"
#include "app/render_group.h"
#include "app/render_session.h"
#include "platform/platform.h"
#include "render/film.h"
#include "render/render_job.h"
#include "render/render_thread.h"
#include "render/scene.h"

namespace glintor {

namespace {

void PrintHelp() {
    std::printf("%s\n", "\nRender started\n");
    std::printf("%s\n", "Esc - Cancel rendering and close Glintor");
    std::printf("%s\n",
                "R   - Reset tone mapping to either default settings or setting within the XML");
    std::printf("%s\n", "S   - Resave image. Useful if image's tone mapping has been adjusted");
    std::printf("%s\n", "+   - Increase gamma by 0.1");
    std::printf("%s\n", "-   - Decrease gamma by 0.1");
    std::printf("%s\n", "]   - Increase scale for linear tone mapping by 0.05");
    std::printf("%s\n", "[   - Decrease scale for linear tone mapping by 0.05\n");
    std::fflush(stdout);
}

}  // namespace

int RenderThreadCount(int requested, int cores) {
    return requested >= 1 && requested < cores ? requested : cores;
}

int StartRendering(Scene& scene, const CommandLine& options, const std::string& title,
                   RenderGroupBase& group, int& argc, char** argv) {
    Film film(scene.width, scene.height);
    RenderJob& job = RenderJob::Instance();
    RenderSession session;
    session.scene = &scene;
    session.film = &film;
    session.job = &job;
    session.title = title;
    session.group = &group;
    session.quiet = options.quiet || group.Rank() != 0;
    session.samplesPerPixel = scene.settings.samples;
    for (const std::string& name : options.outputs) {
        session.outputs.push_back({name, FormatOfName(name)});
    }
    session.ResetTone();

    const bool windowed = group.WindowAllowed() && !options.noWindow && DisplayAvailable();
    if (windowed) {
        OpenPreviewWindow(session, argc, argv);
    }

    const int cores = ProcessorCount();
    const int threads = RenderThreadCount(scene.settings.threads, cores);
    if (threads != scene.settings.threads) {
        scene.settings.threads = threads;  // the statistics log reports what actually ran
    }
    session.threadCount = threads;
    if (group.Rank() == 0) {
        std::printf("Total Cores = %d\n", cores);
        std::printf("Rendering Threads = %d\n", threads);
        std::fflush(stdout);
    }

    // Each process of a group renders its share of every pixel's samples from a stream of its
    // own; a share of nothing leaves its film empty.
    scene.settings.samples = group.SampleShare(session.samplesPerPixel);
    const int running = scene.settings.samples > 0 ? threads : 0;
    // Ranks draw from streams of their own but walk one set of sequences, each its own part.
    const uint32_t seed = options.seed.value_or(RandomGenerator::DefaultSeed);
    job.seed = seed + static_cast<uint32_t>(group.Rank());
    job.sampling = options.sampling.value_or(SamplingMode::Design);
    job.sequenceSeed = seed;
    job.firstSample = static_cast<uint32_t>(group.FirstSample(session.samplesPerPixel));
    job.scene = &scene;
    job.film = &film;
    job.activeThreads = running;
    job.blockSize = scene.settings.pixelBlockSize;
    job.BuildBlocks(static_cast<uint32_t>(film.width), static_cast<uint32_t>(film.height));

    std::vector<std::unique_ptr<CRenderThread>> renderThreads;
    renderThreads.reserve(static_cast<size_t>(running));
    for (int i = 0; i < running; ++i) {
        renderThreads.push_back(std::make_unique<CRenderThread>());
        renderThreads.back()->Start(&job);
    }
    if (group.Rank() == 0) {
        PrintHelp();
    }

    if (!windowed) {
        const int status = RunHeadless(session);
        CRenderThread::JoinAll(renderThreads);
        return status;
    }
    RunPreviewLoop();
    // The loop returned: the film and scene go away with this frame, so the threads must be done.
    CRenderThread::JoinAll(renderThreads);
    return session.exitStatus;
}

}  // namespace glintor
