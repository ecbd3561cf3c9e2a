// The analytic clear-sky dome of Preetham, Shirley and Smits ("A Practical Analytic Model for
// Daylight", 1999): the sky's luminance and chromaticity in every direction follow from the
// sun's position and the turbidity through Perez distribution functions. The z axis is the
// zenith.
//
// The sky is sampled by the cosine about the surface normal only (pdf cos / pi per unit solid
// angle); its brightness plays no part in choosing directions.
#pragma once

#include <array>

#include "lights/light_base.h"

namespace glintor {

// Perez coefficients A, B, C, D, E of F(theta, gamma) =
// (1 + A exp(B / cos theta)) (1 + C exp(D gamma) + E cos^2 gamma).
using PerezCoefficients = std::array<float, 5>;

class SkyLight : public LightBase {
public:
    // Called once by the scene loader right after construction; Prepare stays the base version.
    // A zero sunDirection stays zero and stands for a sun on the horizon at azimuth 0.
    void Setup(const Vector3& sunDirection, float turbidity, float skyGain);

    // Linear RGB for zenith angle theta and azimuth phi (radians), before SkyGain. Components
    // may be negative. Where the model's exponentials overflow float (turbidities far outside
    // its range, e.g. below about 1 near the horizon or above about 250) the colour is not
    // finite; it is then black.
    Vector3 SkyRadiance(float theta, float phi) const;

    void Sample(Vector3& radiance, const PathSample& sample, RandomGenerator& generator,
                Ray& shadowRay, const Vector3& point, const Vector3& normal,
                float& pdf) const override;
    // direction is the ray direction itself; normal is ignored. Directions below the horizon
    // are not treated specially.
    void Emitted(Vector3& radiance, const Vector3& direction, const Vector3* normal) const override;
    // The sky has no geometry: never a hit.
    bool Intersect(const Ray& ray, Intersection& hit) const override;

    Vector3 SunDirection;  // unit, towards the sun (or zero)
    float Turbidity = 0.0f;
    float SunTheta = 0.0f;  // zenith angle of the sun
    float SunPhi = 0.0f;    // azimuth of the sun, in [0, 2 pi)
    float SkyGain = 0.0f;
    // Zenith values, each divided by its Perez function at the zenith, F(0, SunTheta).
    float ZenithLuminance = 0.0f;
    float ZenithX = 0.0f;
    float ZenithY = 0.0f;
    PerezCoefficients PerezLuminance{};
    PerezCoefficients PerezX{};
    PerezCoefficients PerezY{};
};

}  // namespace glintor
