#include "materials/brdf_ward.h"

#include <algorithm>
#include <cmath>

namespace glintor {

void BRDF_Ward::Set(const Vector3& specularColor, const Vector3& diffuseColor, float nuValue,
                    float nvValue) {
    diffuse = diffuseColor;
    specular = specularColor;
    alphaX = std::max(nuValue, MinimumRoughness);
    alphaY = std::max(nvValue, MinimumRoughness);
    invAlphaX2 = 1.0f / (alphaX * alphaX);
    invAlphaY2 = 1.0f / (alphaY * alphaY);
    wardNorm = alphaX * alphaY * 12.566371f;
    flags = DiffuseSpecularFlags(diffuse, specular);
}

Vector3 BRDF_Ward::Evaluate(const Vector3& wo, const Vector3& wi, const Vector3&) const {
    const Vector3 h = wo + wi;
    const float cosProduct = wo.z * wi.z;
    if (h.z <= 0.0f || cosProduct <= 0.0f) {
        return {};
    }
    // In double, h.z^2 cannot underflow to zero, which would make the exponent 0/0.
    const double hx = h.x;
    const double hy = h.y;
    const double hz = h.z;
    const double e = std::exp(-(hy * hy * invAlphaY2 + hx * hx * invAlphaX2) / (hz * hz));
    return diffuse * InverseOfPi +
           specular * (static_cast<float>(e) / (std::sqrt(cosProduct) * wardNorm));
}

Vector3 BRDF_Ward::SampleDirection(const PathSample& sample, RandomGenerator&, const Vector3& wo,
                                   Vector3& wi, const Vector3&, const Vector3& nFacing,
                                   bool& isSpecular, float& pdf) const {
    isSpecular = (flags & FlagSpecular) != 0;

    // sinPhi is never negative, so the half vectors lie in one quadrant of the x-y plane.
    const float phi = std::atan(alphaY / alphaX * std::tan(6.28318548f * sample.scatterV));
    const float cosPhi = std::cos(phi);
    const float sinPhi = std::sqrt(1.0f - cosPhi * cosPhi);
    const float cos2Phi = cosPhi * cosPhi;
    const float sin2Phi = sinPhi * sinPhi;

    // scatterU = 0 gives tan^2 = infinity: a half vector on the horizon whose density is 0.
    const float tan2Theta =
        -std::log(sample.scatterU) / (cos2Phi * invAlphaX2 + sin2Phi * invAlphaY2);
    const float cosTheta = std::cos(std::atan(std::sqrt(tan2Theta)));
    const float sinTheta = std::sqrt(1.0f - cosTheta * cosTheta);

    Vector3 h(sinTheta * cosPhi, sinTheta * sinPhi, cosTheta);
    if (Dot(wo, h) < 0.0f) {
        h = -h;
    }
    wi = h * (2.0f * Dot(h, wo)) - wo;

    const Vector3 hw = FromLocalFrame(h, nFacing);
    const float e = std::exp(-tan2Theta * (invAlphaX2 * cos2Phi + invAlphaY2 * sin2Phi));
    pdf = e / (Dot(wo, hw) * wardNorm * hw.z * cosTheta * cosTheta);
    // The density mixes the world half vector with its image about nFacing, so for many normals
    // it comes out negative; those samples, and 0/0 on the horizon, are rejected.
    if (!IsUsablePdf(pdf)) {
        pdf = 0.0f;
        return {};
    }
    return Evaluate(wo, wi, nFacing);
}

}  // namespace glintor
