#include <algorithm>
#include <bit>
#include <cassert>
#include <cmath>
#include <cstddef>
#include <limits>

#include "geometry/qbvh.h"
#include "math/simd4.h"

namespace glintor {
namespace {

// A ray picks its near and far plane on each axis once, as byte offsets into the node: plain
// integers stay in registers through the walk, where pointers to members were reloaded per node.
static_assert(offsetof(QbvhNode, minY) == 16 && offsetof(QbvhNode, minZ) == 32 &&
              offsetof(QbvhNode, maxX) == 48 && offsetof(QbvhNode, maxY) == 64 &&
              offsetof(QbvhNode, maxZ) == 80);
constexpr size_t MaxPlanesOffset = offsetof(QbvhNode, maxX);

inline const float* Planes(const QbvhNode& node, size_t offset) {
    return reinterpret_cast<const float*>(reinterpret_cast<const char*>(&node) + offset);
}

// Everything a query derives from its ray once; the reciprocals and plane choices never change,
// only the limits shrink as triangles are hit.
template <class Lanes>
struct RayLanes {
    Lanes origin[3];
    Lanes direction[3];
    Lanes nearLimit;
    // Boxes pass up to the nearest hit so far, inclusive.
    Lanes farLimit;
    // Triangles pass when t <= one of these: below the nearest hit (t < best), or up to it
    // (t <= best) in leaves that come before the nearest hit's leaf in slot order, whose hits win
    // equal distances.
    Lanes strictLimit;
    Lanes tieLimit;
    Lanes reciprocal[3];
    size_t nearPlane[3];
    size_t farPlane[3];
};

// Writes each slot's entry distance and answers the passing slots as a 4-bit mask.
template <class Lanes>
int BoxTest(const QbvhNode& node, const RayLanes<Lanes>& ray, float* entry) {
    Lanes tNear = ray.nearLimit;
    Lanes tFar = ray.farLimit;
    for (int a = 0; a < 3; ++a) {
        const Lanes nearA =
            (Lanes::Load(Planes(node, ray.nearPlane[a])) - ray.origin[a]) * ray.reciprocal[a];
        const Lanes farA =
            (Lanes::Load(Planes(node, ray.farPlane[a])) - ray.origin[a]) * ray.reciprocal[a];
        // The new term goes first: Max and Min return their second operand when a lane is NaN.
        // NaN comes only from 0 x infinity, a ray running exactly in a slab plane; dropping the
        // term counts the ray as inside that slab, so triangles on the box face are not lost.
        tNear = Max(nearA, tNear);
        tFar = Min(farA, tFar);
    }
    tNear.Store(entry);
    return MoveMask(tNear <= tFar);
}

// Moller-Trumbore on four lanes against t <= limit. Answers the nearest valid lane (the lowest
// lane on equal t) or -1, with its t, u, v and w in the given arrays.
template <class Lanes>
[[gnu::always_inline]] inline int QuadTest(const QuadTriangle& quad, const RayLanes<Lanes>& ray,
                                           const Lanes& limit, float* ts, float* us, float* vs,
                                           float* ws) {
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
        return -1;
    }
    const Lanes qx = ty * e1z - tz * e1y;
    const Lanes qy = tz * e1x - tx * e1z;
    const Lanes qz = tx * e1y - ty * e1x;
    const Lanes v = (d[0] * qx + d[1] * qy + d[2] * qz) * invDet;
    const Lanes t = (e2x * qx + e2y * qy + e2z * qz) * invDet;
    const Lanes w = one - (u + v);
    const int valid =
        candidates & MoveMask((v >= zero) & (w >= zero) & (ray.nearLimit < t) & (t <= limit));
    if (valid == 0) {
        return -1;
    }
    t.Store(ts);
    int best = __builtin_ctz(static_cast<unsigned>(valid));
    // Two lanes of one record are rarely both hit; one lane needs no comparing.
    for (int rest = valid & (valid - 1); rest != 0; rest &= rest - 1) {
        const int lane = __builtin_ctz(static_cast<unsigned>(rest));
        if (ts[lane] < ts[best]) {
            best = lane;
        }
    }
    u.Store(us);
    v.Store(vs);
    w.Store(ws);
    return best;
}

// The largest float below x (x not NaN): t <= FloatBelow(x) is t < x, as one comparison that a
// tie can be switched to t <= x by changing the bound alone.
inline float FloatBelow(float x) {
    if (x == 0.0f) {
        return -std::numeric_limits<float>::denorm_min();
    }
    if (x == -std::numeric_limits<float>::infinity()) {
        return x;
    }
    const uint32_t bits = std::bit_cast<uint32_t>(x);
    return std::bit_cast<float>(x > 0.0f ? bits - 1 : bits + 1);
}

// Asks for every cache line of a child before it is needed: the passing children are read in
// turn, and their misses overlap instead of following one another.
inline void Prefetch(const void* p, size_t bytes) {
    const char* c = static_cast<const char*>(p);
    for (size_t offset = 0; offset < bytes; offset += 64) {
        __builtin_prefetch(c + offset);
    }
    __builtin_prefetch(c + bytes - 1);
}

// Starts fetching every inner child while this node's boxes are still being tested: a walk
// through a large hierarchy spends most of its time waiting for nodes, and the ray goes on into
// one of them nearly always. Other slots fetch the root, which is in the cache anyway; the
// arithmetic spares a branch per slot that would be mispredicted as often as taken.
inline void PrefetchInnerChildren(const QbvhNode& node, const QbvhNode* nodes) {
    for (int32_t child : node.children) {
        const char* p = reinterpret_cast<const char*>(nodes + (child & ~(child >> 31)));
        __builtin_prefetch(p);
        __builtin_prefetch(p + 64);
    }
}

// 512 KB of nodes, the second-level cache of the cores we measure on.
constexpr uint32_t CachedNodes = (512 * 1024) / sizeof(QbvhNode);

struct StackEntry {
    int32_t ref;
    float entry;  // where the ray enters the node's box
};

// Puts a child on the stack; a leaf's triangles are fetched while the nearer children are walked
// (inner nodes were asked for with their parent).
inline void Push(const StackEntry& child, const QuadTriangle* quads, StackEntry* stack, int& top) {
    if (child.ref < EmptyChild) {
        Prefetch(quads + LeafStart(child.ref), sizeof(QuadTriangle));
    }
    stack[top++] = child;
}

// Moves the passing slots but the nearest onto the stack, farthest first, and answers the
// nearest, which is visited next. Needs at least two passing slots.
inline int32_t PushByDistance(const QbvhNode& node, int mask, const float* entry,
                              const QuadTriangle* quads, StackEntry* stack, int& top) {
    const int first = __builtin_ctz(static_cast<unsigned>(mask));
    mask &= mask - 1;
    const int second = __builtin_ctz(static_cast<unsigned>(mask));
    mask &= mask - 1;
    if (mask == 0) {
        // Two children, the common case: no sorting loop. The nearer is chosen by arithmetic,
        // not a branch, which would be mispredicted as often as not.
        const int swap = -static_cast<int>(entry[second] < entry[first]);
        const int nearSlot = first ^ ((first ^ second) & swap);
        const int farSlot = first ^ second ^ nearSlot;
        Push({node.children[farSlot], entry[farSlot]}, quads, stack, top);
        return node.children[nearSlot];
    }
    mask |= 1 << first | 1 << second;
    StackEntry slots[4];
    int n = 0;
    for (; mask != 0; mask &= mask - 1) {
        const int slot = __builtin_ctz(static_cast<unsigned>(mask));
        const StackEntry e{node.children[slot], entry[slot]};
        int i = n++;
        // Kept sorted by decreasing entry distance.
        for (; i > 0 && slots[i - 1].entry < e.entry; --i) {
            slots[i] = slots[i - 1];
        }
        slots[i] = e;
    }
    for (int i = 0; i < n - 1; ++i) {
        Push(slots[i], quads, stack, top);
    }
    return slots[n - 1].ref;
}

}  // namespace

