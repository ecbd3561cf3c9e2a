#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>

#include "geometry/qbvh.h"
#include "math/simd4.h"
#include "platform/platform.h"

namespace glintor {
namespace {

constexpr float BoxPadding = 0.001f;
constexpr int BinCount = 8;
// Coincident centroids up to this many triangles still fit one leaf of 16 records.
constexpr uint32_t MaxLeafTriangles = 64;

// A triangle's padded box as the split sees it, as lanes (x, y, z, unused) so that merging it
// takes one Min and one Max. The records themselves are partitioned together with their ids, so
// every pass over a range reads memory in order; the resulting id order is the same.
struct alignas(16) PrimRecord {
    float lo[4];
    float hi[4];
};

// The same expression as at preparation, so it yields the identical value every time.
float Centroid(const PrimRecord& r, int axis) {
    return 0.5f * (r.lo[axis] + r.hi[axis]);
}
Vector3 Centroid(const BoundingBox& box) {
    return (box.min + box.max) * 0.5f;
}

// A box kept in lanes. Merge picks exactly what BoundingBox::Merge picks, ties included.
struct LaneBox {
    Float4 lo = Float4::Broadcast(RayInfinity);
    Float4 hi = Float4::Broadcast(-RayInfinity);

    void Merge(const Float4& otherLo, const Float4& otherHi) {
        lo = Min(otherLo, lo);
        hi = Max(otherHi, hi);
    }
    void Merge(const LaneBox& other) { Merge(other.lo, other.hi); }
    BoundingBox ToBox() const {
        alignas(16) float l[4], h[4];
        lo.Store(l);
        hi.Store(h);
        return {{l[0], l[1], l[2]}, {h[0], h[1], h[2]}};
    }
};

bool IsFinite(const Vector3& v) {
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

float Area(const BoundingBox& b) {
    const float dx = b.max.x - b.min.x;
    const float dy = b.max.y - b.min.y;
    const float dz = b.max.z - b.min.z;
    return 2.0f * ((dx + dy) * dz + dx * dy);
}

// Truncation towards zero, capped at the last bin. Only a range whose centroid spread overflows
// (k = 0 times an infinite offset) produces NaN here; it goes to bin 0.
int BinIndex(float f) {
    if (!(f >= 0.0f)) {
        return 0;
    }
    return f >= BinCount - 1 ? BinCount - 1 : static_cast<int>(f);
}

int LargestAxis(const BoundingBox& b) {
    const Vector3 e = b.max - b.min;
    if (e.x > e.y && e.x > e.z) {
        return 0;
    }
    return e.y > e.z ? 1 : 2;
}

uint32_t InitialNodeCapacity(uint32_t triangleCount) {
    uint32_t d = (((triangleCount + 3) >> 2) + 3) >> 2;
    // d = 0 (no triangle) would never reach 1 in the loop below.
    if (d <= 1) {
        return 1;
    }
    uint32_t total = 1;
    while (d != 1) {
        total += d;
        d = (d + 3) >> 2;
    }
    return total;
}

void MakeEmpty(QbvhNode& node) {
    for (int i = 0; i < 4; ++i) {
        node.minX[i] = node.minY[i] = node.minZ[i] = RayInfinity;
        node.maxX[i] = node.maxY[i] = node.maxZ[i] = -RayInfinity;
        node.children[i] = EmptyChild;
    }
}

void SetSlot(QbvhNode& node, int slot, const BoundingBox& box, int32_t child) {
    node.minX[slot] = box.min.x;
    node.minY[slot] = box.min.y;
    node.minZ[slot] = box.min.z;
    node.maxX[slot] = box.max.x;
    node.maxY[slot] = box.max.y;
    node.maxZ[slot] = box.max.z;
    node.children[slot] = child;
}

struct AlignedDeleter {
    void operator()(void* p) const { AlignedFree(p); }
};
template <class T>
using AlignedArray = std::unique_ptr<T[], AlignedDeleter>;

template <class T>
T* AllocateArray(size_t count) {
    return static_cast<T*>(AlignedAlloc(count * sizeof(T), 64));
}

// The node and QuadTriangle arrays are read at scattered places by every query, so large ones
// take huge pages, which spare most of the address-translation misses.
template <class T>
T* AllocateTraversalArray(size_t count) {
    return static_cast<T*>(HugePageAlloc(count * sizeof(T)));
}

// count must be the one the array was allocated with.
template <class T>
void FreeTraversalArray(T* array, size_t count) {
    HugePageFree(array, count * sizeof(T));
}

}  // namespace

struct QBVH::BuildState {
    struct SplitTask {
        uint32_t start;
        uint32_t end;
        BoundingBox box;
        BoundingBox centroidBox;
        int32_t parent;
        int slot;
        int depth;
        // Split by count instead of the heuristic: set below ranges of coincident centroids
        // too large for one leaf.
        bool halve;
    };

