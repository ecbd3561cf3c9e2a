#include "materials/brdf_shiny.h"

namespace glintor {

void BRDF_Shiny::Set(const Vector3& reflectionColor, float fresnelValue, float exp) {
    reflection = reflectionColor;
    fresnel = fresnelValue;
    exponentFactor = ExponentFactor(exp);
    flags = FlagSpecular;
}

Vector3 BRDF_Shiny::Evaluate(const Vector3&, const Vector3&, const Vector3&) const {
    return {};
}

Vector3 BRDF_Shiny::SampleDirection(const PathSample& sample, RandomGenerator&, const Vector3& wo,
                                    Vector3& wi, const Vector3&, const Vector3& nFacing,
                                    bool& isSpecular, float& pdf) const {
    isSpecular = true;
    if (exponentFactor > 0.0f) {
        wi = SampleReflectionLobe(nFacing, wo, sample.scatterU, sample.scatterV, exponentFactor);
        if (Dot(wi, nFacing) < 0.001f) {
            pdf = 0.0f;
            return {};
        }
    } else {
        wi = nFacing * (2.0f * Dot(nFacing, wo)) - wo;
    }
    pdf = 1.0f;
    return reflection;
}

}  // namespace glintor
