// The hit record every ray query fills. The caller owns one per query and resets it before the
// query; each writer fills only the fields it is responsible for (see ObjectBase::Intersect).
#pragma once

#include <cstdint>

#include "math/vector.h"

namespace glintor {

struct Intersection {
    float distance = RayInfinity;  // ray parameter of the nearest hit found so far
    float bary0 = 0.0f;            // barycentric weights of the hit triangle's vertices
    float bary1 = 0.0f;
    float bary2 = 0.0f;
    int32_t triangleIndex = -1;  // index into the mesh set's triangles; -1 when none was hit
    Vector3 point;
    Vector3 normal;  // unit length, except for planes, which report their normal as stored
    float u = 0.0f;
    float v = 0.0f;
    // Material of the hit: the object's own, or for a mesh set the hit triangle's. Kept here, in
    // the caller's record, so that threads sharing one mesh set never share per-query state.
    uint8_t materialId = 255;
};

}  // namespace glintor
