// The image being rendered: an accumulation buffer the render threads add radiance into, and the
// 8-bit RGB buffer the preview shows, converted through a 1024-entry gamma table and a linear
// scale. There is one film for the whole run.
//
// Pixel (x, y) is element y * width + x of both buffers; row 0 comes first and is the bottom row
// of the picture. display rows follow each other without gaps (3 * width bytes per row).
//
// Threads: render threads call AddPixel without a lock (their pixel blocks never overlap); the
// main thread reads accumulation for display and saving while they write, and alone writes
// gammaTable and linearScale.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "math/vector.h"
#include "render/pixel_block.h"

namespace glintor {

class Film {
public:
    static constexpr int GammaTableSize = 1024;

    // Zero-filled buffers, linearScale 1 and the table for gamma 2.2. A width or height below 1
    // gives an empty film (pixelCount 0) that ignores every AddPixel.
    Film(int filmWidth, int filmHeight);
    ~Film();
    Film(const Film&) = delete;
    Film& operator=(const Film&) = delete;

    // Entry i := (i / 1024)^(1 / gamma); there is no entry for 1.0 itself. gamma must be > 0.
    void BuildGammaTable(float gamma);

    // Adds (colour, weight) into the pixel's accumulation; an index y * width + x at or beyond
    // pixelCount is ignored.
    void AddPixel(uint32_t x, uint32_t y, const Vector3& colour, float weight);

    // Allocates the guide passes (zeroed); until then the film has none and AddPasses is not
    // called.
    void EnablePasses();
    // Adds one pixel's pass sums: albedo, normal, distance (over the samples that hit) and hits.
    void AddPasses(uint32_t x, uint32_t y, const Vector3& albedo, const Vector3& normal,
                   float distance, float hits);

    // Copies the block's sums, weights and passes out, and back in: a render thread keeps them
    // while it renders the block, so that a block given up at a stop leaves the film as it was.
    void KeepBlock(const PixelBlock& block, std::vector<float>& kept) const;
    void RestoreBlock(const PixelBlock& block, const std::vector<float>& kept);
    // Refills display from accumulation (mean = sum / weight, times linearScale, clamped to
    // [0, 1], through the gamma table) and returns it. Pixels of weight <= 0 show black.
    const uint8_t* ConvertForDisplay();

    int16_t width = 0;
    int16_t height = 0;
    int32_t pixelCount = 0;
    std::array<float, GammaTableSize> gammaTable{};
    float linearScale = 1.0f;
    // Per pixel: summed red, green, blue and summed sample weight. 64-byte aligned.
    float* accumulation = nullptr;
    // Per pixel, PassCount floats summed over the samples in accumulation's weight: the first
    // diffuse hit's surface colour, the shading normal at the first hit, the distance to it (only
    // samples that hit add) and the count of samples that hit. Null without passes.
    static constexpr int PassCount = 8;
    float* passes = nullptr;
    // Per pixel: red, green, blue bytes. 64-byte aligned.
    uint8_t* display = nullptr;
};

}  // namespace glintor
