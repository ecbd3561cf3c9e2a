// The pixel filter: the fixed sub-pixel offsets at which every pixel is sampled. The scene file
// calls it "gaussian"; it is the only filter there is. Each path integrator builds its offsets
// once and reuses them for every pixel it renders; every sample has weight 1.
#pragma once

#include <cstdint>

#include "math/random.h"

namespace glintor {

// Offset radius from the low 24 bits of a raw draw: uniform in [0, 2 * filterRadius). The radius
// itself is uniform (not the square root of a uniform number), so offsets crowd towards the
// pixel centre.
inline float FilterOffsetRadius(uint32_t raw, float filterRadius) {
    return static_cast<float>(raw & 0xFFFFFFu) * filterRadius * 0x1p-23f;
}

// Offset angle from the low 24 bits of a raw draw: a whole number of degrees in [0, 360), so the
// generator's trig table serves it.
inline int FilterOffsetDegrees(uint32_t raw) {
    constexpr float radiansPerStep = 6.2831855f * 0x1p-24f;
    // The largest draws round up to 360 degrees, which the remainder folds back to 0.
    return static_cast<int>(static_cast<float>(raw & 0xFFFFFFu) * radiansPerStep * 57.29578f) % 360;
}

// Fills offsetX and offsetY (sampleCount entries each) with the offsets of samples 0 ... n-1,
// drawing two raw numbers per sample (radius, then angle). filterRadius is half the scene's
// antialiasing width.
void BuildSubPixelOffsets(RandomGenerator& generator, float filterRadius, int sampleCount,
                          float* offsetX, float* offsetY);

}  // namespace glintor
