// Diffuse base under a Schlick-Fresnel-weighted mirror or Phong-like coat: the "GLOSS" material.
#pragma once

#include "materials/bxdf.h"

namespace glintor {

// F = Schlick(dot(wo, nFacing), fresnel) weights the coat and 1 - F the base; the coat is chosen
// with probability pSpec = 0.5 F + 0.25. Reads scatterU (the branch), scatterV and lightU (the
// direction).
class BRDF_Gloss : public BxDFBase {
public:
    // exp is the "Exp" value (0 makes the coat a perfect mirror); the model is diffuse when the
    // diffuse colour is not black and specular otherwise, never both.
    void Set(const Vector3& reflectionColor, const Vector3& diffuseColor, float fresnelValue,
             float exp);

    Vector3 BaseColor() const override { return diffuse; }
    // The diffuse base only: diffuseOverPi, weighted by (1 - F) / (1 - pSpec) when the coat is a
    // lobe (exponentFactor > 0). wi is not used.
    Vector3 Evaluate(const Vector3& wo, const Vector3& wi, const Vector3& normal) const override;
    // Coat (specular): pdf = pSpec / F, f = reflection * F. Base (not specular): cosine-weighted,
    // projected pdf scaled by (1 - pSpec) / (1 - F) when 1 - F > 0, f = diffuseOverPi * (1 - F).
    Vector3 SampleDirection(const PathSample& sample, RandomGenerator& generator, const Vector3& wo,
                            Vector3& wi, const Vector3& n, const Vector3& nFacing, bool& isSpecular,
                            float& pdf) const override;

    Vector3 reflection;
    Vector3 diffuse;
    Vector3 diffuseOverPi;
    float fresnel = 0.0f;
    float exponentFactor = 0.0f;
};

}  // namespace glintor
