#include "geometry/triangle_mesh_set.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <filesystem>
#include <limits>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "formats/ply_writer.h"
#include "geometry/qbvh.h"
#include "tests/geometry/qbvh_test_helpers.h"
#include "tests/support/test_paths.h"

namespace glintor {
namespace {

// A PLY file in this test's scratch folder; answers its path.
std::string WriteMesh(const std::string& name, const PlyMesh& mesh) {
    static const std::string folder = testing::ScratchFolder("triangle_mesh_set");
    const std::string path = folder + "/" + name;
    EXPECT_TRUE(WritePly(path, mesh, PlyEncoding::Ascii));
    return path;
}

// One triangle in z = 0 with non-unit vertex normals and texture coordinates.
PlyMesh TexturedTriangle() {
    PlyMesh mesh;
    mesh.positions = {{0, 0, 0}, {2, 0, 0}, {0, 2, 0}};
    mesh.normals = {{0, 0, 2}, {1, 0, 1}, {0, 1, 1}};
    mesh.uvs = {{0.1f, 0.2f}, {0.9f, 0.2f}, {0.1f, 0.8f}};
    mesh.triangles = {{0, 1, 2}};
    return mesh;
}

// A square of two triangles in z = 0 from x = 4 to 6, positions only.
PlyMesh PlainSquare() {
    PlyMesh mesh;
    mesh.positions = {{4, 0, 0}, {6, 0, 0}, {6, 2, 0}, {4, 2, 0}};
    mesh.triangles = {{0, 1, 2}, {0, 2, 3}};
    return mesh;
}

struct Console {
    std::string out;
    std::string err;
};

// Runs `action` with the console captured, so PLY messages, message boxes and build lines stay
// out of the test output (and no message box waits for a key).
template <class Action>
Console Captured(Action action) {
    ::testing::internal::CaptureStdout();
    ::testing::internal::CaptureStderr();
    action();
    Console console;
    console.out = ::testing::internal::GetCapturedStdout();
    console.err = ::testing::internal::GetCapturedStderr();
    return console;
}

bool Add(TriangleMeshSet& set, const std::string& path, uint8_t materialId) {
    bool added = false;
    Captured([&] { added = set.AddPlyFile(path.c_str(), materialId); });
    return added;
}

// As the scene loader sets it up, with the QBVH built over whatever was added.
void UseQbvh(TriangleMeshSet& set) {
    set.acceleratorKind = QbvhAccelerator;
    set.accelerator = std::make_unique<QBVH>();
}

bool Build(TriangleMeshSet& set) {
    bool built = false;
    Captured([&] { built = set.BuildAccelerator(); });
    return built;
}

// The textured triangle with material 3, then the plain square with material 7, QBVH built.
std::unique_ptr<TriangleMeshSet> TwoFileSet() {
    auto set = std::make_unique<TriangleMeshSet>();
    UseQbvh(*set);
    EXPECT_TRUE(Add(*set, WriteMesh("textured.ply", TexturedTriangle()), 3));
    EXPECT_TRUE(Add(*set, WriteMesh("plain.ply", PlainSquare()), 7));
    EXPECT_TRUE(Build(*set));
    return set;
}

// Answers one fixed hit, whatever the ray, as long as the record allows it.
class FixedAccelerator : public AcceleratorBase {
public:
    FixedAccelerator(int32_t triangle, float w0, float w1, float w2)
        : triangle(triangle), w0(w0), w1(w1), w2(w2) {}
    bool Intersect(const Ray&, Intersection& hit) const override {
        if (hit.distance <= 2.0f) {
            return false;
        }
        hit.distance = 2.0f;
        hit.bary0 = w0;
        hit.bary1 = w1;
        hit.bary2 = w2;
        hit.triangleIndex = triangle;
        return true;
    }
    bool Occluded(const Ray& ray) const override { return ray.tMax > 2.0f; }
    int32_t triangle;
    float w0, w1, w2;
};

// A record whose every field differs from what any query would write.
Intersection Sentinel() {
    Intersection hit;
    hit.bary0 = -5.0f;
    hit.bary1 = -6.0f;
    hit.bary2 = -7.0f;
    hit.triangleIndex = 1234;
    hit.point = {9, 9, 9};
    hit.normal = {8, 8, 8};
    hit.u = 0.625f;
    hit.v = -3.0f;
    hit.materialId = 200;
    return hit;
}

Vector3 Unit(double x, double y, double z) {
    const double length = std::sqrt(x * x + y * y + z * z);
    return Vector3(float(x / length), float(y / length), float(z / length));
}

void ExpectNear(const Vector3& actual, const Vector3& expected, float tolerance = 1e-6f) {
    EXPECT_NEAR(actual.x, expected.x, tolerance);
    EXPECT_NEAR(actual.y, expected.y, tolerance);
    EXPECT_NEAR(actual.z, expected.z, tolerance);
}

TEST(TriangleMeshSet, StartsEmptyWithNoMaterialNoAcceleratorAndAnEmptyBox) {
    const TriangleMeshSet set;
    EXPECT_EQ(set.triangleCount, 0u);
    EXPECT_EQ(set.vertexCount, 0u);
    EXPECT_EQ(set.acceleratorKind, 0);
    EXPECT_EQ(set.accelerator, nullptr);
    EXPECT_EQ(set.materialId, 255);
    EXPECT_TRUE(set.positions.empty() && set.triangles.empty() && set.normals.empty());
    EXPECT_TRUE(set.uvs.empty() && set.triangleMaterials.empty() && set.triangleFlags.empty());
    const BoundingBox box = set.Bounds();
    EXPECT_EQ(box.min, Vector3(1e20f, 1e20f, 1e20f));
    EXPECT_EQ(box.max, Vector3(-1e20f, -1e20f, -1e20f));
    Intersection hit = Sentinel();
    EXPECT_FALSE(set.Intersect(Ray({0, 0, 1}, {0, 0, -1}, RayInfinity), hit));
    EXPECT_TRUE(testing::SameRecord(hit, Sentinel()));
}

TEST(TriangleMeshSet, SecondFileIsOffsetAndEveryArrayStaysParallel) {
    TriangleMeshSet set;
    ASSERT_TRUE(Add(set, WriteMesh("textured.ply", TexturedTriangle()), 3));
    EXPECT_EQ(set.vertexCount, 3u);
    EXPECT_EQ(set.triangleCount, 1u);
    ASSERT_TRUE(Add(set, WriteMesh("plain.ply", PlainSquare()), 7));

    EXPECT_EQ(set.vertexCount, 7u);
    EXPECT_EQ(set.triangleCount, 3u);
    EXPECT_EQ(set.triangles, (std::vector<int32_t>{0, 1, 2, 3, 4, 5, 3, 5, 6}));
    ASSERT_EQ(set.positions.size(), 7u);
    EXPECT_EQ(set.positions[2], Vector3(0, 2, 0));
    EXPECT_EQ(set.positions[3], Vector3(4, 0, 0));
    EXPECT_EQ(set.positions[6], Vector3(4, 2, 0));
    // The first file's normals as written; the second file's computed by the import.
    ASSERT_EQ(set.normals.size(), 7u);
    EXPECT_EQ(set.normals[0], Vector3(0, 0, 2));
    EXPECT_EQ(set.normals[2], Vector3(0, 1, 1));
    for (int i = 3; i < 7; ++i) {
        EXPECT_EQ(set.normals[i], Vector3(0, 0, 1)) << i;
    }
    using Uv = std::array<float, 2>;
    EXPECT_EQ(set.uvs,
              (std::vector<Uv>{
                  {0.1f, 0.2f}, {0.9f, 0.2f}, {0.1f, 0.8f}, {0, 0}, {0, 0}, {0, 0}, {0, 0}}));
    EXPECT_EQ(set.triangleMaterials, (std::vector<uint8_t>{3, 7, 7}));
    EXPECT_EQ(set.triangleFlags, (std::vector<uint8_t>{1, 0, 0}));
    // Capacity grows by each file's count, never beyond.
    EXPECT_EQ(set.positions.capacity(), 7u);
    EXPECT_EQ(set.triangles.capacity(), 9u);
    EXPECT_EQ(set.uvs.capacity(), 7u);
    EXPECT_EQ(set.triangleFlags.capacity(), 3u);
    // Adding files never touches the set's own material.
    EXPECT_EQ(set.materialId, 255);

    const BoundingBox box = set.Bounds();
    EXPECT_EQ(box.min, Vector3(0, 0, 0));
    EXPECT_EQ(box.max, Vector3(6, 2, 0));
}

TEST(TriangleMeshSet, UnreadableFileLeavesTheSetAsItWas) {
    TriangleMeshSet set;
    ASSERT_TRUE(Add(set, WriteMesh("textured.ply", TexturedTriangle()), 3));
    const std::vector<Vector3> positions = set.positions;

    bool added = true;
    const Console missing = Captured([&] { added = set.AddPlyFile("no-such-mesh.ply", 9); });
    EXPECT_FALSE(added);
    EXPECT_EQ(missing.out, "ERROR:  Unable to read PLY mesh file 'no-such-mesh.ply'\n");

    // Rejected only after its data were read: an index beyond the file's vertices.
    PlyMesh broken = PlainSquare();
    broken.triangles[1] = {0, 2, 4};
    EXPECT_FALSE(Add(set, WriteMesh("broken.ply", broken), 9));
    Captured([&] { added = set.AddPlyFile(nullptr, 9); });
    EXPECT_FALSE(added);

    EXPECT_EQ(set.vertexCount, 3u);
    EXPECT_EQ(set.triangleCount, 1u);
    EXPECT_EQ(set.positions, positions);
    EXPECT_EQ(set.triangles.size(), 3u);
    EXPECT_EQ(set.normals.size(), 3u);
    EXPECT_EQ(set.uvs.size(), 3u);
    EXPECT_EQ(set.triangleMaterials, std::vector<uint8_t>{3});
    EXPECT_EQ(set.triangleFlags, std::vector<uint8_t>{1});

    // The next file still follows the first directly.
    ASSERT_TRUE(Add(set, WriteMesh("plain.ply", PlainSquare()), 7));
    EXPECT_EQ(set.triangles[3], 3);
}

TEST(TriangleMeshSet, HitOnAVertexGivesThatVertexsNormalAndTextureCoordinates) {
    const auto set = TwoFileSet();
    Intersection hit;
    ASSERT_TRUE(set->Intersect(Ray({0, 0, 1}, {0, 0, -1}, RayInfinity), hit));
    EXPECT_EQ(hit.triangleIndex, 0);
    EXPECT_EQ(hit.bary0, 1.0f);
    EXPECT_EQ(hit.distance, 1.0f);
    EXPECT_EQ(hit.point, Vector3(0, 0, 0));
    EXPECT_EQ(hit.normal, Vector3(0, 0, 1));  // (0, 0, 2) normalised
    EXPECT_EQ(hit.u, 0.1f);
    EXPECT_EQ(hit.v, 0.2f);
    EXPECT_EQ(hit.materialId, 3);
}

TEST(TriangleMeshSet, InsideATriangleNormalAndCoordinatesAreInterpolated) {
    const auto set = TwoFileSet();
    // The point 0.5 a + 0.25 b + 0.25 c, from above and from below: the normal is never flipped.
    for (const float z : {1.0f, -1.0f}) {
        Intersection hit;
        ASSERT_TRUE(set->Intersect(Ray({0.5f, 0.5f, z}, {0, 0, -z}, RayInfinity), hit));
        EXPECT_EQ(hit.triangleIndex, 0);
        EXPECT_EQ(hit.distance, 1.0f);
        EXPECT_EQ(hit.point, Vector3(0.5f, 0.5f, 0));
        ExpectNear(hit.normal, Unit(0.25, 0.25, 1.5));
        EXPECT_NEAR(hit.u, 0.3f, 1e-6f);
        EXPECT_NEAR(hit.v, 0.35f, 1e-6f);
        EXPECT_EQ(hit.materialId, 3);
    }
}

TEST(TriangleMeshSet, FileWithoutTextureCoordinatesLeavesTheCallersUV) {
    const auto set = TwoFileSet();
    Intersection hit = Sentinel();
    hit.distance = RayInfinity;
    ASSERT_TRUE(set->Intersect(Ray({5, 1.5f, 3}, {0, 0, -1}, RayInfinity), hit));
    EXPECT_TRUE(hit.triangleIndex == 1 || hit.triangleIndex == 2) << hit.triangleIndex;
    EXPECT_EQ(hit.distance, 3.0f);
    EXPECT_EQ(hit.point, Vector3(5, 1.5f, 0));
    EXPECT_EQ(hit.normal, Vector3(0, 0, 1));
    EXPECT_EQ(hit.u, 0.625f);
    EXPECT_EQ(hit.v, -3.0f);
    EXPECT_EQ(hit.materialId, 7);

    Intersection fresh;
    ASSERT_TRUE(set->Intersect(Ray({4.5f, 0.5f, 1}, {0, 0, -1}, RayInfinity), fresh));
    EXPECT_EQ(fresh.u, 0.0f);
    EXPECT_EQ(fresh.v, 0.0f);
}

TEST(TriangleMeshSet, NoHitWritesNothing) {
    const auto set = TwoFileSet();
    const struct {
        Ray ray;
        float recordDistance;
    } cases[] = {
        {Ray({3, 1, 1}, {0, 0, -1}, RayInfinity), RayInfinity},  // between the two files
        {Ray({5, 1, 1}, {0, 0, 1}, RayInfinity), RayInfinity},   // pointing away
        {Ray({5, 1, 1}, {0, 0, -1}, 0.5f), RayInfinity},         // tMax short of the square
        {Ray({5, 1, 1}, {0, 0, -1}, RayInfinity), 0.75f},        // a nearer hit already found
    };
    for (const auto& c : cases) {
        Intersection hit = Sentinel();
        hit.distance = c.recordDistance;
        const Intersection before = hit;
        EXPECT_FALSE(set->Intersect(c.ray, hit));
        EXPECT_TRUE(testing::SameRecord(hit, before));
    }
}

TEST(TriangleMeshSet, WeightsFromTheAcceleratorBlendNormalsAndCoordinates) {
    TriangleMeshSet set;
    ASSERT_TRUE(Add(set, WriteMesh("textured.ply", TexturedTriangle()), 3));
    set.accelerator = std::make_unique<FixedAccelerator>(0, 0.2f, 0.3f, 0.5f);
    Intersection hit;
    ASSERT_TRUE(set.Intersect(Ray({1, 1, 1}, {0, 0.6f, -0.8f}, RayInfinity), hit));
    EXPECT_EQ(hit.distance, 2.0f);
    ExpectNear(hit.point, {1, 2.2f, -0.6f});
    // 0.2 (0, 0, 2) + 0.3 (1, 0, 1) + 0.5 (0, 1, 1)
    ExpectNear(hit.normal, Unit(0.3, 0.5, 1.2));
    EXPECT_NEAR(hit.u, 0.2 * 0.1 + 0.3 * 0.9 + 0.5 * 0.1, 1e-6);
    EXPECT_NEAR(hit.v, 0.2 * 0.2 + 0.3 * 0.2 + 0.5 * 0.8, 1e-6);
    EXPECT_EQ(hit.materialId, 3);
}

TEST(TriangleMeshSet, ExtremeAndCancellingNormals) {
    TriangleMeshSet set;
    PlyMesh extreme = TexturedTriangle();
    extreme.normals = {{3e37f, 0, 4e37f}, {3e-30f, 0, 4e-30f}, {0, 0, 1}};
    PlyMesh opposed = TexturedTriangle();
    opposed.normals = {{0, 0, 1}, {0, 0, -1}, {0, 1, 0}};
    ASSERT_TRUE(Add(set, WriteMesh("extreme.ply", extreme), 1));
    ASSERT_TRUE(Add(set, WriteMesh("opposed.ply", opposed), 2));
    const Ray ray({0, 0, 1}, {0, 0, -1}, RayInfinity);
    const struct {
        int32_t triangle;
        float w0, w1, w2;
        Vector3 normal;
    } cases[] = {
        // Normals whose squared length over- or underflows a float still come out unit length.
        {0, 1, 0, 0, Unit(3, 0, 4)},
        {0, 0, 1, 0, Unit(3, 0, 4)},
        {0, 0.5f, 0.5f, 0, Unit(3, 0, 4)},
        // Normals that cancel give the zero vector rather than NaN.
        {1, 0.5f, 0.5f, 0, Vector3(0, 0, 0)},
        {1, 0.25f, 0.25f, 0.5f, Vector3(0, 1, 0)},
    };
    for (const auto& c : cases) {
        set.accelerator = std::make_unique<FixedAccelerator>(c.triangle, c.w0, c.w1, c.w2);
        Intersection hit;
        ASSERT_TRUE(set.Intersect(ray, hit));
        ExpectNear(hit.normal, c.normal);
        EXPECT_EQ(hit.materialId, c.triangle + 1);
    }
}

TEST(TriangleMeshSet, TriangleIndexOutsideTheSetIsNoHit) {
    TriangleMeshSet set;
    ASSERT_TRUE(Add(set, WriteMesh("textured.ply", TexturedTriangle()), 3));
    ASSERT_TRUE(Add(set, WriteMesh("plain.ply", PlainSquare()), 7));
    for (const int32_t triangle : {3, 1000000, -1, std::numeric_limits<int32_t>::min()}) {
        set.accelerator = std::make_unique<FixedAccelerator>(triangle, 1, 0, 0);
        Intersection hit = Sentinel();
        EXPECT_FALSE(set.Intersect(Ray({0, 0, 1}, {0, 0, -1}, RayInfinity), hit)) << triangle;
        EXPECT_TRUE(testing::SameRecord(hit, Sentinel())) << triangle;
    }
}

TEST(TriangleMeshSet, BuildAcceleratorByKind) {
    // Kind 0 builds nothing and has nothing to query.
    TriangleMeshSet none;
    ASSERT_TRUE(Add(none, WriteMesh("textured.ply", TexturedTriangle()), 3));
    EXPECT_TRUE(Build(none));
    Intersection hit;
    EXPECT_FALSE(none.Intersect(Ray({0, 0, 1}, {0, 0, -1}, RayInfinity), hit));

    // The QBVH kind with an accelerator that is no QBVH cannot be built.
    TriangleMeshSet other;
    ASSERT_TRUE(Add(other, WriteMesh("textured.ply", TexturedTriangle()), 3));
    other.acceleratorKind = QbvhAccelerator;
    other.accelerator = std::make_unique<FixedAccelerator>(0, 1, 0, 0);
    EXPECT_FALSE(Build(other));

    // A QBVH that was never built (every file failed) and one built over nothing report no hit.
    for (const bool build : {false, true}) {
        TriangleMeshSet empty;
        UseQbvh(empty);
        EXPECT_FALSE(Add(empty, "no-such-mesh.ply", 3));
        if (build) {
            EXPECT_TRUE(Build(empty));
        }
        Intersection emptyHit;
        EXPECT_FALSE(empty.Intersect(Ray({0, 0, 1}, {0, 0, -1}, RayInfinity), emptyHit));
    }

    // The QBVH build prints its lines and names every triangle of every file.
    TriangleMeshSet set;
    UseQbvh(set);
    ASSERT_TRUE(Add(set, WriteMesh("textured.ply", TexturedTriangle()), 3));
    ASSERT_TRUE(Add(set, WriteMesh("plain.ply", PlainSquare()), 7));
    bool built = false;
    const Console console = Captured([&] { built = set.BuildAccelerator(); });
    EXPECT_TRUE(built);
    EXPECT_EQ(console.out.rfind("QBVH - Primitives: 3, Initial Nodes ", 0), 0u) << console.out;
}

TEST(TriangleMeshSet, BuiltSetAcceptsNoMoreFiles) {
    const auto set = TwoFileSet();
    const std::vector<Vector3> positions = set->positions;
    EXPECT_FALSE(Add(*set, WriteMesh("textured.ply", TexturedTriangle()), 5));
    EXPECT_EQ(set->vertexCount, 7u);
    EXPECT_EQ(set->triangleCount, 3u);
    EXPECT_EQ(set->positions, positions);
    EXPECT_EQ(set->triangleMaterials.size(), 3u);
    Intersection hit;
    EXPECT_TRUE(set->Intersect(Ray({0.5f, 0.5f, 1}, {0, 0, -1}, RayInfinity), hit));
}

TEST(TriangleMeshSet, EveryThreadGetsTheMaterialOfItsOwnHit) {
    const auto set = TwoFileSet();
    std::atomic<int> wrong{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            std::mt19937 rng(static_cast<uint32_t>(t));
            std::uniform_real_distribution<float> along(0.05f, 0.95f);
            for (int i = 0; i < 20000; ++i) {
                // Alternate between the triangle (material 3) and the square (material 7).
                const bool square = (i + t) % 2 == 1;
                const float a = along(rng);
                const float b = along(rng) * (1.0f - a);
                const Vector3 origin = square ? Vector3(4 + 2 * a, 2 * b, 1) : Vector3(a, b, 1);
                Intersection hit;
                if (!set->Intersect(Ray(origin, {0, 0, -1}, RayInfinity), hit) ||
                    hit.materialId != (square ? 7 : 3)) {
                    ++wrong;
                }
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(wrong.load(), 0);
}

// The real meshes: nearest hits and shadow queries through the set agree with a test of every
// triangle. Brute force costs rays x triangles, so each mesh gets rays for about the same number
// of triangle tests: the small meshes reach the ray limit, the scans of 70,000 to 100,000
// triangles get about a thousand. The sanitizer build, many times slower, runs a tenth of that.
#if defined(__SANITIZE_ADDRESS__)
constexpr double TriangleTestsPerMesh = 1e7;
constexpr int MaxRaysPerMesh = 10000;
#else
constexpr double TriangleTestsPerMesh = 1e8;
constexpr int MaxRaysPerMesh = 100000;
#endif
// Rays per mesh also checked against the shared reference, which keeps the fast copy below honest.
constexpr int ReferenceRaysPerMesh = 100;

// Every triangle tested with the float expressions of the QBVH's lanes (the same as
// testing::ReferenceTriangleTest), laid out as structure-of-arrays and written without branches so
// the compiler tests several triangles per instruction.
class BruteForceTriangles {
public:
    explicit BruteForceTriangles(const testing::Mesh& mesh) {
        const size_t count = mesh.TriangleCount();
        for (auto* lane : {&v0x, &v0y, &v0z, &e1x, &e1y, &e1z, &e2x, &e2y, &e2z, &distances}) {
            lane->resize(count);
        }
        for (size_t i = 0; i < count; ++i) {
            const Vector3& v0 = mesh.positions[mesh.indices[3 * i]];
            const Vector3 e1 = mesh.positions[mesh.indices[3 * i + 1]] - v0;
            const Vector3 e2 = mesh.positions[mesh.indices[3 * i + 2]] - v0;
            v0x[i] = v0.x, v0y[i] = v0.y, v0z[i] = v0.z;
            e1x[i] = e1.x, e1y[i] = e1.y, e1z[i] = e1.z;
            e2x[i] = e2.x, e2y[i] = e2.y, e2z[i] = e2.z;
        }
    }

    // The nearest t strictly inside (ray.tMin, farLimit) and every triangle at it.
    testing::ReferenceHit Nearest(const Ray& ray, float farLimit) {
        const float dx = ray.direction.x, dy = ray.direction.y, dz = ray.direction.z;
        const float ox = ray.origin.x, oy = ray.origin.y, oz = ray.origin.z;
        const float nearLimit = ray.tMin;
        const float none = std::numeric_limits<float>::infinity();
        const size_t count = distances.size();
        for (size_t i = 0; i < count; ++i) {
            const float px = dy * e2z[i] - dz * e2y[i];
            const float py = dz * e2x[i] - dx * e2z[i];
            const float pz = dx * e2y[i] - dy * e2x[i];
            const float det = e1x[i] * px + e1y[i] * py + e1z[i] * pz;
            const float invDet = 1.0f / det;
            const float tx = ox - v0x[i];
            const float ty = oy - v0y[i];
            const float tz = oz - v0z[i];
            const float u = (tx * px + ty * py + tz * pz) * invDet;
            const float qx = ty * e1z[i] - tz * e1y[i];
            const float qy = tz * e1x[i] - tx * e1z[i];
            const float qz = tx * e1y[i] - ty * e1x[i];
            const float v = (dx * qx + dy * qy + dz * qz) * invDet;
            const float t = (e2x[i] * qx + e2y[i] * qy + e2z[i] * qz) * invDet;
            const float w = 1.0f - (u + v);
            const bool valid = (det != 0.0f) & (u >= 0.0f) & (v >= 0.0f) & (w >= 0.0f) &
                               (nearLimit < t) & (t < farLimit);
            distances[i] = valid ? t : none;
        }
        testing::ReferenceHit result;
        const float best = *std::min_element(distances.begin(), distances.end());
        if (best != none) {
            result.hit = true;
            result.distance = best;
            for (size_t i = 0; i < count; ++i) {
                if (distances[i] == best) {
                    result.nearest.push_back(static_cast<int32_t>(i));
                }
            }
        }
        return result;
    }

private:
    std::vector<float> v0x, v0y, v0z, e1x, e1y, e1z, e2x, e2y, e2z;
    std::vector<float> distances;
};

std::string Describe(const Ray& ray) {
    std::ostringstream text;
    text.precision(9);
    text << "ray (" << ray.origin.x << ", " << ray.origin.y << ", " << ray.origin.z << ") -> ("
         << ray.direction.x << ", " << ray.direction.y << ", " << ray.direction.z << ") ["
         << ray.tMin << ", " << ray.tMax << "]";
    return text.str();
}

bool SameAnswer(const testing::ReferenceHit& a, const testing::ReferenceHit& b) {
    return a.hit == b.hit && (!a.hit || (a.distance == b.distance && a.nearest == b.nearest));
}

class RealMeshCheck {
public:
    RealMeshCheck(const TriangleMeshSet& set, uint8_t materialId)
        : set(set), materialId(materialId), mesh(MeshOf(set)), bruteForce(mesh) {
        const BoundingBox box = set.Bounds();
        center = (box.min + box.max) * 0.5f;
        extent = box.max - center;
        radius = extent.Length();
    }

    // Empty when the set and the brute force agree on this ray.
    std::string Disagreement(const Ray& ray) {
        Intersection hit = Sentinel();
        hit.distance = RayInfinity;
        const Intersection before = hit;
        const bool found = set.Intersect(ray, hit);
        const testing::ReferenceHit expected = bruteForce.Nearest(ray, ray.tMax);
        if (rays++ < ReferenceRaysPerMesh &&
            !SameAnswer(expected, testing::BruteForce(mesh, ray, ray.tMax))) {
            return "the fast brute force differs from the reference";
        }
        hits += found ? 1 : 0;
        if (found != expected.hit) {
            return "hit " + std::to_string(found) + " but brute force " +
                   std::to_string(expected.hit);
        }
        if (!found) {
            return testing::SameRecord(hit, before) ? "" : "record changed without a hit";
        }
        if (hit.distance != expected.distance) {
            return "distance " + std::to_string(hit.distance) + " but brute force " +
                   std::to_string(expected.distance);
        }
        if (std::find(expected.nearest.begin(), expected.nearest.end(), hit.triangleIndex) ==
            expected.nearest.end()) {
            return "triangle " + std::to_string(hit.triangleIndex) + " is not among the nearest";
        }
        if (hit.materialId != materialId) {
            return "material " + std::to_string(hit.materialId);
        }
        if (!(hit.point == ray.origin + ray.direction * hit.distance)) {
            return "point is not on the ray at the distance";
        }
        const float length = hit.normal.Length();
        if (!(std::fabs(length - 1.0f) < 1e-5f || length == 0.0f)) {
            return "normal of length " + std::to_string(length);
        }
        return "";
    }

    void Check(const Ray& ray) {
        const std::string problem = Disagreement(ray);
        if (!problem.empty() && ++failures <= 5) {
            ADD_FAILURE() << problem << " for " << Describe(ray);
        }
    }

    Vector3 PointInBox(std::mt19937& rng) const {
        std::uniform_real_distribution<float> unit(-1.0f, 1.0f);
        const float x = unit(rng);
        const float y = unit(rng);
        return center + Vector3(x * extent.x, y * extent.y, unit(rng) * extent.z);
    }

    // A point on a random triangle, where a shading point would lie.
    Vector3 PointOnSurface(std::mt19937& rng) const {
        std::uniform_int_distribution<uint32_t> pick(0, mesh.TriangleCount() - 1);
        std::uniform_real_distribution<float> unit(0.0f, 1.0f);
        const uint32_t t = pick(rng);
        float a = unit(rng);
        float b = unit(rng);
        if (a + b > 1.0f) {
            a = 1.0f - a;
            b = 1.0f - b;
        }
        const Vector3& p0 = mesh.positions[mesh.indices[3 * t]];
        const Vector3& p1 = mesh.positions[mesh.indices[3 * t + 1]];
        const Vector3& p2 = mesh.positions[mesh.indices[3 * t + 2]];
        return p0 + (p1 - p0) * a + (p2 - p0) * b;
    }

    const TriangleMeshSet& set;
    uint8_t materialId;
    testing::Mesh mesh;
    BruteForceTriangles bruteForce;
    Vector3 center;
    Vector3 extent;
    float radius = 0.0f;
    int rays = 0;
    int hits = 0;
    int failures = 0;

private:
    static testing::Mesh MeshOf(const TriangleMeshSet& set) {
        testing::Mesh mesh;
        mesh.positions = set.positions;
        mesh.indices = set.triangles;
        return mesh;
    }
};

TEST(TriangleMeshSetRealData, AQuadCubeIsClosed) {
    const std::string file = testing::SharedDataPath("meshes/cube_blender_quads_vn_st.ply");
    if (!std::filesystem::exists(file)) {
        GTEST_SKIP() << "No shared mesh " << file;
    }
    TriangleMeshSet set;
    UseQbvh(set);
    ASSERT_TRUE(Add(set, file, 1));
    ASSERT_TRUE(Build(set));
    EXPECT_EQ(set.triangleCount, 12u);
    // Every ray from inside the cube (sides at +-0.5) leaves it through one of its sides.
    std::mt19937 rng(3);
    std::uniform_real_distribution<float> inside(-0.45f, 0.45f);
    int misses = 0;
    for (int i = 0; i < 4000; ++i) {
        const Vector3 origin = i == 0 ? Vector3() : Vector3(inside(rng), inside(rng), inside(rng));
        Intersection hit;
        if (!set.Intersect(Ray(origin, testing::RandomDirection(rng), RayInfinity), hit)) {
            ++misses;
            continue;
        }
        const float side =
            std::max({std::fabs(hit.point.x), std::fabs(hit.point.y), std::fabs(hit.point.z)});
        EXPECT_NEAR(side, 0.5f, 1e-5f) << i;
    }
    EXPECT_EQ(misses, 0);
}

TEST(TriangleMeshSetRealData, NearestHitsAndShadowRaysAgreeWithBruteForce) {
    namespace fs = std::filesystem;
    const std::string folder = testing::SharedDataPath("meshes");
    if (!fs::is_directory(folder)) {
        GTEST_SKIP() << "No shared meshes at " << folder;
    }
    std::vector<std::string> files;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
        if (entry.path().extension() == ".ply") {
            files.push_back(entry.path().string());
        }
    }
    std::sort(files.begin(), files.end());
    ASSERT_FALSE(files.empty()) << "No PLY files in " << folder;

    int totalRays = 0;
    std::mt19937 rng(17);
    for (size_t f = 0; f < files.size(); ++f) {
        SCOPED_TRACE(files[f]);
        const uint8_t materialId = static_cast<uint8_t>(10 + f);
        TriangleMeshSet set;
        UseQbvh(set);
        ASSERT_TRUE(Add(set, files[f], materialId));
        ASSERT_TRUE(Build(set));
        RealMeshCheck check(set, materialId);
        const int rayCount = static_cast<int>(std::min<double>(
            MaxRaysPerMesh, TriangleTestsPerMesh / static_cast<double>(set.triangleCount)));

        std::uniform_real_distribution<float> fraction(0.0f, 1.0f);
        for (int i = 0; i < rayCount; ++i) {
            switch (i % 4) {
                case 0: {
                    // From a sphere around the mesh towards a point of its box.
                    const Vector3 origin =
                        check.center + testing::RandomDirection(rng) * (2.0f * check.radius);
                    const Vector3 target = check.PointInBox(rng);
                    check.Check(Ray(origin, (target - origin).Normalized(), RayInfinity));
                    break;
                }
                case 1:
                    // From inside the box in any direction.
                    check.Check(
                        Ray(check.PointInBox(rng), testing::RandomDirection(rng), RayInfinity));
                    break;
                case 2: {
                    // Shadow rays: from a point of the surface towards a light somewhere around
                    // the mesh, ending at the light.
                    const Vector3 origin = check.PointOnSurface(rng);
                    const Vector3 light = check.center + testing::RandomDirection(rng) *
                                                             (1.5f * check.radius * fraction(rng));
                    const Vector3 toLight = light - origin;
                    const float distance = toLight.Length();
                    if (distance > 0.0f) {
                        check.Check(Ray(origin, toLight * (1.0f / distance), distance));
                    }
                    break;
                }
                default: {
                    // Shadow rays of random finite length from anywhere in the box.
                    const float length = 2.0f * check.radius * fraction(rng);
                    check.Check(Ray(check.PointInBox(rng), testing::RandomDirection(rng), length));
                    break;
                }
            }
        }
        EXPECT_EQ(check.failures, 0);
        EXPECT_GT(check.hits, check.rays / 10);
        std::printf("%s: %u triangles, %d rays, %d hits\n", fs::path(files[f]).filename().c_str(),
                    set.triangleCount, check.rays, check.hits);
        totalRays += check.rays;
    }
    std::printf("Rays checked against brute force: %d over %zu meshes\n", totalRays, files.size());
#if !defined(__SANITIZE_ADDRESS__)
    EXPECT_GE(totalRays, 100000);
#endif
}

}  // namespace
}  // namespace glintor
