#include "render/path_integrator.h"

#include <gtest/gtest.h>

#include <cmath>

#include "app/image_output.h"
#include "geometry/object_base.h"
#include "render/camera.h"
#include "render/film.h"
#include "render/material.h"
#include "render/render_job.h"
#include "tests/support/scene_builder.h"

namespace glintor {
namespace {

using testing::AddMatte;
using testing::AddPlane;
using testing::AddPointLight;
using testing::AddSphere;
using testing::MakeScene;

void RenderAll(const Scene& scene, Film& film, PathIntegrator& integrator) {
    integrator.Setup(scene, film);
    integrator.RenderBlock(
        scene, {0, 0, static_cast<uint32_t>(scene.width), static_cast<uint32_t>(scene.height)});
}

Vector3 Mean(const Film& film, int x, int y) {
    const float* p = film.accumulation + (static_cast<size_t>(y) * film.width + x) * 4;
    return p[3] > 0.0f ? Vector3(p[0], p[1], p[2]) * (1.0f / p[3]) : Vector3();
}

// A matte floor lit by one point light, depth 1: every pixel holds base colour x albedo/pi x
// colour x cos / d^2 (the albedo enters twice, once as the base colour). The expected value is
// computed here from the camera rays and an independent ray-plane intersection.
TEST(PathIntegrator, MatteFloorUnderPointLightMatchesTheFormula) {
    auto scene = MakeScene(160, 128, Vector3(0, 10, 0.01f), Vector3(0, 0, 0));
    const Vector3 albedo(0.8f, 0.5f, 0.25f);
    const Vector3 lightPos(6.0f, 2.0f, 0.0f);
    const Vector3 lightColour(30.0f, 30.0f, 30.0f);
    AddPlane(*scene, Vector3(0, 1, 0), 0.0f, AddMatte(*scene, albedo));
    AddPointLight(*scene, lightPos, lightColour);
    scene->settings.samples = 4;

    Film film(scene->width, scene->height);
    PathIntegrator integrator;
    RenderAll(*scene, film, integrator);

    Camera camera(scene->width, scene->height);
    camera.Setup(scene->cameraPos, scene->cameraLookAt, scene->cameraUp, scene->fov);
    RandomGenerator unused;
    int compared = 0;
    for (int y = 0; y < scene->height; y += 7) {
        for (int x = 0; x < scene->width; x += 5) {
            Vector3 expected;
            for (int j = 0; j < scene->settings.samples; ++j) {
                Ray ray;
                camera.GenerateRay(x + integrator.offsetX[j], y + integrator.offsetY[j], unused,
                                   0.0f, 0.0f, ray);
                const float t = -ray.origin.y / ray.direction.y;
                const Vector3 p = ray.origin + ray.direction * t;
                const Vector3 toLight = lightPos - p;
                const float d2 = toLight.LengthSquared();
                const float cosine = toLight.y / std::sqrt(d2);
                expected += albedo * albedo * lightColour * (0.31830987f * cosine / d2);
            }
            expected *= 1.0f / scene->settings.samples;
            const Vector3 mean = Mean(film, x, y);
            for (int c = 0; c < 3; ++c) {
                ASSERT_NEAR(mean[c], expected[c], 0.01f * expected[c]) << x << "," << y;
                const uint8_t byte = SavedChannelByte(mean[c], 1.0f, 1.0f, 2.2f);
                if (byte < 255) {
                    EXPECT_NEAR(byte, SavedChannelByte(expected[c], 1.0f, 1.0f, 2.2f), 1);
                }
            }
            ++compared;
        }
    }
    EXPECT_GT(compared, 500);
    EXPECT_EQ(integrator.sampleCount, 160u * 128u * 4u);
    EXPECT_EQ(integrator.droppedSamples, 0u);
}

TEST(PathIntegrator, MissesAreBlackAndEmittersAreSeenWithTheirCosine) {
    auto scene = MakeScene(128, 128, Vector3(0, 0, -5), Vector3(0, 0, 0));
    scene->cameraUp = Vector3(0, 1, 0);
    const Vector3 emission(2.0f, 1.0f, 0.5f);
    AddSphere(*scene, Vector3(0, 0, 0), 1.0f, AddMatte(*scene, Vector3(), emission));
    Film film(scene->width, scene->height);
    PathIntegrator integrator;
    RenderAll(*scene, film, integrator);
    EXPECT_EQ(Mean(film, 0, 0), Vector3());  // no environment: the background is black
    const Vector3 centre = Mean(film, 64, 64);
    EXPECT_NEAR(centre.x, 2.0f, 0.01f);  // facing the camera: |cos| close to 1
    EXPECT_NEAR(centre.z, 0.5f, 0.01f);
}

// An emitting sphere seen directly: each camera sample adds emission x |cos| or nothing, with no
// random numbers involved, so every pixel is known from its sub-pixel positions. The image is
// rendered in three blocks, which must cover it exactly once.
TEST(PathIntegrator, EmitterSilhouetteFollowsTheSubPixelOffsetsBlockByBlock) {
    auto scene = MakeScene(64, 64, Vector3(0, 0, -5), Vector3(0, 0, 0));
    scene->cameraUp = Vector3(0, 1, 0);
    scene->settings.samples = 4;
    const Vector3 emission(2.0f, 1.0f, 0.5f);
    AddSphere(*scene, Vector3(0, 0, 0), 1.0f, AddMatte(*scene, Vector3(), emission));
    Film film(scene->width, scene->height);
    PathIntegrator integrator;
    integrator.Setup(*scene, film);
    for (const PixelBlock& block :
         {PixelBlock{0, 0, 64, 20}, PixelBlock{0, 20, 30, 44}, PixelBlock{30, 20, 34, 44}}) {
        integrator.RenderBlock(*scene, block);
    }

    Camera camera(scene->width, scene->height);
    camera.Setup(scene->cameraPos, scene->cameraLookAt, scene->cameraUp, scene->fov);
    RandomGenerator unused;
    int edgePixels = 0;
    for (int y = 0; y < scene->height; ++y) {
        for (int x = 0; x < scene->width; ++x) {
            ASSERT_EQ(film.accumulation[(y * 64 + x) * 4 + 3], 4.0f) << x << "," << y;
            Vector3 expected;
            int hits = 0;
            for (int j = 0; j < 4; ++j) {
                Ray ray;
                camera.GenerateRay(x + integrator.offsetX[j], y + integrator.offsetY[j], unused,
                                   0.0f, 0.0f, ray);
                // |o + t d|^2 = 1 with |d| = 1.
                const double b = Dot(ray.origin, ray.direction);
                const double c = ray.origin.LengthSquared() - 1.0;
                if (b * b - c <= 0.0) {
                    continue;
                }
                const double t = -b - std::sqrt(b * b - c);
                const Vector3 normal = ray.At(static_cast<float>(t));
                expected += emission * std::fabs(Dot(normal, ray.direction));
                ++hits;
            }
            edgePixels += hits > 0 && hits < 4;
            const Vector3 mean = Mean(film, x, y);
            for (int c = 0; c < 3; ++c) {
                ASSERT_NEAR(mean[c], expected[c] / 4.0f, 2e-3f) << x << "," << y;
            }
        }
    }
    EXPECT_GT(edgePixels, 20);
}

TEST(PathIntegrator, MaterialIdsOutsideTheListOrWithoutAModelEndThePath) {
    auto scene = MakeScene(128, 128, Vector3(0, 10, 0.01f), Vector3(0, 0, 0));
    AddMatte(*scene, Vector3(1, 1, 1), Vector3(5, 5, 5));
    scene->materials.push_back(nullptr);                       // id 1: an empty slot
    scene->materials.push_back(std::make_unique<Material>());  // id 2: no scattering model
    // The first object that reports a hit ends the path, so the floor comes last.
    AddSphere(*scene, Vector3(2.2f, 0, 0), 1.0f, 1);
    AddSphere(*scene, Vector3(-2.2f, 0, 0), 1.0f, 2);
    AddSphere(*scene, Vector3(0, 0, 2.2f), 1.0f, 3);  // one past the end
    AddSphere(*scene, Vector3(0, 0, 0), 1.0f, NoMaterial);
    AddPlane(*scene, Vector3(0, 1, 0), 0.0f, 7);  // ids 0 to 2 exist
    Film film(scene->width, scene->height);
    PathIntegrator integrator;
    RenderAll(*scene, film, integrator);
    for (int y = 0; y < scene->height; ++y) {
        for (int x = 0; x < scene->width; ++x) {
            ASSERT_EQ(Mean(film, x, y), Vector3()) << x << "," << y;
        }
    }
}

TEST(PathIntegrator, RussianRouletteAndDepthLimitKeepEveryPixelFinite) {
    auto scene = MakeScene(128, 128, Vector3(0, 3, -6), Vector3(0, 1, 0));
    scene->cameraUp = Vector3(0, 1, 0);
    scene->settings.maxDepth = 12;
    scene->settings.rrDepth = 2;
    const int grey = AddMatte(*scene, Vector3(0.9f, 0.9f, 0.9f));
    AddPlane(*scene, Vector3(0, 1, 0), 0.0f, grey);
    AddSphere(*scene, Vector3(0, 1, 0), 1.0f, grey);
    AddSphere(*scene, Vector3(0, 6, 0), 1.0f, AddMatte(*scene, Vector3(), Vector3(4, 4, 4)));
    AddPointLight(*scene, Vector3(3, 4, -2), Vector3(10, 10, 10));
    Film film(scene->width, scene->height);
    PathIntegrator integrator;
    RenderAll(*scene, film, integrator);
    for (int i = 0; i < film.pixelCount; ++i) {
        for (int c = 0; c < 4; ++c) {
            ASSERT_TRUE(std::isfinite(film.accumulation[i * 4 + c]));
        }
    }
    EXPECT_GT(integrator.rayCount, integrator.sampleCount);
}

}  // namespace
}  // namespace glintor

namespace glintor {
namespace {

TEST(PathIntegrator, NonFiniteSamplesAreCountedAndNeverReachTheFilm) {
    auto scene = testing::MakeScene(128, 128, Vector3(0, 0, -5), Vector3(0, 0, 0));
    scene->cameraUp = Vector3(0, 1, 0);
    scene->settings.samples = 2;
    const float nan = std::nanf("");
    testing::AddSphere(*scene, Vector3(0, 0, 0), 1.0f,
                       testing::AddMatte(*scene, Vector3(), Vector3(nan, 1.0f, 0.0f)));
    Film film(scene->width, scene->height);
    PathIntegrator integrator;
    integrator.Setup(*scene, film);
    integrator.RenderBlock(*scene, {0, 0, 128, 128});
    EXPECT_GT(integrator.droppedSamples, 0u);
    for (int i = 0; i < film.pixelCount * 4; ++i) {
        ASSERT_TRUE(std::isfinite(film.accumulation[i]));
    }
    EXPECT_EQ(film.accumulation[(64 * 128 + 64) * 4 + 3], 0.0f);  // weight 0: shown black
}

}  // namespace
}  // namespace glintor
