// A thin transmitting sheet: the "THINGLASS" material. Light either reflects off its front or
// passes straight through without bending; a ray arriving from behind always passes.
#pragma once

#include "materials/bxdf.h"

namespace glintor {

class BTDF_ThinGlass : public BxDFBase {
public:
    // Stores both colours and derives the branch probabilities from their largest components.
    // When those sum to zero or less (both colours black) the sheet absorbs everything: both
    // probabilities are 0 instead of 0/0, and every sample is rejected.
    void Set(const Vector3& transmissionColor, const Vector3& reflectionColor);

    // Never called: the model has no diffuse part.
    Vector3 BaseColor() const override { return {}; }
    Vector3 Evaluate(const Vector3& wo, const Vector3& wi, const Vector3& normal) const override;
    // Reads scatterU. Front side (dot(n, nFacing) > 0) and scatterU * weightSum > pTransmit:
    // mirror about n, specular, pdf = pReflect, f = reflection. Otherwise wi = -wo, not specular,
    // pdf = pTransmit, f = transmission. A branch without positive probability is rejected.
    Vector3 SampleDirection(const PathSample& sample, RandomGenerator& generator, const Vector3& wo,
                            Vector3& wi, const Vector3& n, const Vector3& nFacing, bool& isSpecular,
                            float& pdf) const override;

    Vector3 reflection;
    Vector3 transmission;
    float pReflect = 0.0f;
    float pTransmit = 0.0f;
    float weightSum = 0.0f;
};

}  // namespace glintor
