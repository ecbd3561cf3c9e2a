#include "materials/bxdf.h"

#include <cmath>

namespace glintor {

void BxDFBase::SetEmission(const Vector3& radiance) {
    emission = radiance;
    isEmitter = !radiance.IsBlack();
}

Vector3 SampleReflectionLobe(const Vector3& m, const Vector3& wo, float u1, float u2, float e) {
    const float phi = 6.28318548f * u1;
    const float cosT = static_cast<float>(std::pow(static_cast<double>(1.0f - u2), double{e}));
    const float sinT = std::sqrt(1.0f - cosT * cosT);

    const Vector3 r = m * (2.0f * Dot(m, wo)) - wo;
    // Both choices are perpendicular to r. The one taken depends on m, so in the measure-zero case
    // of r exactly along world y (or x) u stays at zero length and the result is r * cosT.
    Vector3 u = std::fabs(m.x) > 0.1f ? Vector3(r.z, 0.0f, -r.x) : Vector3(0.0f, -r.z, r.y);
    u.Normalize();
    const Vector3 v = Cross(r, u);

    return u * (std::cos(phi) * sinT) + v * (std::sin(phi) * sinT) + r * cosT;
}

}  // namespace glintor
