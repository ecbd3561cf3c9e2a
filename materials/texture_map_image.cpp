#include "materials/texture_map_image.h"

namespace glintor {

bool TextureMapImage::Prepare() {
    return !Image.IsEmpty();
}

Vector3 TextureMapImage::Evaluate(const RandomGenerator&, const Intersection& hit,
                                  const Vector3&) const {
    if (Image.IsEmpty()) {
        return {1.0f, 1.0f, 1.0f};
    }
    const UVPair st = MapCoordinates(Scale, Offset, hit.u, hit.v);
    return Image.Lookup(st.u, st.v) * Gain;
}

}  // namespace glintor
