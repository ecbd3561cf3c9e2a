#include "materials/texture_marble.h"

#include <cmath>

#include "math/noise.h"

namespace glintor {

namespace {

Vector3 Lerp(const Vector3& a, const Vector3& b, float t) {
    return a * (1.0f - t) + b * t;
}

// De Casteljau's construction of the cubic Bezier curve at t.
Vector3 CubicBezier(const Vector3& p0, const Vector3& p1, const Vector3& p2, const Vector3& p3,
                    float t) {
    const Vector3 a = Lerp(p0, p1, t);
    const Vector3 b = Lerp(p1, p2, t);
    const Vector3 c = Lerp(p2, p3, t);
    return Lerp(Lerp(a, b, t), Lerp(b, c, t), t);
}

}  // namespace

bool TextureMarble::Prepare() {
    return Scale != 0.0f;
}

Vector3 TextureMarble::Evaluate(const RandomGenerator& generator, const Intersection& hit,
                                const Vector3& color) const {
    const Vector3 q = hit.point * Scale;
    // Turbulence divides by Scale again, so the noise itself is taken at the unscaled point.
    const float turbulence = Turbulence(generator, q, Omega, Scale, Octaves);
    const float t = static_cast<float>(
        (std::sin(static_cast<double>(turbulence * Variation + q.y)) + 1.0) / 2.0);
    const Vector3 mean = (Color + color) * 0.5f;
    return CubicBezier(mean, Color, color, mean, t) * 1.5f;
}

}  // namespace glintor
