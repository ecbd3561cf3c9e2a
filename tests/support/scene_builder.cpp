#include "tests/support/scene_builder.h"

#include "geometry/plane_prim.h"
#include "geometry/sphere_prim.h"
#include "lights/point_light.h"
#include "materials/brdf_matte.h"
#include "render/material.h"

namespace glintor::testing {

std::unique_ptr<Scene> MakeScene(int width, int height, const Vector3& pos, const Vector3& lookAt) {
    auto scene = std::make_unique<Scene>();
    scene->width = static_cast<int16_t>(width);
    scene->height = static_cast<int16_t>(height);
    scene->gamma = 2.2f;
    scene->cameraPos = pos;
    scene->cameraLookAt = lookAt;
    scene->cameraUp = Vector3(0.0f, 0.0f, 1.0f);
    scene->fov = 40.0f;
    scene->settings.samples = 1;
    scene->settings.maxDepth = 1;
    scene->settings.filterRadius = 0.5f;
    scene->settings.savedImage = "out.png";
    return scene;
}

int AddMatte(Scene& scene, const Vector3& diffuse, const Vector3& emission) {
    auto matte = std::make_unique<BRDF_Matte>();
    matte->Set(diffuse);
    matte->SetEmission(emission);
    auto material = std::make_unique<Material>();
    material->bxdf = std::move(matte);
    scene.materials.push_back(std::move(material));
    return static_cast<int>(scene.materials.size()) - 1;
}

void AddPlane(Scene& scene, const Vector3& normal, float dist, int materialId) {
    auto plane = std::make_unique<PlanePrim>();
    plane->planeNormal = normal;
    plane->dist = dist;
    plane->materialId = static_cast<uint8_t>(materialId);
    scene.objects.push_back(std::move(plane));
}

void AddSphere(Scene& scene, const Vector3& center, float radius, int materialId) {
    auto sphere = std::make_unique<SpherePrim>();
    sphere->center = center;
    sphere->radius = radius;
    sphere->materialId = static_cast<uint8_t>(materialId);
    scene.objects.push_back(std::move(sphere));
}

void AddPointLight(Scene& scene, const Vector3& pos, const Vector3& colour) {
    auto light = std::make_unique<PointLight>();
    light->Pos = pos;
    light->Color = colour;
    scene.lights.push_back(std::move(light));
}

}  // namespace glintor::testing
