#include <gtest/gtest.h>

#include <cmath>

#include "materials/btdf_glass.h"
#include "materials/btdf_thin_glass.h"
#include "tests/support/bxdf_sampling.h"
#include "tests/support/vector_expect.h"

namespace glintor {
namespace {

using testing::ExpectNear;
using testing::Scattered;

constexpr double Pi = 3.14159265358979323846;

// nFacing is derived the way the integrator does it, from the ray direction -wo.
Scattered Sample(const BxDFBase& bxdf, float scatterU, const Vector3& wo, const Vector3& n) {
    PathSample sample{};
    sample.scatterU = scatterU;
    const Vector3 nFacing = Dot(-wo, n) > 0.0f ? -n : n;
    return testing::Scatter(bxdf, sample, wo, n, nFacing);
}

BTDF_Glass Glass(float ior) {
    BTDF_Glass glass;
    glass.Set(Vector3(0.9f, 0.8f, 0.7f), Vector3(0.1f, 0.2f, 0.3f), ior);
    return glass;
}

BTDF_ThinGlass ThinGlass(const Vector3& transmission, const Vector3& reflection) {
    BTDF_ThinGlass thin;
    thin.Set(transmission, reflection);
    return thin;
}

Vector3 Direction(double degreesFromZ) {
    const double t = degreesFromZ * Pi / 180.0;
    return Vector3(static_cast<float>(std::sin(t)), 0.0f, static_cast<float>(std::cos(t)));
}

const Vector3 Z(0, 0, 1);

TEST(BTDF_Glass, SetDerivesNormalIncidenceReflectance) {
    const BTDF_Glass glass = Glass(1.5f);
    EXPECT_EQ(glass.Flags(), 1);
    EXPECT_EQ(glass.ior, 1.5f);
    EXPECT_NEAR(glass.r0, 0.03994, 1e-5);
    EXPECT_EQ(Glass(1.0003f).r0, 0.0f);
    EXPECT_TRUE(glass.BaseColor().IsBlack());
    EXPECT_TRUE(glass.Evaluate(Z, -Z, Z).IsBlack());
}

TEST(BTDF_Glass, EnteringAtNormalIncidence) {
    const BTDF_Glass glass = Glass(1.5f);
    const float pReflect = 0.5f * glass.r0 + 0.25f;  // ~0.27
    const Scattered through = Sample(glass, 0.5f, Z, Z);
    EXPECT_TRUE(through.isSpecular);
    ExpectNear(through.wi, -Z);
    EXPECT_EQ(through.f, glass.transmission);
    EXPECT_NEAR(through.pdf, (1 - pReflect) / (1 - glass.r0), 1e-5f);
    EXPECT_NEAR(through.pdf, 0.73f / 0.96f, 2e-3f);

    const Scattered back = Sample(glass, 0.1f, Z, Z);
    ExpectNear(back.wi, Z);
    EXPECT_EQ(back.f, glass.reflection);
    EXPECT_NEAR(back.pdf, pReflect / glass.r0, 1e-3f);
}

TEST(BTDF_Glass, RefractionFollowsSnellBothWays) {
    const BTDF_Glass glass = Glass(1.5f);
    // Entering at 45 degrees: sin(t) = sin(45) * 1.0003 / 1.5, bent towards -n.
    const Scattered in = Sample(glass, 0.999f, Direction(45), Z);
    EXPECT_LT(in.wi.z, 0.0f);
    EXPECT_NEAR(in.wi.Length(), 1.0f, 1e-6f);
    EXPECT_NEAR(-in.wi.x, std::sin(Pi / 4) * 1.0003 / 1.5, 1e-5);
    EXPECT_EQ(in.f, glass.transmission);
    // Leaving at 30 degrees from inside (wo below an outward normal): sin(t) = 1.5 sin(30)
    // / 1.0003.
    const Scattered out = Sample(glass, 0.999f, -Direction(30), Z);
    EXPECT_GT(out.wi.z, 0.0f);
    EXPECT_NEAR(out.wi.x, 1.5 * 0.5 / 1.0003, 1e-4);
    // The Fresnel cosine is on the outer side: cos(t) of the refracted direction.
    const float f = Schlick(out.wi.z, glass.r0);
    EXPECT_NEAR(out.pdf, (1 - (0.5f * f + 0.25f)) / (1 - f), 1e-4f);
}

TEST(BTDF_Glass, LeavingAt60DegreesIsTotallyReflected) {
    const BTDF_Glass glass = Glass(1.5f);
    for (const float u : {0.0f, 0.5f, 0.999f}) {
        const Vector3 wo = -Direction(60);  // inside, below the outward normal z
        const Scattered s = Sample(glass, u, wo, Z);
        ExpectNear(s.wi, Reflect(-wo, Z));
        EXPECT_EQ(s.pdf, 1.0f);
        EXPECT_EQ(s.f, glass.reflection);
        EXPECT_TRUE(s.isSpecular);
    }
}

TEST(BTDF_Glass, MatchedIndexPassesStraightOn) {
    const BTDF_Glass glass = Glass(1.0003f);
    const Vector3 wo = Vector3(0.3f, -0.4f, 0.5f).Normalized();
    const Scattered s = Sample(glass, 0.9f, wo, Z);
    ExpectNear(s.wi, -wo);
    // Normal incidence with r0 = 0 is the pure transmission case F = 0.
    const Scattered straight = Sample(glass, 0.0f, Z, Z);
    ExpectNear(straight.wi, -Z);
    EXPECT_EQ(straight.pdf, 1.0f);
    EXPECT_EQ(straight.f, glass.transmission);
}

TEST(BTDF_Glass, ZeroIndexIsAMirrorWithoutNaN) {
    // IOR 0 is inside the accepted range; r0 = 1 and eta is infinite when entering.
    const BTDF_Glass glass = Glass(0.0f);
    EXPECT_EQ(glass.r0, 1.0f);
    for (const Vector3& wo : {Z, Direction(30), -Direction(30), -Z}) {
        for (const float u : {0.0f, 0.5f, 0.99f}) {
            const Scattered s = Sample(glass, u, wo, Z);
            ExpectNear(s.wi, Reflect(-wo, Z));
            EXPECT_EQ(s.pdf, 1.0f);
            EXPECT_EQ(s.f, glass.reflection);
        }
    }
}

TEST(BTDF_ThinGlass, SetDerivesProbabilitiesFromLargestComponents) {
    const BTDF_ThinGlass thin = ThinGlass(Vector3(0.9f, 0.9f, 0.9f), Vector3(0.1f, 0.1f, 0.1f));
    EXPECT_EQ(thin.Flags(), 1);
    EXPECT_NEAR(thin.pReflect, 0.1f, 1e-6f);
    EXPECT_NEAR(thin.pTransmit, 0.9f, 1e-6f);
    EXPECT_NEAR(thin.weightSum, 1.0f, 1e-6f);
    const BTDF_ThinGlass mixed = ThinGlass(Vector3(0.5f, 0.6f, 0.4f), Vector3(0.1f, 0.2f, 0.3f));
    EXPECT_FLOAT_EQ(mixed.weightSum, 0.9f);
    EXPECT_FLOAT_EQ(mixed.pReflect, 0.3f / 0.9f);
    EXPECT_FLOAT_EQ(mixed.pTransmit, 0.6f / 0.9f);
}

TEST(BTDF_ThinGlass, FrontReflectsAboveThresholdBackAlwaysPasses) {
    const BTDF_ThinGlass thin = ThinGlass(Vector3(0.9f, 0.9f, 0.9f), Vector3(0.1f, 0.1f, 0.1f));
    const Vector3 n = Vector3(0.2f, 0.1f, 0.9f).Normalized();
    const Vector3 wo = Vector3(-0.3f, 0.4f, 0.8f).Normalized();

    const Scattered reflected = Sample(thin, 0.95f, wo, n);
    EXPECT_TRUE(reflected.isSpecular);
    ExpectNear(reflected.wi, Reflect(-wo, n));
    EXPECT_EQ(reflected.pdf, thin.pReflect);
    EXPECT_EQ(reflected.f, thin.reflection);

    const Scattered passed = Sample(thin, 0.85f, wo, n);
    EXPECT_FALSE(passed.isSpecular);
    EXPECT_EQ(passed.wi, -wo);
    EXPECT_EQ(passed.pdf, thin.pTransmit);
    EXPECT_EQ(passed.f, thin.transmission);

    // From behind, even the largest number passes straight through.
    const Scattered behind = Sample(thin, 1.0f - 0x1p-24f, -wo, n);
    EXPECT_FALSE(behind.isSpecular);
    EXPECT_EQ(behind.wi, wo);
    EXPECT_EQ(behind.f, thin.transmission);
}

TEST(BTDF_ThinGlass, BlackSheetAbsorbsEverythingWithoutNaN) {
    const BTDF_ThinGlass black = ThinGlass(Vector3(), Vector3());
    EXPECT_EQ(black.pReflect, 0.0f);
    EXPECT_EQ(black.pTransmit, 0.0f);
    EXPECT_EQ(black.weightSum, 0.0f);
    for (const float u : {0.0f, 0.5f, 1.0f - 0x1p-24f}) {
        for (const Vector3& wo : {Z, -Z, Direction(70)}) {
            const Scattered s = Sample(black, u, wo, Z);
            EXPECT_EQ(s.pdf, 0.0f);
            EXPECT_EQ(s.f, Vector3());
            EXPECT_TRUE(std::isfinite(s.wi.x) && std::isfinite(s.wi.y) && std::isfinite(s.wi.z));
        }
    }
    // A negative transmission colour leaves that branch a negative probability (here -1): a ray
    // from behind, which always takes it, is rejected as well.
    const BTDF_ThinGlass odd = ThinGlass(Vector3(-0.5f, -0.5f, -0.5f), Vector3(1, 1, 1));
    EXPECT_FLOAT_EQ(odd.pTransmit, -1.0f);
    const Scattered s = Sample(odd, 0.0f, -Z, Z);
    EXPECT_EQ(s.pdf, 0.0f);
    EXPECT_TRUE(s.f.IsBlack());
}

}  // namespace
}  // namespace glintor
