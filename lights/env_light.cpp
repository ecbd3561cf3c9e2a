#include "lights/env_light.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

namespace glintor {

namespace {

constexpr float Pi = 3.1415927f;
constexpr float TwoPi = 6.2831855f;
constexpr float TwoPiSquared = 19.73921f;

}  // namespace

void EnvLight::Prepare() {
    if (Image.IsEmpty()) {
        return;
    }
    // A picture narrower or shorter than 2 pixels would give no cells at half resolution; it
    // gets one cell in that direction instead, so that the distribution is never empty.
    const uint32_t nu = std::max(Image.Width / 2, 1u);
    const uint32_t nv = std::max(Image.Height / 2, 1u);
    std::vector<float> values(static_cast<size_t>(nu) * nv);
    for (uint32_t i = 0; i < nv; ++i) {
        const float v = (static_cast<float>(i) + 0.5f) / static_cast<float>(nv);
        const float weight = std::sin(Pi * v) * TwoPiSquared;
        for (uint32_t j = 0; j < nu; ++j) {
            const float u = (static_cast<float>(j) + 0.5f) / static_cast<float>(nu);
            const Vector3 texel = Image.Lookup(u, v);
            values[static_cast<size_t>(i) * nu + j] =
                std::max({texel.x, texel.y, texel.z}) * weight;
        }
    }
    // Black pictures and black rows are handled by the distribution itself (uniform sampling,
    // rows of no weight never chosen).
    Distribution = std::make_unique<PiecewiseConstant2D>(values.data(), nu, nv);
}

void EnvLight::Sample(Vector3& radiance, const PathSample& sample, RandomGenerator&, Ray& shadowRay,
                      const Vector3& point, const Vector3& normal, float& pdf) const {
    if (!Distribution) {
        RejectSample(radiance, pdf);
        return;
    }
    const ContinuousSample v = Distribution->Marginal.SampleContinuous(sample.lightV);
    const ContinuousSample u = Distribution->Conditionals[v.offset].SampleContinuous(sample.lightU);
    const double theta = std::numbers::pi * v.x;
    const double phi = 2.0 * std::numbers::pi * (1.0 - u.x);
    const double sinThetaWide = std::sin(theta);
    const float sinTheta = static_cast<float>(sinThetaWide);
    const Vector3 d(static_cast<float>(-sinThetaWide * std::cos(phi)),
                    static_cast<float>(-sinThetaWide * std::sin(phi)),
                    static_cast<float>(std::cos(theta)));
    if (Dot(d, normal) <= 0.0f) {
        RejectSample(radiance, pdf);
        return;
    }
    pdf = v.pdf * u.pdf / (TwoPiSquared * sinTheta);
    radiance = Image.Lookup(u.x, v.x) * Power;
    // At the poles (v = 0 or 1) sin theta is 0 and the density infinite: such a direction has no
    // usable weight, and pdf 0 says so without letting infinity out.
    if (!IsFiniteSample(radiance, pdf)) {
        RejectSample(radiance, pdf);
        return;
    }
    AimShadowRay(shadowRay, point, d, RayInfinity);
}

void EnvLight::Emitted(Vector3& radiance, const Vector3& direction, const Vector3*) const {
    if (Image.IsEmpty()) {
        radiance = ZeroVector();
        return;
    }
    const float theta = std::acos(std::clamp(direction.z, -1.0f, 1.0f));
    float phi = std::atan2(direction.y, direction.x);
    if (phi < 0.0f) {
        phi += TwoPi;
    }
    // 1 + phi / 2pi reads the same column as phi / 2pi: the lookup wraps.
    radiance = Image.Lookup(1.0f + phi / TwoPi, theta / Pi) * Power;
}

bool EnvLight::Intersect(const Ray&, Intersection&) const {
    return false;
}

}  // namespace glintor
