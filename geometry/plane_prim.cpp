#include "geometry/plane_prim.h"

namespace glintor {

bool PlanePrim::Intersect(const Ray& ray, Intersection& hit) const {
    const float denom = Dot(ray.direction, planeNormal);
    if (denom > 0.0f) {
        return false;
    }
    // A direction parallel to the plane (denom 0) gives an infinite or NaN t, which fails the
    // comparisons below.
    const float t = -(Dot(planeNormal, ray.origin) + dist) / denom;
    if (!(t > 0.0f && t < hit.distance && t >= ray.tMin && t <= ray.tMax)) {
        return false;
    }
    hit.distance = t;
    hit.point = ray.At(t);
    hit.normal = planeNormal;
    hit.materialId = materialId;
    return true;
}

BoundingBox PlanePrim::Bounds() const {
    return BoundingBox();
}

}  // namespace glintor