// Children are visited nearest first, and a node whose box the ray enters beyond the nearest hit
// so far is skipped. The answer is still the one a walk in slot order (the highest passing slot
// first) would give: nearest t, and among equal t the hit that walk would meet first. That walk
// meets leaves in decreasing order of their first record (leaves are numbered depth first in slot
// order), records of a leaf in order, lanes of a record in order; so a hit at the same distance
// replaces the best only from a leaf with a higher first record.
//
// A shadow query (kAnyHit) only asks whether any triangle counts, so it stops at the first one;
// until a hit, both queries visit the same nodes and test the same triangles, so they agree.
template <class Lanes, bool kCount, bool kAnyHit, int kStackSize, bool kPrefetch>
bool QBVH::Traverse(const Ray& ray, Intersection& hit, TraversalCounters* counters) const {
    const float initialFarLimit = std::min(ray.tMax, hit.distance);
    float farLimit = initialFarLimit;
    // No lane can be valid for such a ray; leaving early also keeps NaN out of the slab test,
    // where it would be taken for a ray lying in a slab plane. x - x is 0 for a finite x and NaN
    // otherwise, so one test covers all six components.
    const Vector3 finite = (ray.origin - ray.origin) + (ray.direction - ray.direction);
    if (!(ray.tMin <= farLimit) || !(finite.x + finite.y + finite.z == 0.0f)) {
        return false;
    }

    RayLanes<Lanes> lanes;
    lanes.nearLimit = Lanes::Broadcast(ray.tMin);
    lanes.farLimit = Lanes::Broadcast(farLimit);
    lanes.strictLimit = Lanes::Broadcast(FloatBelow(farLimit));
    lanes.tieLimit = lanes.strictLimit;
    for (int a = 0; a < 3; ++a) {
        const float d = ray.direction[a];
        lanes.origin[a] = Lanes::Broadcast(ray.origin[a]);
        lanes.direction[a] = Lanes::Broadcast(d);
        // -0 counts as +0: its reciprocal would be -infinity while its sign says "not negative",
        // and the slab test would then reject every box the ray runs inside of.
        lanes.reciprocal[a] = Lanes::Broadcast(1.0f / (d + 0.0f));
        const size_t minPlane = 16 * a;
        const size_t maxPlane = MaxPlanesOffset + minPlane;
        const bool negative = d < 0.0f;
        lanes.nearPlane[a] = negative ? maxPlane : minPlane;
        lanes.farPlane[a] = negative ? minPlane : maxPlane;
    }

    // First record of the nearest hit's leaf; none yet, so no leaf wins a tie.
    uint32_t bestLeaf = std::numeric_limits<uint32_t>::max();
    bool found = false;
    alignas(16) float ts[4], us[4], vs[4], ws[4];
    // Answers whether the leaf held a hit that counts.
    auto testLeaf = [&](int32_t leaf) {
        bool leafHit = false;
        const uint32_t start = LeafStart(leaf);
        const uint32_t count = LeafRecordCount(leaf);
        if constexpr (kCount) {
            counters->trianglesTested += 4 * count;
        }
        for (uint32_t r = 0; r < count; ++r) {
            const QuadTriangle& quad = quads[start + r];
            const int lane = QuadTest(
                quad, lanes, start > bestLeaf ? lanes.tieLimit : lanes.strictLimit, ts, us, vs, ws);
            if (lane < 0) {
                continue;
            }
            farLimit = ts[lane];
            bestLeaf = start;
            lanes.farLimit = lanes.tieLimit = Lanes::Broadcast(farLimit);
            lanes.strictLimit = Lanes::Broadcast(FloatBelow(farLimit));
            hit.distance = farLimit;
            hit.bary0 = ws[lane];
            hit.bary1 = us[lane];
            hit.bary2 = vs[lane];
            hit.triangleIndex = quad.triangleIds[lane];
            found = leafHit = true;
            if constexpr (kAnyHit) {
                break;
            }
        }
        return leafHit;
    };

    alignas(16) float entry[4];
    StackEntry stack[kStackSize];
    int top = 0;
    int32_t ref = 0;
    for (;;) {
        if (ref >= 0) {
            if constexpr (kCount) {
                ++counters->nodesVisited;
            }
            const QbvhNode& node = nodes[ref];
            if constexpr (kPrefetch) {
                PrefetchInnerChildren(node, nodes);
            }
            const int mask = BoxTest(node, lanes, entry);
            if (mask != 0) {
                ref = (mask & (mask - 1)) == 0
                          ? node.children[__builtin_ctz(static_cast<unsigned>(mask))]
                          : PushByDistance(node, mask, entry, quads, stack, top);
                continue;
            }
        } else if (ref != EmptyChild) {
            if (testLeaf(ref) && kAnyHit) {
                return true;
            }
        }
        // Nodes entered beyond the nearest hit cannot hold a hit that counts.
        do {
            if (top == 0) {
                // The slot-order walk meets the padded last leaf before any other when the ray
                // passes its box with the query's own limits, so its copies of the padding
                // triangle win equal distances even outside its box. Without a hit nothing is
                // tied, and a hit from that leaf has won its ties already; asking the other hits
                // at the end spares the box test on every ray that misses.
                if (!kAnyHit && found && paddedLastLeaf.ref != EmptyChild &&
                    bestLeaf != LeafStart(paddedLastLeaf.ref)) {
                    lanes.farLimit = Lanes::Broadcast(initialFarLimit);
                    if (BoxTest(nodes[paddedLastLeaf.parent], lanes, entry) >> paddedLastLeaf.slot &
                        1) {
                        testLeaf(paddedLastLeaf.ref);
                    }
                }
                // With the caller's reset record this is the same as triangleIndex != -1;
                // unlike that test it also holds for a record that already carried a hit.
                return found;
            }
            --top;
        } while (stack[top].entry > farLimit);
        ref = stack[top].ref;
    }
}

