// Warps from uniform numbers in [0, 1) to points on a disk, hemisphere, sphere or cone. All of
// them are pure functions except DiskSample, which draws its own two numbers.
#pragma once

#include "math/random.h"
#include "math/vector.h"

namespace glintor {

struct DiskPoint {
    float x = 0.0f;
    float y = 0.0f;
};

// Shirley and Chiu's concentric map of the unit square onto the unit disk (area-preserving, so
// uniform input gives uniform points). (0.5, 0.5) maps to the centre.
DiskPoint ConcentricDisk(float u, float v);

// Draws f1 then f2 from the generator and returns ConcentricDisk(f2, f1): the lens sample of
// the thin-lens camera.
DiskPoint DiskSample(RandomGenerator& generator);

// Cosine-weighted direction about +z (density cos(theta) / pi per solid angle); z is never
// negative.
Vector3 CosineHemisphere(float u, float v);

// Uniform direction on the unit sphere (density 1 / (4 pi)); u sets z = 1 - 2u, v the azimuth.
Vector3 UniformSphere(float u, float v);

// Uniform direction within the cone of half-angle acos(cosMax) about the unit axis w, with a1 and
// a2 the caller's unit side axes completing the frame. cos(theta) runs linearly from cosMax
// (u = 0) to 1 (u = 1).
Vector3 UniformCone(float u, float v, float cosMax, const Vector3& w, const Vector3& a1,
                    const Vector3& a2);

// (r cos phi, r sin phi, z), phi in radians.
Vector3 PolarPoint(float r, float phi, float z);

}  // namespace glintor
