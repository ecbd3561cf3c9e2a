#include "math/noise.h"

#include <cmath>
#include <cstdint>
#include <limits>

namespace glintor {

namespace {

constexpr double TwoPow52 = 4503599627370496.0;

// Floor by rounding: adding and then subtracting 2^52 (with x's sign) leaves the nearest
// integer, because doubles of that magnitude have no fraction bits; one comparison turns the
// rounding into a floor. Magnitudes of 2^52 and beyond are integers already.
double LatticeFloor(double x) {
    if (std::fabs(x) >= TwoPow52) {
        return x;
    }
    const double shift = std::copysign(TwoPow52, x);
    double rounded = (x + shift) - shift;
    if (rounded > x) {
        rounded -= 1.0;
    }
    return rounded;
}

// The cell's index modulo 256. Converting through 64 bits keeps every finite floor in range.
int LatticeIndex(double cell) {
    if (std::fabs(cell) >= TwoPow52) {
        cell = std::fmod(cell, 256.0);
    }
    return static_cast<int>(static_cast<int64_t>(cell) & 255);
}

double Fade(double t) {
    return t * t * t * (t * (t * 6.0 - 15.0) + 10.0);
}

double Lerp(double t, double a, double b) {
    return a + t * (b - a);
}

// The low four bits of the hash pick one of twelve edge directions of a cube (four of them
// repeated) and the gradient's dot product with the offset (x, y, z).
double Gradient(int hash, double x, double y, double z) {
    const int h = hash & 15;
    const double u = h < 8 ? x : y;
    const double v = h < 4 ? y : (h == 12 || h == 14 ? x : z);
    return ((h & 1) == 0 ? u : -u) + ((h & 2) == 0 ? v : -v);
}

}  // namespace

double Noise(const RandomGenerator& generator, double x, double y, double z) {
    if (!std::isfinite(x) || !std::isfinite(y) || !std::isfinite(z)) {
        return std::numeric_limits<double>::quiet_NaN();
    }
    const auto& p = generator.permutation;
    const double floorX = LatticeFloor(x);
    const double floorY = LatticeFloor(y);
    const double floorZ = LatticeFloor(z);
    const int cellX = LatticeIndex(floorX);
    const int cellY = LatticeIndex(floorY);
    const int cellZ = LatticeIndex(floorZ);
    x -= floorX;
    y -= floorY;
    z -= floorZ;
    const double u = Fade(x);
    const double v = Fade(y);
    const double w = Fade(z);

    const int a = p[cellX] + cellY;
    const int aa = p[a] + cellZ;
    const int ab = p[a + 1] + cellZ;
    const int b = p[cellX + 1] + cellY;
    const int ba = p[b] + cellZ;
    const int bb = p[b + 1] + cellZ;

    return Lerp(
        w,
        Lerp(v, Lerp(u, Gradient(p[aa], x, y, z), Gradient(p[ba], x - 1, y, z)),
             Lerp(u, Gradient(p[ab], x, y - 1, z), Gradient(p[bb], x - 1, y - 1, z))),
        Lerp(v, Lerp(u, Gradient(p[aa + 1], x, y, z - 1), Gradient(p[ba + 1], x - 1, y, z - 1)),
             Lerp(u, Gradient(p[ab + 1], x, y - 1, z - 1),
                  Gradient(p[bb + 1], x - 1, y - 1, z - 1))));
}

float Turbulence(const RandomGenerator& generator, const Vector3& p, float gain, float size,
                 float maxFrequency) {
    if (maxFrequency <= 1.0f) {
        return 0.0f;
    }
    float sum = 0.0f;
    float amplitude = 1.0f;
    float frequency = 1.0f;
    do {
        sum += std::fabs(Noise(generator, p.x * frequency / size, p.y * frequency / size,
                               p.z * frequency / size)) *
               amplitude;
        amplitude *= gain;
        frequency *= 2.0f;
    } while (maxFrequency > frequency);
    return sum;
}

}  // namespace glintor