    QBVH& bvh;
    // The primitive order: boxes and triangle ids, each followed by three padding entries.
    PrimRecord* records;
    int32_t* ids;
    // Triangles in the hierarchy; the primitive order holds three padding entries after them.
    uint32_t used;

    // Returns the new node's index, or -1 when the node array could not grow.
    int32_t CreateNode(int32_t parent, int slot, const BoundingBox& box, int depth) {
        const uint32_t index = bvh.usedNodes++;
        if (bvh.usedNodes >= bvh.nodeCapacity && !GrowNodes()) {
            return -1;
        }
        if (parent >= 0) {
            SetSlot(bvh.nodes[parent], slot, box, static_cast<int32_t>(index));
        }
        bvh.maxLevel = std::max(bvh.maxLevel, static_cast<uint32_t>(depth / 2));
        return static_cast<int32_t>(index);
    }

    bool GrowNodes() {
        const uint32_t capacity = bvh.nodeCapacity * 2;
        QbvhNode* grown = AllocateTraversalArray<QbvhNode>(capacity);
        if (grown == nullptr) {
            return false;
        }
        std::memcpy(grown, bvh.nodes, sizeof(QbvhNode) * bvh.nodeCapacity);
        for (uint32_t i = bvh.nodeCapacity; i < capacity; ++i) {
            MakeEmpty(grown[i]);
        }
        FreeTraversalArray(bvh.nodes, bvh.nodeCapacity);
        bvh.nodes = grown;
        bvh.nodeCapacity = capacity;
        return true;
    }

    void MakeLeaf(int32_t parent, int slot, uint32_t start, uint32_t end, const BoundingBox& box) {
        if (parent < 0) {
            bvh.usedNodes = 1;
            parent = 0;
        }
        const uint32_t recordCount = (end - start + 3) / 4;
        SetSlot(bvh.nodes[parent], slot, box,
                recordCount == 0 ? EmptyChild : MakeLeafReference(recordCount, start));
        bvh.quadCount += recordCount;
    }

