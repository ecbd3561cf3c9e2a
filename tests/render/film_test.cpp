#include "render/film.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <random>
#include <vector>

#include "render/pixel_filter.h"

namespace glintor {
namespace {

// Gamma 1 and scale 1 make the display bytes easy to work out by hand.
uint8_t ShowOne(const Vector3& sum, float weight, float gamma = 1.0f, float scale = 1.0f) {
    Film film(2, 2);
    film.BuildGammaTable(gamma);
    film.linearScale = scale;
    film.AddPixel(1, 1, sum, weight);
    return film.ConvertForDisplay()[3 * 3];
}

TEST(Film, ConstructionZeroesEverythingAndBuildsGammaTwoPointTwo) {
    Film film(160, 90);
    EXPECT_EQ(film.width, 160);
    EXPECT_EQ(film.height, 90);
    EXPECT_EQ(film.pixelCount, 160 * 90);
    EXPECT_EQ(film.linearScale, 1.0f);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(film.accumulation) % 64, 0u);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(film.display) % 64, 0u);
    for (int i = 0; i < film.pixelCount * 4; ++i) {
        ASSERT_EQ(film.accumulation[i], 0.0f);
    }
    for (int i = 0; i < film.pixelCount * 3; ++i) {
        ASSERT_EQ(film.display[i], 0);
    }
    for (int i = 0; i < Film::GammaTableSize; ++i) {
        ASSERT_EQ(film.gammaTable[i], static_cast<float>(std::pow(i / 1024.0, 1.0 / 2.2f))) << i;
    }
}

TEST(Film, GammaTableStopsShortOfOne) {
    Film film(4, 4);
    film.BuildGammaTable(1.0f);
    EXPECT_EQ(film.gammaTable[0], 0.0f);
    EXPECT_EQ(film.gammaTable[512], 0.5f);
    EXPECT_EQ(film.gammaTable[1023], 1023.0f / 1024.0f);
    film.BuildGammaTable(2.0f);
    EXPECT_EQ(film.gammaTable[256], 0.5f);
}

TEST(Film, DisplayBytes) {
    // Mean 0.5 shows (0.5 * 255 + 0.5) truncated = 128.
    EXPECT_EQ(ShowOne(Vector3(1.0f, 1.0f, 1.0f), 2.0f), 128);
    // Means of 1 or more use the last entry: (1023/1024 * 255 + 0.5) truncated = 255.
    EXPECT_EQ(ShowOne(Vector3(3.0f, 3.0f, 3.0f), 3.0f), 255);
    EXPECT_EQ(ShowOne(Vector3(90.0f, 90.0f, 90.0f), 3.0f), 255);
    // 0.3 * 1024 = 307.2 truncates to entry 307: (307/1024 * 255 + 0.5) = 76.95, so 76, not 77.
    EXPECT_EQ(ShowOne(Vector3(0.3f, 0.3f, 0.3f), 1.0f), 76);
    // Negative sums clamp to 0; a pixel without weight is black whatever its sums.
    EXPECT_EQ(ShowOne(Vector3(-5.0f, -5.0f, -5.0f), 1.0f), 0);
    EXPECT_EQ(ShowOne(Vector3(4.0f, 4.0f, 4.0f), 0.0f), 0);
    // A NaN sum shows black rather than indexing the table with garbage.
    EXPECT_EQ(ShowOne(Vector3(NAN, NAN, NAN), 1.0f), 0);
    EXPECT_EQ(ShowOne(Vector3(1.0f, 1.0f, 1.0f), NAN), 0);
    // Gamma 2.2: entry 512 is 0.5^(1/2.2) = 0.7297..., byte 186.
    EXPECT_EQ(ShowOne(Vector3(0.5f, 0.5f, 0.5f), 1.0f, 2.2f), 186);
}

