#include "formats/ply_import.h"

#include <sys/mman.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <type_traits>

#include "formats/ply_normals.h"
#include "formats/ply_reader.h"
#include "platform/platform.h"

namespace glintor {

namespace {

// Room for `count` elements, asked for in huge pages where the system has them: a large mesh's
// arrays otherwise cost more in page faults on first touch than all the parsing.
template <class T>
void ReserveLarge(std::vector<T>& array, std::size_t count) {
    array.reserve(count);
    constexpr uintptr_t kHugePage = uintptr_t(2) << 20;
    const uintptr_t start = reinterpret_cast<uintptr_t>(array.data());
    const uintptr_t first = (start + kHugePage - 1) & ~(kHugePage - 1);
    const uintptr_t last = (start + array.capacity() * sizeof(T)) & ~(kHugePage - 1);
    if (first < last) {
        madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
    }
}

enum class Problem { None, ShortFace, IndexOutOfRange };

// Turns each face into the triangles (0, i, i + 1). A face is judged once all its corners are
// read, by either path, so a file whose face list is cut or garbled gets the same message from
// both.
struct FaceBuilder {
    std::vector<std::array<int32_t, 3>>* triangles = nullptr;
    int32_t vertexCount = 0;
    Problem problem = Problem::None;
    int32_t problemInstance = 0;
    std::vector<double> corners;  // the callback path's current face and its length
    int32_t length = 0;
};

bool Reject(FaceBuilder& faces, Problem problem, int32_t instance) {
    faces.problem = problem;
    faces.problemInstance = instance;
    return false;
}

// Indices are checked before any conversion to an integer, so no value from the file can
// overflow one or reach past the vertex array later. Float lists are truncated toward zero.
template <class Index>
bool AddFace(FaceBuilder& faces, int32_t instance, const Index* corners, int32_t length) {
    if (length < 3) {
        return Reject(faces, Problem::ShortFace, instance);
    }
    for (int32_t j = 0; j < length; ++j) {
        bool inside = false;
        if constexpr (std::is_floating_point_v<Index>) {
            const double index = std::trunc(static_cast<double>(corners[j]));
            inside = index >= 0.0 && index < faces.vertexCount;
        } else {
            // Entries of 32 bits or fewer: a negative one wraps far above any vertex count.
            inside = static_cast<uint64_t>(corners[j]) < static_cast<uint64_t>(faces.vertexCount);
        }
        if (!inside) {
            return Reject(faces, Problem::IndexOutOfRange, instance);
        }
    }
    const int32_t first = static_cast<int32_t>(corners[0]);
    for (int32_t j = 2; j < length; ++j) {
        faces.triangles->push_back(
            {first, static_cast<int32_t>(corners[j - 1]), static_cast<int32_t>(corners[j])});
    }
    return true;
}

bool StoreFaceValue(const PlyValue& v) {
    FaceBuilder& faces = *static_cast<FaceBuilder*>(v.userData);
    if (v.valueIndex < 0) {
        // A whole number from 0 to INT32_MAX: the reader refuses other lengths. Nothing is
        // reserved by it, or a file could ask for any amount of memory.
        faces.length = static_cast<int32_t>(v.value);
        faces.corners.clear();
        return faces.length > 0 || AddFace(faces, v.instanceIndex, faces.corners.data(), 0);
    }
    faces.corners.push_back(v.value);
    return v.valueIndex + 1 < faces.length ||
           AddFace(faces, v.instanceIndex, faces.corners.data(), faces.length);
}

bool StoreFaceLists(int32_t first, int32_t lists, const int32_t* lengths, const int64_t* entries,
                    void* userData) {
    FaceBuilder& faces = *static_cast<FaceBuilder*>(userData);
    const uint64_t vertexCount = static_cast<uint64_t>(faces.vertexCount);
    for (int32_t k = 0; k < lists; entries += lengths[k], ++k) {
        // Nearly every face of a mesh is a triangle with sound indices.
        const int64_t* e = entries;
        if (lengths[k] == 3 && static_cast<uint64_t>(e[0]) < vertexCount &&
            static_cast<uint64_t>(e[1]) < vertexCount &&
            static_cast<uint64_t>(e[2]) < vertexCount) {
            faces.triangles->push_back({static_cast<int32_t>(e[0]), static_cast<int32_t>(e[1]),
                                        static_cast<int32_t>(e[2])});
        } else if (!AddFace(faces, first + k, entries, lengths[k])) {
            return false;
        }
    }
    return true;
}

// One float component of a per-vertex array, filled by either path.
struct Column {
    const char* property;
    float* first;
    std::size_t stride;
    double scale;
};

bool StoreComponent(const PlyValue& v) {
    const Column& column = *static_cast<const Column*>(v.userData);
    column.first[v.instanceIndex * column.stride] = static_cast<float>(v.value * column.scale);
    return true;
}

void AddColumns(std::vector<Column>& columns, std::vector<Vector3>& array,
                const std::array<const char*, 3>& names, double scale) {
    static_assert(sizeof(Vector3) == 3 * sizeof(float));
    for (int c = 0; c < 3; ++c) {
        columns.push_back({names[c], &array.front()[c], 3, scale});
    }
}

// A float is NaN or infinite when all its exponent bits are set. Testing the bits without a branch
// per value lets the compiler test four floats at a time.
template <class T>
bool AllFinite(const std::vector<T>& array, int32_t count) {
    const float* values = reinterpret_cast<const float*>(array.data());
    const std::size_t floats = static_cast<std::size_t>(count) * (sizeof(T) / sizeof(float));
    constexpr uint32_t kExponent = 0x7f800000u;
    uint32_t notFinite = 0;
    for (std::size_t i = 0; i < floats; ++i) {
        notFinite |= (std::bit_cast<uint32_t>(values[i]) & kExponent) == kExponent;
    }
    return notFinite == 0;
}

// A NaN or infinite value would poison every bounding box above the mesh. Values arrive in vertex
// order and reading stops at the first failure, so the lowest such vertex is the first one the
// file holds, whichever path read it.
int32_t FirstVertexNotFinite(const PlyMeshData& mesh) {
    if (AllFinite(mesh.positions, mesh.vertexCount) &&
        (!mesh.hasNormals || AllFinite(mesh.normals, mesh.vertexCount)) &&
        (!mesh.hasColors || AllFinite(mesh.colors, mesh.vertexCount)) &&
        (!mesh.hasUVs || AllFinite(mesh.uvs, mesh.vertexCount))) {
        return -1;
    }
    const auto finite = [](const Vector3& v) {
        return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
    };
    for (int32_t i = 0; i < mesh.vertexCount; ++i) {
        if (!finite(mesh.positions[i]) || (mesh.hasNormals && !finite(mesh.normals[i])) ||
            (mesh.hasColors && !finite(mesh.colors[i])) ||
            (mesh.hasUVs && !(std::isfinite(mesh.uvs[i][0]) && std::isfinite(mesh.uvs[i][1])))) {
            return i;
        }
    }
    return -1;
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

}  // namespace

void ReportPlyError(const std::string& text) {
    std::printf("ERROR:  %s\n", text.c_str());
    std::fflush(stdout);
    ShowMessageBox("XML Parsing error", text);
}

bool PlyImport(const char* fileName, int32_t indexOffset, PlyMeshData& result, PlyImportPath path) {
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
        return Report("Unable to read PLY header from '%s'", fileName);
    }

