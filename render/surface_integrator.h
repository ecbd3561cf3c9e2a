// The interface every surface integrator offers its render thread.
#pragma once

#include "math/random.h"
#include "math/vector.h"
#include "render/pixel_block.h"

namespace glintor {

class Film;
struct Scene;

class SurfaceIntegratorBase {
public:
    virtual ~SurfaceIntegratorBase() = default;
    // Once, before the first block.
    virtual void Setup(const Scene& scene, Film& film) = 0;
    // Renders every pixel of the block into the film.
    virtual void RenderBlock(const Scene& scene, const PixelBlock& block) = 0;
    // Adds the radiance arriving along ray into colour (which the caller zeroes); reads and
    // advances the path sample's depth and numbers.
    virtual void Radiance(const Ray& ray, const Scene& scene, Vector3& colour,
                          PathSample& sample) = 0;
};

}  // namespace glintor
