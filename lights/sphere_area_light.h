// A spherical emitter of centre Pos and radius Radius.
//
// Sample draws a point uniformly over the whole sphere and keeps it only when it lies on the half
// facing the lit point (about half of all draws end black). The pdf it reports is
// (1 / 4π) / (Extent · cos) · dist², with Extent = 2π · Radius² (half the sphere's area) and the
// cosine taken at the lit surface, not at the light. Emitted answers Color · Power · cos · π.
#pragma once

#include "lights/light_base.h"

namespace glintor {

class SphereAreaLight : public LightBase {
public:
    // Extent = 2π · Radius².
    void Prepare() override;
    // Shadow ray limits are [RayEpsilon, dist - 0.001].
    void Sample(Vector3& radiance, const PathSample& sample, RandomGenerator& generator,
                Ray& shadowRay, const Vector3& point, const Vector3& normal,
                float& pdf) const override;
    // Draws the point uniformly on the cap of the sphere visible from the lit point and divides
    // Sample's pdf by the cap's share of the sphere's area: no draw is thrown away.
    void SampleLowNoise(Vector3& radiance, const PathSample& sample, RandomGenerator& generator,
                        Ray& shadowRay, const Vector3& point, const Vector3& normal,
                        float& pdf) const override;
    // The normal is the one Intersect wrote; without one there is no surface to emit from and the
    // answer is black.
    void Emitted(Vector3& radiance, const Vector3& direction, const Vector3* normal) const override;
    // Takes the nearer root beyond 0.001 that is nearer than hit.distance, else the farther one;
    // the root taken must lie within the ray's [tMin, tMax]. On a hit writes distance, point and
    // the outward normal. The ray's direction must be unit length.
    bool Intersect(const Ray& ray, Intersection& hit) const override;

    Vector3 Pos;
    float Radius = 1.0f;

private:
    // The rest of a sample once the unit direction s of the sphere point is drawn; share is the
    // part of the sphere's area the draw covers.
    void SampleSpherePoint(Vector3& radiance, const Vector3& s, float share, Ray& shadowRay,
                           const Vector3& point, const Vector3& normal, float& pdf) const;
};

}  // namespace glintor