    result.vertexCount = reader.InstanceCount("vertex", "x");
    if (result.vertexCount < 1) {
        return Report("No vertices found in '%s'", fileName);
    }
    const int32_t faceCount = reader.InstanceCount("face", "vertex_indices");
    if (faceCount < 1) {
        return Report("No triangles found in '%s'", fileName);
    }
    // A scalar index gives each face a single corner.
    if (!reader.FindProperty("face", "vertex_indices")->isList) {
        return ReportAt("Face %d in '%s' has fewer than three vertices", 0, fileName);
    }
    const int32_t normalCount = reader.InstanceCount("vertex", "nx");
    if (normalCount > 0 && normalCount != result.vertexCount) {
        return Report("Wrong count of normals in '%s'", fileName);
    }
    // The shifted indices must stay 32-bit integers.
    if (indexOffset < 0 ||
        int64_t(indexOffset) + result.vertexCount > std::numeric_limits<int32_t>::max()) {
        return Report("Too many vertices in '%s' for one mesh set", fileName);
    }
    // The arrays below are sized by the header's counts, so the body must be able to hold them.
    if (!reader.CheckBody()) {
        return Report("Unable to parse PLY file '%s'", fileName);
    }

    // The later components of normals, colours and coordinates count only with the first.
    std::vector<Column> columns;
    ReserveLarge(result.positions, result.vertexCount);
    result.positions.assign(result.vertexCount, Vector3());
    AddColumns(columns, result.positions, {"x", "y", "z"}, 1.0);
    if (normalCount > 0) {
        ReserveLarge(result.normals, result.vertexCount);
        result.normals.assign(result.vertexCount, Vector3());
        result.hasNormals = true;
        AddColumns(columns, result.normals, {"nx", "ny", "nz"}, 1.0);
    }
    if (reader.InstanceCount("vertex", "red") > 0) {
        result.colors.assign(result.vertexCount, Vector3());
        result.hasColors = true;
        AddColumns(columns, result.colors, {"red", "green", "blue"}, 0.00392156862745098);
    }
    if (reader.InstanceCount("vertex", "s") > 0) {
        result.uvs.assign(result.vertexCount, {0.0f, 0.0f});
        result.hasUVs = true;
        columns.push_back({"s", &result.uvs.front()[0], 2, 1.0});
        columns.push_back({"t", &result.uvs.front()[1], 2, 1.0});
    }
    // A property the bulk form does not take (a list where a number belongs) goes to the callback
    // path, so both paths read every file alike.
    for (Column& column : columns) {
        if (path == PlyImportPath::Callbacks ||
            reader.SetFloatTarget("vertex", column.property, column.first, column.stride,
                                  column.scale) == 0) {
            reader.SetReadCallback("vertex", column.property, StoreComponent, &column, 0);
        }
    }
    FaceBuilder faces;
    faces.triangles = &result.indices;
    faces.vertexCount = result.vertexCount;
    ReserveLarge(result.indices, faceCount);
    // Lists of floats have no bulk form either.
    if (path == PlyImportPath::Callbacks ||
        reader.SetListBatchTarget("face", "vertex_indices", StoreFaceLists, &faces) == 0) {
        reader.SetReadCallback("face", "vertex_indices", StoreFaceValue, &faces, 0);
    }

    const bool read = reader.Read();
    reader.Close();
    const int32_t notFinite = FirstVertexNotFinite(result);
    if (notFinite >= 0) {
        return ReportAt("Vertex %d in '%s' has a value that is not a finite number", notFinite,
                        fileName);
    }
    switch (faces.problem) {
        case Problem::ShortFace:
            return ReportAt("Face %d in '%s' has fewer than three vertices", faces.problemInstance,
                            fileName);
        case Problem::IndexOutOfRange:
            return ReportAt("Face %d in '%s' uses a vertex index outside the file's vertices",
                            faces.problemInstance, fileName);
        case Problem::None:
            break;
    }
    if (!read) {
        return Report("Unable to parse PLY file '%s'", fileName);
    }
    if (result.indices.size() > static_cast<std::size_t>(std::numeric_limits<int32_t>::max())) {
        return Report("Too many triangles in '%s' for one mesh set", fileName);
    }
    result.triangleCount = static_cast<int32_t>(result.indices.size());

    if (!result.hasNormals) {
        ReserveLarge(result.normals, result.vertexCount);
        result.normals.assign(result.vertexCount, Vector3());
        ComputeSmoothNormals(result.positions, result.indices, result.normals);
        result.hasNormals = true;
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
