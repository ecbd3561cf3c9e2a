// Colour textures. While shading a hit the integrator starts from a surface colour and, for each
// texture of the material in order, multiplies it component-wise by what Evaluate returns; the
// texture sees the colour reached so far, so it can keep it (return white), replace it or blend
// with it. Textures are filled by the scene loader, prepared once, and then shared read-only by
// all render threads.
#pragma once

#include "geometry/intersection.h"
#include "math/vector.h"

namespace glintor {

class RandomGenerator;

class TextureBase {
public:
    virtual ~TextureBase() = default;

    // One-time set-up after the loader has filled the fields; false means the texture cannot be
    // used and the loader must not keep it.
    virtual bool Prepare() { return true; }

    // The factor for the colour reached so far at this hit. The generator is the calling render
    // thread's own; procedural textures read its noise table, none draws numbers from it.
    virtual Vector3 Evaluate(const RandomGenerator& generator, const Intersection& hit,
                             const Vector3& color) const = 0;
};

}  // namespace glintor
