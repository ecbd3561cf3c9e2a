#include "math/sampling.h"

#include <algorithm>
#include <cmath>

#include "math/float_trig.h"

namespace glintor {

namespace {

constexpr float TwoPi = 6.2831855f;

}  // namespace

DiskPoint ConcentricDisk(float u, float v) {
    const float a = 2.0f * u - 1.0f;
    const float b = 2.0f * v - 1.0f;
    if (a == 0.0f && b == 0.0f) {
        return {0.0f, 0.0f};
    }
    // Each of the four triangular sectors of the square maps onto a quarter of the disk; t runs
    // from 0 to 8 eighths of a turn. The first sector's lower half takes t near 8 rather than
    // near 0 so that t never becomes negative.
    float r;
    float t;
    if (a >= -b) {
        if (a > b) {
            r = a;
            t = b / a;
            if (b <= 0.0f) {
                t += 8.0f;
            }
        } else {
            r = b;
            t = 2.0f - a / b;
        }
    } else {
        if (b >= a) {
            r = -a;
            t = 4.0f + b / a;
        } else {
            r = -b;
            t = 6.0f - a / b;
        }
    }
    const CosSin phi = CosSinOf(t * 0.7853982f);
    return {r * phi.cosine, r * phi.sine};
}

DiskPoint DiskSample(RandomGenerator& generator) {
    const float f1 = generator.UniformFloat();
    const float f2 = generator.UniformFloat();
    return ConcentricDisk(f2, f1);
}

Vector3 CosineHemisphere(float u, float v) {
    const DiskPoint p = ConcentricDisk(u, v);
    // Rounding can put the disk point a hair outside the unit circle; the clamp keeps z real.
    const float z = std::sqrt(std::max(0.0f, 1.0f - p.x * p.x - p.y * p.y));
    return {p.x, p.y, z};
}

Vector3 UniformSphere(float u, float v) {
    const float z = 1.0f - 2.0f * u;
    const float r = std::sqrt(std::max(0.0f, 1.0f - z * z));
    const CosSin phi = CosSinOf(TwoPi * v);
    return {r * phi.cosine, r * phi.sine, z};
}

Vector3 UniformCone(float u, float v, float cosMax, const Vector3& w, const Vector3& a1,
                    const Vector3& a2) {
    const float cosTheta = (1.0f - cosMax) * u + cosMax;
    // The clamp only matters when rounding lifts cos(theta) a hair above 1; without it the
    // square root would turn that into NaN.
    const float sinTheta = std::sqrt(std::max(0.0f, 1.0f - cosTheta * cosTheta));
    const CosSin phi = CosSinOf(TwoPi * v);
    return w * cosTheta + a1 * (phi.cosine * sinTheta) + a2 * (phi.sine * sinTheta);
}

Vector3 PolarPoint(float r, float phi, float z) {
    const CosSin angle = CosSinOf(phi);
    return {r * angle.cosine, r * angle.sine, z};
}

}  // namespace glintor
