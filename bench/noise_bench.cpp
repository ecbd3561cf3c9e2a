// Noise per second of the two sampling modes. For each scene it renders the picture in each mode
// with several seeds (alternating the modes, so that a drift in machine speed touches both), takes
// each pixel's variance across the seeds and the mean render time (processor seconds, so that other
// programs on a shared machine do not count), and prints
//
//   efficiency <scene> <design variance x seconds / low-noise variance x seconds>
//
// together with the samples per second of each mode and their ratio, low-noise over design, from
// the mean times and from the fastest renders. An efficiency above 1 means that low-noise reaches
// a given noise level in less time. One render thread; pin the process to one core (taskset -c 0)
// for steady times.
//
//   noise_bench [--seeds K] [--seconds S] [--scale F] scene.xml...
// The sample count per pixel is chosen so that one design render takes about S seconds (default
// 2); the film is scaled by F (default 0.5) to keep that count meaningful; K defaults to 6.
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "render/film.h"
#include "render/render_job.h"
#include "render/render_thread.h"
#include "render/scene.h"
#include "scene/scene_loader.h"

namespace {

using namespace glintor;

struct Rendered {
    double seconds = 0.0;
    uint64_t samples = 0;
    std::vector<double> mean;  // r, g, b per pixel
};

// The processor time of the whole process, which is the render thread's while the main thread
// waits for it: time spent on other programs of a shared machine does not count.
double CpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + 1e-9 * static_cast<double>(now.tv_nsec);
}

Rendered Render(Scene& scene, SamplingMode mode, uint32_t seed) {
    Film film(scene.width, scene.height);
    RenderJob job;
    job.scene = &scene;
    job.film = &film;
    job.blockSize = scene.settings.pixelBlockSize;
    job.activeThreads = 1;
    job.seed = seed;
    job.sequenceSeed = seed;
    job.sampling = mode;
    job.BuildBlocks(film.width, film.height);
    const double start = CpuSeconds();
    std::vector<std::unique_ptr<CRenderThread>> workers;
    workers.push_back(std::make_unique<CRenderThread>());
    workers.back()->Start(&job);
    CRenderThread::JoinAll(workers);
    Rendered r{CpuSeconds() - start, job.sampleTotal, {}};
    const size_t pixels = static_cast<size_t>(film.width) * film.height;
    r.mean.resize(pixels * 3);
    for (size_t i = 0; i < pixels; ++i) {
        const float* p = film.accumulation + 4 * i;
        for (int c = 0; c < 3; ++c) {
            r.mean[3 * i + c] = p[3] > 0.0f ? p[c] / p[3] : 0.0;
        }
    }
    return r;
}

// Mean over pixels and channels of the variance across renders (unbiased, per pixel).
double MeanVariance(const std::vector<Rendered>& renders) {
    const size_t values = renders.front().mean.size();
    const double n = static_cast<double>(renders.size());
    double total = 0.0;
    for (size_t i = 0; i < values; ++i) {
        double sum = 0.0, sumSquares = 0.0;
        for (const Rendered& r : renders) {
            sum += r.mean[i];
            sumSquares += r.mean[i] * r.mean[i];
        }
        total += std::max(0.0, (sumSquares - sum * sum / n) / (n - 1.0));
    }
    return total / static_cast<double>(values);
}

// Other work on a shared machine (caches, memory, the other core) only ever slows a render down,
// so the fastest of each mode's renders gives the steadiest ratio of their speeds.
double FastestSeconds(const std::vector<Rendered>& renders) {
    double fastest = renders.front().seconds;
    for (const Rendered& r : renders) {
        fastest = std::min(fastest, r.seconds);
    }
    return fastest;
}

double MeanSeconds(const std::vector<Rendered>& renders) {
    double total = 0.0;
    for (const Rendered& r : renders) {
        total += r.seconds;
    }
    return total / static_cast<double>(renders.size());
}

bool LoadFrom(const std::string& path, Scene& scene) {
    const std::string::size_type slash = path.find_last_of('/');
    const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash);
    char here[4096];
    if (getcwd(here, sizeof here) == nullptr || chdir(folder.c_str()) != 0) {
        return false;
    }
    const bool loaded =
        LoadScene(path.substr(slash == std::string::npos ? 0 : slash + 1).c_str(), scene) &&
        !scene.objects.empty();
    // Pictures and meshes are read while loading; rendering needs no files.
    return chdir(here) == 0 && loaded;
}

}  // namespace

int main(int argc, char** argv) {
    int seeds = 6;
    double targetSeconds = 2.0;
    double scale = 0.5;
    std::vector<std::string> scenes;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--seeds") == 0 && i + 1 < argc) {
            seeds = std::max(2, std::atoi(argv[++i]));
        } else if (std::strcmp(argv[i], "--seconds") == 0 && i + 1 < argc) {
            targetSeconds = std::atof(argv[++i]);
        } else if (std::strcmp(argv[i], "--scale") == 0 && i + 1 < argc) {
            scale = std::atof(argv[++i]);
        } else {
            scenes.emplace_back(argv[i]);
        }
    }
    if (scenes.empty()) {
        std::fprintf(stderr,
                     "Usage: noise_bench [--seeds K] [--seconds S] [--scale F] scene.xml...\n");
        return 2;
    }
    for (const std::string& path : scenes) {
        Scene scene;
        if (!LoadFrom(path, scene)) {
            std::fprintf(stderr, "Cannot render %s\n", path.c_str());
            continue;
        }
        scene.width = static_cast<int16_t>(std::max(16.0, scene.width * scale));
        scene.height = static_cast<int16_t>(std::max(16.0, scene.height * scale));
        scene.settings.samples = 1;
        const double probe = Render(scene, SamplingMode::Design, 1).seconds;
        scene.settings.samples =
            std::clamp(static_cast<int>(targetSeconds / std::max(probe, 1e-6)), 1, 10000);

        std::vector<Rendered> design, lowNoise;
        for (int s = 0; s < seeds; ++s) {
            const uint32_t seed = 1000u + static_cast<uint32_t>(s);
            design.push_back(Render(scene, SamplingMode::Design, seed));
            lowNoise.push_back(Render(scene, SamplingMode::LowNoise, seed));
        }
        const double varianceDesign = MeanVariance(design);
        const double varianceLowNoise = MeanVariance(lowNoise);
        const double secondsDesign = MeanSeconds(design);
        const double secondsLowNoise = MeanSeconds(lowNoise);
        const double samples = static_cast<double>(design.front().samples);
        std::string name = path.substr(path.find_last_of('/') + 1);
        std::printf(
            "# %s: %dx%d, %d spp, %d seeds; variance design %.4g low-noise %.4g; samples/s "
            "design %.0f low-noise %.0f (ratio %.3f, of the fastest renders %.3f)\n",
            name.c_str(), scene.width, scene.height, scene.settings.samples, seeds, varianceDesign,
            varianceLowNoise, samples / secondsDesign, samples / secondsLowNoise,
            secondsDesign / secondsLowNoise, FastestSeconds(design) / FastestSeconds(lowNoise));
        std::printf("efficiency %s %.2f\n", name.c_str(),
                    varianceDesign * secondsDesign / (varianceLowNoise * secondsLowNoise));
        std::fflush(stdout);
    }
    return 0;
}
