// A spatial index over the triangles of the mesh set. It answers the same query as an object: it
// lowers hit.distance and fills the triangle fields of the record when it finds a nearer triangle.
#pragma once

#include "geometry/intersection.h"
#include "math/vector.h"

namespace glintor {

class AcceleratorBase {
public:
    virtual ~AcceleratorBase() = default;

    // True when a triangle nearer than hit.distance lies strictly between ray.tMin and ray.tMax;
    // distance, bary0..2 and triangleIndex are then written. False leaves hit unchanged.
    virtual bool Intersect(const Ray& ray, Intersection& hit) const = 0;
    // The shadow query: true exactly when Intersect, given a fresh record whose distance is
    // ray.tMax, would be; it may stop at any triangle that counts, not only the nearest.
    virtual bool Occluded(const Ray& ray) const = 0;
};

}  // namespace glintor
