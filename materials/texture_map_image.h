// A picture mapped onto the surface by the hit's texture coordinates.
#pragma once

#include "formats/float_image.h"
#include "materials/texture_base.h"

namespace glintor {

class TextureMapImage : public TextureBase {
public:
    FloatImage Image;  // loaded by the scene loader with the texture's gamma
    UVPair Scale;      // the picture is sampled at Scale * (Offset + (u, v))
    UVPair Offset;
    float Gain = 1.0f;

    // A texture whose picture is missing (no file was named, or it failed to load) cannot be
    // used: false then.
    bool Prepare() override;

    // Returns Gain times the picture at the hit; the incoming colour is ignored. Without a
    // picture the factor is white, so the surface keeps its colour rather than turning black.
    Vector3 Evaluate(const RandomGenerator& generator, const Intersection& hit,
                     const Vector3& color) const override;
};

}  // namespace glintor
