// Small scenes built in code for integrator and render tests: one call per object, material or
// light, with the values a scene file would give.
#pragma once

#include <memory>

#include "render/scene.h"

namespace glintor::testing {

// A scene of the given film size with the camera at pos looking at lookAt (up +z), one sample
// per pixel, depth 1, and no objects, materials or lights yet.
std::unique_ptr<Scene> MakeScene(int width, int height, const Vector3& pos, const Vector3& lookAt);

// Appends a matte material; answers its id.
int AddMatte(Scene& scene, const Vector3& diffuse, const Vector3& emission = Vector3());
void AddPlane(Scene& scene, const Vector3& normal, float dist, int materialId);
void AddSphere(Scene& scene, const Vector3& center, float radius, int materialId);
void AddPointLight(Scene& scene, const Vector3& pos, const Vector3& colour);

}  // namespace glintor::testing
