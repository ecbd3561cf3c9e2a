#include "render/pixel_filter.h"

namespace glintor {

void BuildSubPixelOffsets(RandomGenerator& generator, float filterRadius, int sampleCount,
                          float* offsetX, float* offsetY) {
    for (int j = 0; j < sampleCount; ++j) {
        const float radius = FilterOffsetRadius(generator.Next32(), filterRadius);
        const CosSin& angle = generator.trig[FilterOffsetDegrees(generator.Next32())];
        offsetX[j] = angle.cosine * radius;
        offsetY[j] = angle.sine * radius;
    }
}

}  // namespace glintor
