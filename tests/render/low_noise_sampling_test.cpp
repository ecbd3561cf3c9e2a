// The low-noise sampling mode against the design's: both must have the same expected picture.
// Each scene is rendered with several independent seeds in each mode, and every 16x16 tile's mean
// brightness is compared between the modes with Welch's t. A true difference of means makes t
// grow with the sample count; chance alone keeps it small. The seeds are fixed, so the outcome is
// repeatable. Run over 150 other seed sets, the largest |t| of a set (12 tiles) never exceeded
// 4.0, while a missing sphere-cap weight never gave less than 80: the bound of 6 leaves room on
// both sides.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <memory>
#include <set>
#include <vector>

#include "geometry/object_base.h"
#include "lights/area_light.h"
#include "lights/env_light.h"
#include "lights/sky_light.h"
#include "lights/sphere_area_light.h"
#include "lights/sun_light.h"
#include "materials/brdf_gloss.h"
#include "materials/brdf_ward.h"
#include "materials/btdf_glass.h"
#include "render/film.h"
#include "render/material.h"
#include "render/path_integrator.h"
#include "render/sequence_sample.h"
#include "tests/support/chi_square.h"
#include "tests/support/scene_builder.h"

namespace glintor {
namespace {

constexpr int Edge = 32, Tile = 16, SeedsPerMode = 12, Samples = 48;
constexpr double Bound = 6.0;

int AddMaterial(Scene& scene, std::unique_ptr<BxDFBase> bxdf) {
    auto material = std::make_unique<Material>();
    material->bxdf = std::move(bxdf);
    scene.materials.push_back(std::move(material));
    return static_cast<int>(scene.materials.size()) - 1;
}

int AddGloss(Scene& scene) {
    auto gloss = std::make_unique<BRDF_Gloss>();
    gloss->Set(Vector3(0.9f, 0.9f, 0.9f), Vector3(0.5f, 0.2f, 0.1f), 0.1f, 40.0f);
    return AddMaterial(scene, std::move(gloss));
}

int AddGlass(Scene& scene) {
    auto glass = std::make_unique<BTDF_Glass>();
    glass->Set(Vector3(1, 1, 1), Vector3(0.95f, 0.95f, 0.95f), 1.5f);
    return AddMaterial(scene, std::move(glass));
}

// Objects shared by the scenes: a matte floor with a glossy, a glass and a matte sphere on it.
std::unique_ptr<Scene> SphereTrio(int maxDepth) {
    auto scene = testing::MakeScene(Edge, Edge, Vector3(0, -6, 2.5f), Vector3(0, 0, 0.6f));
    scene->settings.maxDepth = maxDepth;
    scene->settings.rrDepth = 1;
    scene->settings.samples = Samples;
    testing::AddPlane(*scene, Vector3(0, 0, 1), 0.0f,
                      testing::AddMatte(*scene, Vector3(0.7f, 0.7f, 0.6f)));
    testing::AddSphere(*scene, Vector3(-1.3f, 0, 0.7f), 0.7f, AddGloss(*scene));
    testing::AddSphere(*scene, Vector3(0.2f, -0.8f, 0.5f), 0.5f, AddGlass(*scene));
    testing::AddSphere(*scene, Vector3(1.4f, 0.3f, 0.8f), 0.8f,
                       testing::AddMatte(*scene, Vector3(0.3f, 0.6f, 0.8f)));
    return scene;
}

// Point, sphere and rectangle lights, seen through a thin lens.
std::unique_ptr<Scene> LocalLights(std::unique_ptr<SphereAreaLight> sphere) {
    auto scene = SphereTrio(4);
    scene->lensRadius = 0.15f;
    scene->focalPoint = 6.0f;
    testing::AddPointLight(*scene, Vector3(-3, -3, 4), Vector3(6, 5, 4));
    sphere->Pos = Vector3(2.5f, -2.0f, 3.0f);
    sphere->Radius = 0.5f;
    sphere->Power = 3.0f;
    sphere->Prepare();
    scene->lights.push_back(std::move(sphere));
    auto area = std::make_unique<AreaLight>();
    area->Pos = Vector3(0, 0.5f, 4);
    area->Width = 2.0f;
    area->Height = 1.0f;
    area->Power = 2.0f;
    area->Prepare();
    scene->lights.push_back(std::move(area));
    return scene;
}

std::unique_ptr<Scene> SunAndSky() {
    auto scene = SphereTrio(3);
    auto ward = std::make_unique<BRDF_Ward>();
    ward->Set(Vector3(0.4f, 0.4f, 0.4f), Vector3(0.3f, 0.5f, 0.2f), 0.2f, 0.3f);
    scene->objects[3]->materialId = static_cast<uint8_t>(AddMaterial(*scene, std::move(ward)));
    const Vector3 sun(0.5f, -0.4f, 0.6f);
    auto sky = std::make_unique<SkyLight>();
    sky->Setup(sun, 2.5f, 0.1f);
    scene->skyLight = sky.get();
    scene->lights.push_back(std::move(sky));
    auto sunLight = std::make_unique<SunLight>();
    sunLight->Setup(sun, 2.5f, 3.0f, 0.5f);
    scene->lights.push_back(std::move(sunLight));
    scene->hasEnvironment = true;
    return scene;
}

// A dim picture with one bright patch, so that the light's distribution matters.
std::unique_ptr<Scene> Environment() {
    auto scene = SphereTrio(3);
    auto light = std::make_unique<EnvLight>();
    constexpr uint32_t width = 32, height = 16;
    light->Image.Width = width;
    light->Image.Height = height;
    light->Image.InvWidth = 1.0f / width;
    light->Image.InvHeight = 1.0f / height;
    for (uint32_t y = 0; y < height; ++y) {
        for (uint32_t x = 0; x < width; ++x) {
            const bool patch = x >= 18 && x < 26 && y >= 2 && y < 6;
            light->Image.Texels.push_back(patch ? Vector3(8, 7, 6)
                                                : Vector3(0.2f, 0.25f, 0.3f + 0.02f * y));
        }
    }
    light->Prepare();
    scene->envLight = light.get();
    scene->lights.push_back(std::move(light));
    scene->hasEnvironment = true;
    return scene;
}

// Every sample of the scene, or with a part only those.
std::unique_ptr<Film> Render(const Scene& scene, SamplingMode mode, uint32_t seed,
                             SamplePart part = {}) {
    auto film = std::make_unique<Film>(scene.width, scene.height);
    PathIntegrator integrator;
    integrator.generator.Seed(seed);
    integrator.sampling = mode;
    integrator.sequenceSeed = seed;
    integrator.Setup(scene, *film);
    if (part.count == 0) {
        integrator.RenderBlock(scene, {0, 0, Edge, Edge});
    } else {
        integrator.RenderSamples(scene, {0, 0, Edge, Edge}, part);
    }
    return film;
}

// Mean brightness (r + g + b) of every tile, one render.
std::vector<double> TileMeans(const Scene& scene, SamplingMode mode, uint32_t seed) {
    const auto film = Render(scene, mode, seed);
    std::vector<double> tiles((Edge / Tile) * (Edge / Tile), 0.0);
    for (int y = 0; y < Edge; ++y) {
        for (int x = 0; x < Edge; ++x) {
            const float* p = film->accumulation + 4 * (y * Edge + x);
            tiles[(y / Tile) * (Edge / Tile) + x / Tile] +=
                (p[0] + p[1] + p[2]) / p[3] / (Tile * Tile);
        }
    }
    return tiles;
}

struct MeanAndVariance {
    double mean = 0.0;
    double variance = 0.0;  // of one render's value
};

MeanAndVariance Summarise(const std::vector<double>& values) {
    MeanAndVariance s;
    for (double v : values) {
        s.mean += v / static_cast<double>(values.size());
    }
    for (double v : values) {
        s.variance += (v - s.mean) * (v - s.mean) / static_cast<double>(values.size() - 1);
    }
    return s;
}

// Tile means of SeedsPerMode renders in each mode; every render takes a seed of its own.
struct Renders {
    std::vector<std::vector<double>> design, lowNoise;
};

Renders RenderBothModes(const Scene& scene, uint32_t firstSeed) {
    Renders r;
    for (int s = 0; s < SeedsPerMode; ++s) {
        r.design.push_back(TileMeans(scene, SamplingMode::Design, firstSeed + 2 * s));
        r.lowNoise.push_back(TileMeans(scene, SamplingMode::LowNoise, firstSeed + 2 * s + 1));
    }
    return r;
}

// Largest Welch |t| over the tiles, with the low-noise pictures multiplied by gain.
double LargestWelchT(const Renders& r, double gain = 1.0) {
    const auto& design = r.design;
    const auto& lowNoise = r.lowNoise;
    double largest = 0.0;
    for (size_t tile = 0; tile < design.front().size(); ++tile) {
        std::vector<double> d, l;
        for (int s = 0; s < SeedsPerMode; ++s) {
            d.push_back(design[s][tile]);
            l.push_back(lowNoise[s][tile] * gain);
        }
        const MeanAndVariance a = Summarise(d), b = Summarise(l);
        const double error = std::sqrt((a.variance + b.variance) / SeedsPerMode);
        const double difference = std::fabs(a.mean - b.mean);
        if (difference > 0.0) {
            largest = std::max(largest, error > 0.0 ? difference / error : INFINITY);
        }
    }
    return largest;
}

TEST(LowNoiseSampling, ExpectsTheDesignPictureUnderEveryKindOfLight) {
    const std::function<std::unique_ptr<Scene>()> scenes[] = {
        [] { return LocalLights(std::make_unique<SphereAreaLight>()); }, SunAndSky, Environment};
    for (const auto& make : scenes) {
        const Renders renders = RenderBothModes(*make(), 101);
        EXPECT_LT(LargestWelchT(renders), Bound);
        // The same check sees a 3% gain on the low-noise pictures.
        EXPECT_GT(LargestWelchT(renders, 1.03), Bound);
    }
}

// A sphere light that draws on the visible cap but forgets to weight by the cap's share of the
// sphere: the kind of slip the check above exists to catch.
class CapWeightLeftOut : public SphereAreaLight {
public:
    void SampleLowNoise(Vector3& radiance, const PathSample& sample, RandomGenerator& generator,
                        Ray& shadowRay, const Vector3& point, const Vector3& normal,
                        float& pdf) const override {
        SphereAreaLight::SampleLowNoise(radiance, sample, generator, shadowRay, point, normal, pdf);
        pdf *= 0.5f * (1.0f - Radius / (point - Pos).Length());
    }
};

TEST(LowNoiseSampling, TheCheckCatchesAMissingCapWeight) {
    EXPECT_GT(
        LargestWelchT(RenderBothModes(*LocalLights(std::make_unique<CapWeightLeftOut>()), 101)),
        Bound);
}

// One thread and a fixed seed give the same picture every time; another seed gives another.
TEST(LowNoiseSampling, RepeatableForOneSeed) {
    const auto scene = SunAndSky();
    EXPECT_EQ(TileMeans(*scene, SamplingMode::LowNoise, 5),
              TileMeans(*scene, SamplingMode::LowNoise, 5));
    EXPECT_NE(TileMeans(*scene, SamplingMode::LowNoise, 5),
              TileMeans(*scene, SamplingMode::LowNoise, 6));
}

// Neighbouring pixels, and different roles in one path, draw independent numbers: pairs of them
// are uniform on the square.
TEST(LowNoiseSampling, PixelsAndRolesDrawIndependentNumbers) {
    constexpr int Bins = 16;
    auto bin = [](float u) { return static_cast<int>(u * Bins); };
    std::vector<double> pixels(Bins * Bins, 0.0), roles(Bins * Bins, 0.0);
    // Moved from pixel to pixel as a render thread's is, so that no pixel keeps another's numbers.
    PixelSequences herePixel;
    for (uint32_t y = 0; y < 160; ++y) {
        for (uint32_t x = 0; x < 400; ++x) {
            herePixel.Start(SequenceSample::PixelSeed(7, x, y));
            const PixelSequences rightPixel(SequenceSample::PixelSeed(7, x + 1, y));
            const SequenceSample here(herePixel, 3, 2);
            const SequenceSample right(rightPixel, 3, 2);
            pixels[bin(here.Scatter(1).u) * Bins + bin(right.Scatter(1).u)] += 1.0;
            roles[bin(here.Scatter(1).v) * Bins + bin(here.Light(1, 1).u)] += 1.0;
        }
    }
    const std::vector<double> expected(Bins * Bins, 160.0 * 400.0 / (Bins * Bins));
    testing::ChiSquareOptions options;
    options.testCount = 2;
    const auto a = testing::CountsChiSquare(pixels, expected, options);
    const auto b = testing::CountsChiSquare(roles, expected, options);
    EXPECT_TRUE(a.passed) << a.message;
    EXPECT_TRUE(b.passed) << b.message;
    // No two roles of a path share their numbers.
    const PixelSequences pixel(SequenceSample::PixelSeed(7, 3, 4));
    const SequenceSample sample(pixel, 5, 3);
    std::set<float> seen = {sample.Lens().u};
    for (int depth = 0; depth < 4; ++depth) {
        seen.insert(sample.Scatter(depth).u);
        seen.insert(sample.Roulette(depth));
        for (int slot = 0; slot < 3; ++slot) {
            seen.insert(sample.Light(depth, slot).u);
        }
    }
    EXPECT_EQ(seen.size(), 1u + 4u * 5u);
}

// A film holding the first 5 of 16 samples, resumed by three ranks: their parts of the missing
// samples continue every pixel's sequences, so together they add up to the 16 samples from 0
// (the filter's offsets, which each process draws from its own stream, are all zero here).
TEST(LowNoiseSampling, TheRanksPartsOfAResumeCompleteTheSequences) {
    auto scene = SunAndSky();
    scene->settings.filterRadius = 0.0f;
    scene->settings.samples = 16;
    const auto whole = Render(*scene, SamplingMode::LowNoise, 9);
    std::vector<std::unique_ptr<Film>> parts;
    parts.push_back(Render(*scene, SamplingMode::LowNoise, 9, {5, 0}));
    for (uint32_t rank = 0; rank < 3; ++rank) {
        parts.push_back(Render(*scene, SamplingMode::LowNoise, 9, PartOfSamples(5, 16, rank, 3)));
    }
    for (int i = 0; i < Edge * Edge * 4; ++i) {
        float sum = 0.0f;
        for (const auto& part : parts) {
            sum += part->accumulation[i];
        }
        ASSERT_NEAR(sum, whole->accumulation[i], 1e-5f * (1.0f + whole->accumulation[i])) << i;
    }
}

}  // namespace
}  // namespace glintor
