#include "formats/ply_import.h"

#include <cmath>
#include <cstdio>
#include <limits>

#include "formats/ply_reader.h"
#include "platform/platform.h"

namespace glintor {

namespace {

enum class Problem { None, ShortFace, IndexOutOfRange, NotFinite };

struct ImportContext {
    PlyMeshData* mesh = nullptr;
    double vertexCount = 0.0;
    Problem problem = Problem::None;
    int32_t problemInstance = 0;
};

struct VectorTarget {
    ImportContext* context;
    std::vector<Vector3>* array;
    double scale;
};

// A NaN or infinite coordinate would poison every bounding box above the mesh, so the first one
// stops the read and names its vertex.
bool RejectNotFinite(ImportContext& context, int32_t instance) {
    context.problem = Problem::NotFinite;
    context.problemInstance = instance;
    return false;
}

bool StoreVectorComponent(const PlyValue& v) {
    const VectorTarget& target = *static_cast<const VectorTarget*>(v.userData);
    const float value = static_cast<float>(v.value * target.scale);
    if (!std::isfinite(value)) {
        return RejectNotFinite(*target.context, v.instanceIndex);
    }
    (*target.array)[v.instanceIndex][v.userIndex] = value;
    return true;
}

bool StoreUVComponent(const PlyValue& v) {
    ImportContext& context = *static_cast<ImportContext*>(v.userData);
    const float value = static_cast<float>(v.value);
    if (!std::isfinite(value)) {
        return RejectNotFinite(context, v.instanceIndex);
    }
    context.mesh->uvs[v.instanceIndex][v.userIndex] = value;
    return true;
}

// Keeps corners 0 to 2 of every face. Indices are checked here, before any conversion to an
// integer, so no value from the file can overflow one or reach past the vertex array later.
bool StoreFaceIndex(const PlyValue& v) {
    ImportContext& context = *static_cast<ImportContext*>(v.userData);
    if (v.valueIndex < 0) {
        if (v.value < 3.0) {
            context.problem = Problem::ShortFace;
            context.problemInstance = v.instanceIndex;
            return false;
        }
        return true;
    }
    if (v.valueIndex > 2) {
        return true;
    }
    const double index = std::trunc(v.value);
    if (!(index >= 0.0 && index < context.vertexCount)) {
        context.problem = Problem::IndexOutOfRange;
        context.problemInstance = v.instanceIndex;
        return false;
    }
    context.mesh->indices[v.instanceIndex][v.valueIndex] = static_cast<int32_t>(index);
    return true;
}

bool Report(const char* format, const char* fileName) {
    char text[1024];
    std::snprintf(text, sizeof(text), format, fileName);
    ReportPlyError(text);
    return false;
}

bool ReportAt(const char* format, int32_t instance, const char* fileName) {
    char text[1024];
    std::snprintf(text, sizeof(text), format, instance, fileName);
    ReportPlyError(text);
    return false;
}

// The float cross product overflows for coordinates beyond about 1e19 and underflows below about
// 1e-19; the same normal computed in double keeps such meshes shaded.
Vector3 FaceNormal(const Vector3& p0, const Vector3& p1, const Vector3& p2) {
    Vector3 n = Cross(p1 - p0, p2 - p0);
    const float lengthSquared = n.LengthSquared();
    if (lengthSquared > 0.0f && std::isfinite(lengthSquared)) {
        n.Normalize();
        return n;
    }
    const double e1[3] = {double(p1.x) - p0.x, double(p1.y) - p0.y, double(p1.z) - p0.z};
    const double e2[3] = {double(p2.x) - p0.x, double(p2.y) - p0.y, double(p2.z) - p0.z};
    const double c[3] = {e1[1] * e2[2] - e1[2] * e2[1], e1[2] * e2[0] - e1[0] * e2[2],
                         e1[0] * e2[1] - e1[1] * e2[0]};
    const double length = std::sqrt(c[0] * c[0] + c[1] * c[1] + c[2] * c[2]);
    if (length == 0.0) {
        return Vector3();
    }
    return Vector3(float(c[0] / length), float(c[1] / length), float(c[2] / length));
}

void ComputeSmoothNormals(PlyMeshData& mesh) {
    mesh.normals.assign(mesh.vertexCount, Vector3());
    for (const std::array<int32_t, 3>& t : mesh.indices) {
        const Vector3 n =
            FaceNormal(mesh.positions[t[0]], mesh.positions[t[1]], mesh.positions[t[2]]);
        mesh.normals[t[0]] += n;
        mesh.normals[t[1]] += n;
        mesh.normals[t[2]] += n;
    }
    for (Vector3& n : mesh.normals) {
        n.Normalize();
    }
    mesh.hasNormals = true;
}

}  // namespace

void ReportPlyError(const std::string& text) {
    std::printf("ERROR:  %s\n", text.c_str());
    std::fflush(stdout);
    ShowMessageBox("XML Parsing error", text);
}

bool PlyImport(const char* fileName, int32_t indexOffset, PlyMeshData& result) {
    result = PlyMeshData();
    if (fileName == nullptr || fileName[0] == '\0') {
        ReportPlyError("Empty file object file name");
        return false;
    }
    PlyReader reader;
    if (!reader.Open(fileName)) {
        return Report("Unable to read PLY mesh file '%s'", fileName);
    }
    if (!reader.ReadHeader()) {
        reader.Close();
        return Report("Unable to read PLY header from '%s'", fileName);
    }

    ImportContext context;
    context.mesh = &result;
    VectorTarget positions{&context, &result.positions, 1.0};
    VectorTarget normals{&context, &result.normals, 1.0};
    VectorTarget colors{&context, &result.colors, 0.00392156862745098};

    result.vertexCount = reader.SetReadCallback("vertex", "x", StoreVectorComponent, &positions, 0);
    reader.SetReadCallback("vertex", "y", StoreVectorComponent, &positions, 1);
    reader.SetReadCallback("vertex", "z", StoreVectorComponent, &positions, 2);
    if (result.vertexCount < 1) {
        reader.Close();
        return Report("No vertices found in '%s'", fileName);
    }
    context.vertexCount = result.vertexCount;

    result.triangleCount =
        reader.SetReadCallback("face", "vertex_indices", StoreFaceIndex, &context, 0);
    if (result.triangleCount < 1) {
        reader.Close();
        return Report("No triangles found in '%s'", fileName);
    }
    // A scalar index gives each face a single corner.
    if (!reader.FindProperty("face", "vertex_indices")->isList) {
        reader.Close();
        return ReportAt("Face %d in '%s' has fewer than three vertices", 0, fileName);
    }

    // The arrays exist only when the first component does, so the others are registered only then.
    const int32_t normalCount =
        reader.SetReadCallback("vertex", "nx", StoreVectorComponent, &normals, 0);
    if (normalCount > 0) {
        reader.SetReadCallback("vertex", "ny", StoreVectorComponent, &normals, 1);
        reader.SetReadCallback("vertex", "nz", StoreVectorComponent, &normals, 2);
    }
    if (normalCount > 0 && normalCount != result.vertexCount) {
        reader.Close();
        return Report("Wrong count of normals in '%s'", fileName);
    }
    // The shifted indices must stay 32-bit integers.
    if (indexOffset < 0 ||
        int64_t(indexOffset) + result.vertexCount > std::numeric_limits<int32_t>::max()) {
        reader.Close();
        return Report("Too many vertices in '%s' for one mesh set", fileName);
    }

    const int32_t colorCount =
        reader.SetReadCallback("vertex", "red", StoreVectorComponent, &colors, 0);
    if (colorCount > 0) {
        reader.SetReadCallback("vertex", "green", StoreVectorComponent, &colors, 1);
        reader.SetReadCallback("vertex", "blue", StoreVectorComponent, &colors, 2);
    }
    const int32_t uvCount = reader.SetReadCallback("vertex", "s", StoreUVComponent, &context, 0);
    if (uvCount > 0) {
        reader.SetReadCallback("vertex", "t", StoreUVComponent, &context, 1);
    }

    result.positions.assign(result.vertexCount, Vector3());
    result.indices.resize(result.triangleCount);
    if (normalCount > 0) {
        result.normals.assign(result.vertexCount, Vector3());
        result.hasNormals = true;
    }
    if (colorCount > 0) {
        result.colors.assign(result.vertexCount, Vector3());
        result.hasColors = true;
    }
    if (uvCount > 0) {
        result.uvs.assign(result.vertexCount, {0.0f, 0.0f});
        result.hasUVs = true;
    }

    const bool read = reader.Read();
    reader.Close();
    switch (context.problem) {
        case Problem::ShortFace:
            return ReportAt("Face %d in '%s' has fewer than three vertices",
                            context.problemInstance, fileName);
        case Problem::IndexOutOfRange:
            return ReportAt("Face %d in '%s' uses a vertex index outside the file's vertices",
                            context.problemInstance, fileName);
        case Problem::NotFinite:
            return ReportAt("Vertex %d in '%s' has a value that is not a finite number",
                            context.problemInstance, fileName);
        case Problem::None:
            break;
    }
    if (!read) {
        return Report("Unable to parse PLY file '%s'", fileName);
    }

    if (!result.hasNormals) {
        ComputeSmoothNormals(result);
    }
    if (indexOffset != 0) {
        for (std::array<int32_t, 3>& t : result.indices) {
            t[0] += indexOffset;
            t[1] += indexOffset;
            t[2] += indexOffset;
        }
    }
    return true;
}

}  // namespace glintor
