// A height picture whose differences to the next texel in u and in v tilt the normal.
#pragma once

#include "formats/float_image.h"
#include "materials/bump_base.h"

namespace glintor {

class BumpMapImage : public BumpBase {
public:
    FloatImage Image;  // heights, loaded with gamma 1; the largest channel of a texel counts
    UVPair Scale;      // the picture is sampled at Scale * (Offset + (u, v))
    UVPair Offset;
    float Gain = 1.0f;  // strength; a negative gain tilts the other way

    // A map whose picture is missing (no file was named, or it failed to load) cannot be used:
    // false then.
    bool Prepare() override;

    // The height differences are taken one texel away in texture-coordinate units, whatever
    // Scale is. Without a picture the normal is returned as given, as for a flat picture.
    Vector3 Evaluate(const RandomGenerator& generator, const Intersection& hit,
                     const Vector3& normal) const override;
};

}  // namespace glintor