template <class Lanes, bool kCount, bool kAnyHit>
bool QBVH::Dispatch(const Ray& ray, Intersection& hit, TraversalCounters* counters) const {
    if (nodes == nullptr) {
        return false;
    }
    if (StackDepthNeeded() <= static_cast<uint32_t>(StackSize)) {
        // Nodes that fit in a core's second-level cache stay there from ray to ray, and asking
        // for them ahead only costs time: about 2% of the traversal on the meshes example.
        return usedNodes <= CachedNodes
                   ? Traverse<Lanes, kCount, kAnyHit, StackSize, false>(ray, hit, counters)
                   : Traverse<Lanes, kCount, kAnyHit, StackSize, true>(ray, hit, counters);
    }
    assert(StackDepthNeeded() <= static_cast<uint32_t>(DeepStackSize));
    return Traverse<Lanes, kCount, kAnyHit, DeepStackSize, true>(ray, hit, counters);
}

bool QBVH::Intersect(const Ray& ray, Intersection& hit) const {
    return Dispatch<Float4, false, false>(ray, hit, nullptr);
}

bool QBVH::Occluded(const Ray& ray) const {
    Intersection blocker;
    blocker.distance = ray.tMax;
    return Dispatch<Float4, false, true>(ray, blocker, nullptr);
}

bool QBVH::Intersect(const Ray& ray, Intersection& hit, LanePath path) const {
    return path == LanePath::Simd ? Dispatch<Float4, false, false>(ray, hit, nullptr)
                                  : Dispatch<ScalarFloat4, false, false>(ray, hit, nullptr);
}

bool QBVH::IntersectCounted(const Ray& ray, Intersection& hit, TraversalCounters& counters,
                            LanePath path) const {
    return path == LanePath::Simd ? Dispatch<Float4, true, false>(ray, hit, &counters)
                                  : Dispatch<ScalarFloat4, true, false>(ray, hit, &counters);
}

}  // namespace glintor
