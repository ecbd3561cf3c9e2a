#include <FreeImage.h>
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>

#include "materials/bump_map_image.h"
#include "materials/normal_map_image.h"
#include "math/random.h"
#include "tests/support/test_paths.h"

namespace glintor {
namespace {

void ExpectNear(const Vector3& expected, const Vector3& actual, float tolerance = 1e-5f) {
    EXPECT_NEAR(expected.x, actual.x, tolerance);
    EXPECT_NEAR(expected.y, actual.y, tolerance);
    EXPECT_NEAR(expected.z, actual.z, tolerance);
}

Intersection HitAt(float u, float v) {
    Intersection hit;
    hit.u = u;
    hit.v = v;
    return hit;
}

// Saves a float RGB picture whose texel at column x, row y (row 0 on top) is texel(x, y).
std::string SavePicture(const std::string& name, int width, int height,
                        const std::function<Vector3(int x, int y)>& texel) {
    InitialiseFreeImage();
    const std::string path = testing::ScratchFolder("bump-" + name) + "/" + name + ".pfm";
    FIBITMAP* bitmap = FreeImage_AllocateT(FIT_RGBF, width, height, 96);
    for (int y = 0; y < height; ++y) {
        FIRGBF* scanline = reinterpret_cast<FIRGBF*>(FreeImage_GetScanLine(bitmap, height - 1 - y));
        for (int x = 0; x < width; ++x) {
            const Vector3 c = texel(x, y);
            scanline[x] = {c.x, c.y, c.z};
        }
    }
    EXPECT_TRUE(FreeImage_Save(FIF_PFM, bitmap, path.c_str(), 0));
    FreeImage_Unload(bitmap);
    return path;
}

NormalMapImage UniformNormalMap(const Vector3& texel) {
    NormalMapImage map;
    EXPECT_TRUE(map.Image.Load(SavePicture("normal", 1, 1, [&](int, int) { return texel; }), 1.0f));
    EXPECT_TRUE(map.Prepare());
    map.Scale = {1.0f, 1.0f};
    return map;
}

const Vector3 kSlanted = Vector3(0.3f, -0.5f, 0.8f).Normalized();

TEST(NormalMapImageTest, ChannelsFollowTheTangentPair) {
    const RandomGenerator generator;
    const Intersection hit = HitAt(0.3f, 0.6f);
    const Vector3 up(0.0f, 0.0f, 1.0f);
    const Vector3 side(1.0f, 0.0f, 0.0f);
    const NormalMapImage flat = UniformNormalMap({0.5f, 0.5f, 1.0f});
    const NormalMapImage red = UniformNormalMap({1.0f, 0.5f, 0.5f});
    const NormalMapImage noGreen = UniformNormalMap({0.5f, 0.0f, 0.5f});
    // n = (0, 0, 1): T1 = (0, 1, 0), T2 = (-1, 0, 0).
    ExpectNear(up, flat.Evaluate(generator, hit, up));
    ExpectNear({0.0f, 1.0f, 0.0f}, red.Evaluate(generator, hit, up));
    ExpectNear({1.0f, 0.0f, 0.0f}, noGreen.Evaluate(generator, hit, up));
    // n = (1, 0, 0): T1 = (0, 0, 1), T2 = (0, -1, 0).
    ExpectNear(side, flat.Evaluate(generator, hit, side));
    ExpectNear({0.0f, 0.0f, 1.0f}, red.Evaluate(generator, hit, side));
    ExpectNear({0.0f, 1.0f, 0.0f}, noGreen.Evaluate(generator, hit, side));
    ExpectNear(kSlanted, flat.Evaluate(generator, hit, kSlanted));
}

TEST(NormalMapImageTest, ResultsAreUnitOrZero) {
    const RandomGenerator generator;
    const Intersection hit = HitAt(0.5f, 0.5f);
    const NormalMapImage tilted = UniformNormalMap({0.8f, 0.3f, 0.9f});
    const Vector3 n = tilted.Evaluate(generator, hit, kSlanted);
    EXPECT_NEAR(1.0f, n.Length(), 1e-6f);
    EXPECT_GT(Dot(n, kSlanted), 0.5f);
    // Mid-grey cancels every component; the zero vector comes back as it is.
    const NormalMapImage grey = UniformNormalMap({0.5f, 0.5f, 0.5f});
    EXPECT_EQ(Vector3(), grey.Evaluate(generator, hit, kSlanted));
}

TEST(NormalMapImageTest, ScaleAndOffsetChooseTheTexel) {
    const RandomGenerator generator;
    // Left half flat, right half tilted fully along T1.
    NormalMapImage map;
    ASSERT_TRUE(map.Image.Load(SavePicture("halves", 2, 1,
                                           [](int x, int) {
                                               return x == 0 ? Vector3(0.5f, 0.5f, 1.0f)
                                                             : Vector3(1.0f, 0.5f, 0.5f);
                                           }),
                               1.0f));
    const Vector3 up(0.0f, 0.0f, 1.0f);
    // Default scale (0, 0) samples the corner, halfway between both texels.
    ExpectNear(Vector3(0.0f, 0.5f, 0.5f).Normalized(),
               map.Evaluate(generator, HitAt(0.75f, 0.5f), up));
    map.Scale = {2.0f, 1.0f};
    map.Offset = {0.25f, 0.0f};
    ExpectNear({0.0f, 1.0f, 0.0f}, map.Evaluate(generator, HitAt(0.125f, 0.5f), up));
    ExpectNear(up, map.Evaluate(generator, HitAt(-0.125f, 0.5f), up));
}

// Heights rise by 0.1 per texel from left to right; the channel carrying the height changes
// from column to column, the others stay below it.
BumpMapImage RampAlongRows() {
    BumpMapImage map;
    EXPECT_TRUE(map.Image.Load(SavePicture("ramp-u", 8, 4,
                                           [](int x, int) {
                                               Vector3 texel(0.05f, 0.05f, 0.05f);
                                               texel[x % 3] = 0.1f * x + 0.1f;
                                               return texel;
                                           }),
                               1.0f));
    EXPECT_TRUE(map.Prepare());
    map.Scale = {1.0f, 1.0f};
    return map;
}

TEST(BumpMapImageTest, RisingRowsTiltTowardTheFirstTangent) {
    const RandomGenerator generator;
    BumpMapImage map = RampAlongRows();
    const Vector3 up(0.0f, 0.0f, 1.0f);
    // Centre of texel (2, 1), away from the seam between the last and first column.
    const Intersection hit = HitAt(2.5f / 8.0f, 1.5f / 4.0f);
    ExpectNear(Vector3(0.0f, 0.1f, 1.0f).Normalized(), map.Evaluate(generator, hit, up));
    map.Gain = 3.0f;
    ExpectNear(Vector3(0.0f, 0.3f, 1.0f).Normalized(), map.Evaluate(generator, hit, up));
    map.Gain = -1.0f;
    ExpectNear(Vector3(0.0f, -0.1f, 1.0f).Normalized(), map.Evaluate(generator, hit, up));
    // The neighbour stays one texel away whatever the scale.
    map.Gain = 1.0f;
    map.Scale = {2.0f, 2.0f};
    const Intersection halved = HitAt(2.5f / 16.0f, 1.5f / 8.0f);
    ExpectNear(Vector3(0.0f, 0.1f, 1.0f).Normalized(), map.Evaluate(generator, halved, up));
    // For n = (1, 0, 0) the first tangent is (0, 0, 1).
    ExpectNear(Vector3(1.0f, 0.0f, 0.1f).Normalized(),
               map.Evaluate(generator, halved, {1.0f, 0.0f, 0.0f}));
}

TEST(BumpMapImageTest, RisingColumnsTiltTowardTheSecondTangent) {
    const RandomGenerator generator;
    BumpMapImage map;
    ASSERT_TRUE(map.Image.Load(
        SavePicture("ramp-v", 2, 8, [](int, int y) { return Vector3(0.0f, 0.2f * y, 0.0f); }),
        1.0f));
    map.Scale = {1.0f, 1.0f};
    // T2 = (-1, 0, 0) for n = (0, 0, 1).
    ExpectNear(Vector3(-0.2f, 0.0f, 1.0f).Normalized(),
               map.Evaluate(generator, HitAt(0.25f, 3.5f / 8.0f), {0.0f, 0.0f, 1.0f}));
}

TEST(BumpMapImageTest, ConstantPictureKeepsTheNormal) {
    const RandomGenerator generator;
    BumpMapImage map;
    ASSERT_TRUE(map.Image.Load(
        SavePicture("constant", 3, 3, [](int, int) { return Vector3(0.2f, 0.7f, 0.4f); }), 1.0f));
    map.Scale = {1.5f, 0.5f};
    map.Gain = 100.0f;
    for (const Vector3& n : {Vector3(0.0f, 0.0f, 1.0f), Vector3(0.0f, -1.0f, 0.0f), kSlanted}) {
        for (const float u : {0.0f, 0.37f, 0.99f, -4.2f}) {
            ExpectNear(n, map.Evaluate(generator, HitAt(u, 1.0f - u), n));
        }
    }
}

// A map without a picture (no file named, or a failed load) is refused by Prepare and, should
// it be used anyway, keeps the normal instead of reading an empty image.
TEST(BumpMapsWithoutPictureTest, AreRefusedAndNeutral) {
    const RandomGenerator generator;
    const std::string missing = testing::ScratchFolder("bump-missing") + "/gone.png";
    BumpMapImage bump;
    NormalMapImage normal;
    EXPECT_FALSE(bump.Prepare());
    EXPECT_FALSE(normal.Prepare());
    EXPECT_FALSE(bump.Image.Load(missing, 1.0f));
    EXPECT_FALSE(normal.Image.Load(missing, 1.0f));
    EXPECT_FALSE(bump.Prepare());
    EXPECT_FALSE(normal.Prepare());
    bump.Scale = {1.0f, 1.0f};
    normal.Scale = {1.0f, 1.0f};
    EXPECT_EQ(kSlanted, bump.Evaluate(generator, HitAt(0.3f, 0.3f), kSlanted));
    EXPECT_EQ(kSlanted, normal.Evaluate(generator, HitAt(0.3f, 0.3f), kSlanted));
}

}  // namespace
}  // namespace glintor
