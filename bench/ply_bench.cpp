// PLY loading speed: the reader alone (values stored into preallocated arrays, through the bulk
// sinks and through callbacks) and the full mesh import (checks, polygons, normals), in MB/s of
// file and triangles/s, on the shared real meshes and on a generated 2,097,152-triangle mesh in
// binary and ASCII. Files are read once before timing, so the figures are from the page cache.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "formats/ply_import.h"
#include "formats/ply_reader.h"
#include "formats/ply_shapes.h"

namespace {

using namespace glintor;

struct ReaderSink {
    std::vector<Vector3> positions;
    std::vector<std::array<int32_t, 3>> triangles;
};

bool StorePosition(const PlyValue& v) {
    static_cast<ReaderSink*>(v.userData)->positions[v.instanceIndex][v.userIndex] =
        static_cast<float>(v.value);
    return true;
}

// The callback form keeps only each face's first triangle, as the list form does below.
bool StoreIndex(const PlyValue& v) {
    if (v.valueIndex >= 0 && v.valueIndex < 3) {
        static_cast<ReaderSink*>(v.userData)->triangles[v.instanceIndex][v.valueIndex] =
            static_cast<int32_t>(v.value);
    }
    return true;
}

bool StoreFace(int32_t instance, const int64_t* entries, int32_t length, void* userData) {
    if (length >= 3) {
        static_cast<ReaderSink*>(userData)->triangles[instance] = {
            static_cast<int32_t>(entries[0]), static_cast<int32_t>(entries[1]),
            static_cast<int32_t>(entries[2])};
    }
    return true;
}

// Rates are per CPU second of the loading thread (the library's default), which stays meaningful
// when other processes share the cores; the Time column is wall time.
void Report(benchmark::State& state, const std::string& path, int64_t triangles) {
    const double bytes = static_cast<double>(std::filesystem::file_size(path));
    const double runs = static_cast<double>(state.iterations());
    state.counters["MB/s"] = benchmark::Counter(bytes * runs / 1e6, benchmark::Counter::kIsRate);
    state.counters["Mtri/s"] =
        benchmark::Counter(double(triangles) * runs / 1e6, benchmark::Counter::kIsRate);
    state.counters["MB"] = bytes / 1e6;
}

// The reader alone: positions and the first triangle of each face into preallocated arrays,
// through the bulk sinks or a callback per value.
void ReadOnly(benchmark::State& state, const std::string& path, bool bulk) {
    int64_t triangles = 0;
    for (auto _ : state) {
        PlyReader reader;
        ReaderSink sink;
        if (!reader.Open(path) || !reader.ReadHeader() || !reader.CheckBody()) {
            state.SkipWithError("cannot read the file");
            return;
        }
        sink.positions.resize(reader.InstanceCount("vertex", "x"));
        triangles = reader.InstanceCount("face", "vertex_indices");
        sink.triangles.resize(triangles);
        for (int c = 0; c < 3; ++c) {
            const char* name[] = {"x", "y", "z"};
            if (bulk) {
                reader.SetFloatTarget("vertex", name[c], &sink.positions.front()[c], 3, 1.0);
            } else {
                reader.SetReadCallback("vertex", name[c], StorePosition, &sink, c);
            }
        }
        if (bulk) {
            reader.SetListTarget("face", "vertex_indices", StoreFace, &sink);
        } else {
            reader.SetReadCallback("face", "vertex_indices", StoreIndex, &sink, 0);
        }
        if (!reader.Read()) {
            state.SkipWithError("cannot parse the file");
            return;
        }
        benchmark::DoNotOptimize(sink.triangles.data());
    }
    Report(state, path, triangles);
}

void Import(benchmark::State& state, const std::string& path) {
    int64_t triangles = 0;
    for (auto _ : state) {
        PlyMeshData mesh;
        if (!PlyImport(path.c_str(), 0, mesh)) {
            state.SkipWithError("import failed");
            return;
        }
        triangles = mesh.triangleCount;
        benchmark::DoNotOptimize(mesh.normals.data());
    }
    Report(state, path, triangles);
}

void Register(const std::string& label, const std::string& path) {
    benchmark::RegisterBenchmark(("Read/" + label).c_str(), ReadOnly, path, true)
        ->Unit(benchmark::kMillisecond)
        ->MinTime(1.0);
    benchmark::RegisterBenchmark(("ReadCallbacks/" + label).c_str(), ReadOnly, path, false)
        ->Unit(benchmark::kMillisecond)
        ->MinTime(1.0);
    benchmark::RegisterBenchmark(("Import/" + label).c_str(), Import, path)
        ->Unit(benchmark::kMillisecond)
        ->MinTime(1.0);
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);

    const std::string shared = std::string(GLINTOR_SHARED_DATA) + "/meshes/";
    const char* realMeshes[] = {"bun_zipper.ply", "xyzrgb_dragon_100k.ply",
                                "spot_vn_rgba_ascii.ply", "spot_rgba_facetexcoord_binle.ply"};
    if (std::filesystem::is_directory(shared)) {
        for (const char* name : realMeshes) {
            Register(name, shared + name);
        }
    } else {
        std::fprintf(stderr, "Shared meshes not found in %s: real-mesh benchmarks skipped\n",
                     shared.c_str());
    }

    // The generated knot: 1,048,576 vertices, 2,097,152 triangles, positions only, no normals
    // (so the import also computes them).
    const PlyMesh knot = MakeTorusKnot(4096, 256);
    const std::string binary = "/tmp/glintor_ply_bench_knot_binle.ply";
    const std::string ascii = "/tmp/glintor_ply_bench_knot_ascii.ply";
    if (!WritePly(binary, knot, PlyEncoding::BinaryLittleEndian) ||
        !WritePly(ascii, knot, PlyEncoding::Ascii)) {
        std::fprintf(stderr, "Cannot write the generated meshes to /tmp\n");
        return 1;
    }
    Register("knot_2M_binary_le", binary);
    Register("knot_2M_ascii", ascii);

    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::remove(binary.c_str());
    std::remove(ascii.c_str());
    return 0;
}
