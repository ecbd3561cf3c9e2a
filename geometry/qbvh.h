// Four-wide bounding volume hierarchy over the mesh set's triangles.
//
// Inner nodes hold four child boxes as structure-of-arrays lanes so one ray is tested against all
// four with one 4-wide slab test; leaves hold triangles packed four at a time into QuadTriangle
// records for a 4-wide Moller-Trumbore test. The build is a recursive two-way split with an 8-bin
// surface-area heuristic, every two levels of which fill one four-wide node.
//
// Child references (QbvhNode::children):
//   -1            empty slot (its box lanes are inverted and never pass the slab test);
//   >= 0          index of an inner node;
//   other < 0     leaf: bit 31 set, bits 27..30 = record count - 1, bits 0..26 = first record.
//
// After Build the structure is immutable; Intersect may be called from any number of threads at
// once. Every per-query value (ray lanes, traversal stack) lives on the caller's stack.
#pragma once

#include <cstddef>
#include <cstdint>

#include "geometry/accelerator_base.h"
#include "math/vector.h"

namespace glintor {

// 112 bytes of boxes and children, padded to 128 so that in the 64-byte aligned node arrays
// every node fills exactly two cache lines instead of straddling three every other time; every
// lane group is an aligned 16-byte load.
struct alignas(64) QbvhNode {
    float minX[4], minY[4], minZ[4];
    float maxX[4], maxY[4], maxZ[4];
    int32_t children[4];
};
static_assert(sizeof(QbvhNode) == 128);
// The bytes a node's data takes, which the build reports as the hierarchy's memory use.
inline constexpr size_t QbvhNodeDataBytes = 112;
static_assert(offsetof(QbvhNode, children) + sizeof(QbvhNode::children) == QbvhNodeDataBytes);

// Four triangles as vertex 0 and the two edges leaving it, one lane per triangle.
struct alignas(16) QuadTriangle {
    float vert0X[4], vert0Y[4], vert0Z[4];
    float edge1X[4], edge1Y[4], edge1Z[4];  // vertex 1 - vertex 0
    float edge2X[4], edge2Y[4], edge2Z[4];  // vertex 2 - vertex 0
    int32_t triangleIds[4];                 // index in the mesh set's triangle list
};
static_assert(sizeof(QuadTriangle) == 160);

inline constexpr int32_t EmptyChild = -1;
inline constexpr uint32_t LeafStartMask = (1u << 27) - 1;

inline int32_t MakeLeafReference(uint32_t recordCount, uint32_t start) {
    return static_cast<int32_t>(0x80000000u | ((recordCount - 1) << 27) | (start & LeafStartMask));
}
inline bool IsLeafReference(int32_t ref) {
    return ref < EmptyChild;
}
inline uint32_t LeafRecordCount(int32_t ref) {
    return ((static_cast<uint32_t>(ref) >> 27) & 15u) + 1;
}
inline uint32_t LeafStart(int32_t ref) {
    return static_cast<uint32_t>(ref) & LeafStartMask;
}

// Work done by one or more queries, for benchmarks (see QBVH::IntersectCounted).
struct TraversalCounters {
    uint64_t nodesVisited = 0;     // inner nodes whose four boxes were tested
    uint64_t trianglesTested = 0;  // triangle lanes tested, four per QuadTriangle record
};

// The lane arithmetic a query runs on (see math/simd4.h); both give identical answers.
enum class LanePath { Simd, Scalar };

class QBVH final : public AcceleratorBase {
public:
    // A triangle count the leaf coding can address (27 bits of start index).
    static constexpr uint32_t MaxTriangles = LeafStartMask;
    // Binary split depth up to which the surface-area heuristic chooses the splits. Deeper ranges
    // (only pathological inputs get there) are halved by count, which reaches single leaves
    // within 25 more levels for any count the hierarchy can hold; so no tree is deeper than
    // MaxSplitDepth and no inner node lies below level MaxSplitDepth / 2.
    static constexpr int MaxSahDepth = 64;
    static constexpr int MaxSplitDepth = MaxSahDepth + 25;
    // Traversal stack entries. A query pops a node at level L with at most 3 L pending siblings
    // and pushes 4 children, so a tree needs 3 * MaxLevel() + 4 entries: ordinary trees fit the
    // 64-entry stack; deeper ones get the deep stack, which every possible tree fits.
    static constexpr int StackSize = 64;
    static constexpr int DeepStackSize = 3 * (MaxSplitDepth / 2) + 4;

