// Small helpers shared by the light tests.
#pragma once

#include <gtest/gtest.h>

#include <cmath>

#include "lights/light_base.h"
#include "math/random.h"
#include "math/vector.h"

namespace glintor::testing {

inline bool IsFinite(const Vector3& v) {
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

inline void ExpectVectorNear(const Vector3& actual, const Vector3& expected, float eps = 1e-6f) {
    EXPECT_NEAR(actual.x, expected.x, eps);
    EXPECT_NEAR(actual.y, expected.y, eps);
    EXPECT_NEAR(actual.z, expected.z, eps);
}

// One light sample as the integrator takes it: pdf zeroed before the call, a fresh shadow ray.
struct LightSampleResult {
    Vector3 radiance;
    Ray shadowRay;
    float pdf = 0.0f;
};

inline LightSampleResult SampleLight(const LightBase& light, const Vector3& point,
                                     const Vector3& normal, float u1, float u2) {
    static thread_local RandomGenerator generator;
    PathSample sample;
    sample.lightU = u1;
    sample.lightV = u2;
    LightSampleResult result;
    result.shadowRay = Ray(Vector3(), Vector3(), RayInfinity);
    light.Sample(result.radiance, sample, generator, result.shadowRay, point, normal, result.pdf);
    return result;
}

inline Vector3 EmittedBy(const LightBase& light, const Vector3& direction, const Vector3* normal) {
    Vector3 radiance(-1.0f, -1.0f, -1.0f);
    light.Emitted(radiance, direction, normal);
    return radiance;
}

}  // namespace glintor::testing
