#include "materials/brdf_gloss.h"

#include "math/sampling.h"

namespace glintor {

void BRDF_Gloss::Set(const Vector3& reflectionColor, const Vector3& diffuseColor,
                     float fresnelValue, float exp) {
    reflection = reflectionColor;
    diffuse = diffuseColor;
    diffuseOverPi = diffuse.IsBlack() ? Vector3() : diffuse * InverseOfPi;
    fresnel = fresnelValue;
    exponentFactor = ExponentFactor(exp);
    flags = diffuse.IsBlack() ? FlagSpecular : FlagDiffuse;
}

Vector3 BRDF_Gloss::Evaluate(const Vector3& wo, const Vector3&, const Vector3& normal) const {
    if (exponentFactor > 0.0f) {
        const float f = Schlick(Dot(wo, normal), fresnel);
        const float baseShare = 1.0f - (0.5f * f + 0.25f);
        // Only a wo well below the normal (F >= 1.5) empties the base's share; its weight 1 - F is
        // then negative anyway, so nothing is returned rather than a division by zero.
        if (!(baseShare > 0.0f)) {
            return {};
        }
        return diffuseOverPi * ((1.0f - f) / baseShare);
    }
    return diffuseOverPi;
}

Vector3 BRDF_Gloss::SampleDirection(const PathSample& sample, RandomGenerator&, const Vector3& wo,
                                    Vector3& wi, const Vector3&, const Vector3& nFacing,
                                    bool& isSpecular, float& pdf) const {
    const float f = Schlick(Dot(wo, nFacing), fresnel);
    const float pSpec = 0.5f * f + 0.25f;

    if (pSpec > sample.scatterU) {
        isSpecular = true;
        if (exponentFactor > 0.0f) {
            wi = SampleReflectionLobe(nFacing, wo, sample.scatterV, sample.lightU, exponentFactor);
            if (Dot(wi, nFacing) < 0.001f) {
                pdf = 0.0f;
                return {};
            }
        } else {
            wi = nFacing * (2.0f * Dot(nFacing, wo)) - wo;
        }
        pdf = pSpec / f;
        // A coat without Fresnel weight ("Fresnel" 0 at normal incidence) would give pSpec / 0;
        // it carries nothing, so the sample is rejected.
        if (!IsUsablePdf(pdf)) {
            pdf = 0.0f;
            return {};
        }
        return reflection * f;
    }

    isSpecular = false;
    const Vector3 local = CosineHemisphere(sample.scatterV, sample.lightU);
    pdf = local.z * InverseOfPi;
    if (1.0f - f > 0.0f) {
        pdf = (1.0f - pSpec) / (1.0f - f) * pdf;
    }
    wi = FromLocalFrame(local, nFacing);
    const float cosWi = Dot(nFacing, wi);
    pdf = cosWi > 0.0f ? pdf / cosWi : 0.0f;
    if (!IsUsablePdf(pdf)) {
        pdf = 0.0f;
        return {};
    }
    return diffuseOverPi * (1.0f - f);
}

}  // namespace glintor
