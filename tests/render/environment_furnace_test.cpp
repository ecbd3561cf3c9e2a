// The integrator under an environment picture: the sampler's pdf and the picture's brightness
// must agree, so a white furnace gives albedo x albedo on a matte sphere and a bright spot gives
// what a brute-force average over uniform directions gives.
#include <gtest/gtest.h>

#include <cmath>

#include "lights/env_light.h"
#include "math/sampling.h"
#include "render/film.h"
#include "render/path_integrator.h"
#include "scene/scene_loader.h"
#include "tests/support/collected_messages.h"
#include "tests/support/scene_builder.h"
#include "tests/support/test_paths.h"

namespace glintor {
namespace {

constexpr int ImageWidth = 64, ImageHeight = 32;

EnvLight* AddEnvironment(Scene& scene, const std::vector<Vector3>& texels) {
    auto light = std::make_unique<EnvLight>();
    light->Image.Name = "generated";
    light->Image.Width = ImageWidth;
    light->Image.Height = ImageHeight;
    light->Image.InvWidth = 1.0f / ImageWidth;
    light->Image.InvHeight = 1.0f / ImageHeight;
    light->Image.Texels = texels;
    light->Prepare();
    EnvLight* raw = light.get();
    scene.lights.push_back(std::move(light));
    scene.hasEnvironment = true;
    scene.envLight = raw;
    return raw;
}

TEST(EnvironmentFurnace, WhiteEnvironmentGivesAlbedoSquaredOnAMatteSphere) {
    auto scene = testing::MakeScene(128, 128, Vector3(0, 0, -4), Vector3(0, 0, 0));
    scene->cameraUp = Vector3(0, 1, 0);
    scene->gamma = 1.0f;
    scene->settings.samples = 64;
    testing::AddSphere(*scene, Vector3(0, 0, 0), 0.5f,
                       testing::AddMatte(*scene, Vector3(0.8f, 0.8f, 0.8f)));
    AddEnvironment(*scene, std::vector<Vector3>(ImageWidth * ImageHeight, Vector3(1, 1, 1)));

    Film film(scene->width, scene->height);
    PathIntegrator integrator;
    integrator.Setup(*scene, film);
    integrator.RenderBlock(*scene, {0, 0, 128, 128});
    auto mean = [&](int x0, int y0, int size) {
        double sum = 0.0, weight = 0.0;
        for (int y = y0; y < y0 + size; ++y) {
            for (int x = x0; x < x0 + size; ++x) {
                const float* p = film.accumulation + (y * 128 + x) * 4;
                sum += p[0] + p[1] + p[2];
                weight += 3.0 * p[3];
            }
        }
        return sum / weight;
    };
    EXPECT_NEAR(mean(59, 59, 10), 0.64, 0.64 * 0.02);  // the sphere's middle
    EXPECT_NEAR(mean(0, 0, 10), 1.0, 1e-6);            // background seen directly
}

// Radiance at a surface point with normal n, by the integrator (next-event estimation through
// the environment's sampler) and by brute force over uniform directions.
TEST(EnvironmentFurnace, BrightSpotAgreesWithUniformDirections) {
    auto scene = testing::MakeScene(128, 128, Vector3(0, 0, -4), Vector3(0, 0, 0));
    scene->settings.maxDepth = 1;
    const float albedo = 0.8f;
    testing::AddSphere(*scene, Vector3(0, 0, 0), 1.0f,
                       testing::AddMatte(*scene, Vector3(albedo, albedo, albedo)));
    // A dim sky with one bright spot centred on the column u = 0.75, which both of the light's
    // azimuth conventions map to the same directions (about -y, 60 degrees from the zenith).
    std::vector<Vector3> texels(ImageWidth * ImageHeight, Vector3(0.2f, 0.2f, 0.2f));
    for (int y = 9; y < 12; ++y) {
        for (int x = 46; x < 50; ++x) {
            texels[y * ImageWidth + x] = Vector3(60.0f, 50.0f, 40.0f);
        }
    }
    const EnvLight* light = AddEnvironment(*scene, texels);

    const Vector3 normals[] = {Vector3(0, -1, 0), Vector3(0, 0, 1), Vector3(0, -0.6f, 0.8f),
                               Vector3(1, 0, 0), Vector3(0, 1, 0)};
    Film film(scene->width, scene->height);
    PathIntegrator integrator;
    integrator.Setup(*scene, film);
    RandomGenerator uniform;
    uniform.Seed(99);
    for (const Vector3& n : normals) {
        const Ray ray(n * 3.0f, -n, RayInfinity);
        constexpr int Paths = 40000;
        Vector3 rendered;
        for (int i = 0; i < Paths; ++i) {
            Vector3 colour;
            PathSample sample;
            integrator.Radiance(ray, *scene, colour, sample);
            rendered += colour;
        }
        rendered *= 1.0f / Paths;

        constexpr int Directions = 400000;
        double brute = 0.0;
        for (int i = 0; i < Directions; ++i) {
            const Vector3 d = UniformSphere(uniform.UniformFloat(), uniform.UniformFloat());
            const float cosine = Dot(d, n);
            if (cosine > 0.0f) {
                Vector3 radiance;
                light->Emitted(radiance, d, nullptr);
                brute += radiance.y * cosine;
            }
        }
        // Base colour x albedo / pi x the cosine-weighted integral over the sphere (4 pi / N).
        brute *= albedo * albedo / M_PI * 4.0 * M_PI / Directions;
        EXPECT_NEAR(rendered.y, brute, 0.04 * brute)
            << "normal " << n.x << "," << n.y << "," << n.z;
    }
}

}  // namespace
}  // namespace glintor

