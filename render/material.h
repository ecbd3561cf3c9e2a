// One surface material of the scene. Objects name a material by its position in Scene::materials;
// there is no identifier of its own.
#pragma once

#include <memory>
#include <vector>

#include "materials/bump_base.h"
#include "materials/bxdf.h"
#include "materials/texture_base.h"

namespace glintor {

// Filled once by the reader of the Materials section and only read afterwards, by all render
// threads at once.
struct Material {
    // The scattering function with the material's emission; set for every material the loader
    // kept, null only in a material whose reading failed.
    std::unique_ptr<BxDFBase> bxdf;
    // Colour textures in file order; each multiplies the surface colour reached so far.
    std::vector<std::unique_ptr<TextureBase>> textures;
    // Bump and normal maps in file order; the shading normal is the average of their results.
    std::vector<std::unique_ptr<BumpBase>> bumpMaps;
};

}  // namespace glintor
