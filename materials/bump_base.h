// Bump and normal maps perturb the shading normal of a hit. The integrator hands every map of a
// material the same unperturbed unit normal and replaces the shading normal by the plain average
// of the results. Perturbations happen in the tangent frame that BuildBasis makes from the normal
// alone (T1 its `u`, T2 its `w`), so nothing depends on the surface's parameterisation beyond
// the hit's (u, v). A separate family from TextureBase: maps answer normals, not colours.
#pragma once

#include "geometry/intersection.h"
#include "math/vector.h"

namespace glintor {

class RandomGenerator;

class BumpBase {
public:
    virtual ~BumpBase() = default;

    // One-time check after the loader has filled the fields; false means the map cannot be used
    // and the loader must not keep it.
    virtual bool Prepare() { return true; }

    // The perturbed unit normal for the given unit normal at this hit, or the zero vector when
    // the perturbation cancels it. The generator is not used by any map.
    virtual Vector3 Evaluate(const RandomGenerator& generator, const Intersection& hit,
                             const Vector3& normal) const = 0;
};

}  // namespace glintor
