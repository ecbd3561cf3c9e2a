#include "render/camera.h"

#include <cmath>

#include "math/sampling.h"

namespace glintor {

float FieldOfView(float fovDegrees, float focalLength) {
    if (focalLength > 0.0f) {
        return 2.0f * std::atan(43.3f / (2.0f * focalLength)) * 57.29578f;
    }
    return fovDegrees;
}

void Camera::Setup(const Vector3& eye, const Vector3& lookAt, const Vector3& up, float fovDegrees) {
    position = eye;
    planeDistance = 1.0f / std::tan(fovDegrees * 0.017453292f * 0.5f);
    // A field of view of 0 puts the image plane infinitely far away, where every film position
    // lies straight ahead; that limit is built as a unit plane distance with zero image axes.
    const bool collapsed = !std::isfinite(planeDistance);
    if (collapsed) {
        planeDistance = 1.0f;
        horizontal = Vector3();
        vertical = Vector3();
    }
    forward = lookAt - eye;
    if (forward.LengthSquared() == 0.0f) {
        return;
    }
    forward.Normalize();
    if (collapsed) {
        return;
    }
    if (rightHanded) {
        horizontal = Cross(forward, up) * (filmWidth / filmHeight);
        vertical = Cross(-horizontal, forward) * (filmHeight / filmWidth);
    } else {
        horizontal = Cross(up, forward) * (filmWidth / filmHeight);
        vertical = Cross(forward, -horizontal) * (filmHeight / filmWidth);
    }
}

void Camera::GenerateRay(float filmX, float filmY, RandomGenerator& generator, float lensRadius,
                         float focalDistance, Ray& ray) const {
    const DiskPoint lens = lensRadius > 0.0f ? DiskSample(generator) : DiskPoint{};
    GenerateRayAt(filmX, filmY, lens, lensRadius, focalDistance, ray);
}

void Camera::GenerateRay(float filmX, float filmY, const UnitPoint& lensNumbers, float lensRadius,
                         float focalDistance, Ray& ray) const {
    // The order in which DiskSample hands its two draws to the disk map.
    const DiskPoint lens =
        lensRadius > 0.0f ? ConcentricDisk(lensNumbers.v, lensNumbers.u) : DiskPoint{};
    GenerateRayAt(filmX, filmY, lens, lensRadius, focalDistance, ray);
}

void Camera::GenerateRayAt(float filmX, float filmY, const DiskPoint& lens, float lensRadius,
                           float focalDistance, Ray& ray) const {
    // The divisor is width - 1 so that the first and last pixel centres of a row map to -0.5 and
    // +0.5. A film one pixel across has no span to divide; its only centre looks straight ahead.
    const float sx = filmWidth > 1.0f ? filmX / (filmWidth - 1.0f) - 0.5f : 0.0f;
    const float sy = filmHeight > 1.0f ? 0.5f - filmY / (filmHeight - 1.0f) : 0.0f;
    Vector3 direction = horizontal * sx + vertical * sy + forward * planeDistance;
    direction.Normalize();
    if (lensRadius <= 0.0f) {
        ray.origin = position;
        ray.direction = direction;
        return;
    }
    const Vector3 focus = position + direction * focalDistance;
    ray.origin = position + Vector3(lens.x * lensRadius, lens.y * lensRadius, 0.0f);
    ray.direction = (focus - ray.origin).Normalized();
}

}  // namespace glintor
