// Fuzz target for the PLY reader and the mesh import: any byte string must be read or rejected
// with a message, never crash, hang or break the guarantees callers rely on; the import's bulk and
// callback paths must agree on it.
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
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

bool CheckList(int32_t instance, const int64_t* entries, int32_t length, void* userData) {
    PropertyCheck& check = *static_cast<PropertyCheck*>(userData);
    Require(check.isList && instance >= 0 && instance < check.count, "list instance in range");
    Require(instance > check.lastInstance, "one list per instance, in order");
    Require(length >= 0 && (length == 0 || entries != nullptr), "list entries present");
    for (int32_t j = 0; j < length; ++j) {
        Require(entries[j] >= INT32_MIN && entries[j] <= UINT32_MAX, "entries are 32-bit integers");
    }
    check.lastInstance = instance;
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
    // The last byte chooses between read callbacks only and bulk sinks where they apply; bulk
    // targets are sized by the counts, which only a body that can hold them may do.
    const bool bulk = size > 0 && (data[size - 1] & 1) != 0 && reader.CheckBody();
    std::vector<std::vector<float>> targets(checks.size());
    k = 0;
    // Names may repeat; a registration reaches the first property of a name in the first element
    // of a name, so only that one is registered.
    for (const glintor::PlyElement& element : reader.Elements()) {
        for (const glintor::PlyProperty& property : element.properties) {
            if (reader.FindProperty(element.name, property.name) == &property) {
                if (bulk) {
                    targets[k].resize(element.count);
                }
                const bool asBulk =
                    bulk &&
                    (property.isList
                         ? reader.SetListTarget(element.name, property.name, CheckList, &checks[k])
                         : reader.SetFloatTarget(element.name, property.name, targets[k].data(), 1,
                                                 1.0)) > 0;
                if (!asBulk) {
                    reader.SetReadCallback(element.name, property.name, CheckValue, &checks[k], 0);
                }
            }
            ++k;
        }
    }
    if (!reader.Read()) {
        Require(!reader.LastError().empty(), "a failure carries a message");
    }
}

// One import with its console line. The import reports through the console and the message box;
// standard output goes to a memory file and standard error to /dev/null while it runs, but
// sanitizer reports keep the real standard error.
struct ImportRun {
    bool imported = false;
    glintor::PlyMeshData mesh;
    std::string console;
};

ImportRun Import(const std::string& path, glintor::PlyImportPath which) {
    static const int savedOut = dup(STDOUT_FILENO);
    static const int savedErr = dup(STDERR_FILENO);
    static const int null = open("/dev/null", O_WRONLY | O_CLOEXEC);
    static const int console = memfd_create("ply_fuzz_console", MFD_CLOEXEC);
#ifdef GLINTOR_HAS_SANITIZER_INTERFACE
    static const bool redirected = [] {
        __sanitizer_set_report_fd(reinterpret_cast<void*>(static_cast<intptr_t>(savedErr)));
        return true;
    }();
    (void)redirected;
#endif
    Require(console >= 0 && ftruncate(console, 0) == 0 && lseek(console, 0, SEEK_SET) == 0,
            "console memory file");
    std::fflush(stdout);
    dup2(console, STDOUT_FILENO);
    dup2(null, STDERR_FILENO);
    ImportRun run;
    run.imported = glintor::PlyImport(path.c_str(), 5, run.mesh, which);
    std::fflush(stdout);
    dup2(savedOut, STDOUT_FILENO);
    dup2(savedErr, STDERR_FILENO);
    char text[2048];
    const ssize_t length = pread(console, text, sizeof(text), 0);
    run.console.assign(text, length > 0 ? static_cast<size_t>(length) : 0);
    return run;
}

template <class T>
bool SameBits(const std::vector<T>& a, const std::vector<T>& b) {
    return a.size() == b.size() &&
           (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(T)) == 0);
}

void FuzzImport(const uint8_t* data, size_t size) {
    static const std::string path = "/tmp/glintor-ply-fuzz-" + std::to_string(getpid()) + ".ply";
    // A new file each time, removed after use: truncating one with unwritten data makes ext4
    // flush it to disk on close, which slowed every run down to the disk.
    std::FILE* file = std::fopen(path.c_str(), "wb");
    Require(file != nullptr, "scratch file writable");
    std::fwrite(data, 1, size, file);
    std::fclose(file);
    const ImportRun bulk = Import(path, glintor::PlyImportPath::Bulk);
    const ImportRun callbacks = Import(path, glintor::PlyImportPath::Callbacks);
    unlink(path.c_str());

    // Both paths take the same files, say the same and give the same arrays.
    Require(bulk.imported == callbacks.imported && bulk.console == callbacks.console,
            "both paths give the same verdict and message");
    if (!bulk.imported) {
        Require(!bulk.console.empty(), "a refusal carries a message");
        return;
    }
    const glintor::PlyMeshData& mesh = bulk.mesh;
    const glintor::PlyMeshData& other = callbacks.mesh;
    Require(mesh.indices == other.indices && SameBits(mesh.positions, other.positions) &&
                SameBits(mesh.normals, other.normals) && SameBits(mesh.colors, other.colors) &&
                SameBits(mesh.uvs, other.uvs),
            "both paths give the same arrays");
    const int32_t offset = 5;
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