TEST(Film, PixelsAddUpInPlaceAndChannelsStaySeparate) {
    Film film(5, 3);
    film.BuildGammaTable(1.0f);
    film.AddPixel(3, 2, Vector3(0.5f, 1.0f, -1.0f), 1.0f);
    film.AddPixel(3, 2, Vector3(0.5f, 1.0f, 0.0f), 3.0f);
    const float* pixel = film.accumulation + (2 * 5 + 3) * 4;
    EXPECT_EQ(pixel[0], 1.0f);
    EXPECT_EQ(pixel[1], 2.0f);
    EXPECT_EQ(pixel[2], -1.0f);
    EXPECT_EQ(pixel[3], 4.0f);
    const uint8_t* display = film.ConvertForDisplay();
    const uint8_t* shown = display + (2 * 5 + 3) * 3;
    EXPECT_EQ(shown[0], 64);  // mean 0.25: 63.75 + 0.5
    EXPECT_EQ(shown[1], 128);
    EXPECT_EQ(shown[2], 0);
    for (int i = 0; i < film.pixelCount * 3; ++i) {
        if (i < (2 * 5 + 3) * 3 || i >= (2 * 5 + 4) * 3) {
            ASSERT_EQ(display[i], 0) << i;
        }
    }
}

TEST(Film, IndicesPastTheEndAreIgnored) {
    Film film(4, 3);
    film.AddPixel(0, 3, Vector3(1, 1, 1), 1.0f);
    film.AddPixel(4, 2, Vector3(1, 1, 1), 1.0f);
    film.AddPixel(0xFFFFFFFFu, 0xFFFFFFFFu, Vector3(1, 1, 1), 1.0f);
    for (int i = 0; i < film.pixelCount * 4; ++i) {
        ASSERT_EQ(film.accumulation[i], 0.0f);
    }
    Film empty(0, 480);
    EXPECT_EQ(empty.pixelCount, 0);
    empty.AddPixel(0, 0, Vector3(1, 1, 1), 1.0f);
    EXPECT_NE(empty.ConvertForDisplay(), nullptr);
}

TEST(Film, ToneChangesLeaveTheSumsAlone) {
    Film film(2, 1);
    film.BuildGammaTable(1.0f);
    film.AddPixel(0, 0, Vector3(0.25f, 0.25f, 0.25f), 1.0f);
    EXPECT_EQ(film.ConvertForDisplay()[0], 64);
    film.linearScale = 2.0f;
    EXPECT_EQ(film.ConvertForDisplay()[0], 128);
    film.BuildGammaTable(2.0f);
    // sqrt(0.5) * 255 + 0.5 = 180.8
    EXPECT_EQ(film.ConvertForDisplay()[0], 180);
    EXPECT_EQ(film.accumulation[0], 0.25f);
    EXPECT_EQ(film.accumulation[3], 1.0f);
}

// A block given up at a stop goes back to what it held, sums, weights and passes, row by row;
// the rest of the film keeps what was written since.
TEST(Film, ABlockKeptAndRestoredHoldsItsValuesAgain) {
    Film film(20, 12);
    film.EnablePasses();
    const std::size_t sums = 20 * 12 * 4, passes = 20 * 12 * Film::PassCount;
    for (std::size_t i = 0; i < sums; ++i) {
        film.accumulation[i] = static_cast<float>(i);
    }
    for (std::size_t i = 0; i < passes; ++i) {
        film.passes[i] = -static_cast<float>(i);
    }
    const PixelBlock block{16, 8, 4, 4};
    std::vector<float> kept;
    film.KeepBlock(block, kept);
    std::fill_n(film.accumulation, sums, 0.5f);
    std::fill_n(film.passes, passes, 0.5f);
    film.RestoreBlock(block, kept);
    for (std::size_t pixel = 0; pixel < 20 * 12; ++pixel) {
        const bool inside = pixel % 20 >= 16 && pixel / 20 >= 8;
        for (std::size_t k = 0; k < 4; ++k) {
            const std::size_t i = pixel * 4 + k;
            ASSERT_EQ(film.accumulation[i], inside ? static_cast<float>(i) : 0.5f) << i;
        }
        for (std::size_t k = 0; k < Film::PassCount; ++k) {
            const std::size_t i = pixel * Film::PassCount + k;
            ASSERT_EQ(film.passes[i], inside ? -static_cast<float>(i) : 0.5f) << i;
        }
    }
}

