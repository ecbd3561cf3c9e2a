#include "lights/sky_light.h"

#include <algorithm>
#include <cmath>

#include "lights/spd.h"
#include "math/sampling.h"

namespace glintor {

namespace {

constexpr float Pi = 3.1415927f;
constexpr float TwoPi = 6.2831855f;
constexpr float InvPi = 0.31830987f;
// Just under pi / 2: keeps 1 / cos theta finite at and below the horizon.
constexpr float MaxPerezTheta = 1.5697963f;

float Perez(const PerezCoefficients& c, float theta, float gamma) {
    const float cosGamma = std::cos(gamma);
    return (1.0f + c[0] * std::exp(c[1] / std::cos(theta))) *
           (1.0f + c[2] * std::exp(c[3] * gamma) + c[4] * cosGamma * cosGamma);
}

PerezCoefficients Linear(float t, const PerezCoefficients& slope, const PerezCoefficients& offset) {
    PerezCoefficients c;
    std::transform(slope.begin(), slope.end(), offset.begin(), c.begin(),
                   [t](float s, float o) { return s * t + o; });
    return c;
}

float Azimuth(const Vector3& d) {
    const float phi = std::atan2(d.y, d.x);
    return phi < 0.0f ? phi + TwoPi : phi;
}

bool IsFinite(const Vector3& v) {
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

}  // namespace

void SkyLight::Setup(const Vector3& sunDirection, float turbidity, float skyGain) {
    SunDirection = sunDirection.Normalized();
    Turbidity = turbidity;
    SkyGain = skyGain;
    SunTheta = std::acos(std::clamp(SunDirection.z, -1.0f, 1.0f));
    SunPhi = Azimuth(SunDirection);

    const float t = turbidity;
    const float theta = SunTheta;
    const float chi = (4.0f / 9.0f - t / 120.0f) * (Pi - 2.0f * theta);
    // The model's zenith luminance scaled by 0.06; 0.14515199 is 0.06 * 2.4192.
    const float zenithLuminance =
        0.06f * ((4.0453f * t - 4.971f) * std::tan(chi) - 0.2155f * t) + 0.14515199f;

    const float theta2 = theta * theta;
    const float theta3 = theta2 * theta;
    const float t2 = t * t;
    const float zenithX =
        t2 * (0.00166f * theta3 - 0.00375f * theta2 + 0.00209f * theta) +
        t * (-0.02903f * theta3 + 0.06377f * theta2 - 0.03202f * theta + 0.00394f) +
        (0.11693f * theta3 - 0.21196f * theta2 + 0.06052f * theta + 0.25886f);
    const float zenithY =
        t2 * (0.00275f * theta3 - 0.0061f * theta2 + 0.00317f * theta) +
        t * (-0.04214f * theta3 + 0.0897f * theta2 - 0.04153f * theta + 0.00516f) +
        (0.15346f * theta3 - 0.26756f * theta2 + 0.0667f * theta + 0.26688f);

    PerezLuminance = Linear(t, {0.1787f, -0.3554f, -0.0227f, 0.1206f, -0.067f},
                            {-1.463f, 0.4275f, 5.3251f, -2.5771f, 0.3703f});
    PerezX = Linear(t, {-0.0193f, -0.0665f, -0.0004f, -0.0641f, -0.0033f},
                    {-0.2592f, 0.0008f, 0.2125f, -0.8989f, 0.0452f});
    PerezY = Linear(t, {-0.0167f, -0.095f, -0.0079f, -0.0441f, -0.0109f},
                    {-0.2608f, 0.0092f, 0.2102f, -1.6537f, 0.0529f});

    ZenithLuminance = zenithLuminance / Perez(PerezLuminance, 0.0f, theta);
    ZenithX = zenithX / Perez(PerezX, 0.0f, theta);
    ZenithY = zenithY / Perez(PerezY, 0.0f, theta);
}

Vector3 SkyLight::SkyRadiance(float theta, float phi) const {
    const float thetaClamped = theta < MaxPerezTheta ? theta : MaxPerezTheta;
    const float cosGamma = std::cos(SunPhi - phi) * std::sin(SunTheta) * std::sin(theta) +
                           std::cos(theta) * std::cos(SunTheta);
    const float gamma = cosGamma >= 1.0f ? 0.0f : cosGamma <= -1.0f ? Pi : std::acos(cosGamma);

    const float luminance = ZenithLuminance * Perez(PerezLuminance, thetaClamped, gamma);
    const float x = ZenithX * Perez(PerezX, thetaClamped, gamma);
    const float y = ZenithY * Perez(PerezY, thetaClamped, gamma);
    const float bigX = y != 0.0f ? x * luminance / y : 0.0f;
    const float bigZ = y != 0.0f && luminance != 0.0f ? (1.0f - x - y) * luminance / y : 0.0f;
    const Vector3 rgb = XYZToRGB({bigX, luminance, bigZ});
    return IsFinite(rgb) ? rgb : Vector3();
}

void SkyLight::Sample(Vector3& radiance, const PathSample& sample, RandomGenerator&, Ray& shadowRay,
                      const Vector3& point, const Vector3& normal, float& pdf) const {
    const Vector3 local = CosineHemisphere(sample.lightU, sample.lightV);
    Vector3 t1;
    Vector3 t2;
    BuildBasis(normal, t1, t2);
    const Vector3 d = t1 * local.x + t2 * local.y + normal * local.z;
    pdf = local.z * InvPi;
    Emitted(radiance, d, nullptr);
    // A direction on the hemisphere's rim has pdf 0; a normal of length 0 gives no frame.
    if (!(pdf > 0.0f) || !IsFiniteSample(radiance, pdf) || !IsFinite(d)) {
        RejectSample(radiance, pdf);
        return;
    }
    AimShadowRay(shadowRay, point, d, RayInfinity);
}

void SkyLight::Emitted(Vector3& radiance, const Vector3& direction, const Vector3*) const {
    const float theta = std::acos(std::clamp(direction.z, -1.0f, 1.0f));
    const Vector3 rgb = SkyRadiance(theta, Azimuth(direction)) * SkyGain;
    // A huge but finite sky times the gain can still overflow.
    radiance = IsFinite(rgb) ? rgb : ZeroVector();
}

bool SkyLight::Intersect(const Ray&, Intersection&) const {
    return false;
}

}  // namespace glintor
