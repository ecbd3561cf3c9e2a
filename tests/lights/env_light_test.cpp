#include "lights/env_light.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numbers>
#include <optional>
#include <vector>

#include "tests/support/chi_square.h"
#include "tests/support/test_paths.h"
#include "tests/support/vector_expect.h"

namespace glintor {
namespace {

using testing::ExpectNear;

using testing::ChiSquareOptions;
using testing::DirectionChiSquare;

constexpr double Pi = std::numbers::pi;

bool IsFinite(const Vector3& v) {
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

FloatImage MakePicture(uint32_t width, uint32_t height, const std::vector<Vector3>& texels) {
    FloatImage image;
    image.Width = width;
    image.Height = height;
    image.Texels = texels;
    image.InvWidth = 1.0f / static_cast<float>(width);
    image.InvHeight = 1.0f / static_cast<float>(height);
    return image;
}

// A dim sky with a small patch a thousand times brighter, and a hue that changes over the
// picture so that the channels differ.
FloatImage StronglyNonUniformPicture() {
    const uint32_t width = 32;
    const uint32_t height = 16;
    std::vector<Vector3> texels;
    for (uint32_t y = 0; y < height; ++y) {
        for (uint32_t x = 0; x < width; ++x) {
            const bool patch = x >= 20 && x < 24 && y >= 4 && y < 6;
            const float level = patch ? 50.0f : 0.05f;
            texels.emplace_back(level * (1.0f + 0.02f * x), level, level * (1.0f + 0.05f * y));
        }
    }
    return MakePicture(width, height, texels);
}

struct SampleResult {
    Vector3 radiance;
    float pdf = 0.0f;
    Ray shadowRay;
};

SampleResult SampleLight(const LightBase& light, float u1, float u2, const Vector3& normal,
                         const Vector3& point = Vector3(1.0f, 2.0f, 3.0f)) {
    // No light draws from the generator; one shared instance spares building its tables.
    static RandomGenerator generator;
    PathSample sample;
    sample.lightU = u1;
    sample.lightV = u2;
    SampleResult result;
    light.Sample(result.radiance, sample, generator, result.shadowRay, point, normal, result.pdf);
    return result;
}

Vector3 EmittedBy(const LightBase& light, const Vector3& direction) {
    Vector3 radiance;
    light.Emitted(radiance, direction, nullptr);
    return radiance;
}

// The solid-angle density Sample claims for a direction, read back from the distribution: the
// direction's (u, v) in Sample's convention, its cell, and the cell's density over the square.
double ClaimedDensity(const EnvLight& light, const Vector3& d) {
    const PiecewiseConstant2D& distribution = *light.Distribution;
    const double theta = std::atan2(std::hypot(static_cast<double>(d.x), static_cast<double>(d.y)),
                                    static_cast<double>(d.z));
    double phi = std::atan2(-static_cast<double>(d.y), -static_cast<double>(d.x));
    if (phi < 0.0) {
        phi += 2.0 * Pi;
    }
    const double u = 1.0 - phi / (2.0 * Pi);
    const double v = theta / Pi;
    const uint32_t nv = distribution.Marginal.Count;
    const uint32_t row = std::min(static_cast<uint32_t>(v * nv), nv - 1);
    const PiecewiseConstant1D& conditional = distribution.Conditionals[row];
    const uint32_t column =
        std::min(static_cast<uint32_t>(u * conditional.Count), conditional.Count - 1);
    const double density = static_cast<double>(distribution.Marginal.Func[row]) /
                           distribution.Marginal.Integral * conditional.Func[column] /
                           conditional.Integral;
    return density / (2.0 * Pi * Pi * std::sin(theta));
}

TEST(EnvLight, ConstantWhitePicture) {
    EnvLight light;
    light.Image = MakePicture(4, 2, std::vector<Vector3>(8, Vector3(1.0f, 1.0f, 1.0f)));
    light.Prepare();
    ASSERT_TRUE(light.Distribution);
    ASSERT_EQ(light.Distribution->Conditionals.size(), 1u);
    EXPECT_EQ(light.Distribution->Conditionals[0].Count, 2u);
    EXPECT_EQ(light.Distribution->Conditionals[0].Cdf, (std::vector<float>{0.0f, 0.5f, 1.0f}));
    EXPECT_EQ(light.Distribution->Marginal.Count, 1u);

    for (const Vector3& d : {Vector3(0, 0, 1), Vector3(0, 0, -1), Vector3(1, 0, 0),
                             Vector3(-0.6f, 0.0f, 0.8f), Vector3(0.36f, -0.48f, 0.8f)}) {
        ExpectNear(EmittedBy(light, d), Vector3(1.0f, 1.0f, 1.0f), 1e-6f);
    }

    const SampleResult s = SampleLight(light, 0.5f, 0.5f, Vector3(1.0f, 0.0f, 0.0f));
    ExpectNear(s.shadowRay.direction, Vector3(1.0f, 0.0f, 0.0f), 1e-6f);
    EXPECT_NEAR(s.pdf, 1.0 / (2.0 * Pi * Pi), 1e-7);
    ExpectNear(s.radiance, Vector3(1.0f, 1.0f, 1.0f), 1e-6f);
    EXPECT_EQ(s.shadowRay.origin, Vector3(1.0f, 2.0f, 3.0f));
    EXPECT_EQ(s.shadowRay.tMin, RayEpsilon);
    EXPECT_EQ(s.shadowRay.tMax, RayInfinity);

    light.Power = 2.5f;
    ExpectNear(EmittedBy(light, Vector3(0, 1, 0)), Vector3(2.5f, 2.5f, 2.5f), 1e-6f);
}

TEST(EnvLight, EmittedReadsPolarCoordinatesOfTheDirection) {
    std::vector<Vector3> texels;
    for (int i = 0; i < 8 * 4; ++i) {
        texels.emplace_back(0.1f * i, 1.0f + std::sin(0.7f * i), 3.0f - 0.05f * i);
    }
    EnvLight light;
    light.Image = MakePicture(8, 4, texels);
    light.Power = 3.0f;
    light.Prepare();
    const FloatImage& image = light.Image;
    const float r = std::sqrt(0.5f);
    const struct {
        Vector3 direction;
        float u, v;
    } cases[] = {
        {{0, 0, 1}, 0.0f, 0.0f},           // the top row
        {{0, 0, -1}, 0.0f, 1.0f},          // the bottom row
        {{1, 0, 0}, 0.0f, 0.5f},           // phi 0
        {{0, 1, 0}, 0.25f, 0.5f},          // phi pi/2
        {{-1, 0, 0}, 0.5f, 0.5f},          // phi pi
        {{0, -1, 0}, 0.75f, 0.5f},         // phi -pi/2 + 2pi
        {{r, r, 0}, 0.125f, 0.5f},         //
        {{0, r, r}, 0.25f, 0.25f},         //
        {{0, 0, 1.0000001f}, 0.0f, 0.0f},  // rounding above 1 is clamped, not rejected
    };
    for (const auto& c : cases) {
        const Vector3 expected = image.Lookup(c.u, c.v) * 3.0f;
        const Vector3 emitted = EmittedBy(light, c.direction);
        ASSERT_TRUE(IsFinite(emitted));
        ExpectNear(emitted, expected, 1e-5f);
    }
}

TEST(EnvLight, SampleAndEmittedMirrorTheAzimuth) {
    EnvLight light;
    light.Image = StronglyNonUniformPicture();
    light.Power = 0.5f;
    light.Prepare();
    const PiecewiseConstant2D& distribution = *light.Distribution;
    RandomGenerator generator;
    int accepted = 0;
    for (int i = 0; i < 2000; ++i) {
        const float u1 = generator.UniformFloat();
        const float u2 = generator.UniformFloat();
        const ContinuousSample v = distribution.Marginal.SampleContinuous(u2);
        const ContinuousSample u = distribution.Conditionals[v.offset].SampleContinuous(u1);
        const SampleResult s = SampleLight(light, u1, u2, Vector3(0.0f, 0.0f, 1.0f));
        const double theta = Pi * v.x;
        const double phi = 2.0 * Pi * (1.0 - u.x);
        const Vector3 d(-std::sin(theta) * std::cos(phi), -std::sin(theta) * std::sin(phi),
                        std::cos(theta));
        if (d.z <= 0.0f) {
            EXPECT_EQ(s.pdf, 0.0f);
            EXPECT_EQ(s.radiance, Vector3());
            continue;
        }
        ++accepted;
        ExpectNear(s.shadowRay.direction, d, 1e-6f);
        EXPECT_FLOAT_EQ(s.pdf, v.pdf * u.pdf / (19.73921f * std::sin(theta)));
        ExpectNear(s.radiance, light.Image.Lookup(u.x, v.x) * 0.5f, 1e-5f);
        // Emitted sees that direction at ((1.5 - u) mod 1, v).
        const float mirrored = std::fmod(1.5f - u.x, 1.0f);
        ExpectNear(EmittedBy(light, s.shadowRay.direction),
                   light.Image.Lookup(mirrored, v.x) * 0.5f, 2e-3f);
    }
    EXPECT_GT(accepted, 1000);
}

TEST(EnvLight, DirectionsIntoTheSurfaceAreRejected) {
    // Light only in the upper half of the picture (the +z hemisphere).
    std::vector<Vector3> texels(16 * 8, Vector3());
    for (int i = 0; i < 16 * 2; ++i) {
        texels[16 * 1 + i] = Vector3(2.0f, 2.0f, 2.0f);
    }
    EnvLight light;
    light.Image = MakePicture(16, 8, texels);
    light.Prepare();
    RandomGenerator generator;
    for (int i = 0; i < 1000; ++i) {
        SampleResult s;
        s.shadowRay.origin = Vector3(7, 7, 7);
        RandomGenerator unused;
        PathSample sample;
        sample.lightU = generator.UniformFloat();
        sample.lightV = generator.UniformFloat();
        light.Sample(s.radiance, sample, unused, s.shadowRay, Vector3(), Vector3(0, 0, -1), s.pdf);
        ASSERT_EQ(s.pdf, 0.0f);
        ASSERT_EQ(s.radiance, Vector3());
        ASSERT_EQ(s.shadowRay.origin, Vector3(7, 7, 7));  // a rejected sample leaves the ray
    }
    Ray ray(Vector3(), Vector3(0, 0, 1), RayInfinity);
    Intersection hit;
    EXPECT_FALSE(light.Intersect(ray, hit));
    EXPECT_EQ(hit.distance, RayInfinity);
}

TEST(EnvLight, SampledDirectionsFollowTheClaimedPdf) {
    EnvLight light;
    light.Image = StronglyNonUniformPicture();
    light.Prepare();
    const Vector3 normal = Vector3(0.3f, -0.4f, 0.5f).Normalized();
    const auto sampler = [&](RandomGenerator& generator) -> std::optional<Vector3> {
        const float u1 = generator.UniformFloat();
        const float u2 = generator.UniformFloat();
        const SampleResult s = SampleLight(light, u1, u2, normal);
        if (s.pdf <= 0.0f) {
            return std::nullopt;
        }
        EXPECT_NEAR(s.pdf, ClaimedDensity(light, s.shadowRay.direction), 1e-4 * s.pdf);
        return s.shadowRay.direction;
    };
    const auto density = [&](const Vector3& d) {
        return Dot(d, normal) > 0.0f ? ClaimedDensity(light, d) : 0.0;
    };
    ChiSquareOptions options;
    options.thetaBins = 16;
    options.phiBins = 32;
    const auto result = DirectionChiSquare(sampler, density, options);
    EXPECT_TRUE(result.passed) << result.message;
}

// The integral of Emitted over the sphere, by quadrature over the picture: with theta = pi v
// the solid angle of du dv is 2 pi^2 sin(pi v) du dv; Emitted's mirrored azimuth does not change
// the integral.
Vector3 SphereIntegral(const EnvLight& light, int subSamples) {
    const int columns = static_cast<int>(light.Image.Width) * subSamples;
    const int rows = static_cast<int>(light.Image.Height) * subSamples;
    double sum[3] = {0.0, 0.0, 0.0};
    for (int j = 0; j < rows; ++j) {
        const double v = (j + 0.5) / rows;
        const double weight =
            2.0 * Pi * Pi * std::sin(Pi * v) / (static_cast<double>(rows) * columns);
        for (int i = 0; i < columns; ++i) {
            const Vector3 radiance =
                light.Image.Lookup(static_cast<float>((i + 0.5) / columns), static_cast<float>(v));
            for (int c = 0; c < 3; ++c) {
                sum[c] += radiance[c] * weight;
            }
        }
    }
    return Vector3(sum[0], sum[1], sum[2]) * light.Power;
}

// Importance-sampled estimate of the same integral: radiance / pdf over the two hemispheres
// about +n and -n, with rejected samples counting as 0. Also returns the standard error.
void ImportanceEstimate(const EnvLight& light, int samplesPerSide, Vector3& estimate,
                        Vector3& standardError) {
    RandomGenerator generator;
    generator.Seed(20261207u);
    const Vector3 normal = Vector3(0.2f, 0.1f, 1.0f).Normalized();
    double total[3] = {0.0, 0.0, 0.0};
    double variance[3] = {0.0, 0.0, 0.0};
    for (const Vector3& n : {normal, -normal}) {
        double sum[3] = {0.0, 0.0, 0.0};
        double sumSquares[3] = {0.0, 0.0, 0.0};
        for (int i = 0; i < samplesPerSide; ++i) {
            const float u1 = generator.UniformFloat();
            const float u2 = generator.UniformFloat();
            const SampleResult s = SampleLight(light, u1, u2, n);
            if (s.pdf <= 0.0f) {
                continue;
            }
            for (int c = 0; c < 3; ++c) {
                const double value = s.radiance[c] / static_cast<double>(s.pdf);
                sum[c] += value;
                sumSquares[c] += value * value;
            }
        }
        for (int c = 0; c < 3; ++c) {
            const double mean = sum[c] / samplesPerSide;
            total[c] += mean;
            variance[c] += (sumSquares[c] / samplesPerSide - mean * mean) / samplesPerSide;
        }
    }
    estimate = Vector3(total[0], total[1], total[2]);
    standardError = Vector3(std::sqrt(variance[0]), std::sqrt(variance[1]), std::sqrt(variance[2]));
}

void ExpectImportanceMatchesQuadrature(const EnvLight& light, int samplesPerSide, int subSamples,
                                       const std::string& name) {
    Vector3 estimate;
    Vector3 error;
    ImportanceEstimate(light, samplesPerSide, estimate, error);
    const Vector3 reference = SphereIntegral(light, subSamples);
    for (int c = 0; c < 3; ++c) {
        // Five standard errors, plus a little for the quadrature. The estimate stays unbiased
        // only while every cell the bilinear lookup lights has weight in the distribution.
        EXPECT_NEAR(estimate[c], reference[c], 5.0f * error[c] + 2e-3f * reference[c])
            << name << " channel " << c;
        EXPECT_LT(error[c], 0.05f * reference[c]) << name << " channel " << c;
    }
}

TEST(EnvLight, ImportanceSampledMeanMatchesThePictureAverage) {
    EnvLight light;
    light.Image = StronglyNonUniformPicture();
    light.Power = 1.5f;
    light.Prepare();
    ExpectImportanceMatchesQuadrature(light, 100000, 16, "patch picture");
}

TEST(EnvLight, DegeneratePicturesGiveFiniteAnswers) {
    const Vector3 colour(0.2f, 0.4f, 0.8f);
    const struct {
        uint32_t width;
        uint32_t height;
        Vector3 texel;
    } pictures[] = {
        {1, 1, colour}, {1, 6, colour}, {6, 1, colour}, {3, 3, colour}, {8, 4, Vector3()}};
    for (const auto& p : pictures) {
        EnvLight light;
        light.Image =
            MakePicture(p.width, p.height, std::vector<Vector3>(p.width * p.height, p.texel));
        light.Prepare();
        ASSERT_TRUE(light.Distribution) << p.width << "x" << p.height;
        EXPECT_EQ(light.Distribution->Marginal.Count, std::max(p.height / 2, 1u));
        EXPECT_EQ(light.Distribution->Conditionals[0].Count, std::max(p.width / 2, 1u));
        RandomGenerator generator;
        for (int i = 0; i < 2000; ++i) {
            const SampleResult s = SampleLight(light, generator.UniformFloat(),
                                               generator.UniformFloat(), Vector3(0, 1, 0));
            ASSERT_TRUE(std::isfinite(s.pdf));
            ASSERT_TRUE(IsFinite(s.radiance));
            if (s.pdf > 0.0f) {
                // A uniform picture is sampled uniformly along each row, and a row in
                // proportion to the sine at its centre.
                const Vector3& d = s.shadowRay.direction;
                const uint32_t nv = light.Distribution->Marginal.Count;
                const double v = std::atan2(std::hypot(d.x, d.y), d.z) / Pi;
                const uint32_t row = std::min(static_cast<uint32_t>(v * nv), nv - 1);
                double meanSine = 0.0;
                for (uint32_t i = 0; i < nv; ++i) {
                    meanSine += std::sin(Pi * (i + 0.5) / nv) / nv;
                }
                ASSERT_NEAR(s.pdf * std::hypot(d.x, d.y) * 2.0 * Pi * Pi,
                            std::sin(Pi * (row + 0.5) / nv) / meanSine, 1e-5);
                ExpectNear(s.radiance, p.texel, 1e-6f);
            }
        }
        ExpectNear(EmittedBy(light, Vector3(0.6f, 0.0f, 0.8f)), p.texel, 1e-6f);
    }
}

TEST(EnvLight, BlackRowsAreNeverSampled) {
    // Rows 2-3 and 6-7 (distribution rows 1 and 3) are black.
    std::vector<Vector3> texels(8 * 8, Vector3(1.0f, 1.0f, 1.0f));
    for (int x = 0; x < 8; ++x) {
        for (int y : {2, 3, 6, 7}) {
            texels[y * 8 + x] = Vector3();
        }
    }
    EnvLight light;
    light.Image = MakePicture(8, 8, texels);
    light.Prepare();
    EXPECT_EQ(light.Distribution->Conditionals[1].Integral, 0.0f);
    // u2 = 0 lands on the first row that carries weight.
    EXPECT_EQ(light.Distribution->Marginal.SampleContinuous(0.0f).offset, 0u);
    RandomGenerator generator;
    for (int i = 0; i < 5000; ++i) {
        const ContinuousSample v =
            light.Distribution->Marginal.SampleContinuous(generator.UniformFloat());
        ASSERT_TRUE(v.offset == 0 || v.offset == 2) << v.offset;
    }
}

TEST(EnvLight, PoleSamplesAreRejectedNotInfinite) {
    // u2 = 0 gives v = 0 exactly: theta 0, sin theta 0, an infinite density.
    EnvLight light;
    light.Image = MakePicture(4, 4, std::vector<Vector3>(16, Vector3(1, 1, 1)));
    light.Prepare();
    const SampleResult s = SampleLight(light, 0.3f, 0.0f, Vector3(0, 0, 1));
    EXPECT_EQ(s.pdf, 0.0f);
    EXPECT_EQ(s.radiance, Vector3());
}

TEST(EnvLight, PictureThatFailedToLoadIsNeverSampledOrLookedUp) {
    EnvLight light;
    light.Power = 4.0f;
    EXPECT_FALSE(light.Image.Load(testing::ScratchFolder("env") + "/missing.hdr", 1.0f));
    light.Prepare();
    EXPECT_FALSE(light.Distribution);
    RandomGenerator generator;
    for (int i = 0; i < 100; ++i) {
        const SampleResult s = SampleLight(light, generator.UniformFloat(),
                                           generator.UniformFloat(), Vector3(0, 0, 1));
        ASSERT_EQ(s.pdf, 0.0f);
        ASSERT_EQ(s.radiance, Vector3());
    }
    EXPECT_EQ(EmittedBy(light, Vector3(0, 0, 1)), Vector3());
    // Without Prepare a loaded light is not sampled either.
    EnvLight unprepared;
    unprepared.Image = MakePicture(2, 2, std::vector<Vector3>(4, Vector3(1, 1, 1)));
    EXPECT_EQ(SampleLight(unprepared, 0.5f, 0.5f, Vector3(1, 0, 0)).pdf, 0.0f);
}

TEST(EnvLight, NoNaNOrInfinityFromAnyPicture) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    const float huge = std::numeric_limits<float>::max();
    std::vector<Vector3> odd(8 * 4, Vector3(0.5f, 0.5f, 0.5f));
    odd[3] = Vector3(nan, 1.0f, 1.0f);
    odd[9] = Vector3(-5.0f, -5.0f, -5.0f);
    odd[17] = Vector3(inf, 0.0f, 0.0f);
    std::vector<Vector3> bright(8 * 4, Vector3(1e30f, 1e30f, 1e30f));
    bright[5] = Vector3(huge, huge, huge);
    RandomGenerator generator;
    for (const float power : {0.001f, 1.0f, 1000.0f}) {
        for (const auto& texels : {odd, bright}) {
            EnvLight light;
            light.Image = MakePicture(8, 4, texels);
            light.Power = power;
            light.Prepare();
            for (int i = 0; i < 4000; ++i) {
                const Vector3 normal =
                    Vector3(generator.UniformFloat() - 0.5f, generator.UniformFloat() - 0.5f,
                            generator.UniformFloat() - 0.5f)
                        .Normalized();
                const SampleResult s =
                    SampleLight(light, generator.UniformFloat(), generator.UniformFloat(), normal);
                ASSERT_TRUE(std::isfinite(s.pdf));
                ASSERT_GE(s.pdf, 0.0f);
                if (s.pdf > 0.0f) {
                    ASSERT_TRUE(IsFinite(s.radiance));
                    ASSERT_TRUE(IsFinite(s.shadowRay.direction));
                }
            }
        }
    }
}

// Real latitude-longitude pictures: Emitted reads them at the direction's polar coordinates, and
// the importance sampler's estimate of their total light matches the picture's own average.
class RealEnvironmentTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!testing::HasSharedData()) {
            GTEST_SKIP() << "shared data folder not found: " << testing::SharedDataPath("");
        }
    }

    static bool LoadInto(EnvLight& light, const std::string& file) {
        return light.Image.Load(testing::SharedDataPath(file), 1.0f);
    }
};

