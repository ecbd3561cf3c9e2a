#include "render/camera.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "math/sampling.h"
#include "tests/support/vector_expect.h"

namespace glintor {
namespace {

using testing::ExpectNear;

bool IsFinite(const Vector3& v) {
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

Ray Shoot(const Camera& camera, float x, float y, float lensRadius = 0.0f,
          float focalDistance = 0.0f) {
    RandomGenerator generator;
    Ray ray;
    camera.GenerateRay(x, y, generator, lensRadius, focalDistance, ray);
    return ray;
}

// Eye at the origin looking down -z with y up, on a 640 x 480 film.
Camera StandardCamera(float fov) {
    Camera camera(640.0f, 480.0f);
    camera.Setup(Vector3(0, 0, 0), Vector3(0, 0, -1), Vector3(0, 1, 0), fov);
    return camera;
}

TEST(CameraFieldOfView, FocalLengthWinsOverFov) {
    EXPECT_NEAR(FieldOfView(90.0f, 50.0f), 2.0 * std::atan(0.433) * 180.0 / std::numbers::pi, 1e-4);
    EXPECT_NEAR(FieldOfView(0.0f, 50.0f), 46.83f, 0.01f);
    EXPECT_EQ(FieldOfView(90.0f, 0.0f), 90.0f);
    EXPECT_EQ(FieldOfView(0.0f, 0.0f), 0.0f);
    EXPECT_NEAR(FieldOfView(0.0f, 10.0f), 2.0 * std::atan(2.165) * 180.0 / std::numbers::pi, 1e-3);
}

TEST(CameraSetup, AxesForAFourByThreeFilm) {
    const Camera camera = StandardCamera(90.0f);
    EXPECT_NEAR(camera.planeDistance, 1.0f, 1e-6f);
    EXPECT_EQ(camera.position, Vector3(0, 0, 0));
    ExpectNear(camera.forward, Vector3(0, 0, -1));
    ExpectNear(camera.horizontal, Vector3(4.0f / 3.0f, 0, 0));
    ExpectNear(camera.vertical, Vector3(0, -1, 0));
    EXPECT_TRUE(camera.rightHanded);

    // A slanted Up is not made perpendicular: both axes shrink by the sine of its angle.
    Camera slanted(640.0f, 480.0f);
    slanted.Setup(Vector3(0, 0, 0), Vector3(0, 0, -1), Vector3(0, 1, -1).Normalized(), 90.0f);
    EXPECT_NEAR(slanted.horizontal.Length(), 4.0f / 3.0f * std::sqrt(0.5f), 1e-6f);
    EXPECT_NEAR(slanted.vertical.Length(), std::sqrt(0.5f), 1e-6f);

    // The left-handed order mirrors the horizontal axis only.
    Camera mirrored(640.0f, 480.0f);
    mirrored.rightHanded = false;
    mirrored.Setup(Vector3(0, 0, 0), Vector3(0, 0, -1), Vector3(0, 1, 0), 90.0f);
    ExpectNear(mirrored.horizontal, Vector3(-4.0f / 3.0f, 0, 0));
    ExpectNear(mirrored.vertical, Vector3(0, -1, 0));
}

TEST(CameraRays, FilmPositionsMapOntoTheImagePlane) {
    const Camera camera = StandardCamera(90.0f);
    // The centre of a 640 x 480 film looks along forward.
    ExpectNear(Shoot(camera, 319.5f, 239.5f).direction, Vector3(0, 0, -1));
    // First and last pixel centres map to -0.5 and +0.5; row 0 is the lower edge of the view.
    ExpectNear(Shoot(camera, 0.0f, 0.0f).direction, Vector3(-2.0f / 3.0f, -0.5f, -1).Normalized());
    ExpectNear(Shoot(camera, 639.0f, 479.0f).direction,
               Vector3(2.0f / 3.0f, 0.5f, -1).Normalized());
    ExpectNear(Shoot(camera, 639.0f, 239.5f).direction, Vector3(2.0f / 3.0f, 0, -1).Normalized());

    // The vertical half-angle is atan(0.5 / planeDistance), not fov / 2.
    const Camera narrow = StandardCamera(40.0f);
    const Vector3 top = Shoot(narrow, 319.5f, 479.0f).direction;
    const float planeDistance = 1.0f / std::tan(40.0f * 0.017453292f * 0.5f);
    EXPECT_NEAR(narrow.planeDistance, planeDistance, 1e-5f);
    EXPECT_NEAR(std::atan2(top.y, -top.z), std::atan(0.5f / planeDistance), 1e-6f);

    const Ray ray = Shoot(camera, 100.0f, 50.0f);
    EXPECT_EQ(ray.origin, Vector3(0, 0, 0));
    EXPECT_NEAR(ray.direction.Length(), 1.0f, 1e-6f);
}

TEST(CameraRays, LeavesTheRayLimitsAlone) {
    const Camera camera = StandardCamera(60.0f);
    RandomGenerator generator;
    Ray ray(Vector3(9, 9, 9), Vector3(1, 0, 0), 5.0f);
    ray.tMin = 0.25f;
    camera.GenerateRay(10.0f, 20.0f, generator, 0.5f, 3.0f, ray);
    EXPECT_EQ(ray.tMin, 0.25f);
    EXPECT_EQ(ray.tMax, 5.0f);
}

TEST(CameraRays, PinholeDrawsNothing) {
    const Camera camera = StandardCamera(60.0f);
    RandomGenerator generator;
    Ray first;
    Ray second;
    camera.GenerateRay(12.25f, 7.5f, generator, 0.0f, 10.0f, first);
    camera.GenerateRay(12.25f, 7.5f, generator, -1.0f, 10.0f, second);
    EXPECT_EQ(first.origin, second.origin);
    EXPECT_EQ(first.direction, second.direction);
    RandomGenerator fresh;
    EXPECT_EQ(generator.Next32(), fresh.Next32());
}

TEST(CameraRays, ThinLensOffsetsInWorldXYAndFocuses) {
    // Looking along +x: the lens offset still goes into world x and y, so origin.z stays put.
    Camera camera(320.0f, 240.0f);
    const Vector3 eye(1, 2, 3);
    camera.Setup(eye, Vector3(11, 2, 3), Vector3(0, 0, 1), 50.0f);
    RandomGenerator generator;
    RandomGenerator twin;
    const float lensRadius = 0.25f;
    const float focalDistance = 4.0f;
    for (int i = 0; i < 50; ++i) {
        const float px = 13.0f * i;
        const float py = 4.5f * i;
        Ray ray;
        camera.GenerateRay(px, py, generator, lensRadius, focalDistance, ray);
        const Vector3 pinhole = Shoot(camera, px, py).direction;
        const DiskPoint lens = DiskSample(twin);
        ExpectNear(ray.origin, eye + Vector3(lens.x * lensRadius, lens.y * lensRadius, 0), 1e-6f);
        EXPECT_NEAR(ray.direction.Length(), 1.0f, 1e-6f);
        // The ray passes through the point in focus on the pinhole direction.
        const Vector3 focus = eye + pinhole * focalDistance;
        const float t = Dot(focus - ray.origin, ray.direction);
        ExpectNear(ray.At(t), focus, 1e-5f);
    }

    // Focal distance 0 focuses on the eye: every ray leaves the lens towards the eye.
    Ray ray;
    RandomGenerator other;
    camera.GenerateRay(5.0f, 5.0f, other, lensRadius, 0.0f, ray);
    ExpectNear(ray.direction, (eye - ray.origin).Normalized());
}

TEST(CameraDegenerate, LookAtEqualsPosition) {
    Camera camera(640.0f, 480.0f);
    camera.Setup(Vector3(1, 1, 1), Vector3(1, 1, 1), Vector3(0, 1, 0), 45.0f);
    EXPECT_EQ(camera.forward, Vector3(0, 0, 0));
    EXPECT_EQ(camera.horizontal, Vector3(0, 0, 0));
    EXPECT_EQ(camera.vertical, Vector3(0, 0, 0));
    EXPECT_EQ(Shoot(camera, 10.0f, 400.0f).direction, Vector3(0, 0, 0));
}

TEST(CameraDegenerate, ZeroUpLooksAlongForward) {
    Camera camera(640.0f, 480.0f);
    camera.Setup(Vector3(0, 0, 0), Vector3(0, 0, 5), Vector3(0, 0, 0), 45.0f);
    EXPECT_EQ(camera.horizontal, Vector3(0, 0, 0));
    EXPECT_EQ(camera.vertical, Vector3(0, 0, 0));
    ExpectNear(Shoot(camera, 0.0f, 0.0f).direction, Vector3(0, 0, 1));
    ExpectNear(Shoot(camera, 639.0f, 17.0f).direction, Vector3(0, 0, 1));
}

TEST(CameraDegenerate, ZeroFieldOfViewLooksAlongForward) {
    // FOV absent from the scene and no focal length: the infinitely far image plane collapses
    // onto the forward direction instead of producing NaN.
    const Camera camera = StandardCamera(FieldOfView(0.0f, 0.0f));
    EXPECT_TRUE(std::isfinite(camera.planeDistance));
    for (const float x : {0.0f, 319.5f, 639.0f}) {
        for (const float y : {0.0f, 479.0f}) {
            const Ray ray = Shoot(camera, x, y);
            ASSERT_TRUE(IsFinite(ray.direction));
            ExpectNear(ray.direction, Vector3(0, 0, -1));
            const Ray lensRay = Shoot(camera, x, y, 0.1f, 2.0f);
            ASSERT_TRUE(IsFinite(lensRay.direction));
            EXPECT_NEAR(lensRay.direction.Length(), 1.0f, 1e-6f);
        }
    }
}

TEST(CameraDegenerate, ZeroFieldOfViewWithLookAtAtTheEye) {
    Camera camera(640.0f, 480.0f);
    camera.Setup(Vector3(1, 1, 1), Vector3(1, 1, 1), Vector3(0, 1, 0), 0.0f);
    EXPECT_EQ(Shoot(camera, 10.0f, 400.0f).direction, Vector3(0, 0, 0));
}

TEST(CameraDegenerate, SinglePixelFilm) {
    Camera camera(1.0f, 1.0f);
    camera.Setup(Vector3(0, 0, 0), Vector3(0, 0, -1), Vector3(0, 1, 0), 90.0f);
    ExpectNear(Shoot(camera, 0.0f, 0.0f).direction, Vector3(0, 0, -1));
}

}  // namespace
}  // namespace glintor
