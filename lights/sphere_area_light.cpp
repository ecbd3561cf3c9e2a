#include "lights/sphere_area_light.h"

#include <cmath>

#include "math/sampling.h"

namespace glintor {

namespace {

constexpr float TwoPi = 6.2831855f;
constexpr float InvFourPi = 0.07957747f;
constexpr float Pi = 3.1415927f;

}  // namespace

void SphereAreaLight::Prepare() {
    Extent = TwoPi * Radius * Radius;
}

void SphereAreaLight::Sample(Vector3& radiance, const PathSample& sample, RandomGenerator&,
                             Ray& shadowRay, const Vector3& point, const Vector3& normal,
                             float& pdf) const {
    if (Color.x + Color.y + Color.z == 0.0f) {
        RejectSample(radiance, pdf);
        return;
    }
    const Vector3 s = UniformSphere(sample.lightU, sample.lightV);
    const Vector3 p = Pos + s * Radius;
    const Vector3 d = p - point;
    const float dist2 = d.LengthSquared();
    // A lit point that coincides with the sampled point (on the sphere, or at the centre of a
    // sphere of radius 0) has no direction towards it.
    if (!(dist2 > 0.0f) || !std::isfinite(dist2)) {
        RejectSample(radiance, pdf);
        return;
    }
    const float dist = std::sqrt(dist2);
    const Vector3 w = d * (1.0f / dist);
    const float cosSurface = Dot(w, normal);
    if (cosSurface < 0.0f || Dot(w, s) > 0.0f) {
        RejectSample(radiance, pdf);
        return;
    }
    pdf = InvFourPi / (Extent * cosSurface) * dist2;
    AcceptSurfaceSample(radiance, pdf, shadowRay, point, w, dist);
}

void SphereAreaLight::Emitted(Vector3& radiance, const Vector3& direction,
                              const Vector3* normal) const {
    const float k = normal != nullptr ? Dot(direction, *normal) : 0.0f;
    radiance = k > 0.0f ? Color * Power * k * Pi : ZeroVector();
}

bool SphereAreaLight::Intersect(const Ray& ray, Intersection& hit) const {
    const Vector3 toCenter = Pos - ray.origin;
    const float b = Dot(ray.direction, toCenter);
    const float disc = b * b - toCenter.LengthSquared() + Radius * Radius;
    if (disc < 0.0f) {
        return false;
    }
    const float root = std::sqrt(disc);
    float t = b - root;
    if (!(t > 0.001f && t < hit.distance)) {
        t = b + root;
        if (!(t > 0.001f && t < hit.distance)) {
            return false;
        }
    }
    if (t < ray.tMin || t > ray.tMax) {
        return false;
    }
    hit.distance = t;
    hit.point = ray.At(t);
    hit.normal = (hit.point - Pos).Normalized();
    return true;
}

}  // namespace glintor
