// QBVH build and traversal speed on one thread: build throughput in triangles per second, and
// rays per second for camera-like coherent rays and for random incoherent rays. When Embree 3 is
// available the same meshes and rays go through it in the same run, on its default device and on
// a device held to SSE4.2 (a four-wide BVH, the shape of ours), and for every mesh, ray kind and
// device one line "ratio <mesh> <camera|random> <embree-default|embree-sse42> <value>" gives
// QBVH rays/s divided by Embree's.
//
// Every mesh reaches the measurement as plain arrays (positions plus three indices per
// triangle), so a mesh from a file plugs in by filling a BenchMesh and calling RunMesh.
//
//   qbvh_bench [--quick] [--embree-verbose] [--only terrain|sphere|soup|dragon|bunny|spot]
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "formats/ply_import.h"
#include "formats/ply_shapes.h"
#include "geometry/intersection.h"
#include "geometry/qbvh.h"
#include "math/vector.h"

#ifdef GLINTOR_HAVE_EMBREE
#include <embree3/rtcore.h>
#endif

namespace glintor {
namespace {

struct BenchMesh {
    std::string name;
    std::vector<Vector3> positions;
    std::vector<int32_t> indices;  // three per triangle

    uint32_t TriangleCount() const { return static_cast<uint32_t>(indices.size() / 3); }
    BoundingBox Bounds() const {
        BoundingBox box;
        for (const Vector3& p : positions) {
            box.Merge(p);
        }
        return box;
    }
};

// A real scanned mesh from the shared data folder; false (with a note) when it is not there.
bool LoadSharedMesh(const std::string& file, const char* name, BenchMesh& mesh) {
    const std::string path = std::string(GLINTOR_SHARED_DATA) + "/meshes/" + file;
    PlyMeshData data;
    if (!PlyImport(path.c_str(), 0, data)) {
        std::printf("%s: not available, skipped\n\n", path.c_str());
        return false;
    }
    mesh.name = name;
    mesh.positions = data.positions;
    for (const auto& triangle : data.indices) {
        mesh.indices.insert(mesh.indices.end(), triangle.begin(), triangle.end());
    }
    return true;
}

// CPU time of the whole process rather than wall time: the machines this runs on are often shared,
// and time slices given to other processes would otherwise count against whichever library was
// running. Both libraries run on this one thread (Embree with threads=1), so nothing else of
// the process adds to it.
double Seconds() {
    timespec now;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + 1e-9 * static_cast<double>(now.tv_nsec);
}

// Smooth value noise from a hashed integer lattice, summed over octaves.
float LatticeValue(int x, int y) {
    uint32_t h = static_cast<uint32_t>(x) * 374761393u + static_cast<uint32_t>(y) * 668265263u;
    h = (h ^ (h >> 13)) * 1274126177u;
    return static_cast<float>(h ^ (h >> 16)) * (1.0f / 4294967296.0f);
}

float ValueNoise(float x, float y) {
    const int ix = static_cast<int>(std::floor(x));
    const int iy = static_cast<int>(std::floor(y));
    float fx = x - static_cast<float>(ix);
    float fy = y - static_cast<float>(iy);
    fx = fx * fx * (3.0f - 2.0f * fx);
    fy = fy * fy * (3.0f - 2.0f * fy);
    const float a = LatticeValue(ix, iy) + (LatticeValue(ix + 1, iy) - LatticeValue(ix, iy)) * fx;
    const float b =
        LatticeValue(ix, iy + 1) + (LatticeValue(ix + 1, iy + 1) - LatticeValue(ix, iy + 1)) * fx;
    return a + (b - a) * fy;
}

float Fractal(float x, float y) {
    float sum = 0.0f;
    float amplitude = 1.0f;
    for (int octave = 0; octave < 7; ++octave) {
        sum += ValueNoise(x, y) * amplitude;
        x *= 2.03f;
        y *= 2.03f;
        amplitude *= 0.5f;
    }
    return sum;
}

// A fractal heightfield of cells x cells squares, two triangles each, 100 units across.
BenchMesh MakeHeightField(int cells) {
    BenchMesh mesh;
    mesh.name = "terrain";
    const int side = cells + 1;
    const float step = 100.0f / static_cast<float>(cells);
    mesh.positions.reserve(static_cast<size_t>(side) * side);
    for (int y = 0; y < side; ++y) {
        for (int x = 0; x < side; ++x) {
            const float px = static_cast<float>(x) * step;
            const float py = static_cast<float>(y) * step;
            mesh.positions.push_back({px, py, 18.0f * Fractal(px * 0.03f, py * 0.03f)});
        }
    }
    mesh.indices.reserve(static_cast<size_t>(cells) * cells * 6);
    for (int y = 0; y < cells; ++y) {
        for (int x = 0; x < cells; ++x) {
            const int32_t i = y * side + x;
            mesh.indices.insert(mesh.indices.end(),
                                {i, i + 1, i + side + 1, i, i + side + 1, i + side});
        }
    }
    return mesh;
}

// A subdivided icosahedron with a noisy radius: a closed object seen from all sides.
BenchMesh MakeBumpySphere(int level) {
    const PlyMesh sphere = MakeIcosphere(level);
    BenchMesh mesh;
    mesh.name = "sphere";
    mesh.positions.reserve(sphere.positions.size());
    for (const Vector3& p : sphere.positions) {
        const float bump = Fractal(p.x * 4.0f + 9.0f, p.y * 4.0f + p.z * 3.0f + 5.0f);
        mesh.positions.push_back(p * (20.0f * (0.85f + 0.2f * bump)));
    }
    for (const auto& triangle : sphere.triangles) {
        mesh.indices.insert(mesh.indices.end(), triangle.begin(), triangle.end());
    }
    return mesh;
}

// Small randomly oriented triangles filling a cube: the worst case for any hierarchy.
BenchMesh MakeSoup(uint32_t count) {
    BenchMesh mesh;
    mesh.name = "soup";
    std::mt19937 rng(7);
    std::uniform_real_distribution<float> coordinate(0.0f, 100.0f);
    std::uniform_real_distribution<float> offset(-0.6f, 0.6f);
    for (uint32_t i = 0; i < count; ++i) {
        const Vector3 a{coordinate(rng), coordinate(rng), coordinate(rng)};
        const int32_t base = static_cast<int32_t>(mesh.positions.size());
        mesh.positions.push_back(a);
        mesh.positions.push_back(a + Vector3(offset(rng), offset(rng), offset(rng)));
        mesh.positions.push_back(a + Vector3(offset(rng), offset(rng), offset(rng)));
        mesh.indices.insert(mesh.indices.end(), {base, base + 1, base + 2});
    }
    return mesh;
}

Vector3 RandomDirection(std::mt19937& rng) {
    std::normal_distribution<float> normal;
    Vector3 d;
    do {
        d = {normal(rng), normal(rng), normal(rng)};
    } while (d.LengthSquared() < 1e-6f);
    return d.Normalized();
}

// A pinhole camera outside the mesh's bounding sphere looking at its centre, rays in 8 x 8 pixel
// tiles as render threads shoot them.
std::vector<Ray> CameraRays(const BoundingBox& box, int width, int height) {
    Vector3 center;
    float radius;
    box.BoundingSphere(center, radius);
    const Vector3 eye = center + Vector3(0.45f, -1.0f, 0.75f).Normalized() * (radius * 1.5f);
    const Vector3 forward = (center - eye).Normalized();
    const Vector3 right = Cross(forward, Vector3(0, 0, 1)).Normalized();
    const Vector3 up = Cross(right, forward);
    const float scale = std::tan(0.5f * 50.0f * 3.14159265f / 180.0f);
    std::vector<Ray> rays;
    rays.reserve(static_cast<size_t>(width) * height);
    for (int ty = 0; ty < height; ty += 8) {
        for (int tx = 0; tx < width; tx += 8) {
            for (int y = ty; y < std::min(ty + 8, height); ++y) {
                for (int x = tx; x < std::min(tx + 8, width); ++x) {
                    const float sx = (2.0f * (x + 0.5f) / width - 1.0f) * scale;
                    const float sy = (1.0f - 2.0f * (y + 0.5f) / height) * scale * height / width;
                    const Vector3 d = (forward + right * sx + up * sy).Normalized();
                    rays.emplace_back(eye, d, RayInfinity);
                }
            }
        }
    }
    return rays;
}

// Origins anywhere in the box, directions uniform over the sphere.
std::vector<Ray> RandomRays(const BoundingBox& box, size_t count) {
    std::mt19937 rng(3);
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    std::vector<Ray> rays;
    rays.reserve(count);
    for (size_t i = 0; i < count; ++i) {
        const Vector3 o{box.min.x + (box.max.x - box.min.x) * unit(rng),
                        box.min.y + (box.max.y - box.min.y) * unit(rng),
                        box.min.z + (box.max.z - box.min.z) * unit(rng)};
        rays.emplace_back(o, RandomDirection(rng), RayInfinity);
    }
    return rays;
}

// Nearest-hit distance per ray (infinity for a miss), for comparing the two libraries.
struct TraceResult {
    double raysPerSecond = 0.0;
    std::vector<float> distances;
};

// One timed pass over the rays.
TraceResult TraceQbvh(const QBVH& bvh, const std::vector<Ray>& rays, LanePath path) {
    TraceResult result;
    result.distances.assign(rays.size(), std::numeric_limits<float>::infinity());
    const double start = Seconds();
    for (size_t i = 0; i < rays.size(); ++i) {
        Intersection hit;
        if (bvh.Intersect(rays[i], hit, path)) {
            result.distances[i] = hit.distance;
        }
    }
    result.raysPerSecond = static_cast<double>(rays.size()) / (Seconds() - start);
    return result;
}

void KeepFaster(TraceResult& best, TraceResult&& pass) {
    if (pass.raysPerSecond > best.raysPerSecond) {
        best = std::move(pass);
    }
}

#ifdef GLINTOR_HAVE_EMBREE
struct EmbreeScene {
    RTCDevice device = nullptr;
    RTCScene scene = nullptr;
    double buildSeconds = 0.0;
    ~EmbreeScene() {
        if (scene) {
            rtcReleaseScene(scene);
        }
        if (device) {
            rtcReleaseDevice(device);
        }
    }
};

// Embree reads vertices as 16-byte quantities, so the shared vertex buffer carries one spare
// element past the last vertex (paddedPositions has it).
bool BuildEmbree(EmbreeScene& embree, const std::vector<Vector3>& paddedPositions,
                 const BenchMesh& mesh, const char* isa, bool verbose) {
    std::string config = std::string("threads=1") + (verbose ? ",verbose=2" : "") + isa;
    embree.device = rtcNewDevice(config.c_str());
    if (embree.device == nullptr) {
        return false;
    }
    embree.scene = rtcNewScene(embree.device);
    rtcSetSceneBuildQuality(embree.scene, RTC_BUILD_QUALITY_MEDIUM);
    RTCGeometry geometry = rtcNewGeometry(embree.device, RTC_GEOMETRY_TYPE_TRIANGLE);
    rtcSetSharedGeometryBuffer(geometry, RTC_BUFFER_TYPE_VERTEX, 0, RTC_FORMAT_FLOAT3,
                               paddedPositions.data(), 0, sizeof(Vector3), mesh.positions.size());
    rtcSetSharedGeometryBuffer(geometry, RTC_BUFFER_TYPE_INDEX, 0, RTC_FORMAT_UINT3,
                               mesh.indices.data(), 0, 3 * sizeof(int32_t), mesh.TriangleCount());
    rtcCommitGeometry(geometry);
    rtcAttachGeometry(embree.scene, geometry);
    rtcReleaseGeometry(geometry);
    const double start = Seconds();
    rtcCommitScene(embree.scene);
    embree.buildSeconds = Seconds() - start;
    return rtcGetDeviceError(embree.device) == RTC_ERROR_NONE;
}

TraceResult TraceEmbree(const EmbreeScene& embree, const std::vector<Ray>& rays, bool coherent) {
    TraceResult result;
    result.distances.assign(rays.size(), std::numeric_limits<float>::infinity());
    RTCIntersectContext context;
    rtcInitIntersectContext(&context);
    context.flags =
        coherent ? RTC_INTERSECT_CONTEXT_FLAG_COHERENT : RTC_INTERSECT_CONTEXT_FLAG_INCOHERENT;
    const double start = Seconds();
    for (size_t i = 0; i < rays.size(); ++i) {
        const Ray& ray = rays[i];
        RTCRayHit rayHit;
        rayHit.ray.org_x = ray.origin.x;
        rayHit.ray.org_y = ray.origin.y;
        rayHit.ray.org_z = ray.origin.z;
        rayHit.ray.tnear = ray.tMin;
        rayHit.ray.dir_x = ray.direction.x;
        rayHit.ray.dir_y = ray.direction.y;
        rayHit.ray.dir_z = ray.direction.z;
        rayHit.ray.time = 0.0f;
        rayHit.ray.tfar = ray.tMax;
        rayHit.ray.mask = 0xffffffffu;
        rayHit.ray.id = 0;
        rayHit.ray.flags = 0;
        rayHit.hit.geomID = RTC_INVALID_GEOMETRY_ID;
        rayHit.hit.instID[0] = RTC_INVALID_GEOMETRY_ID;
        rtcIntersect1(embree.scene, &context, &rayHit);
        if (rayHit.hit.geomID != RTC_INVALID_GEOMETRY_ID) {
            result.distances[i] = rayHit.ray.tfar;
        }
    }
    result.raysPerSecond = static_cast<double>(rays.size()) / (Seconds() - start);
    return result;
}

// Share of rays on which both report a hit at nearly the same distance, or both miss.
double Agreement(const TraceResult& a, const TraceResult& b) {
    size_t same = 0;
    for (size_t i = 0; i < a.distances.size(); ++i) {
        const float x = a.distances[i];
        const float y = b.distances[i];
        same += (std::isinf(x) && std::isinf(y)) || std::fabs(x - y) <= 1e-4f * std::max(x, 1.0f)
                    ? 1
                    : 0;
    }
    return 100.0 * static_cast<double>(same) / static_cast<double>(a.distances.size());
}
#endif

double HitShare(const TraceResult& result) {
    const size_t hits = std::count_if(result.distances.begin(), result.distances.end(),
                                      [](float d) { return !std::isinf(d); });
    return 100.0 * static_cast<double>(hits) / static_cast<double>(result.distances.size());
}

struct Options {
    bool quick = false;
    bool embreeVerbose = false;
    std::string only;  // run only the mesh whose name contains this
};

void RunMesh(const BenchMesh& mesh, const Options& options) {
    std::printf("=== %s: %u triangles, %zu vertices\n", mesh.name.c_str(), mesh.TriangleCount(),
                mesh.positions.size());
    // Embree's vertex buffer needs a readable spare element after the last vertex.
    std::vector<Vector3> padded(mesh.positions);
    padded.push_back({});

    QBVH bvh;
    double buildSeconds = 1e30;
    const int buildPasses = options.quick ? 1 : 2;
    for (int pass = 0; pass < buildPasses; ++pass) {
        const double start = Seconds();
        if (!bvh.Build(mesh.positions.data(), mesh.indices.data(), mesh.TriangleCount(),
                       static_cast<uint32_t>(mesh.positions.size()))) {
            std::printf("QBVH build failed\n");
            return;
        }
        buildSeconds = std::min(buildSeconds, Seconds() - start);
    }
    const double triangles = mesh.TriangleCount();
    std::printf("build   QBVH   %7.3f s  %6.2f M triangles/s  (%u nodes, %u quads, max level %u)\n",
                buildSeconds, triangles / buildSeconds * 1e-6, bvh.UsedNodes(), bvh.QuadCount(),
                bvh.MaxLevel());

#ifdef GLINTOR_HAVE_EMBREE
    struct EmbreeConfig {
        const char* label;
        const char* isa;  // appended to the device configuration
        EmbreeScene embree;
        bool built = false;
    };
    EmbreeConfig configs[] = {{"embree-default", "", {}, false},
                              {"embree-sse42", ",isa=sse4.2", {}, false}};
    for (EmbreeConfig& config : configs) {
        config.built = BuildEmbree(config.embree, padded, mesh, config.isa, options.embreeVerbose);
        if (!config.built) {
            std::printf("%s: Embree scene could not be built\n", config.label);
            continue;
        }
        std::printf(
            "build   %-14s %7.3f s  %6.2f M triangles/s  (rtcCommitScene, medium quality, "
            "threads=1)  QBVH / Embree: %.2f\n",
            config.label, config.embree.buildSeconds, triangles / config.embree.buildSeconds * 1e-6,
            config.embree.buildSeconds / buildSeconds);
    }
#endif

    const BoundingBox box = mesh.Bounds();
    const int passes = options.quick ? 1 : 4;
    struct RayKind {
        const char* name;
        std::vector<Ray> rays;
        bool coherent;
    };
    RayKind kinds[] = {
        {"camera", CameraRays(box, options.quick ? 512 : 1024, options.quick ? 384 : 768), true},
        {"random", RandomRays(box, options.quick ? 200000 : 1000000), false}};
    for (const RayKind& kind : kinds) {
        // The libraries take turns pass by pass, so that a slow spell of a shared machine falls
        // on both alike instead of on whichever was running then; each keeps its best pass.
        TraceResult simd;
#ifdef GLINTOR_HAVE_EMBREE
        TraceResult references[std::size(configs)];
#endif
        for (int pass = 0; pass < passes; ++pass) {
            KeepFaster(simd, TraceQbvh(bvh, kind.rays, LanePath::Simd));
#ifdef GLINTOR_HAVE_EMBREE
            for (size_t c = 0; c < std::size(configs); ++c) {
                if (configs[c].built) {
                    KeepFaster(references[c],
                               TraceEmbree(configs[c].embree, kind.rays, kind.coherent));
                }
            }
#endif
        }
        const TraceResult scalar = TraceQbvh(bvh, kind.rays, LanePath::Scalar);
        TraversalCounters counters;
        for (const Ray& ray : kind.rays) {
            Intersection hit;
            bvh.IntersectCounted(ray, hit, counters);
        }
        const double rays = static_cast<double>(kind.rays.size());
        std::printf(
            "%-7s QBVH   %6.2f M rays/s SSE, %5.2f scalar  (%.1f%% hit; per ray %.1f nodes, "
            "%.1f triangles)\n",
            kind.name, simd.raysPerSecond * 1e-6, scalar.raysPerSecond * 1e-6, HitShare(simd),
            static_cast<double>(counters.nodesVisited) / rays,
            static_cast<double>(counters.trianglesTested) / rays);
#ifdef GLINTOR_HAVE_EMBREE
        for (size_t c = 0; c < std::size(configs); ++c) {
            if (!configs[c].built) {
                continue;
            }
            const TraceResult& reference = references[c];
            std::printf(
                "%-7s %-14s %6.2f M rays/s  (rtcIntersect1)  answers agree on %.3f%% of rays\n",
                kind.name, configs[c].label, reference.raysPerSecond * 1e-6,
                Agreement(simd, reference));
            std::printf("ratio %s %s %s %.2f\n", mesh.name.c_str(), kind.name, configs[c].label,
                        simd.raysPerSecond / reference.raysPerSecond);
        }
#endif
    }
    std::printf("\n");
}

}  // namespace
}  // namespace glintor

