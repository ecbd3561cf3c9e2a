// Every light source of the scene. The path integrator uses a light in two ways:
//  - direct lighting: Sample picks a point (or direction) on the light as seen from a lit surface
//    point and answers the unoccluded radiance arriving along a shadow ray, with a pdf;
//  - visible emitters: Intersect tells whether a traced ray strikes the light's own geometry, and
//    Emitted answers the radiance the light sends back along that ray.
//
// Conventions:
//  - Colours are linear RGB in Vector3; lights have no units beyond the scene file's numbers.
//  - Sample's `point` is the lit surface point and `normal` the shading normal there, turned
//  towards
//    the side the path arrived from (not necessarily unit length after bump averaging).
//  - Sample's pdf is the light's own density divided by `Extent`, in the measure each light states.
//    The caller sets pdf to 0 before the call and uses the sample only when pdf > 0 and the
//    radiance is not black; it then adds f * radiance * cos / (number of light samples * pdf), with
//    the cosine at the lit surface. A rejected sample answers black radiance and pdf 0, leaves the
//    shadow ray as it was, and never hands out NaN or infinity.
//  - Sample fills the shadow ray's origin, direction and limits; the caller tests it against the
//    scene's objects only (lights never occlude).
//  - Emitted's direction points from the hit back towards the ray's origin for lights with
//    geometry (normal = the record's `normal` written by Intersect); for lights at infinity it is
//    the ray direction itself and the normal is null.
//  - Intersect reports a hit only nearer than hit.distance on entry, then lowers distance (the sun,
//    at infinity, leaves it) and writes the fields each light states.
//
// Lifecycle: constructed, fields set by the scene loader, Prepare once, then Sample, Emitted and
// Intersect concurrently from all render threads; these three only read the light.
#pragma once

#include <cmath>

#include "geometry/intersection.h"
#include "math/random.h"
#include "math/vector.h"

namespace glintor {

class LightBase {
public:
    virtual ~LightBase() = default;

    // One-time set-up after the loader has stored the parameters.
    virtual void Prepare() {}

    // Uses sample.lightU and sample.lightV (uniform in [0, 1)); the generator is there for lights
    // that need more numbers.
    virtual void Sample(Vector3& radiance, const PathSample& sample, RandomGenerator& generator,
                        Ray& shadowRay, const Vector3& point, const Vector3& normal,
                        float& pdf) const = 0;

    // The low-noise sampling mode's sample: the same kind of answer, with the point drawn by a
    // density of the light's choosing and the pdf rescaled to match, so that for uniform lightU and
    // lightV the caller's estimator f * radiance * cos / pdf has the same expectation as with
    // Sample, for any f. Lights without a better density answer as Sample does.
    virtual void SampleLowNoise(Vector3& radiance, const PathSample& sample,
                                RandomGenerator& generator, Ray& shadowRay, const Vector3& point,
                                const Vector3& normal, float& pdf) const {
        Sample(radiance, sample, generator, shadowRay, point, normal, pdf);
    }

    // normal may be null (lights at infinity).
    virtual void Emitted(Vector3& radiance, const Vector3& direction,
                         const Vector3* normal) const = 0;

    virtual bool Intersect(const Ray& ray, Intersection& hit) const = 0;

    Vector3 Color{1.0f, 1.0f, 1.0f};  // RGB colour of the emission
    float Power = 1.0f;               // scalar multiplier of Color
    // Measure of the emitter that turns the sampling density into the reported pdf; set by Prepare.
    float Extent = 1.0f;

protected:
    // The answer of a sample that contributes nothing.
    static void RejectSample(Vector3& radiance, float& pdf) {
        radiance = ZeroVector();
        pdf = 0.0f;
    }

    // True when radiance and pdf can go through the caller's division without producing NaN or
    // infinity: degenerate geometry (a lit point in the light's plane, a zero-sized light, a lit
    // point on the light) shows up here as an infinite pdf or radiance.
    static bool IsFiniteSample(const Vector3& radiance, float pdf) {
        return std::isfinite(pdf) && std::isfinite(radiance.x) && std::isfinite(radiance.y) &&
               std::isfinite(radiance.z);
    }

    // Completes a sample of a light's surface with the pdf already set: radiance Color x Power
    // and a shadow ray that stops just short of the sampled point, at dist along w. A negative
    // pdf, or one that is infinite (a direction in the light's plane, a light of zero size),
    // gives a rejected sample instead: the same zero contribution without letting infinity out.
    void AcceptSurfaceSample(Vector3& radiance, float& pdf, Ray& shadowRay, const Vector3& point,
                             const Vector3& w, float dist) const {
        radiance = Color * Power;
        if (!(pdf >= 0.0f) || !IsFiniteSample(radiance, pdf)) {
            RejectSample(radiance, pdf);
            return;
        }
        AimShadowRay(shadowRay, point, w, dist - 0.001f);
    }

    // Points the shadow ray from the lit point along direction; it stops maxDistance along it
    // (short of a light at a finite distance, RayInfinity for lights at infinity).
    static void AimShadowRay(Ray& shadowRay, const Vector3& point, const Vector3& direction,
                             float maxDistance) {
        shadowRay.origin = point;
        shadowRay.direction = direction;
        shadowRay.tMin = RayEpsilon;
        shadowRay.tMax = maxDistance;
    }
};

}  // namespace glintor