    // Binned surface-area split of the task's range along axis; fills the halves' boxes and
    // returns the first position of the right half.
    uint32_t PartitionByArea(const SplitTask& task, int axis, float k, SplitTask& left,
                             SplitTask& right) {
        uint32_t binCounts[BinCount] = {};
        LaneBox binBoxes[BinCount];
        const float centroidMin = task.centroidBox.min[axis];
        const float centroidMax = task.centroidBox.max[axis];
        for (uint32_t q = task.start; q < task.end; ++q) {
            const PrimRecord& record = records[q];
            const int bin = BinIndex((Centroid(record, axis) - centroidMin) * k);
            ++binCounts[bin];
            binBoxes[bin].Merge(Float4::Load(record.lo), Float4::Load(record.hi));
        }

        uint32_t leftCounts[BinCount], rightCounts[BinCount];
        BoundingBox leftBoxes[BinCount], rightBoxes[BinCount];
        uint32_t count = 0;
        LaneBox running;
        for (int i = 0; i < BinCount; ++i) {
            count += binCounts[i];
            running.Merge(binBoxes[i]);
            leftCounts[i] = count;
            leftBoxes[i] = running.ToBox();
        }
        count = 0;
        running = LaneBox();
        for (int i = BinCount - 1; i >= 0; --i) {
            count += binCounts[i];
            running.Merge(binBoxes[i]);
            rightCounts[i] = count;
            rightBoxes[i] = running.ToBox();
        }

        int best = -1;
        float bestCost = 1e20f;
        for (int i = 0; i < BinCount - 1; ++i) {
            // An empty side has no meaningful area; such a candidate is never taken.
            if (leftCounts[i] == 0 || rightCounts[i + 1] == 0) {
                continue;
            }
            const float cost = static_cast<float>(rightCounts[i + 1]) * Area(rightBoxes[i + 1]) +
                               static_cast<float>(leftCounts[i]) * Area(leftBoxes[i]);
            if (cost < bestCost) {
                best = i;
                bestCost = cost;
            }
        }
        const float split =
            centroidMin + (centroidMax - centroidMin) * static_cast<float>(best + 1) * 0.125f;

        LaneBox sides[2], sideCentroids[2];
        const Float4 half = Float4::Broadcast(0.5f);
        uint32_t j = task.start;
        for (uint32_t q = task.start; q < task.end; ++q) {
            const Float4 lo = Float4::Load(records[q].lo);
            const Float4 hi = Float4::Load(records[q].hi);
            const Float4 centroid = (lo + hi) * half;
            const bool toLeft = Centroid(records[q], axis) <= split;
            if (toLeft) {
                std::swap(records[q], records[j]);
                std::swap(ids[q], ids[j]);
                ++j;
            }
            sides[toLeft].Merge(lo, hi);
            sideCentroids[toLeft].Merge(centroid, centroid);
        }
        left.box = sides[1].ToBox();
        left.centroidBox = sideCentroids[1].ToBox();
        right.box = sides[0].ToBox();
        right.centroidBox = sideCentroids[0].ToBox();
        return j;
    }

    // Splits the range in the middle of its current order.
    uint32_t Halve(const SplitTask& task, SplitTask& left, SplitTask& right) {
        const uint32_t j = task.start + (task.end - task.start) / 2;
        LaneBox sides[2], sideCentroids[2];
        const Float4 half = Float4::Broadcast(0.5f);
        for (uint32_t q = task.start; q < task.end; ++q) {
            const Float4 lo = Float4::Load(records[q].lo);
            const Float4 hi = Float4::Load(records[q].hi);
            const Float4 centroid = (lo + hi) * half;
            sides[q < j].Merge(lo, hi);
            sideCentroids[q < j].Merge(centroid, centroid);
        }
        left.box = sides[1].ToBox();
        left.centroidBox = sideCentroids[1].ToBox();
        right.box = sides[0].ToBox();
        right.centroidBox = sideCentroids[0].ToBox();
        return j;
    }

    bool Split(const SplitTask& root) {
        // The recursion runs on an explicit stack (right half pushed first, so the left half is
        // done first and nodes are numbered as a recursive split would). Its depth is bounded by
        // MaxSplitDepth, so the fixed array suffices.
        SplitTask tasks[MaxSplitDepth + 2];
        int top = 0;
        tasks[top++] = root;
        while (top > 0) {
            const SplitTask task = tasks[--top];
            const uint32_t count = task.end - task.start;
            if (count <= bvh.leafSize) {
                MakeLeaf(task.parent, task.slot, task.start, task.end, task.box);
                continue;
            }

            bool halve = task.halve || task.depth >= MaxSahDepth;
            int axis = 0;
            float k = 0.0f;
            if (!halve) {
                axis = LargestAxis(task.centroidBox);
                k = BinCount / (task.centroidBox.max[axis] - task.centroidBox.min[axis]);
                if (!std::isfinite(k)) {
                    if (count <= MaxLeafTriangles) {
                        MakeLeaf(task.parent, task.slot, task.start, task.end, task.box);
                        continue;
                    }
                    // A leaf can describe at most 16 records, so the coincident triangles are
                    // spread over a subtree of halves instead; the subtree prints nothing more.
                    std::printf(
                        "QBVH unable to handle geometry, too many primitives with the same "
                        "centroid\n");
                    halve = true;
                }
            }

            SplitTask left{task.start, 0, {}, {}, task.parent, task.slot, task.depth + 1, false};
            SplitTask right{0, task.end, {}, {}, task.parent, task.slot + 1, task.depth + 1, false};
            if (task.depth % 2 == 0) {
                const int32_t node = CreateNode(task.parent, task.slot, task.box, task.depth);
                if (node < 0) {
                    return false;
                }
                left.parent = right.parent = node;
                left.slot = 0;
                right.slot = 2;
            }
            uint32_t j =
                halve ? Halve(task, left, right) : PartitionByArea(task, axis, k, left, right);
            if (j == task.start || j == task.end) {
                // Rounding of the split position can put the whole range on one side, which
                // would split the same range forever; halving always makes progress.
                j = Halve(task, left, right);
            }
            left.end = right.start = j;
            left.halve = right.halve = halve;
            assert(top + 2 <= MaxSplitDepth + 2);
            tasks[top++] = right;
            tasks[top++] = left;
        }
        return true;
    }