    QBVH() = default;
    ~QBVH() override;
    QBVH(const QBVH&) = delete;
    QBVH& operator=(const QBVH&) = delete;

    // Builds over triangleCount triangles, each three consecutive int32 indices into positions
    // (vertexCount entries). Both arrays are borrowed: they must stay alive and unchanged while
    // the QBVH exists. Prints the build messages on standard output.
    // Triangles that cannot be hit meaningfully (an index outside [0, vertexCount) or a
    // coordinate whose padded box or centroid is not finite) are left out of the hierarchy and are
    // never reported. Returns false, leaving an empty hierarchy that reports nothing, when there
    // are more than MaxTriangles triangles or memory runs out.
    bool Build(const Vector3* positions, const int32_t* triangles, uint32_t triangleCount,
               uint32_t vertexCount);

    // Nearest triangle t with ray.tMin < t < min(ray.tMax, hit.distance), both bounds strict.
    // On a hit writes distance, bary0 (weight of vertex 0), bary1, bary2 and triangleIndex and
    // returns true; otherwise returns false with hit unchanged. A ray with a NaN or infinite origin
    // or direction component, or NaN limits, has no hit. Shadow rays use the same query with a
    // finite tMax.
    bool Intersect(const Ray& ray, Intersection& hit) const override;
    bool Occluded(const Ray& ray) const override;
    // The same query on the chosen lane arithmetic; answers are identical on both.
    bool Intersect(const Ray& ray, Intersection& hit, LanePath path) const;
    // The same query, adding its work to counters.
    bool IntersectCounted(const Ray& ray, Intersection& hit, TraversalCounters& counters,
                          LanePath path = LanePath::Simd) const;

    uint32_t QuadCount() const { return quadCount; }
    const QuadTriangle* Quads() const { return quads; }
    const QbvhNode* Nodes() const { return nodes; }
    uint32_t UsedNodes() const { return usedNodes; }
    uint32_t NodeCapacity() const { return nodeCapacity; }
    const BoundingBox& SceneBox() const { return sceneBox; }
    uint32_t TriangleCount() const { return triangleCount; }
    // Deepest inner node (the root is level 0) and the traversal stack it calls for.
    uint32_t MaxLevel() const { return maxLevel; }
    uint32_t StackDepthNeeded() const { return 3 * maxLevel + 4; }

private:
    struct BuildState;
    // The leaf a walk in slot order meets first (the one with the last records), when its spare
    // lanes hold copies of the padding triangle: those copies can lie outside the leaf's box, so
    // whether that walk finds them there depends on the box alone, tested in the parent's slot.
    struct PaddedLeaf {
        uint32_t parent = 0;
        int slot = 0;
        int32_t ref = EmptyChild;
    };
    template <class Lanes, bool kCount, bool kAnyHit, int kStackSize, bool kPrefetch>
    bool Traverse(const Ray& ray, Intersection& hit, TraversalCounters* counters) const;
    template <class Lanes, bool kCount, bool kAnyHit>
    bool Dispatch(const Ray& ray, Intersection& hit, TraversalCounters* counters) const;
    void Release();

    uint32_t quadCount = 0;
    QuadTriangle* quads = nullptr;
    QbvhNode* nodes = nullptr;
    uint32_t usedNodes = 0;
    uint32_t nodeCapacity = 0;
    BoundingBox sceneBox;
    uint32_t leafSize = 4;
    uint32_t triangleCount = 0;
    const Vector3* positions = nullptr;
    const int32_t* triangles = nullptr;
    uint32_t maxLevel = 0;
    PaddedLeaf paddedLastLeaf;
};

}  // namespace glintor
