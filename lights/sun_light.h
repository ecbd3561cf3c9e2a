// The sun as a distant disc: a cone of directions around SunDirection (the z axis is the
// zenith), whose RGB radiance is worked out once from the daylight model's atmospheric
// attenuation of sunlight (lights/sun_spectrum.h).
//
// Sample's pdf is per unit solid angle, uniform over the cone: 1 / (2 pi (1 - CosThetaMax)).
// Rays see the sun through Intersect within a wider cone (cosine IntersectCos) when no object
// lies in their way.
#pragma once

#include "lights/light_base.h"

namespace glintor {

class SunLight : public LightBase {
public:
    // Called once by the scene loader right after construction; Prepare stays the base version.
    //
    // A zero sunDirection (a "SunSky" light without one) names no sun: the direction stays
    // zero, the tangents too, and the light gives no light at all (Sample rejects, Intersect
    // never hits, SunRadiance is black), just as an "Env" light without a direction has no sun.
    // A sun so far below the horizon that the optical-mass formula fails, or a gain that
    // overflows float, also gives black SunRadiance.
    void Setup(const Vector3& sunDirection, float turbidity, float sunSize, float sunGain);

    // Samples are accepted whenever the disc's centre is not below the surface's horizon; the
    // sampled direction itself is not tested. A sun of size 0 has no cone to sample and is
    // rejected.
    void Sample(Vector3& radiance, const PathSample& sample, RandomGenerator& generator,
                Ray& shadowRay, const Vector3& point, const Vector3& normal,
                float& pdf) const override;
    // With the normal Intersect wrote (-SunDirection) and the reversed ray direction, k is the
    // cosine between the ray and the sun; black for k <= 0 or without a normal.
    void Emitted(Vector3& radiance, const Vector3& direction, const Vector3* normal) const override;
    // A hit when the ray's direction lies within IntersectCos of the sun and nothing was hit
    // before (hit.distance still RayInfinity); distance is left alone and only a hit writes
    // hit.normal = -SunDirection, so that a miss never spoils the normal of a light hit earlier.
    bool Intersect(const Ray& ray, Intersection& hit) const override;

    Vector3 SunDirection;  // unit, towards the sun; zero when none was given
    float Turbidity = 0.0f;
    float SunSize = 0.0f;  // disc radius in multiples of the real sun's
    Vector3 Tangent1;      // with Tangent2, the frame BuildBasis gives around SunDirection
    Vector3 Tangent2;
    float SunTheta = 0.0f;     // zenith angle of the sun, radians
    float CosThetaMax = 0.0f;  // cosine of the disc's angular radius
    float IntersectCos = 0.9975f;
    float SunGain = 0.0f;
    Vector3 SunRadiance;  // RGB radiance of the disc
    // The cone's solid angle 2 pi (1 - CosThetaMax), worked out from the disc's radius without
    // taking 1 - CosThetaMax in float: for small suns CosThetaMax rounds to 1 (below about 0.05
    // times the real size), which would make the pdf infinite and the sun vanish.
    float SolidAngle = 0.0f;
};

}  // namespace glintor