namespace glintor {
namespace {

// Real captured environments light a scene, and camera rays that miss see the picture itself.
TEST(EnvironmentFurnace, RealPicturesLightAScene) {
    if (!testing::HasSharedData()) {
        GTEST_SKIP() << "shared data folder not found: real environment pictures not tested";
    }
    for (const char* name : {"env/rooitou_park_1k.hdr", "env/KernerEnvLatLong.exr"}) {
        const std::string folder = testing::ScratchFolder("real_environment");
        const std::string path = testing::WriteFile(
            folder + "/scene.xml",
            "<Glintor><Scene><Render><Samples>2</Samples><MaxDepth>3</MaxDepth></Render>"
            "<Camera><Pos x=\"0\" y=\"-4\" z=\"1\"/><LookAt x=\"0\" y=\"0\" z=\"1\"/>"
            "<Up x=\"0\" y=\"0\" z=\"1\"/><FOV>60</FOV></Camera><Film><Width>128</Width>"
            "<Height>128</Height></Film></Scene>"
            "<Materials><Material Type=\"MATTE\"><Diffuse r=\"0.8\" g=\"0.8\" b=\"0.8\"/>"
            "</Material></Materials><Objects><Object Type=\"Sphere\"><Center x=\"0\" y=\"0\" "
            "z=\"1\"/><Radius>0.5</Radius></Object></Objects><Lights><Light Type=\"Env\"><File>" +
                testing::SharedDataPath(name) + "</File></Light></Lights></Glintor>");
        Scene scene;
        testing::CollectedMessages messages;
        ::testing::internal::CaptureStdout();
        ASSERT_TRUE(LoadScene(path.c_str(), scene));
        ::testing::internal::GetCapturedStdout();
        EXPECT_TRUE(messages.texts.empty()) << name;
        ASSERT_NE(scene.envLight, nullptr);

        Film film(scene.width, scene.height);
        PathIntegrator integrator;
        integrator.Setup(scene, film);
        integrator.RenderBlock(scene, {0, 0, 128, 128});
        EXPECT_EQ(integrator.droppedSamples, 0u) << name;
        const float* centre = film.accumulation + (64 * 128 + 64) * 4;
        EXPECT_GT(centre[0] + centre[1] + centre[2], 0.0f) << name << ": the sphere is lit";

        // A ray that misses everything adds exactly what the picture shows in its direction.
        Vector3 colour;
        PathSample sample;
        const Ray up(Vector3(0, -4, 1), Vector3(0, 0, 1), RayInfinity);
        integrator.Radiance(up, scene, colour, sample);
        Vector3 expected;
        scene.envLight->Emitted(expected, up.direction, nullptr);
        EXPECT_EQ(colour, expected) << name;
        EXPECT_FALSE(expected.IsBlack()) << name;
    }
}

}  // namespace
}  // namespace glintor
