#include "lights/sun_light.h"

#include <algorithm>
#include <cmath>

#include "lights/sun_spectrum.h"
#include "math/sampling.h"

namespace glintor {

namespace {

constexpr float HalfPi = 1.5707964f;
constexpr float InvTwoPi = 0.15915494f;
constexpr double TwoPiD = 6.283185307179586;

bool IsFinite(const Vector3& v) {
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

}  // namespace

void SunLight::Setup(const Vector3& sunDirection, float turbidity, float sunSize, float sunGain) {
    SunDirection = sunDirection.Normalized();
    Turbidity = turbidity;
    SunSize = sunSize;
    SunGain = sunGain;
    const bool hasDirection = SunDirection.LengthSquared() > 0.0f;
    Tangent1 = Vector3();
    Tangent2 = Vector3();
    if (hasDirection) {
        BuildBasis(SunDirection, Tangent1, Tangent2);
    }

    // The sun's radius 6.955e5 km over its distance 1.496e8 km.
    const float r = sunSize * 0.004649064f;
    const double r2 = static_cast<double>(r) * r;
    if (sunSize * 6.955e5f <= 1.496e8f) {
        // At the limit r may round to just above 1.
        CosThetaMax = std::sqrt(std::max(0.0f, 1.0f - r * r));
        // 1 - sqrt(1 - r^2) = r^2 / (1 + sqrt(1 - r^2)), free of cancellation.
        SolidAngle = static_cast<float>(TwoPiD * r2 / (1.0 + std::sqrt(std::max(0.0, 1.0 - r2))));
    } else {
        CosThetaMax = 0.0f;
        SolidAngle = static_cast<float>(TwoPiD);
    }
    IntersectCos = 0.9975f;

    SunTheta = std::acos(std::clamp(SunDirection.z, -1.0f, 1.0f));
    SunRadiance = SunSpectrumColor(SunTheta, Turbidity) * (SunGain * InvTwoPi);
    if (!hasDirection || !IsFinite(SunRadiance)) {
        SunRadiance = Vector3();
    }
}

void SunLight::Sample(Vector3& radiance, const PathSample& sample, RandomGenerator&, Ray& shadowRay,
                      const Vector3& point, const Vector3& normal, float& pdf) const {
    if (SunDirection.LengthSquared() == 0.0f || Dot(SunDirection, normal) < 0.0f) {
        RejectSample(radiance, pdf);
        return;
    }
    pdf = 1.0f / SolidAngle;
    radiance = SunRadiance;
    if (!IsFiniteSample(radiance, pdf)) {
        RejectSample(radiance, pdf);
        return;
    }
    AimShadowRay(
        shadowRay, point,
        UniformCone(sample.lightU, sample.lightV, CosThetaMax, SunDirection, Tangent1, Tangent2),
        RayInfinity);
}

void SunLight::Emitted(Vector3& radiance, const Vector3& direction, const Vector3* normal) const {
    const float k = normal != nullptr ? Dot(direction, *normal) : 0.0f;
    // SunGain enters a second time here, on top of the gain inside SunRadiance.
    radiance = k > 0.0f ? SunRadiance * (SolidAngle * k * HalfPi * SunGain) : ZeroVector();
}

bool SunLight::Intersect(const Ray& ray, Intersection& hit) const {
    if (Dot(ray.direction, SunDirection) > IntersectCos && hit.distance == RayInfinity) {
        hit.normal = -SunDirection;
        return true;
    }
    return false;
}

}  // namespace glintor
