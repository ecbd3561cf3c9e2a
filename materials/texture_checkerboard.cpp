#include "materials/texture_checkerboard.h"

#include <cmath>

namespace glintor {

namespace {

// Whether trunc(value) is odd. Worked out in floating point, because a far hit times a fine scale
// can exceed every integer type, where a conversion would be undefined.
bool TruncatesToOdd(float value) {
    return std::fmod(std::trunc(static_cast<double>(value)), 2.0) != 0.0;
}

}  // namespace

bool TextureCheckerboard::Prepare() {
    for (int axis = 0; axis < 3; ++axis) {
        if (Scale[axis] != 0.0f) {
            Scale[axis] = 1.0f / Scale[axis];
        }
    }
    return true;
}

Vector3 TextureCheckerboard::Evaluate(const RandomGenerator&, const Intersection& hit,
                                      const Vector3& color) const {
    int a;
    int b;
    if (Plane.x > 0.0f) {
        a = 1;
        b = 2;
    } else if (Plane.y > 0.0f) {
        a = 0;
        b = 2;
    } else if (Plane.z > 0.0f) {
        a = 0;
        b = 1;
    } else {
        return color;
    }
    // The parity of a sum of two integers is the exclusive or of their parities.
    const bool odd = TruncatesToOdd((Offset[a] + hit.point[a]) * Scale[a]) !=
                     TruncatesToOdd((Offset[b] + hit.point[b]) * Scale[b]);
    return odd ? AltColor : color;
}

}  // namespace glintor