TEST(PixelFilter, RadiusFromTheLowBits) {
    EXPECT_EQ(FilterOffsetRadius(0u, 0.5f), 0.0f);
    EXPECT_EQ(FilterOffsetRadius(0xFF000000u, 0.5f), 0.0f);
    EXPECT_EQ(FilterOffsetRadius(0x800000u, 0.5f), 0.5f);
    // The largest radius stays below twice the filter radius, the antialiasing width.
    EXPECT_EQ(FilterOffsetRadius(0xFFFFFFu, 0.5f), 16777215.0f / 16777216.0f);
    EXPECT_EQ(FilterOffsetRadius(0xFFFFFFu, 2.0f), 4.0f * 16777215.0f / 16777216.0f);
}

TEST(PixelFilter, WholeDegreeAngles) {
    EXPECT_EQ(FilterOffsetDegrees(0u), 0);
    EXPECT_EQ(FilterOffsetDegrees(0x400000u), 90);
    EXPECT_EQ(FilterOffsetDegrees(0x800000u), 180);
    EXPECT_EQ(FilterOffsetDegrees(0xAAC00000u), 270);
    EXPECT_EQ(FilterOffsetDegrees(0xFFFFFEu), 359);
    // The very last draw rounds up to 360 degrees and folds back to 0.
    EXPECT_EQ(FilterOffsetDegrees(0xFFFFFFu), 0);
    // Over every possible draw: within range, never decreasing before the fold, no degree missed.
    std::vector<int> hits(360, 0);
    int previous = 0;
    for (uint32_t raw = 0; raw < 0xFFFFFFu; ++raw) {
        const int degrees = FilterOffsetDegrees(raw);
        ASSERT_GE(degrees, previous) << raw;
        ASSERT_LT(degrees, 360);
        ++hits[degrees];
        previous = degrees;
    }
    for (int d = 0; d < 360; ++d) {
        EXPECT_GT(hits[d], 46000) << d;
    }
}

TEST(PixelFilter, OffsetsFollowTheDrawsInOrder) {
    const int samples = 64;
    const float filterRadius = 0.75f;
    std::vector<float> offsetX(samples);
    std::vector<float> offsetY(samples);
    RandomGenerator generator;
    BuildSubPixelOffsets(generator, filterRadius, samples, offsetX.data(), offsetY.data());

    // Independent check from the plain twister: radius from the first draw, angle from the
    // second, both worked out in double.
    std::mt19937 reference(RandomGenerator::DefaultSeed);
    for (int j = 0; j < samples; ++j) {
        const double radius = (reference() & 0xFFFFFFu) * filterRadius / 8388608.0;
        const double degrees = (reference() & 0xFFFFFFu) * 360.0 / 16777216.0;
        EXPECT_NEAR(std::hypot(offsetX[j], offsetY[j]), radius, 1e-6) << j;
        EXPECT_LT(std::hypot(offsetX[j], offsetY[j]), 2.0f * filterRadius);
        if (radius > 1e-3) {
            double angle = std::atan2(offsetY[j], offsetX[j]) * 180.0 / std::numbers::pi;
            if (angle < -0.5) {
                angle += 360.0;
            }
            EXPECT_NEAR(angle, std::floor(degrees), 2e-3) << j;
        }
    }
    // The generator has moved on by exactly two draws per sample.
    EXPECT_EQ(generator.Next32(), reference());
}

TEST(PixelFilter, EveryThreadBuildsTheSameOffsets) {
    // Filter width 1, one sample: every generator starts from the same seed, so each thread has
    // the same single offset, used for every pixel it renders.
    RandomGenerator first;
    RandomGenerator second;
    float x1, y1, x2, y2;
    BuildSubPixelOffsets(first, 0.5f, 1, &x1, &y1);
    BuildSubPixelOffsets(second, 0.5f, 1, &x2, &y2);
    EXPECT_EQ(x1, x2);
    EXPECT_EQ(y1, y2);
    EXPECT_LT(std::hypot(x1, y1), 1.0f);
}

}  // namespace
}  // namespace glintor
