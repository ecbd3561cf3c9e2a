// Procedural marble: bands of sin(Scale * y) bent by gradient-noise turbulence, blended between
// the incoming colour and Color along a cubic Bezier curve.
#pragma once

#include "materials/texture_base.h"

namespace glintor {

class TextureMarble : public TextureBase {
public:
    Vector3 Color;
    float Scale = 1.0f;      // spatial frequency of the bands
    float Variation = 1.0f;  // how far the turbulence bends the bands
    float Omega = 1.75f;     // amplitude gain from one noise octave to the next
    float Octaves = 8.0f;    // a frequency limit, not a count: octaves 1, 2, 4, ... below it

    // A zero Scale would have the turbulence divide by zero: false then.
    bool Prepare() override;

    // Returns 1.5 times the Bezier curve through M, Color, incoming, M (M the mean of the two) at
    // the band value t in [0, 1]: both ends of the curve are M.
    Vector3 Evaluate(const RandomGenerator& generator, const Intersection& hit,
                     const Vector3& color) const override;
};

}  // namespace glintor
