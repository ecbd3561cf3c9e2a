// The renderer's layer over the PLY reader: collects the properties a mesh needs into arrays,
// checks them, splits every face into triangles and supplies smooth normals when the file has none.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "math/vector.h"

namespace glintor {

struct PlyMeshData {
    int32_t vertexCount = 0;
    int32_t triangleCount = 0;  // n - 2 per face of n corners
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
// A face of n corners becomes the n - 2 triangles (0, i, i + 1), i = 1 to n - 2, in order. A face
// with fewer than three corners, an index outside the file's vertices or a coordinate, normal,
// colour or texture value that is not a finite number rejects the file.
//
// The bulk path stores values straight into the arrays; the callback path takes them one at a
// time. Both give the same arrays and the same messages; the callback path stays as the
// reference the bulk path is checked against.
enum class PlyImportPath { Bulk, Callbacks };
bool PlyImport(const char* fileName, int32_t indexOffset, PlyMeshData& result,
               PlyImportPath path = PlyImportPath::Bulk);

// "ERROR:  <text>" on the console and the text in the "XML Parsing error" message box.
void ReportPlyError(const std::string& text);

}  // namespace glintor
