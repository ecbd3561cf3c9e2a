#include "materials/btdf_thin_glass.h"

namespace glintor {

namespace {

// x when it is strictly larger than the larger of y and z; otherwise y when strictly larger than
// z; otherwise z.
float LargestComponent(const Vector3& c) {
    const float yz = c.y > c.z ? c.y : c.z;
    return c.x > yz ? c.x : yz;
}

}  // namespace

void BTDF_ThinGlass::Set(const Vector3& transmissionColor, const Vector3& reflectionColor) {
    reflection = reflectionColor;
    transmission = transmissionColor;
    const float maxR = LargestComponent(reflection);
    const float maxT = LargestComponent(transmission);
    weightSum = maxR + maxT;
    if (weightSum > 0.0f) {
        pReflect = maxR / weightSum;
        pTransmit = maxT / weightSum;
    } else {
        pReflect = 0.0f;
        pTransmit = 0.0f;
    }
    flags = FlagSpecular;
}

Vector3 BTDF_ThinGlass::Evaluate(const Vector3&, const Vector3&, const Vector3&) const {
    return {};
}

Vector3 BTDF_ThinGlass::SampleDirection(const PathSample& sample, RandomGenerator&,
                                        const Vector3& wo, Vector3& wi, const Vector3& n,
                                        const Vector3& nFacing, bool& isSpecular,
                                        float& pdf) const {
    Vector3 weight;
    if (Dot(n, nFacing) > 0.0f && sample.scatterU * weightSum > pTransmit) {
        isSpecular = true;
        wi = n * (2.0f * Dot(n, wo)) - wo;
        pdf = pReflect;
        weight = reflection;
    } else {
        isSpecular = false;
        wi = -wo;
        pdf = pTransmit;
        weight = transmission;
    }
    // A black sheet (both probabilities 0) or a colour with no positive component leaves the
    // branch without probability: the path ends here instead of dividing by 0 or a negative pdf.
    if (!(pdf > 0.0f)) {
        pdf = 0.0f;
        return {};
    }
    return weight;
}

}  // namespace glintor
