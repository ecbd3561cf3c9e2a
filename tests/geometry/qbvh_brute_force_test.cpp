// The QBVH against a plain loop over every triangle, on many random and deliberately awkward
// rays. Both use the same triangle arithmetic, so distances must agree exactly; the reported
// triangle must be one of those at that distance.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <sstream>
#include <string>

#include "geometry/qbvh.h"
#include "tests/geometry/qbvh_test_helpers.h"

namespace glintor {
namespace {

using testing::Mesh;

using testing::Built;

std::string Describe(const Ray& ray) {
    std::ostringstream text;
    text.precision(9);
    text << "ray (" << ray.origin.x << ", " << ray.origin.y << ", " << ray.origin.z << ") -> ("
         << ray.direction.x << ", " << ray.direction.y << ", " << ray.direction.z << ") ["
         << ray.tMin << ", " << ray.tMax << "]";
    return text.str();
}

// Empty when the QBVH (on all lane paths) and the brute force agree.
std::string Disagreement(const Built& built, const Ray& ray, const Intersection& start,
                         bool* found = nullptr) {
    Intersection hit = start;
    const bool result = testing::QueryAllPaths(built.bvh, ray, hit);
    if (found != nullptr) {
        *found = result;
    }
    const testing::ReferenceHit expected =
        testing::BruteForce(built.mesh, ray, std::min(ray.tMax, start.distance));
    std::ostringstream problem;
    if (result != expected.hit) {
        problem << "hit " << result << " but brute force " << expected.hit;
    } else if (!result) {
        if (!testing::SameRecord(hit, start)) {
            problem << "record changed without a hit";
        }
    } else if (hit.distance != expected.distance) {
        problem << "distance " << hit.distance << " but brute force " << expected.distance;
    } else if (std::find(expected.nearest.begin(), expected.nearest.end(), hit.triangleIndex) ==
               expected.nearest.end()) {
        problem << "triangle " << hit.triangleIndex << " is not among the nearest";
    } else {
        float t, w, u, v;
        testing::ReferenceTriangleTest(built.mesh, hit.triangleIndex, ray, ray.tMin, RayInfinity, t,
                                       w, u, v);
        if (w != hit.bary0 || u != hit.bary1 || v != hit.bary2) {
            problem << "weights differ";
        }
    }
    if (problem.tellp() > 0) {
        problem << " for " << Describe(ray);
    }
    return problem.str();
}

// Counts rays and disagreements; reports only the first few.
class Checker {
public:
    explicit Checker(const Built& built) : built(built) {}
    bool Check(const Ray& ray, const Intersection& start = Intersection()) {
        bool found = false;
        const std::string problem = Disagreement(built, ray, start, &found);
        ++rays;
        hits += found ? 1 : 0;
        if (!problem.empty() && ++failures <= 5) {
            ADD_FAILURE() << problem;
        }
        return found;
    }
    const Built& built;
    int rays = 0;
    int hits = 0;
    int failures = 0;
};

const Vector3 SphereCenter{0.5f, -0.25f, 0.125f};
constexpr float SphereRadius = 2.0f;

TEST(QbvhBruteForce, RandomRaysThroughATriangleSoup) {
    std::mt19937 rng(1);
    const Built built(testing::MakeSoup(2000, 10.0f, 3.0f, rng));
    Checker checker(built);
    for (int i = 0; i < 25000; ++i) {
        checker.Check(
            Ray(testing::RandomPoint(rng, 12.0f), testing::RandomDirection(rng), RayInfinity));
    }
    // Rays from inside the soup, with short limits now and then.
    std::uniform_real_distribution<float> length(0.0f, 8.0f);
    for (int i = 0; i < 15000; ++i) {
        checker.Check(Ray(testing::RandomPoint(rng, 8.0f), testing::RandomDirection(rng),
                          i % 2 ? RayInfinity : length(rng)));
    }
    EXPECT_EQ(checker.failures, 0);
    EXPECT_GT(checker.hits, checker.rays / 3);
}

TEST(QbvhBruteForce, ClosedSphereHasNoHoles) {
    std::mt19937 rng(2);
    const Built built(testing::MakeIcosphere(4, SphereRadius, SphereCenter));
    ASSERT_EQ(built.mesh.TriangleCount(), 5120u);
    Checker checker(built);
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    // From inside every ray must leave through the surface.
    for (int i = 0; i < 20000; ++i) {
        const Vector3 origin =
            SphereCenter + testing::RandomDirection(rng) * (1.8f * std::cbrt(unit(rng)));
        const Ray ray(origin, testing::RandomDirection(rng), RayInfinity);
        EXPECT_TRUE(checker.Check(ray)) << Describe(ray);
    }
    // From outside, aimed at a point inside.
    for (int i = 0; i < 10000; ++i) {
        const Vector3 origin = SphereCenter + testing::RandomDirection(rng) * 6.0f;
        const Vector3 target = SphereCenter + testing::RandomDirection(rng) * 1.5f * unit(rng);
        const Ray ray(origin, (target - origin).Normalized(), RayInfinity);
        EXPECT_TRUE(checker.Check(ray)) << Describe(ray);
    }
    // From the centre straight at every vertex, where five or six triangles meet.
    for (const Vector3& p : built.mesh.positions) {
        checker.Check(Ray(SphereCenter, (p - SphereCenter).Normalized(), RayInfinity));
    }
    EXPECT_EQ(checker.failures, 0);
}

TEST(QbvhBruteForce, GridRaysThroughVerticesAndEdgesAlwaysHit) {
    // Integer coordinates make every quantity of the triangle test exact, so rays through shared
    // vertices and edges get weights of exactly 0. Far from the origin the box padding is lost
    // to rounding and the rays run exactly in the boxes' slab planes.
    for (float offset : {-16.0f, 65536.0f}) {
        const Built built(testing::MakeGrid(32, offset, offset, 0));
        Checker checker(built);
        for (int y = 0; y <= 64; ++y) {
            for (int x = 0; x <= 64; ++x) {
                const float px = offset + 0.5f * static_cast<float>(x);
                const float py = offset + 0.5f * static_cast<float>(y);
                for (const Vector3& d : {Vector3(0, 0, -1), Vector3(-0.0f, -0.0f, -1)}) {
                    const Ray ray({px, py, 2}, d, RayInfinity);
                    EXPECT_TRUE(checker.Check(ray)) << Describe(ray);
                }
            }
        }
        EXPECT_EQ(checker.failures, 0);
        EXPECT_EQ(checker.rays, 65 * 65 * 2);
    }
}

TEST(QbvhBruteForce, AxisParallelAndDegenerateRays) {
    std::mt19937 rng(3);
    const Built built(testing::MakeSoup(2000, 4.0f, 1.5f, rng));
    Checker checker(built);
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const Vector3 axes[] = {{1, 0, 0},  {-1, 0, 0},    {0, 1, 0},      {0, -1, 0},        {0, 0, 1},
                            {0, 0, -1}, {-0.0f, 0, 1}, {0, -0.0f, -1}, {-0.0f, -1, -0.0f}};
    for (int i = 0; i < 18000; ++i) {
        checker.Check(Ray(testing::RandomPoint(rng, 5.0f), axes[i % 9], RayInfinity));
    }
    std::uniform_int_distribution<int> pick(0, 5);
    const float tiny[] = {1e-30f, -1e-30f, 1e-40f, -1e-42f, 0.0f, -0.0f};
    for (int i = 0; i < 6000; ++i) {
        Vector3 d = testing::RandomDirection(rng);
        d[i % 3] = tiny[pick(rng)];
        checker.Check(Ray(testing::RandomPoint(rng, 5.0f), d.Normalized(), RayInfinity));
    }
    for (int i = 0; i < 1000; ++i) {
        const Vector3 o = testing::RandomPoint(rng, 5.0f);
        checker.Check(Ray(o, {0, 0, 0}, RayInfinity));
        checker.Check(Ray(o, {nan, 0, 1}, RayInfinity));
        checker.Check(Ray({o.x, nan, o.z}, testing::RandomDirection(rng), RayInfinity));
    }
    EXPECT_EQ(checker.failures, 0);
}

TEST(QbvhBruteForce, RaysStartingOnSlabPlanes) {
    std::mt19937 rng(4);
    const Built built(testing::MakeSoup(2000, 6.0f, 2.0f, rng));
    Checker checker(built);
    const QBVH& bvh = built.bvh;
    std::uniform_int_distribution<uint32_t> nodePick(0, bvh.UsedNodes() - 1);
    std::uniform_int_distribution<int> slotPick(0, 3);
    for (int i = 0; i < 15000; ++i) {
        const QbvhNode& node = bvh.Nodes()[nodePick(rng)];
        const int slot = slotPick(rng);
        if (node.children[slot] == EmptyChild) {
            continue;
        }
        const float planes[6] = {node.minX[slot], node.minY[slot], node.minZ[slot],
                                 node.maxX[slot], node.maxY[slot], node.maxZ[slot]};
        const int plane = i % 6;
        const int axis = plane % 3;
        Vector3 origin = testing::RandomPoint(rng, 7.0f);
        origin[axis] = planes[plane];
        Vector3 d = testing::RandomDirection(rng);
        if (i % 4 != 0) {
            d[axis] = i % 8 == 1 ? -0.0f : 0.0f;
            d.Normalize();
        }
        checker.Check(Ray(origin, d, RayInfinity));
    }
    EXPECT_GT(checker.rays, 10000);
    EXPECT_EQ(checker.failures, 0);
}

TEST(QbvhBruteForce, ShadowQueriesWithFiniteLimits) {
    std::mt19937 rng(5);
    for (int meshKind = 0; meshKind < 2; ++meshKind) {
        const Built built(meshKind == 0 ? testing::MakeSoup(2000, 6.0f, 2.0f, rng)
                                        : testing::MakeIcosphere(4, SphereRadius, SphereCenter));
        Checker checker(built);
        int blocked = 0;
        for (int i = 0; i < 10000; ++i) {
            // As the lights do: towards a point, stopping 0.001 short of it, into a fresh record
            // whose distance is the ray's limit.
            const Vector3 from = testing::RandomPoint(rng, 7.0f);
            const Vector3 to = testing::RandomPoint(rng, 7.0f);
            const Vector3 d = to - from;
            const float length = d.Length();
            const Ray ray(from, d * (1.0f / length), length - 0.001f);
            Intersection record;
            record.distance = ray.tMax;
            blocked += checker.Check(ray, record) ? 1 : 0;
        }
        EXPECT_EQ(checker.failures, 0);
        EXPECT_GT(blocked, 1000);
        EXPECT_LT(blocked, 9000);
    }
}

}  // namespace
}  // namespace glintor
