#include "render/path_integrator.h"

#include <cmath>

#include "geometry/object_base.h"
#include "lights/env_light.h"
#include "lights/light_base.h"
#include "lights/sky_light.h"
#include "materials/bump_base.h"
#include "materials/bxdf.h"
#include "materials/texture_base.h"
#include "platform/platform.h"
#include "render/camera.h"
#include "render/film.h"
#include "render/material.h"
#include "render/pixel_filter.h"
#include "render/scene.h"

namespace glintor {

namespace {

bool IsFinite(const Vector3& v) {
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

// A true division per component: multiplying by the reciprocal rounds differently, and images
// are compared bit for bit.
Vector3 Divided(const Vector3& v, float divisor) {
    return {v.x / divisor, v.y / divisor, v.z / divisor};
}

// The material an object hit names, or null when the path must end there: id 255 means no
// material, and an id at or beyond the end of the list (the loader does not compare them) is
// treated like a missing entry rather than read past the list.
const Material* MaterialOfHit(const Scene& scene, uint8_t id) {
    if (id == NoMaterial || id >= scene.materials.size()) {
        return nullptr;
    }
    const Material* material = scene.materials[id].get();
    return material != nullptr && material->bxdf != nullptr ? material : nullptr;
}

const LightBase* BackgroundLight(const Scene& scene) {
    if (scene.envLight != nullptr) {
        return scene.envLight;
    }
    return scene.skyLight;
}

bool IsShadowed(const Scene& scene, const Ray& shadowRay) {
    for (const auto& object : scene.objects) {
        if (object->Occluded(shadowRay)) {
            return true;
        }
    }
    return false;
}

// Where the numbers of a path come from. Trace asks for them at the same points in both modes.
class DesignNumbers {
public:
    explicit DesignNumbers(RandomGenerator& generator) : generator_(generator) {}

    // The generator's order of numbers is part of the design's pictures: a vertex's scattering
    // pair comes first, before it is known whether the path goes on.
    void StartVertex(PathSample& sample) {
        sample.scatterU = generator_.UniformFloat();
        sample.scatterV = generator_.UniformFloat();
    }
    void DrawScatter(PathSample&) {}
    void DrawLight(PathSample& sample, int) {
        sample.lightU = generator_.UniformFloat();
        sample.lightV = generator_.UniformFloat();
    }
    void SampleLight(const LightBase& light, Vector3& radiance, const PathSample& sample,
                     Ray& shadowRay, const Vector3& point, const Vector3& normal, float& pdf) {
        light.Sample(radiance, sample, generator_, shadowRay, point, normal, pdf);
    }
    float DrawRoulette(const PathSample&) { return generator_.UniformFloat(); }

private:
    RandomGenerator& generator_;
};

// Each role at each vertex has a pair of its own in the pixel's sequences, so that a role's
// numbers are spread over the pixel's samples whichever branches the paths take. The numbers land
// in the same fields of the path sample as the generator's would, so a scattering model that
// reads lightU still finds the last light sample's (or an earlier vertex's) number: the pattern of
// shared numbers, and with it the expectation, is the design's.
class LowNoiseNumbers {
public:
    LowNoiseNumbers(const SequenceSample& sequence, RandomGenerator& generator)
        : sequence_(sequence), generator_(generator) {}

    // A point of the sequences costs more than a generator number, and only scattering reads the
    // pair: it is drawn once the path is known to scatter at this vertex.
    void StartVertex(PathSample&) {}
    void DrawScatter(PathSample& sample) {
        const UnitPoint p = sequence_.Scatter(sample.depth);
        sample.scatterU = p.u;
        sample.scatterV = p.v;
    }
    void DrawLight(PathSample& sample, int slot) {
        const UnitPoint p = sequence_.Light(sample.depth, slot);
        sample.lightU = p.u;
        sample.lightV = p.v;
    }
    void SampleLight(const LightBase& light, Vector3& radiance, const PathSample& sample,
                     Ray& shadowRay, const Vector3& point, const Vector3& normal, float& pdf) {
        light.SampleLowNoise(radiance, sample, generator_, shadowRay, point, normal, pdf);
    }
    float DrawRoulette(const PathSample& sample) { return sequence_.Roulette(sample.depth); }

private:
    const SequenceSample& sequence_;
    RandomGenerator& generator_;
};

}  // namespace

PathIntegrator::PathIntegrator() = default;

PathIntegrator::~PathIntegrator() {
    AlignedFree(offsetX);
    AlignedFree(offsetY);
}

void PathIntegrator::Setup(const Scene& scene, Film& targetFilm) {
    Setup(scene, targetFilm, scene.settings.samples);
}

void PathIntegrator::Setup(const Scene& scene, Film& targetFilm, int offsetCount) {
    film = &targetFilm;
    const int samples = offsetCount > 0 ? offsetCount : 1;
    AlignedFree(offsetX);
    AlignedFree(offsetY);
    offsetX = static_cast<float*>(AlignedAlloc(sizeof(float) * samples));
    offsetY = static_cast<float*>(AlignedAlloc(sizeof(float) * samples));
    BuildSubPixelOffsets(generator, scene.settings.filterRadius, samples, offsetX, offsetY);
}

void PathIntegrator::RenderBlock(const Scene& scene, const PixelBlock& block) {
    const int samples = scene.settings.samples > 0 ? scene.settings.samples : 1;
    RenderSamples(scene, block, {static_cast<uint32_t>(samples), 0});
}

bool PathIntegrator::RenderSamples(const Scene& scene, const PixelBlock& block,
                                   const SamplePart& part, const std::atomic<bool>* stop) {
    const bool keepPasses = film->passes != nullptr;
    Camera camera(static_cast<float>(scene.width), static_cast<float>(scene.height));
    camera.rightHanded = true;
    camera.Setup(scene.cameraPos, scene.cameraLookAt, scene.cameraUp,
                 FieldOfView(scene.fov, scene.focalLength));
    Ray ray(Vector3(), Vector3(), RayInfinity);
    const int lightSlots = static_cast<int>(scene.lights.size()) * scene.settings.shadowRays;

    for (uint32_t y = block.y; y < block.y + block.height; ++y) {
        for (uint32_t x = block.x; x < block.x + block.width; ++x) {
            if (stop != nullptr && stop->load(std::memory_order_relaxed)) {
                firstHit_ = nullptr;
                return false;
            }
            if (sampling == SamplingMode::LowNoise) {
                pixelSequences_.Start(SequenceSample::PixelSeed(sequenceSeed, x, y));
            }
            Vector3 sum, albedo, normal;
            float distance = 0.0f, hits = 0.0f;
            int kept = 0;
            for (int j = 0; j < static_cast<int>(part.count); ++j) {
                const float filmX = static_cast<float>(x) + offsetX[j];
                const float filmY = static_cast<float>(y) + offsetY[j];
                Vector3 colour;
                PathSample sample;
                FirstHit seen;
                firstHit_ = keepPasses ? &seen : nullptr;
                if (sampling == SamplingMode::LowNoise) {
                    // A resumed render, or a process of a group, takes its part of each pixel's
                    // sequence, where the film's samples and the lower ranks' parts end.
                    const SequenceSample numbers(
                        pixelSequences_, part.first + static_cast<uint32_t>(j), lightSlots);
                    // Without a lens the point would go unread.
                    const UnitPoint lens = scene.lensRadius > 0.0f ? numbers.Lens() : UnitPoint{};
                    camera.GenerateRay(filmX, filmY, lens, scene.lensRadius, scene.focalPoint, ray);
                    ++sampleCount;
                    sequence_ = &numbers;
                    Radiance(ray, scene, colour, sample);
                    sequence_ = nullptr;
                } else {
                    camera.GenerateRay(filmX, filmY, generator, scene.lensRadius, scene.focalPoint,
                                       ray);
                    ++sampleCount;
                    Radiance(ray, scene, colour, sample);
                }
                // One NaN would poison the pixel for good; such samples are counted and left
                // out, and the pixel's weight counts only the samples that stayed.
                if (IsFinite(colour)) {
                    sum += colour;
                    ++kept;
                    albedo += seen.albedo;
                    normal += seen.normal;
                    distance += seen.distance;
                    hits += seen.hit ? 1.0f : 0.0f;
                } else {
                    ++droppedSamples;
                }
            }
            film->AddPixel(x, y, sum, static_cast<float>(kept));
            if (keepPasses) {
                film->AddPasses(x, y, albedo, normal, distance, hits);
            }
        }
    }
    firstHit_ = nullptr;
    return true;
}

void PathIntegrator::Radiance(const Ray& cameraRay, const Scene& scene, Vector3& colour,
                              PathSample& sample) {
    if (sequence_ != nullptr) {
        Trace(cameraRay, scene, colour, sample, LowNoiseNumbers(*sequence_, generator));
    } else {
        Trace(cameraRay, scene, colour, sample, DesignNumbers(generator));
    }
}

template <typename Numbers>
void PathIntegrator::Trace(const Ray& cameraRay, const Scene& scene, Vector3& colour,
                           PathSample& sample, Numbers numbers) {
    const RenderSettings& settings = scene.settings;
    if (sample.depth >= settings.maxDepth) {
        return;
    }
    Vector3 throughput(1.0f, 1.0f, 1.0f);
    bool countEmission = true;
    Ray ray = cameraRay;

    for (;;) {
        numbers.StartVertex(sample);
        ++rayCount;

        // Nearest object: each object only accepts hits nearer than the record's distance, so
        // the last one that reports a hit is the nearest.
        Intersection hit;
        const Material* material = nullptr;
        for (const auto& object : scene.objects) {
            if (object->Intersect(ray, hit)) {
                material = MaterialOfHit(scene, hit.materialId);
                if (material == nullptr) {
                    return;
                }
            }
        }

        if (countEmission) {
            Intersection lightHit;
            lightHit.distance = hit.distance;
            const LightBase* seen = nullptr;
            for (const auto& light : scene.lights) {
                if (light->Intersect(ray, lightHit)) {
                    seen = light.get();
                }
            }
            if (seen != nullptr) {
                Vector3 emitted;
                seen->Emitted(emitted, -ray.direction, &lightHit.normal);
                colour += throughput * emitted;
                return;
            }
        }

        if (material == nullptr) {
            if (scene.hasEnvironment && countEmission) {
                if (const LightBase* background = BackgroundLight(scene)) {
                    Vector3 emitted;
                    background->Emitted(emitted, ray.direction, nullptr);
                    colour += throughput * emitted;
                }
            }
            return;
        }

        const BxDFBase& bxdf = *material->bxdf;
        const bool diffuse = (bxdf.Flags() & FlagDiffuse) != 0;
        Vector3 surface = diffuse ? bxdf.BaseColor() : Vector3(1.0f, 1.0f, 1.0f);
        for (const auto& texture : material->textures) {
            surface *= texture->Evaluate(generator, hit, surface);
        }

        if (!material->bumpMaps.empty()) {
            Vector3 perturbed;
            for (const auto& map : material->bumpMaps) {
                perturbed += map->Evaluate(generator, hit, hit.normal);
            }
            hit.normal = Divided(perturbed, static_cast<float>(material->bumpMaps.size()));
        }

        if (firstHit_ != nullptr) {
            if (!firstHit_->hit) {
                firstHit_->hit = true;
                firstHit_->normal = hit.normal;
                firstHit_->distance = hit.distance;
            }
            if (diffuse && !firstHit_->diffuseSeen) {
                firstHit_->diffuseSeen = true;
                firstHit_->albedo = surface;
            }
        }

        const Vector3 nFacing = Dot(ray.direction, hit.normal) > 0.0f ? -hit.normal : hit.normal;
        const Vector3 wo = -ray.direction;

        if (bxdf.isEmitter) {
            const float k = countEmission ? std::fabs(Dot(nFacing, wo)) : 1.0f;
            colour += throughput * bxdf.emission * k;
            return;
        }

        if (diffuse) {
            const Vector3 weight = throughput * surface;
            Ray shadowRay(Vector3(), Vector3(), RayInfinity);
            const float shadowRays = static_cast<float>(settings.shadowRays);
            int slot = 0;
            for (const auto& light : scene.lights) {
                for (int s = 0; s < settings.shadowRays; ++s) {
                    ++rayCount;
                    float pdf = 0.0f;
                    numbers.DrawLight(sample, slot++);
                    Vector3 radiance;
                    numbers.SampleLight(*light, radiance, sample, shadowRay, hit.point, nFacing,
                                        pdf);
                    if (pdf > 0.0f && !radiance.IsBlack() && !IsShadowed(scene, shadowRay)) {
                        const Vector3 f = bxdf.Evaluate(wo, shadowRay.direction, nFacing);
                        const Vector3 term =
                            weight * f * radiance * Dot(shadowRay.direction, nFacing);
                        colour += Divided(term, shadowRays * pdf);
                    }
                }
            }
        }

        Vector3 wi;
        bool isSpecular = false;
        float pdf = 0.0f;
        numbers.DrawScatter(sample);
        const Vector3 f =
            bxdf.SampleDirection(sample, generator, wo, wi, hit.normal, nFacing, isSpecular, pdf);
        countEmission = isSpecular;
        if (pdf <= 0.0f || f.IsBlack()) {
            return;
        }
        throughput = Divided(throughput * f * surface, pdf);

        if (sample.depth > settings.rrDepth) {
            const float largest = std::fmax(throughput.x, std::fmax(throughput.y, throughput.z));
            const float p = std::fmax(largest, settings.rrProbability);
            if (!(numbers.DrawRoulette(sample) < p)) {
                return;
            }
            throughput = Divided(throughput, p);
        }

        ++sample.depth;
        ray = Ray(hit.point, wi, RayInfinity);
        if (sample.depth >= settings.maxDepth) {
            return;
        }
    }
}

}  // namespace glintor
