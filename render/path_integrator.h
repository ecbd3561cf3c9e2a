// Unidirectional path tracing with next-event estimation at surfaces that have a diffuse part,
// emission counted directly only on camera rays and after specular scattering, Russian roulette
// after a configurable depth and a hard depth limit. One per render thread.
#pragma once

#include <atomic>
#include <cstdint>

#include "render/sample_part.h"
#include "render/sampling_mode.h"
#include "render/sequence_sample.h"
#include "render/surface_integrator.h"

namespace glintor {

class PathIntegrator : public SurfaceIntegratorBase {
public:
    PathIntegrator();
    ~PathIntegrator() override;
    PathIntegrator(const PathIntegrator&) = delete;
    PathIntegrator& operator=(const PathIntegrator&) = delete;

    // Draws one sub-pixel offset per sample of the scene.
    void Setup(const Scene& scene, Film& film) override;
    // Draws offsetCount offsets: a process of a group renders at most that many of each pixel's
    // samples at a time.
    void Setup(const Scene& scene, Film& film, int offsetCount);
    void RenderBlock(const Scene& scene, const PixelBlock& block) override;
    // The part's samples of every pixel of the block (RenderBlock renders all of the scene's),
    // added to what the film already holds; the part's count is at most the offsets drawn. Once
    // stop is set it gives up between pixels and answers false, the block then half rendered.
    bool RenderSamples(const Scene& scene, const PixelBlock& block, const SamplePart& part,
                       const std::atomic<bool>* stop = nullptr);
    void Radiance(const Ray& ray, const Scene& scene, Vector3& colour, PathSample& sample) override;

    // Set before Setup; see RenderJob.
    SamplingMode sampling = SamplingMode::Design;
    uint32_t sequenceSeed = RandomGenerator::DefaultSeed;

    RandomGenerator generator;
    Film* film = nullptr;
    // Since the owning thread last collected them.
    uint64_t rayCount = 0;
    uint64_t sampleCount = 0;
    // Camera samples whose radiance came out NaN or infinite; they never reach the film.
    uint64_t droppedSamples = 0;
    // Sub-pixel offsets of the pixel filter, one pair per sample of a pixel. 64-byte aligned.
    float* offsetX = nullptr;
    float* offsetY = nullptr;

private:
    template <typename Numbers>
    void Trace(const Ray& cameraRay, const Scene& scene, Vector3& colour, PathSample& sample,
               Numbers numbers);
    // LowNoise only: the numbers of the camera sample being traced, and its pixel's sequences.
    const SequenceSample* sequence_ = nullptr;
    PixelSequences pixelSequences_;
    // What a camera path saw first, for the film's guide passes.
    struct FirstHit {
        Vector3 albedo;  // the first diffuse hit's surface colour
        Vector3 normal;  // the shading normal at the first hit
        float distance = 0.0f;
        bool hit = false;
        bool diffuseSeen = false;
    };
    // Set while a camera path whose passes the film keeps is traced.
    FirstHit* firstHit_ = nullptr;
};

}  // namespace glintor
