#include "geometry/sphere_prim.h"

#include <cmath>

namespace glintor {

bool SpherePrim::Intersect(const Ray& ray, Intersection& hit) const {
    const Vector3 oc = center - ray.origin;
    const float b = Dot(ray.direction, oc);
    const float disc = b * b - Dot(oc, oc) + radius * radius;
    if (disc < 0.0f) {
        return false;
    }
    const float s = std::sqrt(disc);
    const float t0 = b - s;
    const float t1 = b + s;
    float t;
    if (t0 > RayEpsilon && t0 < hit.distance) {
        t = t0;
    } else if (t1 > RayEpsilon && t1 < hit.distance) {
        t = t1;
    } else {
        return false;
    }
    if (t < ray.tMin || t > ray.tMax) {
        return false;
    }
    hit.distance = t;
    hit.point = ray.At(t);
    hit.normal = hit.point - center;
    hit.normal.Normalize();
    hit.materialId = materialId;
    return true;
}

BoundingBox SpherePrim::Bounds() const {
    const Vector3 extent{radius, radius, radius};
    return {center - extent, center + extent};
}

}  // namespace glintor
