#include <gtest/gtest.h>

#include <cmath>
#include <utility>

#include "materials/brdf_anisotropic.h"
#include "materials/brdf_gloss.h"
#include "materials/brdf_matte.h"
#include "materials/brdf_ward.h"
#include "tests/support/bxdf_sampling.h"
#include "tests/support/vector_expect.h"

namespace glintor {
namespace {

using testing::ExpectNear;
using testing::Scattered;

constexpr double Pi = 3.14159265358979323846;

Scattered Sample(const BxDFBase& bxdf, float scatterU, float scatterV, float lightU,
                 const Vector3& wo, const Vector3& nFacing) {
    PathSample sample{};
    sample.scatterU = scatterU;
    sample.scatterV = scatterV;
    sample.lightU = lightU;
    return testing::Scatter(bxdf, sample, wo, nFacing, nFacing);
}

BRDF_Gloss Gloss(const Vector3& reflection, const Vector3& diffuse, float fresnel, float exp) {
    BRDF_Gloss gloss;
    gloss.Set(reflection, diffuse, fresnel, exp);
    return gloss;
}

BRDF_Anisotropic Anisotropic(const Vector3& specular, const Vector3& diffuse, float nu, float nv) {
    BRDF_Anisotropic anisotropic;
    anisotropic.Set(specular, diffuse, nu, nv);
    return anisotropic;
}

BRDF_Ward Ward(const Vector3& specular, const Vector3& diffuse, float nu, float nv) {
    BRDF_Ward ward;
    ward.Set(specular, diffuse, nu, nv);
    return ward;
}

Vector3 Direction(double degreesFromZ, double azimuthDegrees = 0.0) {
    const double t = degreesFromZ * Pi / 180.0;
    const double p = azimuthDegrees * Pi / 180.0;
    return Vector3(static_cast<float>(std::sin(t) * std::cos(p)),
                   static_cast<float>(std::sin(t) * std::sin(p)), static_cast<float>(std::cos(t)));
}

const Vector3 Z(0, 0, 1);

TEST(BRDF_Gloss, FlagsAreDiffuseOrSpecularNeverBoth) {
    const BRDF_Gloss coatOnly = Gloss(Vector3(1, 1, 1), Vector3(), 0.5f, 0.0f);
    EXPECT_EQ(coatOnly.Flags(), 1);
    EXPECT_EQ(coatOnly.diffuseOverPi, Vector3());
    const BRDF_Gloss both = Gloss(Vector3(1, 1, 1), Vector3(0.5f, 0.5f, 0.5f), 0.5f, 0.0f);
    EXPECT_EQ(both.Flags(), 2);
    EXPECT_EQ(both.BaseColor(), Vector3(0.5f, 0.5f, 0.5f));
    EXPECT_FLOAT_EQ(both.diffuseOverPi.x, 0.5f * 0.31830987f);
    // Components that cancel are black by the sum test: no diffuse part, no scaled colour.
    const BRDF_Gloss cancelled = Gloss(Vector3(1, 1, 1), Vector3(1, -1, 0), 0.5f, 0.0f);
    EXPECT_EQ(cancelled.Flags(), 1);
    EXPECT_EQ(cancelled.diffuseOverPi, Vector3());
}

TEST(BRDF_Gloss, CoatAtNormalIncidenceWithFresnelPoint04) {
    const Vector3 reflection(0.9f, 0.8f, 0.7f);
    const BRDF_Gloss gloss = Gloss(reflection, Vector3(0.5f, 0.5f, 0.5f), 0.04f, 0.0f);
    // F = 0.04, pSpec = 0.27: scatterU 0.2 takes the coat, a perfect mirror with Exp 0.
    const Scattered s = Sample(gloss, 0.2f, 0.5f, 0.5f, Z, Z);
    EXPECT_TRUE(s.isSpecular);
    EXPECT_NEAR(s.pdf, 6.75f, 1e-4f);
    ExpectNear(s.f, reflection * 0.04f);
    ExpectNear(s.wi, Z);
    // Exp 0: the base is evaluated without the coat weighting.
    EXPECT_EQ(gloss.Evaluate(Z, Direction(40), Z), gloss.diffuseOverPi);
}

TEST(BRDF_Gloss, BaseSampleIsTheCosineWarpOfScatterVAndLightU) {
    const Vector3 diffuse(0.5f, 0.4f, 0.3f);
    const BRDF_Gloss gloss = Gloss(Vector3(1, 1, 1), diffuse, 0.04f, 9.0f);
    BRDF_Matte matte;
    matte.Set(diffuse);
    const Vector3 n = Vector3(0.3f, 0.2f, 0.9f).Normalized();
    for (const float v : {0.1f, 0.45f, 0.8f}) {
        for (const float lu : {0.2f, 0.6f, 0.95f}) {
            const Scattered s = Sample(gloss, 0.5f, v, lu, n, n);
            const Scattered m = Sample(matte, v, lu, 0.0f, n, n);
            EXPECT_FALSE(s.isSpecular);
            EXPECT_EQ(s.wi, m.wi);
            // Weight 1 - F = 0.96 chosen with probability 1 - pSpec = 0.73.
            ExpectNear(s.f, gloss.diffuseOverPi * 0.96f);
            EXPECT_NEAR(s.pdf, 0.73f / 0.96f * 0.31830987f, 1e-4f);
        }
    }
    // Exp > 0: Evaluate weights the base by (1 - F) / (1 - pSpec).
    ExpectNear(gloss.Evaluate(n, Direction(70), n), gloss.diffuseOverPi * (0.96f / 0.73f));
}

TEST(BRDF_Gloss, CoatLobeUsesScatterVAndLightU) {
    const BRDF_Gloss gloss = Gloss(Vector3(1, 1, 1), Vector3(), 0.04f, 9.0f);
    const Vector3 n = Vector3(-0.2f, 0.1f, 0.95f).Normalized();
    const Vector3 wo = Direction(30, 40);
    for (const float v : {0.0f, 0.3f, 0.7f}) {
        for (const float lu : {0.1f, 0.5f, 0.9f}) {
            const Scattered s = Sample(gloss, 0.0f, v, lu, wo, n);
            EXPECT_TRUE(s.isSpecular);
            EXPECT_EQ(s.wi, SampleReflectionLobe(n, wo, v, lu, 0.1f));
        }
    }
    // A lobe direction within 0.001 of the plane is rejected: at normal incidence with e = 0.1
    // the largest lightU gives cos = (2^-24)^0.1 ~ 0.19, so use a grazing wo instead.
    const Vector3 grazing = Direction(89.9);
    const Scattered low = Sample(gloss, 0.0f, 0.0f, 1.0f - 0x1p-24f, grazing, Z);
    EXPECT_EQ(low.pdf, 0.0f);
    EXPECT_TRUE(low.f.IsBlack());
}

TEST(BRDF_Gloss, ZeroFresnelCoatIsRejectedAndFullFresnelEmptiesTheBase) {
    // Fresnel 0 at normal incidence: F = 0, the coat has no weight and pSpec / F no value.
    const BRDF_Gloss clear = Gloss(Vector3(1, 1, 1), Vector3(1, 1, 1), 0.0f, 0.0f);
    const Scattered coat = Sample(clear, 0.1f, 0.5f, 0.5f, Z, Z);
    EXPECT_EQ(coat.pdf, 0.0f);
    EXPECT_TRUE(coat.f.IsBlack());
    const Scattered base = Sample(clear, 0.5f, 0.5f, 0.5f, Z, Z);
    EXPECT_NEAR(base.pdf, 0.75f * 0.31830987f, 1e-5f);
    ExpectNear(base.f, clear.diffuseOverPi);

    // Fresnel 1 (the default): F = 1, all weight in the coat; base samples carry nothing.
    const BRDF_Gloss full = Gloss(Vector3(1, 1, 1), Vector3(1, 1, 1), 1.0f, 0.0f);
    EXPECT_TRUE(Sample(full, 0.9f, 0.5f, 0.5f, Direction(20), Z).f.IsBlack());
    const Scattered mirror = Sample(full, 0.5f, 0.5f, 0.5f, Direction(20), Z);
    EXPECT_NEAR(mirror.pdf, 0.75f, 1e-6f);
    EXPECT_TRUE(mirror.isSpecular);
}

TEST(BRDF_Anisotropic, FlagsAndDerivedConstants) {
    EXPECT_EQ(Anisotropic(Vector3(), Vector3(), 10, 10).Flags(), 0);
    EXPECT_EQ(Anisotropic(Vector3(1, 1, 1), Vector3(), 10, 10).Flags(), 1);
    EXPECT_EQ(Anisotropic(Vector3(), Vector3(1, 1, 1), 10, 10).Flags(), 2);
    const BRDF_Anisotropic a = Anisotropic(Vector3(0.2f, 0.5f, 1), Vector3(0.5f, 1, 1), 10, 20);
    EXPECT_EQ(a.Flags(), 3);
    EXPECT_EQ(a.BaseColor(), Vector3(0.5f, 1, 1));
    EXPECT_FLOAT_EQ(a.lobeRatio, std::sqrt(11.0f / 21.0f));
    EXPECT_NEAR(a.specularNorm, std::sqrt(231.0) / (8 * Pi), 1e-6);
    const double k = 28.0 / (23.0 * Pi);
    EXPECT_NEAR(a.diffuseFactor.x, k * 0.5 * 0.8, 1e-6);
    EXPECT_NEAR(a.diffuseFactor.y, k * 1.0 * 0.5, 1e-6);
    EXPECT_NEAR(a.diffuseFactor.z, 0.0, 1e-7);
}

TEST(BRDF_Anisotropic, EvaluateAgainstTheClosedForm) {
    const Vector3 rs(0.2f, 0.4f, 0.6f);
    const BRDF_Anisotropic a = Anisotropic(rs, Vector3(0.5f, 0.5f, 0.5f), 10, 100);
    // wo = wi = normal: h on the normal, where the exponent is 0/0 and the lobe at its peak.
    const Vector3 peak = a.Evaluate(Z, Z, Z);
    const Vector3 diffuse = a.diffuseFactor * (31.0f / 32.0f) * (31.0f / 32.0f);
    ExpectNear(peak, rs * a.specularNorm + diffuse, 1e-5f);

    // wo and wi at 10 and 30 degrees in a world-axis plane: h at 20 degrees, kh = cos 10,
    // max(cosO, cosI) = cos 10; the exponent is nu in the x-z plane and nv in the y-z plane.
    for (const double azimuth : {0.0, 90.0}) {
        const double exponent = azimuth == 0.0 ? 10.0 : 100.0;
        const Vector3 wo = Direction(10, azimuth);
        const Vector3 wi = Direction(-30, azimuth);
        const Vector3 h = (wo + wi).Normalized();
        EXPECT_NEAR(std::acos(Dot(h, Z)) * 180 / Pi, 10.0, 1e-4);
        const Vector3 value = a.Evaluate(wo, wi, Z);
        const double kh = std::cos(20 * Pi / 180);
        const double cosO = std::cos(10 * Pi / 180);
        const double cosI = std::cos(30 * Pi / 180);
        const double cosH = std::cos(10 * Pi / 180);
        const double lobe = std::pow(cosH, exponent) / (kh * cosO) * a.specularNorm;
        const double fresnel = std::pow(1 - kh, 5);
        const double d = (1 - std::pow(1 - cosO / 2, 5)) * (1 - std::pow(1 - cosI / 2, 5));
        for (int c = 0; c < 3; ++c) {
            const double expected = (rs[c] + (1 - rs[c]) * fresnel) * lobe + a.diffuseFactor[c] * d;
            EXPECT_NEAR(value[c], expected, 1e-5 * expected) << "azimuth " << azimuth;
        }
    }
}

TEST(BRDF_Anisotropic, OppositeOrBelowSurfaceDirectionsHaveNoLobe) {
    const BRDF_Anisotropic a = Anisotropic(Vector3(1, 1, 1), Vector3(0.5f, 0.5f, 0.5f), 10, 10);
    const Vector3 wo = Vector3(0.6f, 0, 0.8f);
    EXPECT_EQ(a.Evaluate(wo, -wo, Z), Vector3());
    // A light below a grazing view: h points below the surface, only the diffuse term is left.
    const Vector3 grazing = Direction(89.5);
    const Vector3 below(0.8f, 0, -0.6f);
    const Vector3 value = a.Evaluate(grazing, below, Z);
    const float cosO = grazing.z;
    const float cosI = -0.6f;
    const float d =
        (1.0f - std::pow(1.0f - cosO / 2, 5.0f)) * (1.0f - std::pow(1.0f - cosI / 2, 5.0f));
    ExpectNear(value, a.diffuseFactor * d, 1e-6f);
}

TEST(BRDF_Anisotropic, LobeStaysEmptyWhereItsPowerOrQuotientBreaksDown) {
    // Exponent 0: the power of a negative cosine would be 1, a full lobe for a light below.
    const BRDF_Anisotropic flat = Anisotropic(Vector3(1, 1, 1), Vector3(0.5f, 0.5f, 0.5f), 0, 0);
    const Vector3 grazing = Direction(89.5);
    const Vector3 below(0.8f, 0, -0.6f);
    const float cosO = grazing.z;
    const float d = (1.0f - std::pow(1.0f - cosO / 2, 5.0f)) * (1.0f - std::pow(1.3f, 5.0f));
    ExpectNear(flat.Evaluate(grazing, below, Z), flat.diffuseFactor * d, 1e-6f);
    // Both directions 1e-40 above the plane: the quotient overflows a float and is dropped.
    const Vector3 value = flat.Evaluate(Vector3(1, 0, 1e-40f), Vector3(0, 1, 1e-40f), Z);
    EXPECT_TRUE(std::isfinite(value.x) && std::isfinite(value.y) && std::isfinite(value.z));
    EXPECT_LT(value.x, 1e-30f);
}

TEST(BRDF_Anisotropic, IsotropicLobeReflectsAboutASampledHalfVector) {
    const Vector3 rs(0.3f, 0.6f, 0.9f);
    const BRDF_Anisotropic a = Anisotropic(rs, Vector3(), 20, 20);
    Vector3 u, w;
    BuildBasis(Z, u, w);
    const Vector3 wo = Direction(25, 60);
    for (const float u1 : {0.05f, 0.3f, 0.6f, 0.9f}) {
        for (const float v : {0.1f, 0.5f, 0.9f}) {
            const Scattered s = Sample(a, u1, v, 0.0f, wo, Z);
            EXPECT_TRUE(s.isSpecular);
            EXPECT_NEAR(s.wi.Length(), 1.0f, 1e-5f);
            const Vector3 h = (s.wi + wo).Normalized();
            const double cosTheta = std::pow(1.0 - v, 1.0 / 21.0);
            EXPECT_NEAR(Dot(h, Z), cosTheta, 1e-5);
            // With nu = nv the azimuth is 2 pi u1 in the (u, w) frame around the normal.
            const double sinTheta = std::sqrt(1 - cosTheta * cosTheta);
            EXPECT_NEAR(Dot(h, u), sinTheta * std::cos(2 * Pi * u1), 1e-5);
            EXPECT_NEAR(Dot(h, w), sinTheta * std::sin(2 * Pi * u1), 1e-5);
            ASSERT_GT(Dot(s.wi, Z), 0.0f);
            EXPECT_EQ(s.f, rs);
            EXPECT_NEAR(s.pdf * Dot(s.wi, Z), 1.0f, 1e-5f);
        }
    }
}

TEST(BRDF_Anisotropic, AnisotropicLobeIsBuiltAroundTheMirrorDirection) {
    const BRDF_Anisotropic a = Anisotropic(Vector3(1, 1, 1), Vector3(1, 1, 1), 10, 40);
    const Vector3 n = Vector3(0.1f, -0.3f, 0.9f).Normalized();
    const Vector3 wo = Direction(35, 200);
    const Vector3 r = Reflect(-wo, n);
    const Vector3 t1(0, r.z, -r.y);
    const Vector3 t2(-r.y * r.y - r.z * r.z, r.x * r.y, r.x * r.z);
    const double ratio = a.lobeRatio;
    // u1 = 1/8 is x = pi/4 in the first quarter, 3/8 the mirrored one in the second.
    const double stretched = std::atan(ratio);
    for (const auto& [u1, phi] :
         {std::pair{0.125f, stretched}, std::pair{0.375f, Pi - stretched}, std::pair{0.0f, 0.0}}) {
        const float v = 0.6f;
        const Scattered s = Sample(a, u1, v, 0.0f, wo, n);
        const double sin2 = std::sin(phi) * std::sin(phi);
        const double cos2 = std::cos(phi) * std::cos(phi);
        const double cosTheta = std::pow(1.0 - v, 1.0 / (40 * sin2 + 10 * cos2 + 1));
        const double sinTheta = std::sqrt(1 - cosTheta * cosTheta);
        EXPECT_NEAR(Dot(s.wi, r), cosTheta, 1e-5);
        EXPECT_NEAR(Dot(s.wi, t1) / t1.LengthSquared(), sinTheta * std::cos(phi), 1e-5);
        EXPECT_NEAR(Dot(s.wi, t2) / t2.LengthSquared(), sinTheta * std::sin(phi), 1e-5);
        // Not normalised: the side axes are as long as sqrt(r.y^2 + r.z^2).
        EXPECT_NEAR(s.wi.LengthSquared(),
                    cosTheta * cosTheta + sinTheta * sinTheta * t1.LengthSquared(), 1e-5);
        EXPECT_NEAR(s.pdf * Dot(s.wi, n), 1.0f, 1e-5f);
    }
}

TEST(BRDF_Anisotropic, DirectionsBelowTheSurfaceAreRejected) {
    const BRDF_Anisotropic a = Anisotropic(Vector3(1, 1, 1), Vector3(), 1, 1);
    const Vector3 grazing = Direction(88, 10);
    int rejected = 0;
    for (int i = 0; i < 16; ++i) {
        for (int j = 0; j < 16; ++j) {
            const Scattered s = Sample(a, (i + 0.5f) / 16, (j + 0.5f) / 16, 0.0f, grazing, Z);
            if (Dot(s.wi, Z) > 0.0f) {
                EXPECT_NEAR(s.pdf * Dot(s.wi, Z), 1.0f, 1e-4f);
                EXPECT_EQ(s.f, Vector3(1, 1, 1));
            } else {
                ++rejected;
                EXPECT_EQ(s.pdf, 0.0f);
                EXPECT_TRUE(s.f.IsBlack());
            }
        }
    }
    EXPECT_GT(rejected, 0);
}

TEST(BRDF_Ward, SetDerivesTheLobeConstants) {
    const BRDF_Ward ward = Ward(Vector3(0.5f, 0.5f, 0.5f), Vector3(), 0.5f, 0.25f);
    EXPECT_EQ(ward.Flags(), 1);
    EXPECT_EQ(ward.alphaX, 0.5f);
    EXPECT_EQ(ward.alphaY, 0.25f);
    EXPECT_FLOAT_EQ(ward.invAlphaX2, 4.0f);
    EXPECT_FLOAT_EQ(ward.invAlphaY2, 16.0f);
    EXPECT_FLOAT_EQ(ward.wardNorm, 0.125f * 12.566371f);
    EXPECT_EQ(Ward(Vector3(), Vector3(1, 1, 1), 10, 10).Flags(), 2);
    EXPECT_EQ(Ward(Vector3(1, 1, 1), Vector3(1, 1, 1), 10, 10).Flags(), 3);
}

TEST(BRDF_Ward, ZeroRoughnessIsRaisedToTheFloorAndStaysFinite) {
    const BRDF_Ward ward = Ward(Vector3(1, 1, 1), Vector3(0.2f, 0.2f, 0.2f), 0.0f, 0.0f);
    EXPECT_EQ(ward.alphaX, BRDF_Ward::MinimumRoughness);
    EXPECT_EQ(ward.alphaY, BRDF_Ward::MinimumRoughness);
    const Vector3 wo = Direction(30, 0);
    for (const Vector3& wi : {Direction(30, 180), Direction(31, 180), Direction(60, 90)}) {
        const Vector3 f = ward.Evaluate(wo, wi, Z);
        for (int c = 0; c < 3; ++c) {
            EXPECT_TRUE(std::isfinite(f[c]));
            EXPECT_GE(f[c], 0.2f * 0.31830987f * 0.999f);
        }
    }
}

TEST(BRDF_Ward, EvaluateUsesWorldZWhateverTheNormal) {
    const Vector3 specular(0.4f, 0.5f, 0.6f);
    const Vector3 diffuse(0.3f, 0.2f, 0.1f);
    const BRDF_Ward ward = Ward(specular, diffuse, 0.5f, 0.25f);
    // Opposite sides of the x-y plane are black even for a normal lying in that plane.
    EXPECT_EQ(ward.Evaluate(Vector3(0, 0.6f, 0.8f), Vector3(0.6f, 0, -0.8f), Vector3(1, 0, 0)),
              Vector3());
    // Both below: the product is positive but h.z is not.
    EXPECT_EQ(ward.Evaluate(Vector3(0, 0.6f, -0.8f), Vector3(0.6f, 0, -0.8f), Z), Vector3());

    // wo = (0.6, 0, 0.8), wi = z: h = (0.6, 0, 1.8), e = exp(-(0.36 * 4) / 3.24).
    const Vector3 normals[] = {Z, Vector3(1, 0, 0), Vector3(0, -1, 0)};
    for (const Vector3& n : normals) {
        const Vector3 value = ward.Evaluate(Vector3(0.6f, 0, 0.8f), Z, n);
        const double e = std::exp(-1.44 / 3.24);
        const double norm = 0.125 * 4 * Pi;
        for (int c = 0; c < 3; ++c) {
            const double expected = diffuse[c] / Pi + specular[c] * e / (std::sqrt(0.8) * norm);
            EXPECT_NEAR(value[c], expected, 1e-5);
        }
    }
    // wo and wi tilted along x and y: h = (0.6, 0.6, 1.6), wo.z wi.z = 0.64,
    // e = exp(-(0.36 * 16 + 0.36 * 4) / 2.56).
    const Vector3 across = ward.Evaluate(Vector3(0.6f, 0, 0.8f), Vector3(0, 0.6f, 0.8f), Z);
    EXPECT_NEAR(across.y,
                diffuse.y / Pi + specular.y * std::exp(-7.2 / 2.56) / (0.8 * 0.125 * 4 * Pi), 1e-6);
    // Along y the narrower roughness (alphaY 0.25) applies: e = exp(-(0.36 * 16) / 3.24).
    const Vector3 alongY = ward.Evaluate(Vector3(0, 0.6f, 0.8f), Z, Z);
    EXPECT_NEAR(alongY.x,
                diffuse.x / Pi + specular.x * std::exp(-5.76 / 3.24) / (std::sqrt(0.8) * 0.5 * Pi),
                1e-5);
}

TEST(BRDF_Ward, SampleFromTheZenithReflectsAtTwiceTheHalfAngle) {
    // alpha 1: tan^2(theta) = -ln(scatterU).
    const BRDF_Ward ward = Ward(Vector3(1, 1, 1), Vector3(0.5f, 0.5f, 0.5f), 1.0f, 1.0f);
    for (const float v : {0.05f, 0.2f, 0.45f, 0.7f, 0.95f}) {
        // theta = 18 degrees: wi at 36 degrees, above the plane, f = Evaluate.
        const Scattered near = Sample(ward, 0.9f, v, 0.0f, Z, Z);
        const double theta = std::atan(std::sqrt(-std::log(0.9)));
        EXPECT_NEAR(std::acos(near.wi.z), 2 * theta, 1e-5);
        EXPECT_TRUE(near.isSpecular);
        EXPECT_GT(near.pdf, 0.0f);
        EXPECT_EQ(near.f, ward.Evaluate(Z, near.wi, Z));
        EXPECT_FALSE(near.f.IsBlack());
        // The half vectors lie in one quadrant of the x-y plane.
        const Vector3 h = (near.wi + Z).Normalized();
        EXPECT_GE(h.x, -1e-6f);
        EXPECT_GE(h.y, -1e-6f);

        // theta = 56.6 degrees (> 45): wi at 113 degrees, below the plane, black.
        const Scattered far = Sample(ward, 0.1f, v, 0.0f, Z, Z);
        EXPECT_TRUE(far.f.IsBlack());
        EXPECT_GE(far.pdf, 0.0f);
    }
}

TEST(BRDF_Ward, SamplesWithoutAPositiveDensityAreRejected) {
    const BRDF_Ward ward = Ward(Vector3(1, 1, 1), Vector3(0.5f, 0.5f, 0.5f), 1.0f, 1.0f);
    // scatterU = 0: tan^2 is infinite, the half vector lies on the horizon with density 0.
    const Scattered horizon = Sample(ward, 0.0f, 0.3f, 0.0f, Z, Z);
    EXPECT_EQ(horizon.pdf, 0.0f);
    EXPECT_TRUE(horizon.f.IsBlack());
    // scatterV = 0.2, scatterU = 0.57: h ~ (0.19, 0.57, 0.8). Its image about z in the BuildBasis
    // frame is (-h.y, h.x, h.z), and a grazing wo along +x has a negative cosine with it, so the
    // density formula comes out negative.
    const Scattered negative = Sample(ward, 0.57f, 0.2f, 0.0f, Vector3(0.99f, 0, 0.141f), Z);
    EXPECT_EQ(negative.pdf, 0.0f);
    EXPECT_TRUE(negative.f.IsBlack());
}

}  // namespace
}  // namespace glintor
