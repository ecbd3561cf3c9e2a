#include "materials/bxdf.h"

#include <gtest/gtest.h>

#include <cmath>

#include "materials/brdf_matte.h"
#include "materials/brdf_shiny.h"
#include "tests/support/bxdf_sampling.h"
#include "tests/support/vector_expect.h"

namespace glintor {
namespace {

using testing::ExpectNear;
using testing::Scattered;

TEST(BxDFBase, NewObjectIsBlackWithoutFlagsAndEmissionFollowsTheSumTest) {
    BRDF_Matte matte;
    EXPECT_EQ(matte.Flags(), 0);
    EXPECT_EQ(matte.emission, Vector3());
    EXPECT_FALSE(matte.isEmitter);

    matte.SetEmission(Vector3(0, 0, 0.1f));
    EXPECT_TRUE(matte.isEmitter);
    EXPECT_EQ(matte.emission, Vector3(0, 0, 0.1f));
    // Components that cancel count as black, and a later black emission clears the flag again.
    matte.SetEmission(Vector3(1, -1, 0));
    EXPECT_FALSE(matte.isEmitter);
    matte.SetEmission(Vector3(2, 2, 2));
    matte.SetEmission(Vector3());
    EXPECT_FALSE(matte.isEmitter);
    // Emission never touches the flags.
    EXPECT_EQ(matte.Flags(), 0);
}

TEST(BxDFHelpers, FlagValuesSchlickAndExponentTerm) {
    EXPECT_EQ(FlagSpecular, 1);
    EXPECT_EQ(FlagDiffuse, 2);
    EXPECT_EQ(DiffuseSpecularFlags(Vector3(), Vector3()), 0);
    EXPECT_EQ(DiffuseSpecularFlags(Vector3(0.5f, 0, 0), Vector3()), FlagDiffuse);
    EXPECT_EQ(DiffuseSpecularFlags(Vector3(), Vector3(0, 0, 1)), FlagSpecular);
    EXPECT_EQ(DiffuseSpecularFlags(Vector3(1, 1, 1), Vector3(1, 1, 1)), 3);

    EXPECT_FLOAT_EQ(Schlick(1.0f, 0.04f), 0.04f);
    EXPECT_FLOAT_EQ(Schlick(0.0f, 0.04f), 1.0f);
    EXPECT_FLOAT_EQ(Schlick(0.5f, 0.0f), 1.0f / 32.0f);
    ExpectNear(Schlick(0.5f, Vector3(0, 1, 0.5f)), Vector3(1.0f / 32, 1, 0.5f + 0.5f / 32));

    EXPECT_EQ(ExponentFactor(0.0f), 0.0f);
    EXPECT_FLOAT_EQ(ExponentFactor(9.0f), 0.1f);
    EXPECT_FLOAT_EQ(ExponentFactor(10000.0f), 1.0f / 10001.0f);

    EXPECT_TRUE(IsUsablePdf(1e-30f));
    EXPECT_FALSE(IsUsablePdf(0.0f));
    EXPECT_FALSE(IsUsablePdf(-1.0f));
    EXPECT_FALSE(IsUsablePdf(std::nanf("")));
    EXPECT_FALSE(IsUsablePdf(1.0f / 0.0f));
}

TEST(BxDFHelpers, LocalFrameIsTheBasisAroundTheNormal) {
    // BuildBasis((0, 0, 1)) gives u = (0, 1, 0), w = (-1, 0, 0).
    ExpectNear(FromLocalFrame(Vector3(1, 2, 3), Vector3(0, 0, 1)), Vector3(-2, 1, 3));
    const Vector3 n = Vector3(0.3f, -0.5f, 0.8f).Normalized();
    const Vector3 d = FromLocalFrame(Vector3(0.6f, 0, 0.8f), n);
    EXPECT_NEAR(Dot(d, n), 0.8f, 1e-6f);
    EXPECT_NEAR(d.Length(), 1.0f, 1e-6f);
}

TEST(SampleReflectionLobe, CosineToTheMirrorDirectionIsThePowerOfOneMinusU2) {
    const Vector3 wo = Vector3(1, 1, 0).Normalized();
    const Vector3 m(0, 1, 0);
    const Vector3 r = Vector3(-1, 1, 0).Normalized();
    for (const float e : {1.0f, 0.5f, 0.1f, 1.0f / 10001.0f}) {
        for (const float u1 : {0.0f, 0.3f, 0.99f}) {
            for (const float u2 : {0.0f, 0.25f, 0.5f, 0.999f}) {
                const Vector3 d = SampleReflectionLobe(m, wo, u1, u2, e);
                EXPECT_NEAR(d.Length(), 1.0f, 1e-5f);
                EXPECT_NEAR(Dot(d, r), std::pow(1.0 - u2, double{e}), 1e-5f)
                    << "e " << e << " u1 " << u1 << " u2 " << u2;
            }
        }
    }
    // u2 = 0 is the mirror direction itself, whatever u1.
    ExpectNear(SampleReflectionLobe(m, wo, 0.7f, 0.0f, 0.5f), r);
}

TEST(SampleReflectionLobe, SideFrameDependsOnTheNormalNotTheMirrorDirection) {
    const float sinT = std::sqrt(1.0f - 0.25f);
    // |m.x| <= 0.1: U = (0, -R.z, R.y). With m = wo = z, R = z and U = (0, -1, 0), V = (1, 0, 0);
    // u1 = 0 puts the sample along U.
    ExpectNear(SampleReflectionLobe(Vector3(0, 0, 1), Vector3(0, 0, 1), 0.0f, 0.75f, 0.5f),
               Vector3(0, -sinT, 0.5f), 1e-5f);
    // u1 = 0.25 turns a quarter towards V.
    ExpectNear(SampleReflectionLobe(Vector3(0, 0, 1), Vector3(0, 0, 1), 0.25f, 0.75f, 0.5f),
               Vector3(sinT, 0, 0.5f), 1e-5f);
    // |m.x| > 0.1: U = (R.z, 0, -R.x). With m = wo = x, R = x and U = (0, 0, -1).
    ExpectNear(SampleReflectionLobe(Vector3(1, 0, 0), Vector3(1, 0, 0), 0.0f, 0.75f, 0.5f),
               Vector3(0.5f, 0, -sinT), 1e-5f);
}

Scattered Sample(const BxDFBase& bxdf, float scatterU, float scatterV, const Vector3& wo,
                 const Vector3& n, const Vector3& nFacing) {
    PathSample sample{};
    sample.scatterU = scatterU;
    sample.scatterV = scatterV;
    return testing::Scatter(bxdf, sample, wo, n, nFacing);
}

BRDF_Matte Matte(const Vector3& diffuse) {
    BRDF_Matte matte;
    matte.Set(diffuse);
    return matte;
}

BRDF_Shiny Shiny(const Vector3& reflection, float fresnel, float exp) {
    BRDF_Shiny shiny;
    shiny.Set(reflection, fresnel, exp);
    return shiny;
}

TEST(BRDF_Matte, SetFillsColourScaledColourAndDiffuseFlag) {
    const BRDF_Matte matte = Matte(Vector3(0.5f, 0.25f, 1.0f));
    EXPECT_EQ(matte.Flags(), 2);
    EXPECT_EQ(matte.BaseColor(), Vector3(0.5f, 0.25f, 1.0f));
    EXPECT_EQ(matte.diffuseOverPi,
              Vector3(0.5f * 0.31830987f, 0.25f * 0.31830987f, 1.0f * 0.31830987f));
}

TEST(BRDF_Matte, EvaluateIgnoresTheDirections) {
    const BRDF_Matte matte = Matte(Vector3(0.8f, 0.6f, 0.4f));
    const Vector3 n(0, 0, 1);
    EXPECT_EQ(matte.Evaluate(Vector3(0, 0, 1), Vector3(0.6f, 0, 0.8f), n), matte.diffuseOverPi);
    // A light below the surface still gets the value; the caller's cosine carries the sign.
    EXPECT_EQ(matte.Evaluate(Vector3(0, 0, 1), Vector3(0.6f, 0, -0.8f), n), matte.diffuseOverPi);
}

TEST(BRDF_Matte, SampledDirectionsLieAboveNFacingWithProjectedPdfOneOverPi) {
    const BRDF_Matte matte = Matte(Vector3(0.8f, 0.6f, 0.4f));
    const Vector3 normals[] = {Vector3(0, 0, 1), Vector3(0, -1, 0), Vector3(1, 0, 0),
                               Vector3(0.3f, -0.5f, 0.8f).Normalized()};
    for (const Vector3& n : normals) {
        for (const float u : {0.1f, 0.5f, 0.73f, 0.999f}) {
            for (const float v : {0.05f, 0.5f, 0.9f}) {
                // The ray came from behind n, so nFacing is -n and wi must follow nFacing.
                const Scattered s = Sample(matte, u, v, -n, n, -n);
                EXPECT_FALSE(s.isSpecular);
                EXPECT_EQ(s.f, matte.diffuseOverPi);
                EXPECT_NEAR(s.pdf, 0.31830987f, 1e-4f);
                EXPECT_LT(Dot(s.wi, n), 0.0f);
                EXPECT_NEAR(s.wi.Length(), 1.0f, 1e-5f);
            }
        }
    }
}

TEST(BRDF_Matte, WarpOnTheHorizonIsRejected) {
    // The concentric disk maps (0, 0.5) to (-1, 0): the cosine-weighted warp returns z = 0.
    const BRDF_Matte matte = Matte(Vector3(1, 1, 1));
    const Scattered s =
        Sample(matte, 0.0f, 0.5f, Vector3(0, 0, 1), Vector3(0, 0, 1), Vector3(0, 0, 1));
    EXPECT_EQ(s.pdf, 0.0f);
    EXPECT_TRUE(s.f.IsBlack());
    EXPECT_FALSE(s.isSpecular);
}

TEST(BRDF_Shiny, SetStoresExponentTermAndSpecularFlag) {
    EXPECT_EQ(Shiny(Vector3(1, 1, 1), 1.0f, 0.0f).exponentFactor, 0.0f);
    const BRDF_Shiny shiny = Shiny(Vector3(1, 1, 1), 0.3f, 9.0f);
    EXPECT_FLOAT_EQ(shiny.exponentFactor, 0.1f);
    EXPECT_EQ(shiny.fresnel, 0.3f);
    EXPECT_EQ(shiny.Flags(), 1);
    EXPECT_TRUE(shiny.BaseColor().IsBlack());
    EXPECT_TRUE(shiny.Evaluate(Vector3(0, 0, 1), Vector3(0, 0, 1), Vector3(0, 0, 1)).IsBlack());
}

TEST(BRDF_Shiny, PerfectMirror) {
    const Vector3 color(0.9f, 0.8f, 0.7f);
    const BRDF_Shiny shiny = Shiny(color, 1.0f, 0.0f);
    const Vector3 up(0, 1, 0);
    const Scattered s = Sample(shiny, 0.3f, 0.6f, Vector3(1, 1, 0).Normalized(), up, up);
    ExpectNear(s.wi, Vector3(-1, 1, 0).Normalized());
    EXPECT_EQ(s.pdf, 1.0f);
    EXPECT_EQ(s.f, color);
    EXPECT_TRUE(s.isSpecular);

    // Normal incidence reflects straight back.
    const Scattered back = Sample(shiny, 0.3f, 0.6f, up, up, up);
    ExpectNear(back.wi, up);
    // The mirror has no test against the surface: wo below nFacing still reflects with pdf 1.
    const Scattered below = Sample(shiny, 0.3f, 0.6f, Vector3(1, -1, 0).Normalized(), up, up);
    ExpectNear(below.wi, Vector3(-1, -1, 0).Normalized());
    EXPECT_EQ(below.pdf, 1.0f);
}

TEST(BRDF_Shiny, LargeExponentStaysInATinyConeAroundTheMirror) {
    const BRDF_Shiny shiny = Shiny(Vector3(1, 1, 1), 1.0f, 10000.0f);
    const Vector3 n = Vector3(0.2f, 0.9f, -0.1f).Normalized();
    const Vector3 wo = Vector3(0.5f, 0.7f, 0.4f).Normalized();
    const Vector3 mirror = Reflect(-wo, n);
    // The widest sample (u2 at its largest value) has cos = (2^-24)^(1/10001) > 0.998.
    for (const float v : {0.0f, 0.5f, 0.9f, 1.0f - 0x1p-24f}) {
        for (const float u : {0.0f, 0.4f, 0.8f}) {
            const Scattered s = Sample(shiny, u, v, wo, n, n);
            EXPECT_GT(Dot(s.wi, mirror), 0.998f);
            EXPECT_EQ(s.pdf, 1.0f);
            EXPECT_TRUE(s.isSpecular);
        }
    }
}

TEST(BRDF_Shiny, LobeSamplesAtTheHorizonAreRejected) {
    // Exp 1 is e = 0.5: at normal incidence the cosine to the normal is sqrt(1 - scatterV).
    const BRDF_Shiny shiny = Shiny(Vector3(1, 1, 1), 1.0f, 1.0f);
    const Vector3 n(0, 0, 1);
    const Scattered low = Sample(shiny, 0.2f, 1.0f - 0x1p-24f, n, n, n);  // cos = 2^-12
    EXPECT_EQ(low.pdf, 0.0f);
    EXPECT_TRUE(low.f.IsBlack());
    EXPECT_TRUE(low.isSpecular);
    const Scattered high = Sample(shiny, 0.2f, 0.99f, n, n, n);  // cos = 0.1
    EXPECT_EQ(high.pdf, 1.0f);
    EXPECT_NEAR(Dot(high.wi, n), 0.1f, 1e-5f);
}

TEST(BRDF_Shiny, FresnelChangesNothing) {
    const BRDF_Shiny a = Shiny(Vector3(0.5f, 0.6f, 0.7f), 0.0f, 20.0f);
    const BRDF_Shiny b = Shiny(Vector3(0.5f, 0.6f, 0.7f), 1.0f, 20.0f);
    const Vector3 n = Vector3(0.1f, 0.2f, 0.97f).Normalized();
    const Vector3 wo = Vector3(-0.4f, 0.3f, 0.8f).Normalized();
    for (const float u : {0.0f, 0.3f, 0.77f}) {
        for (const float v : {0.1f, 0.6f, 0.999f}) {
            const Scattered sa = Sample(a, u, v, wo, n, n);
            const Scattered sb = Sample(b, u, v, wo, n, n);
            EXPECT_EQ(sa.wi, sb.wi);
            EXPECT_EQ(sa.pdf, sb.pdf);
            EXPECT_EQ(sa.f, sb.f);
        }
    }
}

}  // namespace
}  // namespace glintor
