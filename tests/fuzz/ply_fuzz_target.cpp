// Fuzz target for the PLY reader and the mesh import: any byte string must be read or rejected
// with a message, never crash, hang or break the guarantees callers rely on.
#include <fcntl.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "formats/ply_import.h"
#include "formats/ply_reader.h"

#if defined(__has_include)
#if __has_include(<sanitizer/common_interface_defs.h>)
#include <sanitizer/common_interface_defs.h>
#define GLINTOR_HAS_SANITIZER_INTERFACE 1
#endif
#endif

namespace {

using glintor::PlyReader;
using glintor::PlyValue;

void Require(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "PLY fuzz: broken guarantee: %s\n", what);
        std::abort();
    }
}

void IgnoreError(const std::string&, void*) {}

struct PropertyCheck {
    int32_t count = 0;
    bool isList = false;
    int32_t lastInstance = -1;
    int64_t listLength = 0;
    int64_t nextEntry = 0;
};

bool CheckValue(const PlyValue& v) {
    PropertyCheck& check = *static_cast<PropertyCheck*>(v.userData);
    Require(v.instanceIndex >= 0 && v.instanceIndex < check.count, "instance index in range");
    Require(v.instanceIndex >= check.lastInstance, "instances in order");
    if (!check.isList) {
        Require(v.valueIndex == 0 && v.instanceIndex > check.lastInstance,
                "one scalar per instance");
    } else if (v.valueIndex == -1) {
        Require(v.instanceIndex > check.lastInstance, "one list per instance");
        Require(v.value >= 0 && v.value == std::floor(v.value), "list length a whole number");
        check.listLength = static_cast<int64_t>(v.value);
        check.nextEntry = 0;
    } else {
        Require(v.instanceIndex == check.lastInstance && v.valueIndex == check.nextEntry &&
                    v.valueIndex < check.listLength,
                "list entries in order within the length");
        ++check.nextEntry;
    }
    check.lastInstance = v.instanceIndex;
    return true;
}

void FuzzReader(const uint8_t* data, size_t size) {
    PlyReader reader(IgnoreError, nullptr);
    if (!reader.OpenMemory("fuzz.ply", data, size) || !reader.ReadHeader()) {
        Require(!reader.LastError().empty(), "a failure carries a message");
        return;
    }
    std::vector<PropertyCheck> checks;
    for (const glintor::PlyElement& element : reader.Elements()) {
        Require(element.count >= 0, "element count not negative");
        checks.resize(checks.size() + element.properties.size());
    }
    size_t k = 0;
    for (const glintor::PlyElement& element : reader.Elements()) {
        for (const glintor::PlyProperty& property : element.properties) {
            checks[k].count = element.count;
            checks[k].isList = property.isList;
            ++k;
        }
    }
    k = 0;
    // Names may repeat; a registration reaches the first property of a name in the first element
    // of a name, so only that one is registered.
    for (const glintor::PlyElement& element : reader.Elements()) {
        for (const glintor::PlyProperty& property : element.properties) {
            if (reader.FindProperty(element.name, property.name) == &property) {
                reader.SetReadCallback(element.name, property.name, CheckValue, &checks[k], 0);
            }
            ++k;
        }
    }
    if (!reader.Read()) {
        Require(!reader.LastError().empty(), "a failure carries a message");
    }
}

// The import reports through the console and the message box; both are sent to /dev/null while
// it runs, but sanitizer reports keep the real standard error.
void FuzzImport(const uint8_t* data, size_t size) {
    static const std::string path = "/tmp/glintor-ply-fuzz-" + std::to_string(getpid()) + ".ply";
    static const int savedOut = dup(STDOUT_FILENO);
    static const int savedErr = dup(STDERR_FILENO);
    static const int null = open("/dev/null", O_WRONLY | O_CLOEXEC);
#ifdef GLINTOR_HAS_SANITIZER_INTERFACE
    static const bool redirected = [] {
        __sanitizer_set_report_fd(reinterpret_cast<void*>(static_cast<intptr_t>(savedErr)));
        return true;
    }();
    (void)redirected;
#endif
    // A new file each time, removed after use: truncating one with unwritten data makes ext4
    // flush it to disk on close, which slowed every run down to the disk.
    std::FILE* file = std::fopen(path.c_str(), "wb");
    Require(file != nullptr, "scratch file writable");
    std::fwrite(data, 1, size, file);
    std::fclose(file);

    std::fflush(stdout);
    dup2(null, STDOUT_FILENO);
    dup2(null, STDERR_FILENO);
    glintor::PlyMeshData mesh;
    const int32_t offset = 5;
    const bool imported = glintor::PlyImport(path.c_str(), offset, mesh);
    unlink(path.c_str());
    std::fflush(stdout);
    dup2(savedOut, STDOUT_FILENO);
    dup2(savedErr, STDERR_FILENO);
    if (!imported) {
        return;
    }
    Require(mesh.vertexCount > 0 && mesh.triangleCount > 0, "counts positive");
    Require(mesh.positions.size() == size_t(mesh.vertexCount) &&
                mesh.normals.size() == size_t(mesh.vertexCount) &&
                mesh.indices.size() == size_t(mesh.triangleCount),
            "arrays sized by the counts");
    for (const auto& t : mesh.indices) {
        for (int32_t index : t) {
            Require(index >= offset && index < offset + mesh.vertexCount, "indices in range");
        }
    }
    for (int32_t i = 0; i < mesh.vertexCount; ++i) {
        for (int c = 0; c < 3; ++c) {
            Require(std::isfinite(mesh.positions[i][c]) && std::isfinite(mesh.normals[i][c]),
                    "finite positions and normals");
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzReader(data, size);
    FuzzImport(data, size);
    return 0;
}
