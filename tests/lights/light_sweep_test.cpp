// Random shading points, normals and numbers against every light shape, including degenerate
// ones: no sample may hand out NaN, infinity or a negative pdf, and every accepted sample's shadow
// ray must end on the light.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "lights/area_light.h"
#include "lights/point_light.h"
#include "lights/sphere_area_light.h"
#include "tests/lights/light_test_support.h"

namespace glintor {
namespace {

using testing::IsFinite;
using testing::SampleLight;

struct SweptLight {
    std::string name;
    std::unique_ptr<LightBase> light;
    // Points that lie on the light's surface, where sampling is at its most fragile.
    std::vector<Vector3> specialPoints;
    // Distance from an accepted sample's end point to the light's surface.
    float (*distanceToLight)(const LightBase&, const Vector3&);
};

float DistanceToPoint(const LightBase& light, const Vector3& p) {
    return (p - static_cast<const PointLight&>(light).Pos).Length();
}

float DistanceToSphere(const LightBase& light, const Vector3& p) {
    const auto& sphere = static_cast<const SphereAreaLight&>(light);
    return std::fabs((p - sphere.Pos).Length() - sphere.Radius);
}

float DistanceToPlane(const LightBase& light, const Vector3& p) {
    const auto& area = static_cast<const AreaLight&>(light);
    return std::fabs(Dot(p - area.Corners[0], area.Normal));
}

std::vector<SweptLight> MakeLights() {
    std::vector<SweptLight> lights;
    auto point = std::make_unique<PointLight>();
    point->Pos = Vector3(0.5f, -0.25f, 1);
    lights.push_back({"point", std::move(point), {Vector3(0.5f, -0.25f, 1)}, DistanceToPoint});

    for (float radius : {1.0f, 0.001f, 0.0f}) {
        auto sphere = std::make_unique<SphereAreaLight>();
        sphere->Pos = Vector3(0.25f, 0, -0.5f);
        sphere->Radius = radius;
        sphere->Color = Vector3(2, 1, 0.5f);
        sphere->Power = 3;
        sphere->Prepare();
        lights.push_back({"sphere radius " + std::to_string(radius),
                          std::move(sphere),
                          {Vector3(0.25f, 0, -0.5f), Vector3(0.25f, 0, -0.5f + radius),
                           Vector3(0.25f + radius, 0, -0.5f)},
                          DistanceToSphere});
    }

    struct AreaSetup {
        float width, height, rx, ry, rz;
    };
    for (const AreaSetup& setup : {AreaSetup{1, 1, 0, 0, 0}, AreaSetup{2, 0.5f, 0.7f, -0.4f, 2.1f},
                                   AreaSetup{0.001f, 0.001f, 0, 1.57f, 0},
                                   AreaSetup{0, 1, 0.3f, 0, 0}, AreaSetup{0, 0, 0, 0, 0}}) {
        auto area = std::make_unique<AreaLight>();
        area->Pos = Vector3(0, 0.5f, 0.25f);
        area->Rotate[0] = setup.rx;
        area->Rotate[1] = setup.ry;
        area->Rotate[2] = setup.rz;
        area->Width = setup.width;
        area->Height = setup.height;
        area->Color = Vector3(1, 1, 4);
        area->Prepare();
        std::vector<Vector3> special = {area->Pos, area->Corners[0], area->Corners[2]};
        lights.push_back(
            {"area " + std::to_string(setup.width) + "x" + std::to_string(setup.height),
             std::move(area), special, DistanceToPlane});
    }
    return lights;
}

TEST(LightSweep, NoNaNInfinityOrNegativePdf) {
    std::mt19937 engine(20240611);
    std::uniform_real_distribution<float> coordinate(-3.0f, 3.0f);
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    const float largestUniform = 1.0f - 1.0f / 16777216.0f;
    constexpr int Draws = 100000;

    for (const SweptLight& swept : MakeLights()) {
        SCOPED_TRACE(swept.name);
        int accepted = 0;
        int failures = 0;
        for (int i = 0; i < Draws && failures < 10; ++i) {
            Vector3 point(coordinate(engine), coordinate(engine), coordinate(engine));
            if (i % 16 == 0) {
                point = swept.specialPoints[(i / 16) % swept.specialPoints.size()];
            }
            Vector3 normal(coordinate(engine), coordinate(engine), coordinate(engine));
            // Mostly unit normals; some left at the length bump averaging may give, some zero.
            if (i % 7 != 0) {
                normal.Normalize();
            }
            if (i % 101 == 0) {
                normal = Vector3();
            }
            float u1 = unit(engine);
            float u2 = unit(engine);
            if (i % 13 == 0) {
                u1 = (i / 13) % 2 == 0 ? 0.0f : largestUniform;
            }
            if (i % 17 == 0) {
                u2 = (i / 17) % 2 == 0 ? 0.0f : largestUniform;
            }
            u1 = std::min(u1, largestUniform);
            u2 = std::min(u2, largestUniform);

            const auto s = SampleLight(*swept.light, point, normal, u1, u2);
            const bool sound = std::isfinite(s.pdf) && s.pdf >= 0.0f && IsFinite(s.radiance);
            if (!sound) {
                ++failures;
                ADD_FAILURE() << "pdf " << s.pdf << " radiance " << s.radiance.x << " "
                              << s.radiance.y << " " << s.radiance.z;
                continue;
            }
            if (s.pdf == 0.0f) {
                EXPECT_TRUE(s.radiance.IsBlack());
                continue;
            }
            ++accepted;
            const Ray& ray = s.shadowRay;
            EXPECT_EQ(ray.origin, point);
            EXPECT_TRUE(IsFinite(ray.direction));
            EXPECT_NEAR(ray.direction.Length(), 1.0f, 1e-5f);
            EXPECT_EQ(ray.tMin, RayEpsilon);
            ASSERT_TRUE(std::isfinite(ray.tMax));
            EXPECT_GE(Dot(ray.direction, normal), 0.0f);
            const Vector3 end = ray.At(ray.tMax + 0.001f);
            EXPECT_LT(swept.distanceToLight(*swept.light, end), 1e-4f)
                << "ray from (" << point.x << ", " << point.y << ", " << point.z << ")";
        }
        EXPECT_EQ(failures, 0);
        // The degenerate shapes emit nothing; the others must be usable from somewhere.
        if (swept.light->Extent > 0.0f) {
            EXPECT_GT(accepted, Draws / 20);
        } else {
            EXPECT_EQ(accepted, 0);
        }
    }
}

}  // namespace
}  // namespace glintor
