#include "render/scene.h"

#include "geometry/object_base.h"
#include "lights/light_base.h"
#include "render/material.h"

namespace glintor {

// The header only names the types the lists own, so that including the scene does not pull in
// every object, material and light; their destructors are reachable here.
Scene::Scene() = default;
Scene::~Scene() = default;

}  // namespace glintor