TEST_F(RealEnvironmentTest, LookupsFollowTheLatitudeLongitudeMapping) {
    for (const char* file :
         {"env/rooitou_park_1k.hdr", "env/studio_small_03_1k.hdr", "env/KernerEnvLatLong.exr",
          "env/OrientationLatLong.exr", "env/WavyLinesLatLong.exr"}) {
        EnvLight light;
        ASSERT_TRUE(LoadInto(light, file)) << file;
        light.Prepare();
        ASSERT_TRUE(light.Distribution) << file;
        EXPECT_EQ(light.Distribution->Marginal.Count, light.Image.Height / 2) << file;
        EXPECT_EQ(light.Distribution->Conditionals[0].Count, light.Image.Width / 2) << file;
        const struct {
            Vector3 direction;
            float u, v;
        } axes[] = {{{1, 0, 0}, 0.0f, 0.5f},   {{0, 1, 0}, 0.25f, 0.5f}, {{-1, 0, 0}, 0.5f, 0.5f},
                    {{0, -1, 0}, 0.75f, 0.5f}, {{0, 0, 1}, 0.0f, 0.0f},  {{0, 0, -1}, 0.0f, 1.0f}};
        for (const auto& axis : axes) {
            const Vector3 expected = light.Image.Lookup(axis.u, axis.v);
            const Vector3 emitted = EmittedBy(light, axis.direction);
            for (int c = 0; c < 3; ++c) {
                EXPECT_NEAR(emitted[c], expected[c], 1e-4f * (1.0f + std::fabs(expected[c])))
                    << file;
            }
        }
    }
}

