// The solid angle a rectangle subtends at a point, and points on the rectangle spread evenly
// over that solid angle: the area-preserving map of Urena, Fajardo and King (2013) from the unit
// square onto a spherical rectangle. Computed in double precision; the angles involved cancel
// badly in float for small or distant rectangles.
#pragma once

#include "math/vector.h"

namespace glintor {

struct Vector3d {
    double x = 0.0, y = 0.0, z = 0.0;
};

class SphericalRectangle {
public:
    // The rectangle corner + a ex + b ey (a, b in [0, 1]; ex and ey perpendicular) seen from
    // origin.
    SphericalRectangle(const Vector3& origin, const Vector3& corner, const Vector3& ex,
                       const Vector3& ey);

    // Steradians; 0 when the origin lies in the rectangle's plane or the rectangle is degenerate.
    double SolidAngle() const { return solidAngle_; }

    // The point on the rectangle whose direction is the (u, v) point of the map: for uniform u and
    // v its direction from the origin is uniform over the solid angle. Needs SolidAngle() > 0.
    Vector3 Point(float u, float v) const;

private:
    Vector3d origin_, ax_, ay_, az_;  // unit frame; az_ points from the origin's side away
    double x0_ = 0.0, x1_ = 0.0, y0_ = 0.0, y1_ = 0.0, z0_ = 0.0;
    double b0_ = 0.0, b1_ = 0.0, k_ = 0.0;
    double solidAngle_ = 0.0;
};

}  // namespace glintor
