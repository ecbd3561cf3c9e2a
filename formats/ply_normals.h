// Smooth vertex normals for meshes whose file has none: every face adds its unit normal to its
// three corners (each face counts alike, whatever its area), then every sum is made unit length.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "math/vector.h"

namespace glintor {

// normals holds one zero vector per position; the triangles' indices lie within positions.
// The results are those of the plain loop, bit for bit: four faces or vertices go through the
// four-lane arithmetic at a time, each lane doing the plain loop's float operations in its order.
void ComputeSmoothNormals(const std::vector<Vector3>& positions,
                          const std::vector<std::array<int32_t, 3>>& triangles,
                          std::vector<Vector3>& normals);

}  // namespace glintor
