#include "materials/brdf_anisotropic.h"

#include <algorithm>
#include <cmath>

namespace glintor {

void BRDF_Anisotropic::Set(const Vector3& specularColor, const Vector3& diffuseColor, float nuValue,
                           float nvValue) {
    diffuse = diffuseColor;
    specular = specularColor;
    nu = nuValue;
    nv = nvValue;
    lobeRatio = std::sqrt((nu + 1.0f) / (nv + 1.0f));
    diffuseFactor = diffuse * 28.0f * 0.0138395606f * (Vector3(1.0f, 1.0f, 1.0f) - specular);
    specularNorm = std::sqrt((nv + 1.0f) * (nu + 1.0f)) * 0.0397887342f;
    flags = DiffuseSpecularFlags(diffuse, specular);
}

Vector3 BRDF_Anisotropic::Evaluate(const Vector3& wo, const Vector3& wi,
                                   const Vector3& normal) const {
    const Vector3 h = (wi + wo).Normalized();
    if (h == Vector3()) {
        return {};
    }
    const float cosH = Dot(normal, h);
    const float cosO = Dot(wo, normal);
    const float cosI = Dot(wi, normal);
    const float kh = Dot(wi, h);

    Vector3 result;
    if (!diffuse.IsBlack()) {
        const auto fifth = [](float c) {
            return static_cast<float>(std::pow(static_cast<double>(1.0f - c * 0.5f), 5.0));
        };
        result = diffuseFactor * ((1.0f - fifth(cosO)) * (1.0f - fifth(cosI)));
    }

    // The lobe is empty for a half vector on or below the surface plane (a negative base has no
    // real power; this is where a light below the surface lands) and where its denominator
    // vanishes or turns negative (wi nearly opposite wo, or both directions on the plane).
    const float denominator = kh * std::max(cosO, cosI);
    if (!(cosH > 0.0f) || !(denominator > 0.0f)) {
        return result;
    }
    // With h on the normal the exponent is x/0 or 0/0, but the power of 1 is 1 whatever the
    // exponent, so the lobe takes its peak value there (and where rounding puts cosH above 1).
    const float sin2H = 1.0f - cosH * cosH;
    double lobe = 1.0;
    if (sin2H > 0.0f) {
        const float exponent = (nu * h.x * h.x + nv * h.y * h.y) / sin2H;
        lobe = std::pow(static_cast<double>(cosH), static_cast<double>(exponent));
    }
    const float s = static_cast<float>(lobe / denominator * specularNorm);
    // Only directions within about 1e-37 of the surface plane overflow; they contribute nothing
    // measurable, and an infinite value would turn into NaN in the caller.
    if (!std::isfinite(s)) {
        return result;
    }
    return result + Schlick(kh, specular) * s;
}

float BRDF_Anisotropic::StretchAzimuth(float x) const {
    if (nu == nv) {
        return x;
    }
    return static_cast<float>(
        std::atan(static_cast<double>(lobeRatio) * std::tan(static_cast<double>(x))));
}

Vector3 BRDF_Anisotropic::SampleDirection(const PathSample& sample, RandomGenerator&,
                                          const Vector3& wo, Vector3& wi, const Vector3&,
                                          const Vector3& nFacing, bool& isSpecular,
                                          float& pdf) const {
    constexpr float HalfPi = 1.57079637f;
    constexpr float Pi = 3.14159274f;
    constexpr float TwoPi = 6.28318548f;
    isSpecular = (flags & FlagSpecular) != 0;

    // One quarter of the azimuth circle per quarter of u1, each stretched by the lobe's ratio.
    const float u1 = sample.scatterU;
    float phi;
    if (u1 < 0.25f) {
        phi = StretchAzimuth(4.0f * u1 * HalfPi);
    } else if (u1 < 0.5f) {
        phi = Pi - StretchAzimuth(4.0f * (0.5f - u1) * HalfPi);
    } else if (u1 < 0.75f) {
        phi = Pi + StretchAzimuth(4.0f * (u1 - 0.5f) * HalfPi);
    } else {
        phi = TwoPi - StretchAzimuth(4.0f * (1.0f - u1) * HalfPi);
    }
    const float cosPhi = std::cos(phi);
    const float sinPhi = std::sin(phi);

    const float cosTheta = std::pow(1.0f - sample.scatterV,
                                    1.0f / (nv * sinPhi * sinPhi + nu * cosPhi * cosPhi + 1.0f));
    const float sinTheta = std::sqrt(std::max(0.0f, 1.0f - cosTheta * cosTheta));

    if (nu == nv) {
        Vector3 h = FromLocalFrame({sinTheta * cosPhi, sinTheta * sinPhi, cosTheta}, nFacing);
        if (!(wo.z * h.z > 0.0f)) {
            h = -h;
        }
        wi = h * (2.0f * Dot(h, wo)) - wo;
    } else {
        const Vector3 r = nFacing * (2.0f * Dot(nFacing, wo)) - wo;
        const Vector3 t1(0.0f, r.z, -r.y);
        const Vector3 t2(-r.y * r.y - r.z * r.z, r.x * r.y, r.x * r.z);
        wi = r * cosTheta + t1 * (sinTheta * cosPhi) + t2 * (sinTheta * sinPhi);
    }

    const float cosWi = Dot(wi, nFacing);
    pdf = cosWi > 0.0f ? 1.0f / cosWi : 0.0f;
    if (!IsUsablePdf(pdf)) {
        pdf = 0.0f;
        return {};
    }
    return specular;
}

}  // namespace glintor
