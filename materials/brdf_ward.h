// Anisotropic Gaussian (Ward) lobe over a Lambertian base: the "WARD" material. The world z axis
// plays the normal and world x and y the tangents, in Evaluate and in the sampled half vector
// alike; the surface normal only enters the sampler's density.
#pragma once

#include "materials/bxdf.h"

namespace glintor {

class BRDF_Ward : public BxDFBase {
public:
    // A roughness of 0 would divide by zero in every evaluation (NaN on every pixel), and values
    // close to it overflow 1 / alpha^2; "Nu" and "Nv" below this floor are raised to it, which is
    // still a mirror for every practical purpose.
    static constexpr float MinimumRoughness = 1e-4f;

    // nuValue and nvValue are the "Nu" and "Nv" roughness values along world x and y; flags
    // follow the two colours.
    void Set(const Vector3& specularColor, const Vector3& diffuseColor, float nuValue,
             float nvValue);

    Vector3 BaseColor() const override { return diffuse; }
    // Black whenever wo and wi are not both strictly above the world x-y plane (or their sum is
    // not); the normal is not used.
    Vector3 Evaluate(const Vector3& wo, const Vector3& wi, const Vector3& normal) const override;
    // Reflects wo about a half vector drawn from the lobe (scatterU for the polar angle, scatterV
    // for the azimuth); f = Evaluate(wo, wi, nFacing). Samples without a positive finite density
    // are rejected.
    Vector3 SampleDirection(const PathSample& sample, RandomGenerator& generator, const Vector3& wo,
                            Vector3& wi, const Vector3& n, const Vector3& nFacing, bool& isSpecular,
                            float& pdf) const override;

    Vector3 diffuse;
    Vector3 specular;
    float alphaX = 0.0f;
    float alphaY = 0.0f;
    float invAlphaX2 = 0.0f;
    float invAlphaY2 = 0.0f;
    float wardNorm = 0.0f;
};

}  // namespace glintor
