// Image-based light at infinite distance: a latitude-longitude picture whose top row is the +z
// pole. Rays that leave the scene see it through Emitted; surfaces are lit by it through Sample,
// which picks directions in proportion to the picture's brightness.
//
// Mapping conventions (the two directions of the azimuth differ on purpose):
//  - Emitted reads the picture at u = phi / 2pi, v = theta / pi, with theta from +z and phi from
//    +x towards +y;
//  - Sample turns the (u, v) it draws into theta = pi v, phi = 2pi (1 - u) and
//    d = (-sin theta cos phi, -sin theta sin phi, cos theta), and answers the texel at that
//    (u, v). Emitted would look that direction up at ((1.5 - u) mod 1, v).
// Sample's pdf is per unit solid angle: the distribution's density over the unit square divided
// by 2 pi^2 sin theta.
#pragma once

#include <memory>

#include "formats/float_image.h"
#include "lights/distribution.h"
#include "lights/light_base.h"

namespace glintor {

class EnvLight : public LightBase {
public:
    // Builds the sampling distribution at half the picture's resolution from the brightest
    // channel, weighted by the solid angle of each row. A picture that failed to load (no
    // texels) gets no distribution: the light is then never sampled and never looked up.
    void Prepare() override;

    // Rejects (pdf 0) directions at or below the surface's horizon, directions at the poles
    // (where the solid-angle density has no finite value), and every sample of a light without
    // a distribution.
    void Sample(Vector3& radiance, const PathSample& sample, RandomGenerator& generator,
                Ray& shadowRay, const Vector3& point, const Vector3& normal,
                float& pdf) const override;
    // direction is the ray direction itself; normal is ignored. Black without a picture.
    void Emitted(Vector3& radiance, const Vector3& direction, const Vector3* normal) const override;
    // The environment has no geometry: never a hit.
    bool Intersect(const Ray& ray, Intersection& hit) const override;

    // Loaded by the scene loader (gamma 1) before Prepare; Power scales every answer.
    FloatImage Image;
    std::unique_ptr<PiecewiseConstant2D> Distribution;  // absent until Prepare
};

}  // namespace glintor