    // Packs the triangles of every leaf into QuadTriangle records, leaves in depth-first slot
    // order, and rewrites each leaf reference to its first record.
    bool PackLeaves() {
        bvh.quads = AllocateTraversalArray<QuadTriangle>(bvh.quadCount);
        if (bvh.quads == nullptr) {
            return false;
        }
        bvh.quadCount = 0;
        struct Visit {
            uint32_t node;
            int slot;
        };
        Visit visits[MaxSplitDepth / 2 + 2];
        int top = 0;
        visits[top++] = {0, 0};
        while (top > 0) {
            Visit& visit = visits[top - 1];
            if (visit.slot == 4) {
                --top;
                continue;
            }
            int32_t& child = bvh.nodes[visit.node].children[visit.slot++];
            if (child >= 0) {
                visits[top++] = {static_cast<uint32_t>(child), 0};
            } else if (IsLeafReference(child)) {
                const uint32_t recordCount = LeafRecordCount(child);
                const uint32_t start = LeafStart(child);
                for (uint32_t r = 0; r < recordCount; ++r) {
                    QuadTriangle& quad = bvh.quads[bvh.quadCount + r];
                    for (int lane = 0; lane < 4; ++lane) {
                        FillLane(quad, lane, ids[start + 4 * r + lane]);
                    }
                }
                child = MakeLeafReference(recordCount, bvh.quadCount);
                bvh.quadCount += recordCount;
                // Only the last leaf's spare lanes can lie outside its box: they repeat the
                // padding triangle, which belongs to any leaf.
                const bool padded = start + 4 * recordCount > used;
                bvh.paddedLastLeaf = {visit.node, visit.slot - 1, padded ? child : EmptyChild};
            }
        }
        return true;
    }

