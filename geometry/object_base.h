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
    virtual BoundingBox Bounds() const = 0;

    // Index into the scene's material list; NoMaterial until the loader sets it.
    uint8_t materialId = NoMaterial;
};

}  // namespace glintor
