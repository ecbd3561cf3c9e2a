#include "materials/normal_map_image.h"

namespace glintor {

bool NormalMapImage::Prepare() {
    return !Image.IsEmpty();
}

Vector3 NormalMapImage::Evaluate(const RandomGenerator&, const Intersection& hit,
                                 const Vector3& normal) const {
    if (Image.IsEmpty()) {
        return normal;
    }
    const UVPair st = MapCoordinates(Scale, Offset, hit.u, hit.v);
    const Vector3 m = (Image.Lookup(st.u, st.v) - Vector3(0.5f, 0.5f, 0.5f)) * 2.0f;

    Vector3 t1;
    Vector3 t2;
    BuildBasis(normal, t1, t2);
    return (t1 * m.x + t2 * m.y + normal * m.z).Normalized();
}

}  // namespace glintor
