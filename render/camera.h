// The pinhole camera with an optional thin lens: turns a continuous film position into a primary
// ray. The path integrator builds one on the stack at the start of every pixel block.
//
// Film coordinates are pixels: column x and row y have their centres at the integer coordinates
// (x, y); row 0 sees the lower edge of the view. The image plane spans one unit vertically and
// width/height units horizontally at distance planeDistance = 1 / tan(fov / 2) along forward.
//
// Where the scene's camera settings go:
//   filmWidth, filmHeight   <- Scene width, height (set by the constructor)
//   Setup position          <- Scene cameraPos      (<Camera><Pos>)
//   Setup lookAt            <- Scene cameraLookAt   (<Camera><LookAt>)
//   Setup up                <- Scene cameraUp       (<Camera><Up>, normalised by the loader)
//   Setup fovDegrees        <- FieldOfView(Scene fov, Scene focalLength)
//   GenerateRay lensRadius  <- Scene lensRadius     (<Camera><LensRadius>)
//   GenerateRay focalDistance <- Scene focalPoint   (<Camera><FocalPoint>)
#pragma once

#include "math/random.h"
#include "math/sampling.h"
#include "math/sobol.h"
#include "math/vector.h"

namespace glintor {

// The field of view in degrees that the camera is set up with: a focal length f > 0 (millimetres)
// wins and gives 2 atan(43.3 / 2f), 43.3 mm being the diagonal of a 36 x 24 mm frame; otherwise
// the scene's FOV value is used as it is.
float FieldOfView(float fovDegrees, float focalLength);

struct Camera {
    Vector3 position;
    // Unit viewing direction.
    Vector3 forward;
    // Image-plane axes, not unit length: with Up perpendicular to the view, |horizontal| is
    // width/height and |vertical| is 1; a slanted Up shortens both. vertical points towards the
    // bottom of the view when Up points up.
    Vector3 vertical;
    Vector3 horizontal;
    float filmWidth = 0.0f;
    float filmHeight = 0.0f;
    float planeDistance = 0.0f;
    // Selects the cross-product order of the image axes; a left-handed camera mirrors the image
    // horizontally. This program always uses a right-handed camera.
    bool rightHanded = true;

    Camera() = default;
    Camera(float width, float height) : filmWidth(width), filmHeight(height) {}

    // Fills the frame from the eye point, the point looked at, the up vector and the field of
    // view. With lookAt equal to position every axis stays zero (all rays have zero direction);
    // a zero up vector leaves both image axes zero (every ray looks along forward).
    //
    // A field of view of 0 puts the image plane infinitely far away. The camera then gives its
    // limit: every ray looks along forward (both image axes zero, planeDistance 1), rather than
    // an infinite plane distance that would turn every direction into NaN.
    void Setup(const Vector3& eye, const Vector3& lookAt, const Vector3& up, float fovDegrees);

    // Writes the origin and direction of the ray through film position (filmX, filmY); tMin and
    // tMax are left to the caller. A lens radius <= 0 is a pinhole and draws no random numbers;
    // otherwise two numbers are drawn for the lens point, which is offset along world x and y,
    // and the ray aims at the point focalDistance along the pinhole direction.
    void GenerateRay(float filmX, float filmY, RandomGenerator& generator, float lensRadius,
                     float focalDistance, Ray& ray) const;
    // The same ray with the lens point made from two given numbers in [0, 1) instead of two
    // draws (u in place of the first draw, v of the second).
    void GenerateRay(float filmX, float filmY, const UnitPoint& lensNumbers, float lensRadius,
                     float focalDistance, Ray& ray) const;

private:
    // lens is the unit-disk point, used only when lensRadius > 0.
    void GenerateRayAt(float filmX, float filmY, const DiskPoint& lens, float lensRadius,
                       float focalDistance, Ray& ray) const;
};

}  // namespace glintor
