// Smooth dielectric boundary against a surrounding medium of index 1.0003: the "GLASS" material.
// Refracts by Snell's law, reflects totally beyond the critical angle, and otherwise picks
// reflection or refraction with a probability derived from a Schlick Fresnel term.
#pragma once

#include "materials/bxdf.h"

namespace glintor {

class BTDF_Glass : public BxDFBase {
public:
    // Stores the colours and the index, derives r0, and marks the model specular.
    void Set(const Vector3& reflectionColor, const Vector3& transmissionColor,
             float indexOfRefraction);

    // Never called: the model has no diffuse part.
    Vector3 BaseColor() const override { return {}; }
    Vector3 Evaluate(const Vector3& wo, const Vector3& wi, const Vector3& normal) const override;
    // Reads scatterU. dot(nFacing, n) > 0 means the ray enters the object n points out of. Always
    // specular. Reflection: f = reflection, pdf = pReflect / F; refraction: f = transmission,
    // pdf = (1 - pReflect) / (1 - F); total internal reflection and the pure cases F = 1 and F = 0
    // have pdf 1.
    Vector3 SampleDirection(const PathSample& sample, RandomGenerator& generator, const Vector3& wo,
                            Vector3& wi, const Vector3& n, const Vector3& nFacing, bool& isSpecular,
                            float& pdf) const override;

    Vector3 reflection;
    Vector3 transmission;
    float ior = 0.0f;
    float r0 = 0.0f;
};

}  // namespace glintor
