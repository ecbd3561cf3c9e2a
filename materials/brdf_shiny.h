// Mirror with an optional Phong-like blur: the "SHINY" material.
#pragma once

#include "materials/bxdf.h"

namespace glintor {

class BRDF_Shiny : public BxDFBase {
public:
    // exp is the "Exp" value (0 for a perfect mirror); fresnelValue is kept but changes nothing.
    void Set(const Vector3& reflectionColor, float fresnelValue, float exp);

    // Never called: the model has no diffuse part.
    Vector3 BaseColor() const override { return {}; }
    Vector3 Evaluate(const Vector3& wo, const Vector3& wi, const Vector3& normal) const override;
    // Reflects about nFacing, blurred by SampleReflectionLobe(scatterU, scatterV) when
    // exponentFactor > 0; a blurred direction within 0.001 of the surface plane or below it is
    // rejected. pdf 1 and f = reflection otherwise; always specular.
    Vector3 SampleDirection(const PathSample& sample, RandomGenerator& generator, const Vector3& wo,
                            Vector3& wi, const Vector3& n, const Vector3& nFacing, bool& isSpecular,
                            float& pdf) const override;

    Vector3 reflection;
    float fresnel = 0.0f;
    float exponentFactor = 0.0f;
};

}  // namespace glintor
