// One surface material of the scene. Objects name a material by its position in Scene::materials;
// there is no identifier of its own.
#pragma once

namespace glintor {

// Its scattering function, colour textures and bump or normal maps arrive with the reader of the
// Materials section; until then a material holds nothing.
struct Material {};

}  // namespace glintor
