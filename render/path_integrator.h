// Unidirectional path tracing with next-event estimation at surfaces that have a diffuse part,
// emission counted directly only on camera rays and after specular scattering, Russian roulette
// after a configurable depth and a hard depth limit. One per render thread.
#pragma once

#include <cstdint>

#include "render/sequence_sample.h"
#include "render/surface_integrator.h"

namespace glintor {

class PathIntegrator : public SurfaceIntegratorBase {
public:
    PathIntegrator();
    ~PathIntegrator() override;
    PathIntegrator(const PathIntegrator&) = delete;
    PathIntegrator& operator=(const PathIntegrator&) = delete;

    void Setup(const Scene& scene, Film& film) override;
    void RenderBlock(const Scene& scene, const PixelBlock& block) override;
    // Samples first ... first + count - 1 of every pixel of the block (RenderBlock renders all of
    // them), added to what the film already holds. first + count is at most the scene's samples.
    void RenderSamples(const Scene& scene, const PixelBlock& block, int first, int count);
    void Radiance(const Ray& ray, const Scene& scene, Vector3& colour, PathSample& sample) override;

    // Set before Setup; see RenderJob.
    SamplingMode sampling = SamplingMode::Design;
    uint32_t sequenceSeed = RandomGenerator::DefaultSeed;
    uint32_t firstSample = 0;

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
