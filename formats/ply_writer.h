// Writes triangle meshes as PLY files in any of the three encodings. The project's example and
// benchmark meshes are made with it, and the tests use it to build inputs for the reader.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "formats/ply_reader.h"
#include "math/vector.h"

namespace glintor {

// Attribute arrays are either empty (not written) or hold one entry per position.
struct PlyMesh {
    std::vector<Vector3> positions;
    std::vector<Vector3> normals;                // written as nx, ny, nz
    std::vector<std::array<float, 2>> uvs;       // written as s, t
    std::vector<std::array<uint8_t, 3>> colors;  // written as red, green, blue
    std::vector<std::array<int32_t, 3>> triangles;
};

// The whole file in memory. Floats are written in ASCII with the fewest digits that read back to
// the same float, so every encoding of one mesh reads back to identical values.
std::string EncodePly(const PlyMesh& mesh, PlyEncoding encoding);
bool WritePly(const std::string& path, const PlyMesh& mesh, PlyEncoding encoding);

}  // namespace glintor