int main(int argc, char** argv) {
    glintor::Options options;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--quick") == 0) {
            options.quick = true;
        } else if (std::strcmp(argv[i], "--embree-verbose") == 0) {
            options.embreeVerbose = true;
        } else if (std::strcmp(argv[i], "--only") == 0 && i + 1 < argc) {
            options.only = argv[++i];
        } else {
            std::fprintf(stderr,
                         "Usage: qbvh_bench [--quick] [--embree-verbose] [--only terrain|sphere|"
                         "soup|dragon|bunny|spot]\n");
            return 2;
        }
    }
#ifdef GLINTOR_HAVE_EMBREE
    std::printf(
        "Single thread. Embree %s: BVH built by rtcCommitScene (medium quality) on a\n"
        "device with threads=1, once with its default ISA and once with isa=sse4.2;\n"
        "--embree-verbose prints its chosen builder and ISA.\n\n",
        RTC_VERSION_STRING);
#else
    std::printf("Single thread. Embree 3 not found at configure time: QBVH figures only.\n\n");
#endif
    auto wanted = [&](const char* name) { return std::strstr(name, options.only.c_str()); };
    if (wanted("terrain")) {
        glintor::RunMesh(glintor::MakeHeightField(options.quick ? 256 : 1024), options);
    }
    if (wanted("sphere")) {
        glintor::RunMesh(glintor::MakeBumpySphere(options.quick ? 6 : 9), options);
    }
    if (wanted("soup")) {
        glintor::RunMesh(glintor::MakeSoup(options.quick ? 100000 : 2000000), options);
    }
    const std::pair<const char*, const char*> files[] = {{"xyzrgb_dragon_100k.ply", "dragon"},
                                                         {"bun_zipper.ply", "bunny"},
                                                         {"spot_vn_rgba_ascii.ply", "spot"}};
    for (const auto& [file, name] : files) {
        if (wanted(name)) {
            glintor::BenchMesh mesh;
            if (glintor::LoadSharedMesh(file, name, mesh)) {
                glintor::RunMesh(mesh, options);
            }
        }
    }
    return 0;
}
