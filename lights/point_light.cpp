#include "lights/point_light.h"

#include <cmath>

namespace glintor {

namespace {

// Squared radius of the sphere that stands for the light when rays look for it.
constexpr float VisibleRadiusSquared = 0.1f;

}  // namespace

void PointLight::Sample(Vector3& radiance, const PathSample&, RandomGenerator&, Ray& shadowRay,
                        const Vector3& point, const Vector3& normal, float& pdf) const {
    const Vector3 d = Pos - point;
    const float dist2 = d.LengthSquared();
    // A lit point on the light itself has no direction towards it; a distance beyond float range
    // has none either. Both would otherwise hand out NaN.
    if (!(dist2 > 0.0f) || !std::isfinite(dist2)) {
        RejectSample(radiance, pdf);
        return;
    }
    const float dist = std::sqrt(dist2);
    const Vector3 direction = d * (1.0f / dist);
    if (!(Dot(direction, normal) > 0.0f)) {
        RejectSample(radiance, pdf);
        return;
    }
    radiance = Color * Power * (1.0f / dist2);
    pdf = 1.0f / Extent;
    // Very close to the light 1 / dist² overflows; such a sample cannot be weighed.
    if (!IsFiniteSample(radiance, pdf)) {
        RejectSample(radiance, pdf);
        return;
    }
    AimShadowRay(shadowRay, point, direction, dist - 0.001f);
}

void PointLight::Emitted(Vector3& radiance, const Vector3& direction, const Vector3* normal) const {
    if (normal != nullptr && Dot(direction, *normal) < 0.0f) {
        radiance = ZeroVector();
        return;
    }
    radiance = Color * Power;
}

bool PointLight::Intersect(const Ray& ray, Intersection& hit) const {
    const Vector3 toCenter = Pos - ray.origin;
    const float b = Dot(ray.direction, toCenter);
    const float disc = b * b - toCenter.LengthSquared() + VisibleRadiusSquared;
    if (disc < 0.0f) {
        return false;
    }
    const float root = std::sqrt(disc);
    const float t1 = b - root;
    if (t1 > 0.0f && t1 < hit.distance) {
        hit.distance = t1;
        return true;
    }
    const float t2 = b + root;
    if (t2 > 0.0f && t2 < hit.distance) {
        hit.distance = t2;
        return true;
    }
    return false;
}

}  // namespace glintor
