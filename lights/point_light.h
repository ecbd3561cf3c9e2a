// A point source. Surfaces receive Color * Power / dist² from it (Color acts as the radiant
// intensity); rays see it as a small sphere of squared radius 0.1 about Pos.
#pragma once

#include "lights/light_base.h"

namespace glintor {

class PointLight : public LightBase {
public:
    // Prepare is the base version: Extent stays 1, so every accepted sample reports pdf 1.

    // Shadow ray limits are [RayEpsilon, dist - 0.001]; a lit point closer than 0.002 to the
    // light gets tMax < tMin, a ray that nothing can block.
    void Sample(Vector3& radiance, const PathSample& sample, RandomGenerator& generator,
                Ray& shadowRay, const Vector3& point, const Vector3& normal,
                float& pdf) const override;
    // Black only when a normal is given and the direction lies behind it.
    void Emitted(Vector3& radiance, const Vector3& direction, const Vector3* normal) const override;
    // Writes only hit.distance; the ray's own tMin and tMax are not consulted, and its direction
    // must be unit length.
    bool Intersect(const Ray& ray, Intersection& hit) const override;

    Vector3 Pos;
};

}  // namespace glintor
