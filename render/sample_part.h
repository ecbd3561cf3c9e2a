// How processes that render one picture together split the samples a block still lacks.
#pragma once

#include <cstdint>

namespace glintor {

// One process's part of a block's missing samples: how many each pixel gets, and where the first
// of them stands in the pixel's sequence of samples.
struct SamplePart {
    uint32_t count = 0;
    uint32_t first = 0;

    bool operator==(const SamplePart&) const = default;
};

// The part of process `rank` of `size` when each pixel holds `held` of `total` samples: the
// missing ones split as evenly as whole samples allow, lower ranks taking one more where they do
// not divide, and each part following those of the lower ranks, so that together they continue
// every pixel's sequence where it stopped.
SamplePart PartOfSamples(uint32_t held, uint32_t total, uint32_t rank, uint32_t size);

}  // namespace glintor