TEST_F(RealEnvironmentTest, SunOfTheParkIsSeenAndSampledWhereThePictureHasIt) {
    EnvLight light;
    ASSERT_TRUE(LoadInto(light, "env/rooitou_park_1k.hdr"));
    light.Prepare();
    // The brightest texel, (614, 226), seen by a ray through its centre.
    const double u = (614 + 0.5) / 1024.0;
    const double v = (226 + 0.5) / 512.0;
    const double theta = Pi * v;
    const double phi = 2.0 * Pi * u;
    const Vector3 towardsSun(std::sin(theta) * std::cos(phi), std::sin(theta) * std::sin(phi),
                             std::cos(theta));
    const Vector3 sun = light.Image.Texels[226 * 1024 + 614];
    EXPECT_GT(sun.x + sun.y + sun.z, 3e4f);
    ExpectNear(EmittedBy(light, towardsSun), sun, 0.05f * sun.y);
    // The distribution's brightest cell is the sun's: column 614 / 2, row 226 / 2.
    const auto& rows = light.Distribution->Marginal.Func;
    const uint32_t row =
        static_cast<uint32_t>(std::max_element(rows.begin(), rows.end()) - rows.begin());
    const auto& columns = light.Distribution->Conditionals[row].Func;
    const uint32_t column =
        static_cast<uint32_t>(std::max_element(columns.begin(), columns.end()) - columns.begin());
    EXPECT_EQ(row, 113u);
    EXPECT_EQ(column, 307u);
}

TEST_F(RealEnvironmentTest, ImportanceSampledMeanMatchesThePictureAverage) {
    // Mean luminance over the sphere as measured independently when the data was collected;
    // 0 where none was given.
    const struct {
        const char* file;
        double meanLuminance;
    } files[] = {{"env/rooitou_park_1k.hdr", 0.76},
                 {"env/studio_small_03_1k.hdr", 2.2},
                 {"env/KernerEnvLatLong.exr", 0.0}};
    for (const auto& f : files) {
        EnvLight light;
        ASSERT_TRUE(LoadInto(light, f.file)) << f.file;
        light.Prepare();
        ExpectImportanceMatchesQuadrature(light, 200000, 2, f.file);
        if (f.meanLuminance > 0.0) {
            const Vector3 total = SphereIntegral(light, 1);
            const double luminance = 0.2126 * total.x + 0.7152 * total.y + 0.0722 * total.z;
            EXPECT_NEAR(luminance / (4.0 * Pi), f.meanLuminance, 0.02 * f.meanLuminance);
        }
    }
}

}  // namespace
}  // namespace glintor