    void FillLane(QuadTriangle& quad, int lane, int32_t triangle) const {
        const int32_t* indices = bvh.triangles + 3 * static_cast<size_t>(triangle);
        const Vector3& v0 = bvh.positions[indices[0]];
        const Vector3 e1 = bvh.positions[indices[1]] - v0;
        const Vector3 e2 = bvh.positions[indices[2]] - v0;
        quad.vert0X[lane] = v0.x;
        quad.vert0Y[lane] = v0.y;
        quad.vert0Z[lane] = v0.z;
        quad.edge1X[lane] = e1.x;
        quad.edge1Y[lane] = e1.y;
        quad.edge1Z[lane] = e1.z;
        quad.edge2X[lane] = e2.x;
        quad.edge2Y[lane] = e2.y;
        quad.edge2Z[lane] = e2.z;
        quad.triangleIds[lane] = triangle;
    }
};

QBVH::~QBVH() {
    Release();
}

void QBVH::Release() {
    FreeTraversalArray(nodes, nodeCapacity);
    FreeTraversalArray(quads, quadCount);
    nodes = nullptr;
    quads = nullptr;
    quadCount = usedNodes = nodeCapacity = maxLevel = 0;
    paddedLastLeaf = {};
    sceneBox = BoundingBox();
}

bool QBVH::Build(const Vector3* positions_, const int32_t* triangles_, uint32_t triangleCount_,
                 uint32_t vertexCount) {
    Release();
    positions = positions_;
    triangles = triangles_;
    triangleCount = triangleCount_;
    leafSize = 4;
    if (triangleCount > MaxTriangles) {
        std::fprintf(stderr, "QBVH - %u triangles are more than the %u it can hold\n",
                     triangleCount, MaxTriangles);
        return false;
    }

    nodeCapacity = InitialNodeCapacity(triangleCount);
    nodes = AllocateTraversalArray<QbvhNode>(nodeCapacity);
    AlignedArray<PrimRecord> records(AllocateArray<PrimRecord>(triangleCount + 3));
    AlignedArray<int32_t> ids(AllocateArray<int32_t>(triangleCount + 3));
    if (nodes == nullptr || records == nullptr || ids == nullptr) {
        std::fprintf(stderr, "QBVH - out of memory building over %u triangles\n", triangleCount);
        Release();
        return false;
    }
    for (uint32_t i = 0; i < nodeCapacity; ++i) {
        MakeEmpty(nodes[i]);
    }

    // Triangles that could never be hit meaningfully stay out of the hierarchy: an index outside
    // the vertex array would be read out of bounds, and a non-finite box or centroid has no bin.
    BoundingBox centroidBox;
    uint32_t used = 0;
    for (uint32_t i = 0; i < triangleCount; ++i) {
        const int32_t* indices = triangles + 3 * static_cast<size_t>(i);
        if (static_cast<uint32_t>(indices[0]) >= vertexCount ||
            static_cast<uint32_t>(indices[1]) >= vertexCount ||
            static_cast<uint32_t>(indices[2]) >= vertexCount) {
            continue;
        }
        const Vector3& a = positions[indices[0]];
        const Vector3& b = positions[indices[1]];
        const Vector3& c = positions[indices[2]];
        const Vector3 padding{BoxPadding, BoxPadding, BoxPadding};
        BoundingBox box;
        box.min = Vector3{std::min(std::min(a.x, b.x), c.x), std::min(std::min(a.y, b.y), c.y),
                          std::min(std::min(a.z, b.z), c.z)} -
                  padding;
        box.max = Vector3{std::max(std::max(a.x, b.x), c.x), std::max(std::max(a.y, b.y), c.y),
                          std::max(std::max(a.z, b.z), c.z)} +
                  padding;
        const Vector3 centroid = Centroid(box);
        // The vertices are checked themselves: min and max would pass over a NaN.
        if (!IsFinite(a) || !IsFinite(b) || !IsFinite(c) || !IsFinite(box.min) ||
            !IsFinite(box.max) || !IsFinite(centroid)) {
            continue;
        }
        records[used] = {{box.min.x, box.min.y, box.min.z, 0.0f},
                         {box.max.x, box.max.y, box.max.z, 0.0f}};
        ids[used++] = static_cast<int32_t>(i);
        sceneBox.Merge(box);
        centroidBox.Merge(centroid);
    }
    // The last group of four always reads valid triangles: three copies of the last one (the
    // last usable one when the last triangle was left out).
    const int32_t padId = used > 0 ? ids[used - 1] : 0;
    for (uint32_t i = used; i < used + 3; ++i) {
        records[i] = {};
        ids[i] = padId;
    }

    std::printf("QBVH - Primitives: %u, Initial Nodes %u\n", triangleCount, nodeCapacity);
    quadCount = 0;
    BuildState state{*this, records.get(), ids.get(), used};
    if (!state.Split({0, used, sceneBox, centroidBox, -1, 0, 0, false}) || !state.PackLeaves()) {
        std::fprintf(stderr, "QBVH - out of memory building over %u triangles\n", triangleCount);
        Release();
        return false;
    }
    assert(StackDepthNeeded() <= DeepStackSize);

    std::printf("QBVH - Completed with %u/%u nodes\n", usedNodes, nodeCapacity);
    std::printf("QBVH - Memory usage: %0.2fKB\n",
                static_cast<double>(usedNodes) * QbvhNodeDataBytes / 1024.0);
    std::printf("QBVH - QuadTriangle count: %u\n", quadCount);
    std::printf("\n");
    return true;
}

}  // namespace glintor
