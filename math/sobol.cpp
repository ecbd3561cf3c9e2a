#include "math/sobol.h"

namespace glintor {

uint32_t OwenScramble(uint32_t value, uint32_t seed) {
    using namespace sobol_bits;
    // Reversed, the bits above a digit become the bits below it.
    return Reverse32(LowerBitsPermutation(Reverse32(value), seed));
}

UnitPoint ScrambledSobolPoint(uint32_t index, uint32_t seed) {
    return ScrambledPoint(SobolFirst(index), ScramblesOf(seed));
}

}  // namespace glintor
