#include "materials/btdf_glass.h"

#include <cmath>

namespace glintor {

void BTDF_Glass::Set(const Vector3& reflectionColor, const Vector3& transmissionColor,
                     float indexOfRefraction) {
    reflection = reflectionColor;
    transmission = transmissionColor;
    ior = indexOfRefraction;
    const float ratio = (ior - 1.0003f) / (ior + 1.0003f);
    r0 = ratio * ratio;
    flags = FlagSpecular;
}

Vector3 BTDF_Glass::Evaluate(const Vector3&, const Vector3&, const Vector3&) const {
    return {};
}

Vector3 BTDF_Glass::SampleDirection(const PathSample& sample, RandomGenerator&, const Vector3& wo,
                                    Vector3& wi, const Vector3& n, const Vector3& nFacing,
                                    bool& isSpecular, float& pdf) const {
    isSpecular = true;
    const Vector3 d = -wo;
    const Vector3 mirror = d - n * (2.0f * Dot(n, d));

    const bool entering = Dot(nFacing, n) > 0.0f;
    const float eta = entering ? 1.0003f / ior : ior * 0.99970007f;
    const float side = entering ? 1.0f : -1.0f;

    const float cosI = Dot(nFacing, d);
    const float k = 1.0f - (1.0f - cosI * cosI) * eta * eta;
    // An "IOR" of 0 (the bottom of its range) makes eta infinite and k -infinity or NaN; both
    // count as total internal reflection, which is what r0 = 1 of such an index asks for anyway.
    if (!(k >= 0.0f)) {
        wi = mirror;
        pdf = 1.0f;
        return reflection;
    }
    const float t = side * (std::sqrt(k) + eta * cosI);
    Vector3 refracted = d * eta - n * t;
    refracted.Normalize();

    // The cosine on the outer side of the boundary.
    const float cosF = entering ? -cosI : Dot(n, refracted);
    const float f = Schlick(cosF, r0);
    const float pReflect = 0.5f * f + 0.25f;

    // Rounding can push F a hair above 1 (at the critical angle, where cosF ~ 0) or below 0 (at
    // normal incidence with r0 = 0); they are taken as the pure cases so no pdf turns negative.
    if (f >= 1.0f) {
        wi = mirror;
        pdf = 1.0f;
        return reflection;
    }
    if (f <= 0.0f) {
        wi = refracted;
        pdf = 1.0f;
        return transmission;
    }
    if (pReflect > sample.scatterU) {
        wi = mirror;
        pdf = pReflect / f;
        return reflection;
    }
    wi = refracted;
    pdf = (1.0f - pReflect) / (1.0f - f);
    return transmission;
}

}  // namespace glintor
