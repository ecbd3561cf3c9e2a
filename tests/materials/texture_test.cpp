#include <FreeImage.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "materials/texture_checkerboard.h"
#include "materials/texture_map_image.h"
#include "materials/texture_marble.h"
#include "math/noise.h"
#include "math/random.h"
#include "tests/support/test_paths.h"

namespace glintor {
namespace {

const Vector3 kWhite{1.0f, 1.0f, 1.0f};
const Vector3 kIncoming{0.8f, 0.4f, 0.2f};
const Vector3 kAlt{0.1f, 0.6f, 0.3f};

void ExpectNear(const Vector3& expected, const Vector3& actual, float tolerance = 1e-5f) {
    EXPECT_NEAR(expected.x, actual.x, tolerance);
    EXPECT_NEAR(expected.y, actual.y, tolerance);
    EXPECT_NEAR(expected.z, actual.z, tolerance);
}

Intersection HitAt(const Vector3& point, float u = 0.0f, float v = 0.0f) {
    Intersection hit;
    hit.point = point;
    hit.u = u;
    hit.v = v;
    return hit;
}

TextureCheckerboard Checkerboard(const Vector3& plane, const Vector3& scale,
                                 const Vector3& offset = {}) {
    TextureCheckerboard texture;
    texture.Plane = plane;
    texture.AltColor = kAlt;
    texture.Scale = scale;
    texture.Offset = offset;
    EXPECT_TRUE(texture.Prepare());
    return texture;
}

TEST(TextureCheckerboardTest, PrepareTurnsCellSizesIntoCellsPerUnit) {
    TextureCheckerboard texture;
    texture.Scale = {2.0f, 0.0f, -4.0f};
    EXPECT_TRUE(texture.Prepare());
    EXPECT_EQ(Vector3(0.5f, 0.0f, -0.25f), texture.Scale);
}

TEST(TextureCheckerboardTest, CellsTruncateTowardZero) {
    const RandomGenerator generator;
    const TextureCheckerboard texture = Checkerboard({0.0f, 1.0f, 0.0f}, {1.0f, 1.0f, 1.0f});
    const auto at = [&](float x, float y, float z) {
        return texture.Evaluate(generator, HitAt({x, y, z}), kIncoming);
    };
    EXPECT_EQ(kIncoming, at(0.5f, 7.0f, 0.5f));
    EXPECT_EQ(kAlt, at(1.5f, 7.0f, 0.5f));
    EXPECT_EQ(kIncoming, at(-0.5f, 7.0f, 0.5f));
    // The cell around 0 spans (-1, 1).
    EXPECT_EQ(kIncoming, at(-0.99f, 7.0f, 0.99f));
    EXPECT_EQ(kAlt, at(-1.01f, 7.0f, 0.5f));
    EXPECT_EQ(kAlt, at(0.5f, 7.0f, -1.5f));
    // Negative indices: -1 + 0 is odd, -1 + -1 is even.
    EXPECT_EQ(kAlt, at(-1.5f, 7.0f, -0.5f));
    EXPECT_EQ(kIncoming, at(-1.5f, 7.0f, -1.5f));
    EXPECT_EQ(kIncoming, at(2.5f, -300.0f, 4.5f));
    EXPECT_EQ(kAlt, at(2.5f, -300.0f, 3.5f));
    // Constant across the plane's own axis.
    EXPECT_EQ(at(1.5f, 7.0f, 0.5f), at(1.5f, -123.0f, 0.5f));
}

TEST(TextureCheckerboardTest, ScaleIsTheCellSize) {
    const RandomGenerator generator;
    const TextureCheckerboard texture = Checkerboard({0.0f, 1.0f, 0.0f}, {2.0f, 2.0f, 2.0f});
    EXPECT_EQ(Vector3(0.5f, 0.5f, 0.5f), texture.Scale);
    EXPECT_EQ(kIncoming, texture.Evaluate(generator, HitAt({1.9f, 0.0f, 0.5f}), kIncoming));
    EXPECT_EQ(kAlt, texture.Evaluate(generator, HitAt({2.1f, 0.0f, 0.5f}), kIncoming));
    EXPECT_EQ(kIncoming, texture.Evaluate(generator, HitAt({4.1f, 0.0f, 0.5f}), kIncoming));
}

TEST(TextureCheckerboardTest, OffsetMovesThePointBeforeScaling) {
    const RandomGenerator generator;
    const TextureCheckerboard texture =
        Checkerboard({0.0f, 1.0f, 0.0f}, {1.0f, 1.0f, 1.0f}, {1.0f, 0.0f, 0.0f});
    EXPECT_EQ(kAlt, texture.Evaluate(generator, HitAt({0.5f, 0.0f, 0.5f}), kIncoming));
    EXPECT_EQ(kIncoming, texture.Evaluate(generator, HitAt({-0.5f, 0.0f, 0.5f}), kIncoming));
}

TEST(TextureCheckerboardTest, PlanePicksTheFirstPositiveAxis) {
    const RandomGenerator generator;
    // x > 0 wins even when y is positive too: the pattern varies in y and z only.
    const TextureCheckerboard acrossX = Checkerboard({1.0f, 1.0f, 0.0f}, {1.0f, 1.0f, 1.0f});
    EXPECT_EQ(kIncoming, acrossX.Evaluate(generator, HitAt({5.5f, 0.5f, 0.5f}), kIncoming));
    EXPECT_EQ(kAlt, acrossX.Evaluate(generator, HitAt({0.5f, 1.5f, 0.5f}), kIncoming));
    // A negative x is not chosen; z > 0 gives the pattern in x and y.
    const TextureCheckerboard acrossZ = Checkerboard({-1.0f, 0.0f, 2.0f}, {1.0f, 1.0f, 1.0f});
    EXPECT_EQ(kIncoming, acrossZ.Evaluate(generator, HitAt({0.5f, 0.5f, 9.5f}), kIncoming));
    EXPECT_EQ(kAlt, acrossZ.Evaluate(generator, HitAt({0.5f, 1.5f, 0.5f}), kIncoming));
}

TEST(TextureCheckerboardTest, WithoutPositivePlaneTheColourStays) {
    const RandomGenerator generator;
    for (const Vector3& plane : {Vector3(0.0f, 0.0f, 0.0f), Vector3(-1.0f, -1.0f, -1.0f)}) {
        const TextureCheckerboard texture = Checkerboard(plane, {1.0f, 1.0f, 1.0f});
        for (float x = -3.25f; x < 3.0f; x += 0.5f) {
            EXPECT_EQ(kIncoming, texture.Evaluate(generator, HitAt({x, -x, 2 * x}), kIncoming));
        }
    }
}

TEST(TextureCheckerboardTest, FarPointsStayDefined) {
    const RandomGenerator generator;
    const TextureCheckerboard texture = Checkerboard({0.0f, 0.0f, 1.0f}, {0.001f, 0.001f, 1.0f});
    // 1e20 * 1000 is far beyond every integer type; such floats are even integers.
    EXPECT_EQ(kIncoming, texture.Evaluate(generator, HitAt({1e20f, -1e20f, 0.0f}), kIncoming));
    EXPECT_EQ(kAlt, texture.Evaluate(generator, HitAt({1e20f, 0.0015f, 0.0f}), kIncoming));
}

// Closed form of the cubic Bezier curve, independent of the texture's own construction.
Vector3 BezierClosedForm(const Vector3& p0, const Vector3& p1, const Vector3& p2, const Vector3& p3,
                         double t) {
    const double s = 1.0 - t;
    Vector3 result;
    for (int c = 0; c < 3; ++c) {
        result[c] = static_cast<float>(s * s * s * p0[c] + 3 * s * s * t * p1[c] +
                                       3 * s * t * t * p2[c] + t * t * t * p3[c]);
    }
    return result;
}

TextureMarble Marble(float scale, float variation, float octaves) {
    TextureMarble texture;
    texture.Color = kAlt;
    texture.Scale = scale;
    texture.Variation = variation;
    texture.Omega = 1.75f;
    texture.Octaves = octaves;
    EXPECT_TRUE(texture.Prepare());
    return texture;
}

TEST(TextureMarbleTest, EndsAndMiddleOfTheCurve) {
    const RandomGenerator generator;
    const TextureMarble texture = Marble(2.0f, 1.0f, 1.0f);
    const Vector3 mean = (kAlt + kIncoming) * 0.5f;
    const float halfPi = 1.5707963f;
    // sin(Scale * y) = -1 gives t = 0, +1 gives t = 1, 0 gives t = 0.5.
    ExpectNear(mean * 1.5f,
               texture.Evaluate(generator, HitAt({0.3f, -halfPi / 2.0f, 9.0f}), kIncoming));
    ExpectNear(mean * 1.5f,
               texture.Evaluate(generator, HitAt({0.3f, halfPi / 2.0f, 9.0f}), kIncoming));
    ExpectNear((mean * 0.125f + kAlt * 0.375f + kIncoming * 0.375f + mean * 0.125f) * 1.5f,
               texture.Evaluate(generator, HitAt({-4.0f, 0.0f, 1.0f}), kIncoming));
}

TEST(TextureMarbleTest, WithoutOctavesTheBandsAreSineOfHeight) {
    const RandomGenerator generator;
    for (const float octaves : {1.0f, 0.5f, 0.01f}) {
        const TextureMarble texture = Marble(3.0f, 5.0f, octaves);
        for (float y = -2.0f; y < 2.0f; y += 0.37f) {
            const double t = (std::sin(3.0 * y) + 1.0) / 2.0;
            const Vector3 mean = (kAlt + kIncoming) * 0.5f;
            const Vector3 expected = BezierClosedForm(mean, kAlt, kIncoming, mean, t) * 1.5f;
            // The bands ignore x and z.
            ExpectNear(expected,
                       texture.Evaluate(generator, HitAt({0.7f * y, y, -5.0f}), kIncoming));
            ExpectNear(expected, texture.Evaluate(generator, HitAt({12.0f, y, 3.0f}), kIncoming));
        }
    }
}

// With one octave (any limit in (1, 2]) the turbulence is |noise| at the unscaled point.
TEST(TextureMarbleTest, OneOctaveTakesTheNoiseAtTheUnscaledPoint) {
    const RandomGenerator generator;
    const float scale = 4.0f;
    const float variation = 2.5f;
    const TextureMarble texture = Marble(scale, variation, 2.0f);
    const Vector3 mean = (kAlt + kIncoming) * 0.5f;
    bool bent = false;
    for (const Vector3& p : {Vector3(0.31f, 0.47f, 0.13f), Vector3(-1.7f, 2.2f, 0.9f),
                             Vector3(5.05f, -0.61f, -3.3f), Vector3(0.5f, 0.25f, 0.75f)}) {
        const double noise = std::fabs(Noise(generator, p.x, p.y, p.z));
        bent = bent || noise > 0.01;
        const double t = (std::sin(noise * variation + scale * p.y) + 1.0) / 2.0;
        ExpectNear(BezierClosedForm(mean, kAlt, kIncoming, mean, t) * 1.5f,
                   texture.Evaluate(generator, HitAt(p), kIncoming), 1e-4f);
    }
    EXPECT_TRUE(bent);
}

TEST(TextureMarbleTest, TurbulenceStaysWithinTheCurveAndLeavesTheGeneratorAlone) {
    RandomGenerator generator;
    RandomGenerator untouched;
    const TextureMarble texture = Marble(1.0f, 1.0f, 8.0f);
    const TextureMarble calm = Marble(1.0f, 1.0f, 1.0f);
    int differing = 0;
    for (int i = 0; i < 200; ++i) {
        const Vector3 p(0.173f * i - 17.0f, 0.051f * i, std::sin(0.3f * i) * 4.0f);
        const Vector3 c = texture.Evaluate(generator, HitAt(p), kIncoming);
        // Every point of the curve lies between the smallest and largest control values.
        for (int k = 0; k < 3; ++k) {
            EXPECT_GE(c[k], 1.5f * std::min(kAlt[k], kIncoming[k]) - 1e-5f);
            EXPECT_LE(c[k], 1.5f * std::max(kAlt[k], kIncoming[k]) + 1e-5f);
        }
        differing += !(c == calm.Evaluate(generator, HitAt(p), kIncoming));
    }
    EXPECT_GT(differing, 150);
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(untouched.Next32(), generator.Next32());
    }
}

TEST(TextureMarbleTest, ZeroScaleIsRefused) {
    TextureMarble texture;
    texture.Scale = 0.0f;
    EXPECT_FALSE(texture.Prepare());
    texture.Scale = -2.0f;
    EXPECT_TRUE(texture.Prepare());
}

// A 2x2 picture, top row red and green, bottom row blue and white.
std::string SaveQuad() {
    InitialiseFreeImage();
    const std::string path = testing::ScratchFolder("texture") + "/quad.pfm";
    const Vector3 texels[4] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {1, 1, 1}};
    FIBITMAP* bitmap = FreeImage_AllocateT(FIT_RGBF, 2, 2, 96);
    for (int row = 0; row < 2; ++row) {
        FIRGBF* scanline = reinterpret_cast<FIRGBF*>(FreeImage_GetScanLine(bitmap, 1 - row));
        for (int x = 0; x < 2; ++x) {
            const Vector3& c = texels[x + 2 * row];
            scanline[x] = {c.x, c.y, c.z};
        }
    }
    EXPECT_TRUE(FreeImage_Save(FIF_PFM, bitmap, path.c_str(), 0));
    FreeImage_Unload(bitmap);
    return path;
}

