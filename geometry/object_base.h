// Every renderable surface. The integrator calls Intersect on each object of the scene's list in
// order with one shared record, so afterwards the record holds the nearest hit over all objects.
#pragma once

#include <cstdint>

#include "geometry/intersection.h"
#include "math/vector.h"

namespace glintor {

inline constexpr uint8_t NoMaterial = 255;

class ObjectBase {
public:
    virtual ~ObjectBase() = default;

    // True when this object has a hit nearer than hit.distance and within [tMin, tMax]; it has
    // then lowered hit.distance and written the fields it owns. False leaves hit unchanged.
    virtual bool Intersect(const Ray& ray, Intersection& hit) const = 0;
    // The shadow query: whether anything of this object lies within [tMin, tMax]. Answers as
    // Intersect with a fresh record whose distance is ray.tMax; meshes override it to stop at the
    // first triangle found instead of searching for the nearest.
    virtual bool Occluded(const Ray& ray) const {
        Intersection blocker;
        blocker.distance = ray.tMax;
        return Intersect(ray, blocker);
    }
    virtual BoundingBox Bounds() const = 0;

    // Index into the scene's material list; NoMaterial until the loader sets it.
    uint8_t materialId = NoMaterial;
};

}  // namespace glintor
