// Renders one fixed scene with one and with two render threads and prints camera samples per
// second, rays per second and the speed-up.
//
//   render_bench [scene.xml] [samples per pixel]
// Without arguments it renders the bundled default scene at 4 samples per pixel.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
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

struct Figures {
    double seconds = 0.0;
    uint64_t samples = 0;
    uint64_t rays = 0;
};

Figures Render(Scene& scene, int threads) {
    Film film(scene.width, scene.height);
    RenderJob job;
    job.scene = &scene;
    job.film = &film;
    job.blockSize = scene.settings.pixelBlockSize;
    job.activeThreads = threads;
    job.BuildBlocks(film.width, film.height);
    const auto start = std::chrono::steady_clock::now();
    std::vector<std::unique_ptr<CRenderThread>> workers;
    for (int i = 0; i < threads; ++i) {
        workers.push_back(std::make_unique<CRenderThread>());
        workers.back()->Start(&job);
    }
    CRenderThread::JoinAll(workers);
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    return {elapsed.count(), job.sampleTotal, job.rayTotal};
}

}  // namespace

int main(int argc, char** argv) {
    const std::string path =
        argc > 1 ? argv[1] : std::string(GLINTOR_SOURCE_DIR) + "/scenes/default.xml";
    const int samples = argc > 2 ? std::atoi(argv[2]) : 4;
    const std::string::size_type slash = path.find_last_of('/');
    if (slash != std::string::npos && chdir(path.substr(0, slash).c_str()) != 0) {
        std::fprintf(stderr, "Cannot enter the folder of %s\n", path.c_str());
        return 1;
    }
    Scene scene;
    if (!LoadScene(path.substr(slash == std::string::npos ? 0 : slash + 1).c_str(), scene) ||
        scene.objects.empty()) {
        std::fprintf(stderr, "Cannot render %s\n", path.c_str());
        return 1;
    }
    if (samples > 0) {
        scene.settings.samples = samples;
    }
    std::printf("Scene %s, %dx%d, %d samples per pixel, depth %d\n", path.c_str(), scene.width,
                scene.height, scene.settings.samples, scene.settings.maxDepth);
    double oneThreadRate = 0.0;
    for (int threads = 1; threads <= 2; ++threads) {
        const Figures f = Render(scene, threads);
        const double samplesPerSecond = static_cast<double>(f.samples) / f.seconds;
        const double raysPerSecond = static_cast<double>(f.rays) / f.seconds;
        if (threads == 1) {
            oneThreadRate = samplesPerSecond;
        }
        std::printf("%d thread%s: %7.2f s  %10.0f samples/s  %12.0f rays/s  speed-up %.2f\n",
                    threads, threads == 1 ? " " : "s", f.seconds, samplesPerSecond, raysPerSecond,
                    samplesPerSecond / oneThreadRate);
    }
    return 0;
}