TEST(TextureMapImageTest, GainTimesThePictureAtTheHit) {
    const RandomGenerator generator;
    TextureMapImage texture;
    ASSERT_TRUE(texture.Image.Load(SaveQuad(), 1.0f));
    ASSERT_TRUE(texture.Prepare());
    texture.Scale = {1.0f, 1.0f};
    texture.Gain = 2.0f;
    ExpectNear({2.0f, 0.0f, 0.0f}, texture.Evaluate(generator, HitAt({}, 0.25f, 0.25f), kIncoming));
    ExpectNear({0.0f, 0.0f, 2.0f}, texture.Evaluate(generator, HitAt({}, 0.25f, 0.75f), kAlt));
    ExpectNear({1.0f, 1.0f, 0.0f}, texture.Evaluate(generator, HitAt({}, 0.5f, 0.25f), kIncoming));

    texture.Gain = 1.0f;
    texture.Offset = {0.5f, -1.0f};
    ExpectNear({1.0f, 0.0f, 0.0f}, texture.Evaluate(generator, HitAt({}, -0.25f, 1.25f), kWhite));
    texture.Offset = {};
    texture.Scale = {2.0f, 0.5f};
    ExpectNear({1.0f, 1.0f, 1.0f}, texture.Evaluate(generator, HitAt({}, 0.375f, 1.5f), kWhite));
}

