// The bulk and the callback paths of the mesh import must agree on every file: the same arrays,
// bit for bit, and the same message when a file is refused.
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "formats/ply_import.h"
#include "formats/ply_shapes.h"
#include "tests/support/test_paths.h"

namespace glintor {
namespace {

struct PathRun {
    bool ok = false;
    PlyMeshData mesh;
    std::string out;
};

// The console output of one import. Thousands of imports run here, so standard output goes to a
// memory file rather than through the test library's capture, and standard error (the message
// box) to nowhere.
PathRun Run(const std::string& path, PlyImportPath which) {
    PathRun run;
    std::fflush(stdout);
    const int savedOut = dup(STDOUT_FILENO);
    const int savedErr = dup(STDERR_FILENO);
    const int memory = memfd_create("ply_import_paths", 0);
    const int null = open("/dev/null", O_WRONLY);
    dup2(memory, STDOUT_FILENO);
    dup2(null, STDERR_FILENO);
    run.ok = PlyImport(path.c_str(), 3, run.mesh, which);
    std::fflush(stdout);
    dup2(savedOut, STDOUT_FILENO);
    dup2(savedErr, STDERR_FILENO);
    char buffer[4096];
    const ssize_t length = pread(memory, buffer, sizeof(buffer), 0);
    run.out.assign(buffer, length > 0 ? static_cast<std::size_t>(length) : 0);
    for (const int fd : {savedOut, savedErr, memory, null}) {
        close(fd);
    }
    return run;
}

// Floats compared by their bits, so -0 and NaN payloads count too.
template <class T>
bool SameBits(const std::vector<T>& a, const std::vector<T>& b) {
    return a.size() == b.size() &&
           (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(T)) == 0);
}

// Answers whether the file was imported.
bool ExpectSamePaths(const std::string& path, const std::string& what) {
    const PathRun bulk = Run(path, PlyImportPath::Bulk);
    const PathRun callbacks = Run(path, PlyImportPath::Callbacks);
    EXPECT_EQ(bulk.ok, callbacks.ok) << what;
    EXPECT_EQ(bulk.out, callbacks.out) << what;
    const PlyMeshData& a = bulk.mesh;
    const PlyMeshData& b = callbacks.mesh;
    if (bulk.ok && callbacks.ok) {
        EXPECT_EQ(a.vertexCount, b.vertexCount) << what;
        EXPECT_EQ(a.triangleCount, b.triangleCount) << what;
        EXPECT_EQ(a.hasColors, b.hasColors) << what;
        EXPECT_EQ(a.hasUVs, b.hasUVs) << what;
        EXPECT_EQ(a.indices, b.indices) << what;
        EXPECT_TRUE(SameBits(a.positions, b.positions)) << what;
        EXPECT_TRUE(SameBits(a.normals, b.normals)) << what;
        EXPECT_TRUE(SameBits(a.colors, b.colors)) << what;
        EXPECT_TRUE(SameBits(a.uvs, b.uvs)) << what;
    }
    return bulk.ok;
}

std::string Folder() {
    static const std::string folder = testing::ScratchFolder("ply_import_paths");
    return folder;
}

// Rewriting one file in place makes ext4 flush it to disk on close, which slows thousands of
// imports down to the disk; a removed and recreated file stays in memory.
std::string Write(const std::string& name, const std::string& bytes) {
    const std::string path = Folder() + "/" + name;
    std::filesystem::remove(path);
    return testing::WriteFile(path, bytes);
}

// Header type names swapped for others that read the same ASCII text: the bulk loops are
// chosen per type, so each type takes its own.
std::string Retyped(std::string text, const std::string& from, const std::string& to) {
    const std::size_t end = text.find("end_header");
    for (std::size_t at = text.find(from); at < end; at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
    return text;
}

TEST(PlyImportPaths, AgreeOnEverySharedAndGeneratedMesh) {
    int imported = 0;
    if (testing::HasSharedData()) {
        for (const auto& entry :
             std::filesystem::directory_iterator(testing::SharedDataPath("meshes"))) {
            imported += ExpectSamePaths(entry.path().string(), entry.path().filename().string());
        }
    } else {
        std::printf("Shared meshes not available: generated meshes only\n");
    }
    PlyMesh torus = MakeTorus(12, 8, 1.0f, 0.25f);
    torus.uvs.assign(torus.positions.size(), {0.5f, -0.25f});
    const PlyMesh meshes[] = {MakeIcosphere(2), torus, MakeTerrain(9), MakeTorusKnot(32, 6)};
    for (int m = 0; m < 4; ++m) {
        for (PlyEncoding encoding :
             {PlyEncoding::Ascii, PlyEncoding::BinaryLittleEndian, PlyEncoding::BinaryBigEndian}) {
            const std::string name = std::to_string(m) + PlyEncodingName(encoding) + ".ply";
            imported += ExpectSamePaths(Write(name, EncodePly(meshes[m], encoding)), name);
        }
        const std::string ascii = EncodePly(meshes[m], PlyEncoding::Ascii);
        for (const auto& [from, to] : {std::pair{"float", "double"},
                                       {"uchar", "ushort"},
                                       {"uchar", "int"},
                                       {"list uchar int", "list uint uint"},
                                       {"list uchar int", "list short ushort"},
                                       {"list uchar int", "list uchar float"}}) {
            const std::string name = std::to_string(m) + from + "-" + to + ".ply";
            imported += ExpectSamePaths(Write(name, Retyped(ascii, from, to)), name);
        }
    }
    EXPECT_GE(imported, 4 * 9);
}

TEST(PlyImportPaths, AgreeOnEveryTruncationAndOnDamagedBytes) {
    // A face is judged only once all its corners are read: a bad index or a short length
    // followed by a word that is no number is a parse error on both paths.
    const std::string vertices =
        "ply\nformat ascii 1.0\nelement vertex 3\nproperty float x\nproperty float y\n"
        "property float z\nelement face 2\nproperty list uchar int vertex_indices\nend_header\n"
        "0 0 0\n1 0 0\n0 1 0\n3 0 1 2\n";
    for (const char* face : {"5 0 99 x 1 2\n", "2 0 x\n", "4 0 1 2 z\n", "1 -1\n"}) {
        EXPECT_FALSE(ExpectSamePaths(Write("face.ply", vertices + face), face));
    }

    PlyMesh mesh = MakeIcosphere(0);
    mesh.colors.assign(mesh.positions.size(), {255, 128, 0});
    std::mt19937 rng(5);
    for (PlyEncoding encoding :
         {PlyEncoding::Ascii, PlyEncoding::BinaryLittleEndian, PlyEncoding::BinaryBigEndian}) {
        const std::string whole = EncodePly(mesh, encoding);
        const std::string what = PlyEncodingName(encoding);
        const std::size_t body = whole.find("end_header\n") + 11;
        int refused = 0;
        for (std::size_t length = body; length < whole.size(); ++length) {
            refused += !ExpectSamePaths(Write("cut.ply", whole.substr(0, length)),
                                        what + " cut at " + std::to_string(length));
        }
        EXPECT_GE(refused, int(whole.size() - body) - 1) << what;
        // Damaged bytes: NaNs, huge lists and indices, garbage words, whatever lands there.
        std::uniform_int_distribution<std::size_t> where(body, whole.size() - 1);
        const char noise[] = {'\xff', '\x7f', '\x80', 'n', '-', '9', ' ', '\0', 'e', '.'};
        for (int i = 0; i < 400; ++i) {
            std::string damaged = whole;
            for (int k = 0; k < 3; ++k) {
                damaged[where(rng)] = noise[rng() % sizeof(noise)];
            }
            ExpectSamePaths(Write("damaged.ply", damaged), what + " damage " + std::to_string(i));
        }
    }
}

}  // namespace
}  // namespace glintor
