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
    SampleSpherePoint(radiance, UniformSphere(sample.lightU, sample.lightV), 1.0f, shadowRay, point,
                      normal, pdf);
}

// Sample throws away the points on the far side of the sphere as seen from the lit point: about
// half of its draws, which makes the direct light a coin flip between nothing and twice its value.
// The points it keeps (w . s <= 0) are exactly the cap of directions s about the axis from the
// centre to the lit point with cos >= Radius / distance. Drawing s uniformly on that cap, and
// multiplying each value by the cap's share of the sphere's area (by dividing the pdf by it), gives
// the expectation of the sphere-wide draw: Sample's values vanish off the cap, and on it the
// density rises from 1 / sphere area to 1 / cap area.
void SphereAreaLight::SampleLowNoise(Vector3& radiance, const PathSample& sample, RandomGenerator&,
                                     Ray& shadowRay, const Vector3& point, const Vector3& normal,
                                     float& pdf) const {
    const Vector3 toPoint = point - Pos;
    const float distance = toPoint.Length();
    // From inside the sphere, or on it, Sample keeps no point at all.
    if (Color.x + Color.y + Color.z == 0.0f || !(distance > Radius) || !std::isfinite(distance)) {
        RejectSample(radiance, pdf);
        return;
    }
    const Vector3 axis = toPoint * (1.0f / distance);
    Vector3 side1, side2;
    BuildBasis(axis, side1, side2);
    const float cosMax = Radius / distance;
    const float capShare = 0.5f * (1.0f - cosMax);
    const Vector3 s = UniformCone(sample.lightU, sample.lightV, cosMax, axis, side1, side2);
    SampleSpherePoint(radiance, s, capShare, shadowRay, point, normal, pdf);
}

void SphereAreaLight::SampleSpherePoint(Vector3& radiance, const Vector3& s, float share,
                                        Ray& shadowRay, const Vector3& point, const Vector3& normal,
                                        float& pdf) const {
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
    // Dividing by a share of 1 is exact, so Sample's pdf is the design's to the bit.
    pdf = InvFourPi / (Extent * cosSurface) * dist2 / share;
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
