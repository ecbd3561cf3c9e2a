#include "materials/bxdf.h"

#include <gtest/gtest.h>

#include <cmath>

#include "materials/brdf_matte.h"

namespace glintor {
namespace {

void ExpectNear(const Vector3& a, const Vector3& b, float eps = 1e-6f) {
    EXPECT_NEAR(a.x, b.x, eps);
    EXPECT_NEAR(a.y, b.y, eps);
    EXPECT_NEAR(a.z, b.z, eps);
}

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

}  // namespace
}  // namespace glintor
