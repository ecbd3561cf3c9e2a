#include "render/sample_part.h"

#include <algorithm>

namespace glintor {

SamplePart PartOfSamples(uint32_t held, uint32_t total, uint32_t rank, uint32_t size) {
    const uint32_t missing = total > held ? total - held : 0u;
    const uint32_t each = missing / size, extra = missing % size;
    return {each + (rank < extra ? 1u : 0u), held + rank * each + std::min(rank, extra)};
}

}  // namespace glintor
