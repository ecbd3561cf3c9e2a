// The renderer's layer over the PLY reader: collects the properties a mesh needs into arrays,
// checks them, keeps one triangle per face and supplies smooth normals when the file has none.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "math/vector.h"

namespace glintor {

struct PlyMeshData {
    int32_t vertexCount = 0;
    int32_t triangleCount = 0;  // one per face of the file
    bool hasNormals = false;    // always true after a successful import
    bool hasColors = false;
    bool hasUVs = false;
    std::vector<Vector3> positions;
    // Vertex indices of each triangle, already shifted by the index offset.
    std::vector<std::array<int32_t, 3>> indices;
    std::vector<Vector3> normals;
    std::vector<Vector3> colors;            // RGB in 0 to 1, when hasColors
    std::vector<std::array<float, 2>> uvs;  // (s, t), when hasUVs
};

// Reads fileName (relative to the current directory). indexOffset, the number of vertices the
// caller already holds, is added to every index. On failure one message has been shown through
// ReportPlyError and false is returned; `result` is then left partly filled.
//
// A polygon keeps only the triangle of its first three corners. A face with fewer than three
// corners, an index outside the file's vertices or a coordinate, normal, colour or texture value
// that is not a finite number rejects the file.
bool PlyImport(const char* fileName, int32_t indexOffset, PlyMeshData& result);

// "ERROR:  <text>" on the console and the text in the "XML Parsing error" message box.
void ReportPlyError(const std::string& text);

}  // namespace glintor
