// Procedural meshes for the project's example scenes, the benchmarks and the tests. All are closed
// or single-sided surfaces wound counter-clockwise seen from outside (from above for the terrain),
// so normals computed from the winding point outwards.
#pragma once

#include "formats/ply_writer.h"

namespace glintor {

// Unit sphere by repeated four-way subdivision of an icosahedron: 20 * 4^subdivisions triangles,
// with unit normals and spherical (s, t) coordinates.
PlyMesh MakeIcosphere(int subdivisions);

// Torus around the y axis with unit normals and a colour band per ring: 2 * rings * sides
// triangles.
PlyMesh MakeTorus(int rings, int sides, float majorRadius, float minorRadius);

// Height field of (cells + 1)^2 vertices over [-1, 1]^2 in x and z, heights along y, with (s, t)
// and height-graded colours but no normals: 2 * cells^2 triangles.
PlyMesh MakeTerrain(int cells);

// Tube around a (2, 3) torus knot with positions only, like a scanned mesh:
// 2 * segments * sides triangles. MakeTorusKnot(4096, 256) gives 2,097,152.
PlyMesh MakeTorusKnot(int segments, int sides);

}  // namespace glintor
