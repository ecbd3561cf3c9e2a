// An unbounded one-sided plane: the points p with Dot(planeNormal, p) + dist = 0. Only rays
// travelling against the normal (Dot(direction, planeNormal) <= 0) can hit it.
#pragma once

#include "geometry/object_base.h"

namespace glintor {

class PlanePrim : public ObjectBase {
public:
    // Accepts any t > 0 (no 0.001 margin) within [tMin, tMax] (inclusive). The reported normal is
    // planeNormal exactly as stored: neither normalised nor flipped.
    bool Intersect(const Ray& ray, Intersection& hit) const override;
    // The empty box: an unbounded plane adds nothing to the world box.
    BoundingBox Bounds() const override;

    // Kept as the scene gives it, not normalised; a zero normal is never hit.
    Vector3 planeNormal{0.0f, 0.0f, 0.0f};
    float dist = 0.0f;
};

}  // namespace glintor
