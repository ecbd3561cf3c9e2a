#include "materials/brdf_matte.h"

#include "math/sampling.h"

namespace glintor {

void BRDF_Matte::Set(const Vector3& diffuseColor) {
    diffuse = diffuseColor;
    diffuseOverPi = diffuseColor * InverseOfPi;
    flags = FlagDiffuse;
}

Vector3 BRDF_Matte::Evaluate(const Vector3&, const Vector3&, const Vector3&) const {
    return diffuseOverPi;
}

Vector3 BRDF_Matte::SampleDirection(const PathSample& sample, RandomGenerator&, const Vector3&,
                                    Vector3& wi, const Vector3&, const Vector3& nFacing,
                                    bool& isSpecular, float& pdf) const {
    isSpecular = false;
    const Vector3 local = CosineHemisphere(sample.scatterU, sample.scatterV);
    pdf = local.z * InverseOfPi;
    wi = FromLocalFrame(local, nFacing);
    const float cosWi = Dot(nFacing, wi);
    pdf = cosWi > 0.0f ? pdf / cosWi : 0.0f;
    // A warp result on the horizon (z = 0) has no density even when rounding leaves wi a hair
    // above the surface; the pdf test rejects it along with directions below.
    if (!IsUsablePdf(pdf)) {
        pdf = 0.0f;
        return {};
    }
    return diffuseOverPi;
}

}  // namespace glintor
