// Fresnel-weighted anisotropic Phong lobe over a coupled diffuse term (the 28/(23 pi) form of
// Ashikhmin and Shirley): the "ANISOTROPIC" material. There is no surface tangent frame: Evaluate
// measures the anisotropy along the world x (nu) and world y (nv) axes, while the sampler builds
// its lobe in the BuildBasis frame around nFacing.
#pragma once

#include "materials/bxdf.h"

namespace glintor {

class BRDF_Anisotropic : public BxDFBase {
public:
    // nuValue and nvValue are the "Nu" and "Nv" exponents; flags follow the two colours.
    void Set(const Vector3& specularColor, const Vector3& diffuseColor, float nuValue,
             float nvValue);

    Vector3 BaseColor() const override { return diffuse; }
    // Diffuse part plus the anisotropic lobe about h = normalised(wo + wi).
    Vector3 Evaluate(const Vector3& wo, const Vector3& wi, const Vector3& normal) const override;
    // Samples the lobe only (scatterU, scatterV), never the diffuse part: pdf = 1 / dot(wi,
    // nFacing) and f = specular, so the throughput factor is specular * cosine. With nu != nv the
    // direction is built around the mirror direction and is not normalised.
    Vector3 SampleDirection(const PathSample& sample, RandomGenerator& generator, const Vector3& wo,
                            Vector3& wi, const Vector3& n, const Vector3& nFacing, bool& isSpecular,
                            float& pdf) const override;

    Vector3 diffuse;
    Vector3 specular;
    float nu = 0.0f;
    float nv = 0.0f;
    float lobeRatio = 0.0f;
    Vector3 diffuseFactor;
    float specularNorm = 0.0f;

private:
    // atan(lobeRatio * tan x) for an anisotropic lobe, x itself for an isotropic one.
    float StretchAzimuth(float x) const;
};

}  // namespace glintor
