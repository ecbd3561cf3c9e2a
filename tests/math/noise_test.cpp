#include "math/noise.h"

#include <gtest/gtest.h>

#include <cmath>

namespace glintor {
namespace {

// Straight transcription of Perlin's published reference algorithm (std::floor, int casts), as
// an independent check of the production code's floor trick and index handling.
double ReferenceNoise(const std::array<int32_t, 512>& p, double x, double y, double z) {
    auto fade = [](double t) { return t * t * t * (t * (t * 6 - 15) + 10); };
    auto lerp = [](double t, double a, double b) { return a + t * (b - a); };
    auto grad = [](int hash, double gx, double gy, double gz) {
        const int h = hash & 15;
        const double u = h < 8 ? gx : gy;
        const double v = h < 4 ? gy : h == 12 || h == 14 ? gx : gz;
        return ((h & 1) == 0 ? u : -u) + ((h & 2) == 0 ? v : -v);
    };
    const int X = static_cast<int>(std::floor(x)) & 255;
    const int Y = static_cast<int>(std::floor(y)) & 255;
    const int Z = static_cast<int>(std::floor(z)) & 255;
    x -= std::floor(x);
    y -= std::floor(y);
    z -= std::floor(z);
    const double u = fade(x), v = fade(y), w = fade(z);
    const int A = p[X] + Y, AA = p[A] + Z, AB = p[A + 1] + Z;
    const int B = p[X + 1] + Y, BA = p[B] + Z, BB = p[B + 1] + Z;
    return lerp(
        w,
        lerp(v, lerp(u, grad(p[AA], x, y, z), grad(p[BA], x - 1, y, z)),
             lerp(u, grad(p[AB], x, y - 1, z), grad(p[BB], x - 1, y - 1, z))),
        lerp(v, lerp(u, grad(p[AA + 1], x, y, z - 1), grad(p[BA + 1], x - 1, y, z - 1)),
             lerp(u, grad(p[AB + 1], x, y - 1, z - 1), grad(p[BB + 1], x - 1, y - 1, z - 1))));
}

TEST(Noise, VanishesOnTheLattice) {
    const RandomGenerator generator;
    EXPECT_EQ(Noise(generator, 0, 0, 0), 0.0);
    EXPECT_EQ(Noise(generator, 1, 2, 3), 0.0);
    EXPECT_EQ(Noise(generator, -5, 7, 300), 0.0);
    EXPECT_EQ(Noise(generator, -1e6, 255, -256), 0.0);
}

TEST(Noise, HandWorkedPoints) {
    const RandomGenerator generator;
    // (-0.5, 0, 0): floor -1 gives cell 255 and offset x = 0.5; fade(0.5) = 0.5, and y = z = 0
    // leave only the two corners along x. A = p[255] = 180, AA = p[180] = 19, hash p[19] = 30,
    // low bits 14: u = y = 0, v = x = 0.5, v negated: -0.5. B = p[256] = 151, BA = p[151] = 17,
    // hash p[17] = 36, low bits 4: u = x - 1 = -0.5, v = z = 0: -0.5. The blend is -0.5.
    EXPECT_DOUBLE_EQ(Noise(generator, -0.5, 0, 0), -0.5);
    // (0.5, 0, 0): hashes 36 (low bits 4) and 86 (low bits 6) give +0.5 and -0.5, blended to 0.
    EXPECT_DOUBLE_EQ(Noise(generator, 0.5, 0, 0), 0.0);
}

TEST(Noise, AgreesWithTheReferenceAlgorithm) {
    const RandomGenerator generator;
    const double points[][3] = {{0.5, 0.5, 0.5},
                                {3.7, -1.2, 0.25},
                                {-0.001, 0.999, 12.5},
                                {255.9, 256.1, -0.3},
                                {1e6 + 0.3, -1e6 - 0.7, 42.42},
                                {-3.25, -7.75, -0.125}};
    for (const auto& q : points) {
        EXPECT_DOUBLE_EQ(Noise(generator, q[0], q[1], q[2]),
                         ReferenceNoise(generator.permutation, q[0], q[1], q[2]))
            << q[0] << " " << q[1] << " " << q[2];
    }
    EXPECT_DOUBLE_EQ(Noise(generator, 0.5, 0.5, 0.5), -0.25);

    RandomGenerator draws;
    double largest = 0.0;
    for (int i = 0; i < 20000; ++i) {
        const double x = (draws.UniformFloat() - 0.5) * 600.0;
        const double y = (draws.UniformFloat() - 0.5) * 600.0;
        const double z = (draws.UniformFloat() - 0.5) * 600.0;
        const double n = Noise(generator, x, y, z);
        ASSERT_DOUBLE_EQ(n, ReferenceNoise(generator.permutation, x, y, z)) << x << " " << y;
        largest = std::max(largest, std::fabs(n));
    }
    EXPECT_LT(largest, 1.1);
    EXPECT_GT(largest, 0.5);
}

TEST(Noise, RepeatsEvery256AndSurvivesExtremeInput) {
    const RandomGenerator generator;
    EXPECT_NEAR(Noise(generator, 0.3, 1.6, -2.2), Noise(generator, 256.3, 1.6 - 512, -2.2), 1e-9);
    // Beyond 2^52 every double is an integer: a lattice point.
    EXPECT_EQ(Noise(generator, 1e300, -1e300, 0.5), Noise(generator, 0, 0, 0.5));
    EXPECT_TRUE(std::isnan(Noise(generator, NAN, 0, 0)));
    EXPECT_TRUE(std::isnan(Noise(generator, 0, INFINITY, 0)));
}

TEST(Turbulence, SumsOctavesBelowTheMaximumFrequency) {
    const RandomGenerator generator;
    const Vector3 p(1.3f, -0.4f, 2.9f);
    EXPECT_EQ(Turbulence(generator, p, 0.5f, 1.0f, 1.0f), 0.0f);
    EXPECT_EQ(Turbulence(generator, p, 0.5f, 1.0f, 0.2f), 0.0f);

    auto octave = [&](float frequency, float size) {
        return std::fabs(Noise(generator, p.x * frequency / size, p.y * frequency / size,
                               p.z * frequency / size));
    };
    const float gain = 1.75f;
    const float size = 2.0f;
    // M = 4: frequencies 1 and 2; M = 4.5 and M = 8 add frequency 4.
    const float two =
        static_cast<float>(octave(1, size)) + static_cast<float>(octave(2, size) * gain);
    EXPECT_FLOAT_EQ(Turbulence(generator, p, gain, size, 4.0f), two);
    const float three = two + static_cast<float>(octave(4, size) * gain * gain);
    EXPECT_FLOAT_EQ(Turbulence(generator, p, gain, size, 4.5f), three);
    EXPECT_FLOAT_EQ(Turbulence(generator, p, gain, size, 8.0f), three);
    EXPECT_FLOAT_EQ(Turbulence(generator, p, gain, size, 1.5f),
                    static_cast<float>(octave(1, size)));
}

}  // namespace
}  // namespace glintor
