#include "materials/bump_map_image.h"

#include <algorithm>

namespace glintor {

namespace {

float Height(const FloatImage& image, float s, float t) {
    const Vector3 texel = image.Lookup(s, t);
    return std::max({texel.x, texel.y, texel.z});
}

}  // namespace

bool BumpMapImage::Prepare() {
    return !Image.IsEmpty();
}

Vector3 BumpMapImage::Evaluate(const RandomGenerator&, const Intersection& hit,
                               const Vector3& normal) const {
    if (Image.IsEmpty()) {
        return normal;
    }
    const UVPair st = MapCoordinates(Scale, Offset, hit.u, hit.v);
    const float h0 = Height(Image, st.u, st.v);
    const float h1 = Height(Image, st.u + Image.InvWidth, st.v);
    const float h2 = Height(Image, st.u, st.v + Image.InvHeight);
    const float du = (h1 - h0) * Gain;
    const float dv = (h2 - h0) * Gain;

    Vector3 t1;
    Vector3 t2;
    BuildBasis(normal, t1, t2);
    return (normal + t1 * du + t2 * dv).Normalized();
}

}  // namespace glintor
