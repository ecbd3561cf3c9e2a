// One call of a scattering model's sampler with everything it writes, for the BxDF tests.
#pragma once

#include "materials/bxdf.h"
#include "math/random.h"

namespace glintor::testing {

struct Scattered {
    Vector3 f;
    Vector3 wi;
    bool isSpecular = false;
    float pdf = -1.0f;
};

// No model draws from the generator, so one shared instance serves every call.
inline Scattered Scatter(const BxDFBase& bxdf, const PathSample& sample, const Vector3& wo,
                         const Vector3& n, const Vector3& nFacing) {
    static RandomGenerator generator;
    Scattered s;
    s.f = bxdf.SampleDirection(sample, generator, wo, s.wi, n, nFacing, s.isSpecular, s.pdf);
    return s;
}

}  // namespace glintor::testing
