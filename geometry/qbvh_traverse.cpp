#include <algorithm>
#include <cassert>
#include <cmath>

#include "geometry/qbvh.h"
#include "math/simd4.h"

namespace glintor {
namespace {

using PlaneLanes = float (QbvhNode::*)[4];
constexpr PlaneLanes MinPlanes[3] = {&QbvhNode::minX, &QbvhNode::minY, &QbvhNode::minZ};
constexpr PlaneLanes MaxPlanes[3] = {&QbvhNode::maxX, &QbvhNode::maxY, &QbvhNode::maxZ};

// Everything a query derives from its ray once; the reciprocals and plane choices never change,
// only farLimit shrinks as triangles are hit.
template <class Lanes>
struct RayLanes {
    Lanes origin[3];
    Lanes direction[3];
    Lanes nearLimit;
    Lanes farLimit;
    Lanes reciprocal[3];
    PlaneLanes nearPlane[3];
    PlaneLanes farPlane[3];
};

template <class Lanes>
int BoxTest(const QbvhNode& node, const RayLanes<Lanes>& ray) {
    Lanes tNear = ray.nearLimit;
    Lanes tFar = ray.farLimit;
    for (int a = 0; a < 3; ++a) {
        const Lanes nearA =
            (Lanes::Load(node.*ray.nearPlane[a]) - ray.origin[a]) * ray.reciprocal[a];
        const Lanes farA = (Lanes::Load(node.*ray.farPlane[a]) - ray.origin[a]) * ray.reciprocal[a];
        // The new term goes first: Max and Min return their second operand when a lane is NaN.
        // NaN comes only from 0 x infinity, a ray running exactly in a slab plane; dropping the
        // term counts the ray as inside that slab, so triangles on the box face are not lost.
        tNear = Max(nearA, tNear);
        tFar = Min(farA, tFar);
    }
    return MoveMask(tNear <= tFar);
}

// Moller-Trumbore on four lanes. Takes the nearest valid lane (lowest lane on equal t), shrinks
// the far limit to it and writes the hit; returns whether any lane was hit.
template <class Lanes>
[[gnu::always_inline]] inline bool QuadTest(const QuadTriangle& quad, RayLanes<Lanes>& ray,
                                            float& farLimit, Intersection& hit) {
    const Lanes* d = ray.direction;
    const Lanes e1x = Lanes::Load(quad.edge1X);
    const Lanes e1y = Lanes::Load(quad.edge1Y);
    const Lanes e1z = Lanes::Load(quad.edge1Z);
    const Lanes e2x = Lanes::Load(quad.edge2X);
    const Lanes e2y = Lanes::Load(quad.edge2Y);
    const Lanes e2z = Lanes::Load(quad.edge2Z);
    const Lanes px = d[1] * e2z - d[2] * e2y;
    const Lanes py = d[2] * e2x - d[0] * e2z;
    const Lanes pz = d[0] * e2y - d[1] * e2x;
    const Lanes det = e1x * px + e1y * py + e1z * pz;
    const Lanes one = Lanes::Broadcast(1.0f);
    const Lanes invDet = one / det;
    const Lanes tx = ray.origin[0] - Lanes::Load(quad.vert0X);
    const Lanes ty = ray.origin[1] - Lanes::Load(quad.vert0Y);
    const Lanes tz = ray.origin[2] - Lanes::Load(quad.vert0Z);
    const Lanes u = (tx * px + ty * py + tz * pz) * invDet;
    const Lanes zero = Lanes::Broadcast(0.0f);
    // Most lanes fail already here; the full test below would reject them all the same.
    const int candidates = MoveMask((det != zero) & (u >= zero));
    if (candidates == 0) {
        return false;
    }
    const Lanes qx = ty * e1z - tz * e1y;
    const Lanes qy = tz * e1x - tx * e1z;
    const Lanes qz = tx * e1y - ty * e1x;
    const Lanes v = (d[0] * qx + d[1] * qy + d[2] * qz) * invDet;
    const Lanes t = (e2x * qx + e2y * qy + e2z * qz) * invDet;
    const Lanes w = one - (u + v);
    const int valid =
        candidates & MoveMask((v >= zero) & (w >= zero) & (ray.nearLimit < t) & (t < ray.farLimit));
    if (valid == 0) {
        return false;
    }
    alignas(16) float ts[4];
    t.Store(ts);
    int best = -1;
    float bestT = farLimit;
    for (int lane = 0; lane < 4; ++lane) {
        if ((valid >> lane & 1) && ts[lane] < bestT) {
            best = lane;
            bestT = ts[lane];
        }
    }
    alignas(16) float us[4], vs[4], ws[4];
    u.Store(us);
    v.Store(vs);
    w.Store(ws);
    farLimit = bestT;
    ray.farLimit = Lanes::Broadcast(bestT);
    hit.distance = bestT;
    hit.bary0 = ws[best];
    hit.bary1 = us[best];
    hit.bary2 = vs[best];
    hit.triangleIndex = quad.triangleIds[best];
    return true;
}

}  // namespace

template <class Lanes, bool kCount, int kStackSize>
bool QBVH::Traverse(const Ray& ray, Intersection& hit, TraversalCounters* counters) const {
    float farLimit = std::min(ray.tMax, hit.distance);
    // No lane can be valid for such a ray; leaving early also keeps NaN out of the slab test,
    // where it would be taken for a ray lying in a slab plane.
    if (!(ray.tMin <= farLimit) || !std::isfinite(ray.origin.x) || !std::isfinite(ray.origin.y) ||
        !std::isfinite(ray.origin.z) || !std::isfinite(ray.direction.x) ||
        !std::isfinite(ray.direction.y) || !std::isfinite(ray.direction.z)) {
        return false;
    }

    RayLanes<Lanes> lanes;
    lanes.nearLimit = Lanes::Broadcast(ray.tMin);
    lanes.farLimit = Lanes::Broadcast(farLimit);
    for (int a = 0; a < 3; ++a) {
        const float d = ray.direction[a];
        lanes.origin[a] = Lanes::Broadcast(ray.origin[a]);
        lanes.direction[a] = Lanes::Broadcast(d);
        // -0 counts as +0: its reciprocal would be -infinity while its sign says "not negative",
        // and the slab test would then reject every box the ray runs inside of.
        lanes.reciprocal[a] = Lanes::Broadcast(1.0f / (d + 0.0f));
        const bool negative = d < 0.0f;
        lanes.nearPlane[a] = negative ? MaxPlanes[a] : MinPlanes[a];
        lanes.farPlane[a] = negative ? MinPlanes[a] : MaxPlanes[a];
    }

    int32_t stack[kStackSize];
    int top = 0;
    stack[top++] = 0;
    bool found = false;
    while (top > 0) {
        const int32_t ref = stack[--top];
        if (ref >= 0) {
            if constexpr (kCount) {
                ++counters->nodesVisited;
            }
            const QbvhNode& node = nodes[ref];
            const int mask = BoxTest(node, lanes);
            // Every slot is written, the top advances only for passing ones: slot order, so the
            // highest passing slot is visited first.
            stack[top] = node.children[0];
            top += mask & 1;
            stack[top] = node.children[1];
            top += mask >> 1 & 1;
            stack[top] = node.children[2];
            top += mask >> 2 & 1;
            stack[top] = node.children[3];
            top += mask >> 3 & 1;
        } else if (ref != EmptyChild) {
            const QuadTriangle* quad = quads + LeafStart(ref);
            const QuadTriangle* end = quad + LeafRecordCount(ref);
            if constexpr (kCount) {
                counters->trianglesTested += 4 * (end - quad);
            }
            for (; quad != end; ++quad) {
                found |= QuadTest(*quad, lanes, farLimit, hit);
            }
        }
    }
    // With the caller's reset record this is the same as triangleIndex != -1; unlike that test
    // it also holds for a record that already carried a triangle hit.
    return found;
}

template <class Lanes, bool kCount>
bool QBVH::Dispatch(const Ray& ray, Intersection& hit, TraversalCounters* counters) const {
    if (nodes == nullptr) {
        return false;
    }
    if (StackDepthNeeded() <= static_cast<uint32_t>(StackSize)) {
        return Traverse<Lanes, kCount, StackSize>(ray, hit, counters);
    }
    assert(StackDepthNeeded() <= static_cast<uint32_t>(DeepStackSize));
    return Traverse<Lanes, kCount, DeepStackSize>(ray, hit, counters);
}

bool QBVH::Intersect(const Ray& ray, Intersection& hit) const {
    return Dispatch<Float4, false>(ray, hit, nullptr);
}

bool QBVH::Intersect(const Ray& ray, Intersection& hit, LanePath path) const {
    return path == LanePath::Simd ? Dispatch<Float4, false>(ray, hit, nullptr)
                                  : Dispatch<ScalarFloat4, false>(ray, hit, nullptr);
}

bool QBVH::IntersectCounted(const Ray& ray, Intersection& hit, TraversalCounters& counters,
                            LanePath path) const {
    return path == LanePath::Simd ? Dispatch<Float4, true>(ray, hit, &counters)
                                  : Dispatch<ScalarFloat4, true>(ray, hit, &counters);
}

}  // namespace glintor
