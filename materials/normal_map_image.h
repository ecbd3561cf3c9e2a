// A tangent-space normal picture: red along T1, green along T2, blue along the normal, each
// channel mapped from [0, 1] to [-1, 1].
#pragma once

#include "formats/float_image.h"
#include "materials/bump_base.h"

namespace glintor {

class NormalMapImage : public BumpBase {
public:
    FloatImage Image;  // loaded with gamma 1
    UVPair Scale;      // the picture is sampled at Scale * (Offset + (u, v))
    UVPair Offset;

    // A map whose picture is missing (no file was named, or it failed to load) cannot be used:
    // false then.
    bool Prepare() override;

    // A texel of (0.5, 0.5, 1) keeps the normal; (0.5, 0.5, 0.5) gives the zero vector, returned
    // as it is. Without a picture the normal is returned as given.
    Vector3 Evaluate(const RandomGenerator& generator, const Intersection& hit,
                     const Vector3& normal) const override;
};

}  // namespace glintor