TEST(TextureMapImageTest, ZeroScaleSamplesTheCorner) {
    const RandomGenerator generator;
    TextureMapImage texture;
    ASSERT_TRUE(texture.Image.Load(SaveQuad(), 1.0f));
    EXPECT_EQ(0.0f, texture.Scale.u);
    EXPECT_EQ(1.0f, texture.Gain);
    // (0, 0) lies between all four texels of the repeating picture.
    for (const float u : {0.0f, 0.3f, -7.0f}) {
        ExpectNear({0.5f, 0.5f, 0.5f}, texture.Evaluate(generator, HitAt({}, u, 0.9f), kAlt));
    }
}

// An image texture without a picture (no file named, or a failed load) is refused by Prepare
// and, should it be used anyway, multiplies by white instead of reading an empty image.
TEST(TextureMapImageTest, WithoutPictureItIsRefusedAndNeutral) {
    const RandomGenerator generator;
    TextureMapImage unnamed;
    EXPECT_FALSE(unnamed.Prepare());
    TextureMapImage failed;
    EXPECT_FALSE(failed.Image.Load(testing::ScratchFolder("texture-missing") + "/no.png", 1.0f));
    EXPECT_FALSE(failed.Prepare());
    for (const TextureMapImage* texture : {&unnamed, &failed}) {
        EXPECT_EQ(kWhite, texture->Evaluate(generator, HitAt({}, 0.25f, 0.25f), kIncoming));
    }
}

}  // namespace
}  // namespace glintor
