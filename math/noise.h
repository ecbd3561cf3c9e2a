// Ken Perlin's improved gradient noise and the turbulence sum built on it, used by the marble
// texture. The permutation table lives in each thread's RandomGenerator, so the generator is
// passed in; neither function draws random numbers.
#pragma once

#include "math/random.h"
#include "math/vector.h"

namespace glintor {

// Improved noise (2002 reference algorithm) at (x, y, z). Zero at every lattice point, roughly
// within [-1, 1] elsewhere, period 256 along each axis. A non-finite coordinate gives NaN, as
// the reference algorithm does.
double Noise(const RandomGenerator& generator, double x, double y, double z);

// Sum of |Noise(p * frequency / size)| * gain^octave for frequency = 1, 2, 4, ... while
// maxFrequency > frequency: the octaves run up to the largest power of two below maxFrequency,
// and maxFrequency <= 1 gives 0.
float Turbulence(const RandomGenerator& generator, const Vector3& p, float gain, float size,
                 float maxFrequency);

}  // namespace glintor
