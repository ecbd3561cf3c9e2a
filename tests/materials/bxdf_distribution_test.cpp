// The samplers' directions against the densities they stand for, by Pearson's chi-square test
// over a grid of the sphere. Each test also checks that a wrong density is told apart from the
// right one, so a pass means something.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <numbers>
#include <optional>

#include "materials/brdf_anisotropic.h"
#include "materials/brdf_gloss.h"
#include "materials/brdf_matte.h"
#include "materials/brdf_shiny.h"
#include "materials/brdf_ward.h"
#include "tests/support/chi_square.h"

namespace glintor {
namespace {

using testing::ChiSquareOptions;
using testing::DirectionChiSquare;
using testing::DirectionSampler;

constexpr double Pi = std::numbers::pi;

ChiSquareOptions Options() {
    ChiSquareOptions options;
    options.testCount = 8;  // the right densities below; the wrong ones are checked for failure
    return options;
}

// Draws the PathSample numbers a BxDF reads, the way the integrator does, and keeps the accepted
// directions, or every direction when keepRejected is set. onSample sees each draw's wi and pdf.
DirectionSampler SamplerOf(const BxDFBase& bxdf, const Vector3& wo, const Vector3& nFacing,
                           bool keepRejected = false,
                           std::function<void(const Vector3&, float)> onSample = nullptr) {
    return [&bxdf, wo, nFacing, keepRejected,
            onSample](RandomGenerator& generator) -> std::optional<Vector3> {
        PathSample sample;
        sample.scatterU = generator.UniformFloat();
        sample.scatterV = generator.UniformFloat();
        sample.lightU = generator.UniformFloat();
        Vector3 wi;
        bool isSpecular = false;
        float pdf = 0.0f;
        bxdf.SampleDirection(sample, generator, wo, wi, nFacing, nFacing, isSpecular, pdf);
        if (onSample) {
            onSample(wi, pdf);
        }
        if (pdf <= 0.0f && !keepRejected) {
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

// Ward's half-vector density (Walter, "Notes on the Ward BRDF", 2005):
// exp(-(hx^2 / ax^2 + hy^2 / ay^2) / hz^2) / (pi ax ay hz^3) over the upper hemisphere.
double WardHalfVectorDensity(const Vector3& h, double ax, double ay) {
    const double hz = h.z;
    if (hz <= 0.0) {
        return 0.0;
    }
    const double e = std::exp(-(h.x * h.x / (ax * ax) + h.y * h.y / (ay * ay)) / (hz * hz));
    return e / (Pi * ax * ay * hz * hz * hz);
}

// The half vector a reflection used: wi + wo points along it or against it (h and -h reflect
// alike); the sampler's lies above the x-y plane.
Vector3 HalfVectorOf(const Vector3& wi, const Vector3& wo) {
    const Vector3 h = (wi + wo).Normalized();
    return h.z < 0.0f ? -h : h;
}

TEST(BxDFDistribution, WardHalfVectorsFollowWardsDensityFoldedIntoOneQuadrant) {
    BRDF_Ward ward;
    ward.Set(Vector3(1, 1, 1), Vector3(0.5f, 0.5f, 0.5f), 0.5f, 0.25f);
    const Vector3 z(0, 0, 1);
    // Every azimuth lands in the first quadrant, so there the density is four times Ward's.
    const auto folded = [](double ax, double ay) {
        return [ax, ay](const Vector3& h) {
            return h.x < 0.0f || h.y < 0.0f ? 0.0 : 4.0 * WardHalfVectorDensity(h, ax, ay);
        };
    };
    // The reported pdf stays that of Ward's unfolded sampler, the half vector's density over
    // 4 (wo . h); seen from the zenith its image frame changes nothing.
    int checked = 0;
    const auto pdfIsWards = [&](const Vector3& wi, float pdf) {
        const Vector3 h = HalfVectorOf(wi, z);
        const double expected = WardHalfVectorDensity(h, 0.5, 0.25) / (4.0 * h.z);
        if (checked < 2000 && expected > 1e-3) {
            EXPECT_NEAR(pdf, expected, 1e-3 * expected) << h.x << " " << h.y << " " << h.z;
            ++checked;
        }
    };
    const auto halfVectors = [](const DirectionSampler& sampler, const Vector3& wo) {
        return [sampler, wo](RandomGenerator& g) -> std::optional<Vector3> {
            return HalfVectorOf(*sampler(g), wo);
        };
    };
    const DirectionSampler overhead = halfVectors(SamplerOf(ward, z, z, true, pdfIsWards), z);
    auto result = DirectionChiSquare(overhead, folded(0.5, 0.25), Options());
    EXPECT_TRUE(result.passed) << result.message;
    EXPECT_EQ(checked, 2000);
    EXPECT_FALSE(DirectionChiSquare(overhead, folded(0.25, 0.5), Options()).passed);

    // A grazing wo from the opposite quadrant: many half vectors face away from it and are
    // turned round, which leaves the mirror direction as it is.
    const Vector3 grazing = Vector3(-0.8f, -0.5f, 0.3f).Normalized();
    result = DirectionChiSquare(halfVectors(SamplerOf(ward, grazing, z, true), grazing),
                                folded(0.5, 0.25), Options());
    EXPECT_TRUE(result.passed) << result.message;
}

TEST(BxDFDistribution, AnisotropicLobeFollowsTheAshikhminShirleyDensityAboutTheMirror) {
    BRDF_Anisotropic lobe;
    lobe.Set(Vector3(1, 1, 1), Vector3(), 4.0f, 16.0f);
    const Vector3 n = Vector3(0.1f, -0.3f, 0.9f).Normalized();
    const Vector3 wo = Vector3(-0.4f, -0.2f, 0.6f).Normalized();
    // The lobe's axes: the mirror direction R and the two unnormalised side axes about it.
    const Vector3 r = Reflect(-wo, n);
    const Vector3 t1(0, r.z, -r.y);
    const Vector3 t2(-r.y * r.y - r.z * r.z, r.x * r.y, r.x * r.z);
    const DirectionSampler sampler = SamplerOf(lobe, wo, n, true);
    // (sin t cos p, sin t sin p, cos t) of each sample, read back along those axes.
    const DirectionSampler local = [&](RandomGenerator& generator) -> std::optional<Vector3> {
        const Vector3 wi = *sampler(generator);
        return Vector3(Dot(wi, t1) / t1.LengthSquared(), Dot(wi, t2) / t2.LengthSquared(),
                       Dot(wi, r))
            .Normalized();
    };
    // Ashikhmin and Shirley's half-vector density, sqrt((nu + 1)(nv + 1)) / (2 pi) times
    // cos t ^ (nu cos^2 p + nv sin^2 p), here with the lobe's axis in place of the normal.
    const auto density = [](double nu, double nv) {
        return [nu, nv](const Vector3& d) {
            if (d.z <= 0.0f) {
                return 0.0;
            }
            const double side = double{d.x} * d.x + double{d.y} * d.y;
            const double cos2 = side > 0.0 ? d.x * d.x / side : 1.0;
            return std::sqrt((nu + 1) * (nv + 1)) / (2 * Pi) *
                   std::pow(double{d.z}, nu * cos2 + nv * (1 - cos2));
        };
    };
    const auto result = DirectionChiSquare(local, density(4, 16), Options());
    EXPECT_TRUE(result.passed) << result.message;
    EXPECT_FALSE(DirectionChiSquare(local, density(16, 4), Options()).passed);
}

}  // namespace
}  // namespace glintor
