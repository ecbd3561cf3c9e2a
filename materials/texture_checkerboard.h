// A solid checkerboard of two colours in one of the three axis planes.
#pragma once

#include "materials/texture_base.h"

namespace glintor {

class TextureCheckerboard : public TextureBase {
public:
    // The first positive component picks the axis across which the pattern is constant (x, then
    // y, then z); with none the texture leaves every colour as it is.
    Vector3 Plane;
    Vector3 AltColor;  // factor of the odd cells
    Vector3 Scale;     // cell size per axis as read; Prepare turns it into cells per unit
    Vector3 Offset;    // added to the hit point before scaling

    // Replaces every non-zero component of Scale by its reciprocal; a zero stays zero, which
    // folds that axis into cell 0.
    bool Prepare() override;

    // Even cells return the incoming colour, odd cells AltColor. Cell coordinates are truncated
    // toward zero, so the cell straddling a coordinate of 0 is twice as wide as the others.
    Vector3 Evaluate(const RandomGenerator& generator, const Intersection& hit,
                     const Vector3& color) const override;
};

}  // namespace glintor
