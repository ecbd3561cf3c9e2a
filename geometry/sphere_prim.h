// A sphere tested directly by the integrator's object loop (never put into the accelerator).
#pragma once

#include "geometry/object_base.h"

namespace glintor {

class SpherePrim : public ObjectBase {
public:
    // Hits nearer than 0.001 are skipped, so a ray leaving the surface does not hit it again and a
    // ray from inside hits the far side. The root so taken must also lie within [tMin, tMax]
    // (inclusive); the other root is not tried instead. The direction is assumed to be unit
    // length. The normal always points outward, also for hits from inside.
    bool Intersect(const Ray& ray, Intersection& hit) const override;
    BoundingBox Bounds() const override;

    Vector3 center{0.0f, 0.0f, 0.0f};
    float radius = 1.0f;
};

}  // namespace glintor
