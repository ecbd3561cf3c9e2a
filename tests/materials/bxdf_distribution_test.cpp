// The samplers' directions against the densities they stand for, by Pearson's chi-square test
// over a grid of the sphere. Each test also checks that a wrong density is told apart from the
// right one, so a pass means something.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <optional>

#include "materials/brdf_anisotropic.h"
#include "materials/brdf_gloss.h"
#include "materials/brdf_matte.h"
#include "materials/brdf_shiny.h"
#include "tests/support/chi_square.h"

namespace glintor {
namespace {

using testing::ChiSquareOptions;
using testing::DirectionChiSquare;
using testing::DirectionSampler;

constexpr double Pi = std::numbers::pi;

ChiSquareOptions Options() {
    ChiSquareOptions options;
    options.testCount = 5;  // the right densities below; the wrong ones are checked for failure
    return options;
}

// Draws the PathSample numbers a BxDF reads, the way the integrator does, and keeps the accepted
// directions.
DirectionSampler SamplerOf(const BxDFBase& bxdf, const Vector3& wo, const Vector3& nFacing) {
    return [&bxdf, wo, nFacing](RandomGenerator& generator) -> std::optional<Vector3> {
        PathSample sample;
        sample.scatterU = generator.UniformFloat();
        sample.scatterV = generator.UniformFloat();
        sample.lightU = generator.UniformFloat();
        Vector3 wi;
        bool isSpecular = false;
        float pdf = 0.0f;
        bxdf.SampleDirection(sample, generator, wo, wi, nFacing, nFacing, isSpecular, pdf);
        if (pdf <= 0.0f) {
            return std::nullopt;
        }
        return wi;
    };
}

// Solid-angle density of SampleReflectionLobe with exponent factor 1 / (exp + 1) about the
// mirror direction r: a Phong lobe, restricted to the directions the models accept.
double PhongLobe(const Vector3& d, const Vector3& r, const Vector3& n, double exp) {
    const double c = Dot(d, r);
    if (c <= 0.0 || Dot(d, n) < 0.001f) {
        return 0.0;
    }
    return (exp + 1.0) / (2.0 * Pi) * std::pow(c, exp);
}

TEST(BxDFDistribution, MatteFollowsTheCosineAboutNFacing) {
    BRDF_Matte matte;
    matte.Set(Vector3(0.5f, 0.5f, 0.5f));
    const Vector3 n = Vector3(0.4f, -0.3f, 0.6f).Normalized();
    const DirectionSampler sampler = SamplerOf(matte, Vector3(0, 0, 1), n);
    const auto cosine = [n](const Vector3& d) { return std::max(0.0, double{Dot(d, n)}) / Pi; };
    const auto result = DirectionChiSquare(sampler, cosine, Options());
    EXPECT_TRUE(result.passed) << result.message;
    const auto uniform = [n](const Vector3& d) { return Dot(d, n) > 0 ? 0.5 / Pi : 0.0; };
    EXPECT_FALSE(DirectionChiSquare(sampler, uniform, Options()).passed);
}

TEST(BxDFDistribution, ShinyLobeIsPhongAboutTheMirrorDirection) {
    // wo 50 degrees from the normal: the lobe about the mirror direction is cut by the horizon,
    // and the directions within 0.001 of it are rejected.
    BRDF_Shiny shiny;
    shiny.Set(Vector3(1, 1, 1), 1.0f, 4.0f);
    const Vector3 n(0, 0, 1);
    const Vector3 wo(std::sin(50 * Pi / 180), 0, std::cos(50 * Pi / 180));
    const Vector3 r = Reflect(-wo, n);
    const DirectionSampler sampler = SamplerOf(shiny, wo, n);
    const auto result = DirectionChiSquare(
        sampler, [&](const Vector3& d) { return PhongLobe(d, r, n, 4.0); }, Options());
    EXPECT_TRUE(result.passed) << result.message;
    EXPECT_FALSE(DirectionChiSquare(
                     sampler, [&](const Vector3& d) { return PhongLobe(d, r, n, 3.0); }, Options())
                     .passed);
}

TEST(BxDFDistribution, GlossMixesItsCoatLobeAndCosineBaseByPSpec) {
    BRDF_Gloss gloss;
    gloss.Set(Vector3(1, 1, 1), Vector3(0.5f, 0.5f, 0.5f), 0.04f, 4.0f);
    const Vector3 n(0, 0, 1);
    const Vector3 wo(std::sin(50 * Pi / 180), 0, std::cos(50 * Pi / 180));
    const Vector3 r = Reflect(-wo, n);
    const double f = 0.04 + 0.96 * std::pow(1.0 - wo.z, 5.0);
    const double pSpec = 0.5 * f + 0.25;
    const auto mixture = [&](double coatShare) {
        return [&, coatShare](const Vector3& d) {
            return coatShare * PhongLobe(d, r, n, 4.0) + (1 - coatShare) * std::max(0.0f, d.z) / Pi;
        };
    };
    const DirectionSampler sampler = SamplerOf(gloss, wo, n);
    const auto result = DirectionChiSquare(sampler, mixture(pSpec), Options());
    EXPECT_TRUE(result.passed) << result.message;
    EXPECT_FALSE(DirectionChiSquare(sampler, mixture(0.5), Options()).passed);
}

TEST(BxDFDistribution, IsotropicAnisotropicSamplerReflectsAPhongHalfVector) {
    // nu = nv = 20: half vectors with density 21 / (2 pi) cos^20 about the normal, and the
    // reflected direction's density is that divided by 4 dot(wo, h).
    BRDF_Anisotropic lobe;
    lobe.Set(Vector3(1, 1, 1), Vector3(), 20.0f, 20.0f);
    const Vector3 n(0, 0, 1);
    const Vector3 wo = Vector3(0.5f, 0.2f, 0.6f).Normalized();
    const auto density = [&](double exp) {
        return [&, exp](const Vector3& d) {
            if (d.z <= 0.0f) {
                return 0.0;
            }
            const Vector3 h = (d + wo).Normalized();
            return (exp + 1) / (2 * Pi) * std::pow(double{h.z}, exp) / (4.0 * Dot(wo, h));
        };
    };
    const DirectionSampler sampler = SamplerOf(lobe, wo, n);
    const auto result = DirectionChiSquare(sampler, density(20.0), Options());
    EXPECT_TRUE(result.passed) << result.message;
    EXPECT_FALSE(DirectionChiSquare(sampler, density(16.0), Options()).passed);
}

TEST(BxDFDistribution, ReflectionLobeAboutATiltedMirrorDirection) {
    // The warp alone, about a mirror direction in no special position, over the whole sphere.
    const Vector3 m = Vector3(0.3f, 0.5f, -0.8f).Normalized();
    const Vector3 wo = Vector3(-0.2f, 0.9f, -0.1f).Normalized();
    const Vector3 r = Reflect(-wo, m);
    const DirectionSampler sampler = [&](RandomGenerator& g) -> std::optional<Vector3> {
        const float u1 = g.UniformFloat();
        const float u2 = g.UniformFloat();
        return SampleReflectionLobe(m, wo, u1, u2, 1.0f / 3.0f);
    };
    const auto phong = [&](const Vector3& d) {
        const double c = Dot(d, r);
        return c > 0 ? 3.0 / (2 * Pi) * c * c : 0.0;
    };
    const auto result = DirectionChiSquare(sampler, phong, Options());
    EXPECT_TRUE(result.passed) << result.message;
}

}  // namespace
}  // namespace glintor
