// Component-wise comparison of vectors in tests.
#pragma once

#include <gtest/gtest.h>

#include <ostream>

#include "math/vector.h"

namespace glintor {

// Lets failed comparisons of vectors show their components.
inline void PrintTo(const Vector3& v, std::ostream* os) {
    *os << "(" << v.x << ", " << v.y << ", " << v.z << ")";
}

}  // namespace glintor

namespace glintor::testing {

inline void ExpectNear(const Vector3& a, const Vector3& b, float eps = 1e-6f) {
    EXPECT_NEAR(a.x, b.x, eps);
    EXPECT_NEAR(a.y, b.y, eps);
    EXPECT_NEAR(a.z, b.z, eps);
}

}  // namespace glintor::testing
