#include "app/render_startup.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

#include "app/command_line.h"
#include "app/display_probe.h"
#include "app/film_files.h"
#include "app/headless_run.h"
#include "app/preview_window.h"
#include "app/render_group.h"
#include "app/render_session.h"
#include "platform/platform.h"
#include "platform/stop_signals.h"
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

// A film to go on from, the seed of this run's streams, and the sequences low-noise sampling
// walks: a resumed render keeps its film's first sequences and goes on in each pixel's where the
// film stopped (a block's samples start at those it holds), so that it adds the points an
// uninterrupted render would have taken, while its generator streams are fresh.
struct Resumption {
    FilmFileContents film;
    uint32_t seed = RandomGenerator::DefaultSeed;
    uint32_t sequenceSeed = RandomGenerator::DefaultSeed;
};

// Reads the film to resume from and checks it against this run: same version, scene, options,
// size and block size; no more samples than asked for (the scene's samples are set to the film's
// when -s is not given); a seed of its own. Answers the refusal, or empty.
std::string PrepareResume(const CommandLine& options, const FilmFileHeader& expected, int groupSize,
                          Scene& scene, Resumption& resumption) {
    const std::string intro = "Cannot resume from '" + options.resume + "': ";
    std::string error;
    FilmFileContents& film = resumption.film;
    if (!ReadFilmFile(options.resume, film, error)) {
        return intro + error;
    }
    const std::string mismatch = FilmMismatch(film.header, expected);
    if (!mismatch.empty()) {
        return intro + "it differs in " + mismatch;
    }
    const uint32_t held =
        *std::max_element(film.header.blockSamples.begin(), film.header.blockSamples.end());
    if (!options.samples) {
        scene.settings.samples = film.header.samplesPerPixel;
    }
    if (held > static_cast<uint32_t>(scene.settings.samples)) {
        return intro + "it holds " + std::to_string(held) + " samples per pixel, more than the " +
               std::to_string(scene.settings.samples) + " asked for";
    }
    const std::vector<uint32_t>& used = film.header.seeds;
    resumption.sequenceSeed = used.front();
    resumption.seed =
        options.seed ? *options.seed : *std::max_element(used.begin(), used.end()) + 1u;
    for (int rank = 0; rank < groupSize; ++rank) {
        const uint32_t seed = resumption.seed + static_cast<uint32_t>(rank);
        if (std::find(used.begin(), used.end(), seed) != used.end()) {
            return intro + "seed " + std::to_string(seed) +
                   " was used for it already; choose another --seed";
        }
    }
    return "";
}

// Rank 0 alone reads the film to resume from: this hands its verdict, and what the other ranks
// need of the film (samples per pixel, seeds, and each block's samples), to every rank. Answers
// whether the film was taken.
bool ShareResumption(RenderGroupBase& group, bool taken, Scene& scene, Resumption& resumption) {
    FilmFileHeader& header = resumption.film.header;
    std::vector<uint32_t> values;
    if (group.Rank() == 0) {
        values = {taken ? 1u : 0u, static_cast<uint32_t>(scene.settings.samples), resumption.seed,
                  resumption.sequenceSeed, static_cast<uint32_t>(header.seeds.size())};
        values.insert(values.end(), header.seeds.begin(), header.seeds.end());
        values.insert(values.end(), header.blockSamples.begin(), header.blockSamples.end());
    }
    group.ShareFromFirst(values);
    if (values[0] == 0) {
        return false;
    }
    if (group.Rank() != 0) {
        scene.settings.samples = static_cast<int>(values[1]);
        resumption.seed = values[2];
        resumption.sequenceSeed = values[3];
        const auto seeds = values.begin() + 5;
        header.seeds.assign(seeds, seeds + values[4]);
        header.blockSamples.assign(seeds + values[4], values.end());
    }
    return true;
}

}  // namespace

int RenderThreadCount(int requested, int cores) {
    return requested >= 1 && requested < cores ? requested : cores;
}

int StartRendering(Scene& scene, const CommandLine& options, const std::string& title,
                   const std::string& sceneHash, RenderGroupBase& group, int& argc, char** argv) {
    FilmFileHeader filmHeader;
    filmHeader.version = FilmVersion();
    filmHeader.sceneHash = sceneHash;
    filmHeader.options = PictureOptions(scene);
    filmHeader.width = scene.width;
    filmHeader.height = scene.height;
    filmHeader.blockSize = scene.settings.pixelBlockSize;
    Resumption resumption;
    resumption.seed = options.seed.value_or(RandomGenerator::DefaultSeed);
    resumption.sequenceSeed = resumption.seed;
    if (!options.resume.empty()) {
        std::string refusal;
        if (group.Rank() == 0) {
            refusal = PrepareResume(options, filmHeader, group.Size(), scene, resumption);
        }
        if (!ShareResumption(group, refusal.empty(), scene, resumption)) {
            if (!refusal.empty()) {
                std::fprintf(stderr, "%s\n", refusal.c_str());
            }
            return 2;
        }
        filmHeader.seeds = resumption.film.header.seeds;
    }
    filmHeader.samplesPerPixel = scene.settings.samples;
    for (int rank = 0; rank < group.Size(); ++rank) {
        filmHeader.seeds.push_back(resumption.seed + static_cast<uint32_t>(rank));
    }

    Film film(scene.width, scene.height);
    if (!options.film.empty() || options.passes) {
        film.EnablePasses();
    }
    if (group.Rank() == 0) {
        RestoreFilm(film, resumption.film);
    }
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
    session.filmPath = options.film;
    session.filmHeader = filmHeader;
    session.checkpointSeconds = options.checkpointSeconds.value_or(0);
    session.passesInOutputs = options.passes;
    session.resumed = !options.resume.empty();
    session.startFilm = session.resumed && group.Rank() == 0 ? &resumption.film : nullptr;
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

    // Each process of a group renders its part of every pixel's missing samples from a stream of
    // its own; a part of nothing leaves its film empty.
    job.groupRank = static_cast<uint32_t>(group.Rank());
    job.groupSize = static_cast<uint32_t>(group.Size());
    const uint32_t largestPart =
        PartOfSamples(0, static_cast<uint32_t>(session.samplesPerPixel), job.groupRank,
                      job.groupSize)
            .count;
    const int running = largestPart > 0 ? threads : 0;
    // Ranks draw from streams of their own but walk one set of sequences, each its own part.
    job.seed = resumption.seed + job.groupRank;
    job.sampling = options.sampling.value_or(SamplingMode::Design);
    job.sequenceSeed = resumption.sequenceSeed;
    job.scene = &scene;
    job.film = &film;
    job.activeThreads = running;
    job.blockSize = scene.settings.pixelBlockSize;
    job.BuildBlocks(static_cast<uint32_t>(film.width), static_cast<uint32_t>(film.height));
    if (session.resumed) {
        job.SkipDone(resumption.film.header.blockSamples);
        if (group.Rank() == 0) {
            std::printf("Resuming '%s': %u of %u blocks complete\n", options.resume.c_str(),
                        job.blocksDone, job.blockCount);
        }
    }
    if (!windowed) {
        // A batch scheduler's stop signal ends the render cleanly; the window keeps Esc.
        CatchStopSignals();
        group.StopSignalsCaught();
    }

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
