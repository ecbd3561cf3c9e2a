// A one-sided rectangular emitter, placed by centre, size and rotation. It emits only to the side
// its Normal points to (an unrotated light faces -z).
//
// Sample draws points uniformly on the rectangle and reports the pdf
// (1 / 2π) / (Extent · cosL) · dist², with Extent = Width · Height and cosL the cosine at the
// light. Emitted answers Color · Power · cos · π/2. Rays hit it through the two triangles
// (0, 1, 2) and (0, 2, 3) over Corners.
#pragma once

#include "lights/light_base.h"

namespace glintor {

class AreaLight : public LightBase {
public:
    // Places the corners: the unit square in the local xy plane is scaled by (Width, Height, 1),
    // rotated about x, then y, then z, and moved to Pos. Then derives Edge1, Edge2, Normal,
    // Extent and Triangles. Must run before any other operation.
    void Prepare() override;
    // Shadow ray limits are [RayEpsilon, dist - 0.001].
    void Sample(Vector3& radiance, const PathSample& sample, RandomGenerator& generator,
                Ray& shadowRay, const Vector3& point, const Vector3& normal,
                float& pdf) const override;
    // Draws the point evenly over the solid angle the rectangle subtends at the lit point
    // (spherical-rectangle sampling) and reports the pdf 1 / (2π · solid angle) that keeps
    // Sample's expectation.
    void SampleLowNoise(Vector3& radiance, const PathSample& sample, RandomGenerator& generator,
                        Ray& shadowRay, const Vector3& point, const Vector3& normal,
                        float& pdf) const override;
    // The normal is the one Intersect wrote (Normal); without one the answer is black.
    void Emitted(Vector3& radiance, const Vector3& direction, const Vector3* normal) const override;
    // Two-sided test against both triangles within the ray's [tMin, tMax] and up to hit.distance
    // inclusive. On a hit writes distance, the barycentric weights of the hit triangle and
    // normal = Normal; point is not written.
    bool Intersect(const Ray& ray, Intersection& hit) const override;

    Vector3 Pos;     // centre of the rectangle
    Vector3 Normal;  // unit normal of the emitting side; (0, -1, 0) for a degenerate rectangle
    float Width = 1.0f;
    float Height = 1.0f;
    float Rotate[3] = {0.0f, 0.0f, 0.0f};  // radians about x, y and z
    Vector3 Edge1;                         // Corners[0] - Corners[1]
    Vector3 Edge2;                         // Corners[0] - Corners[3]
    Vector3 Corners[4];
    int Triangles[2][3] = {{0, 0, 0}, {0, 0, 0}};

private:
    // From the lit point to a point p of the rectangle.
    struct LightPath {
        Vector3 w;  // unit direction
        float dist = 0.0f;
        float dist2 = 0.0f;
        float cosLight = 0.0f;
    };
    // False when Sample rejects p: the lit point on the light, behind its emitting side, or the
    // light below the lit surface.
    bool Towards(const Vector3& p, const Vector3& point, const Vector3& normal,
                 LightPath& path) const;
};

}  // namespace glintor
