// Lambertian reflector: the "MATTE" material.
#pragma once

#include "materials/bxdf.h"

namespace glintor {

class BRDF_Matte : public BxDFBase {
public:
    // Stores the diffuse colour with its 1/pi multiple and marks the model diffuse.
    void Set(const Vector3& diffuseColor);

    Vector3 BaseColor() const override { return diffuse; }
    // The same value for every pair of directions; the caller's cosine carries the sign.
    Vector3 Evaluate(const Vector3& wo, const Vector3& wi, const Vector3& normal) const override;
    // Cosine-weighted about nFacing from scatterU and scatterV; the throughput factor f / pdf is
    // `diffuse` (before the base colour).
    Vector3 SampleDirection(const PathSample& sample, RandomGenerator& generator, const Vector3& wo,
                            Vector3& wi, const Vector3& n, const Vector3& nFacing, bool& isSpecular,
                            float& pdf) const override;

    Vector3 diffuse;
    Vector3 diffuseOverPi;
};

}  // namespace glintor
