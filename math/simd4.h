// Four-lane single-precision arithmetic for the QBVH's box and triangle tests and the PLY import's
// smooth normals.
//
// Two lane types share one interface so that the same template code runs on either:
//   SseFloat4    - SSE intrinsics (baseline x86-64, no newer instruction set assumed);
//   ScalarFloat4 - a plain loop over four floats.
// They give identical results: every operation is one IEEE single-precision operation per lane
// (no reciprocal or square-root estimates, no fused multiply-add), and Min, Max and the comparisons
// follow the SSE rules, which matter for NaN and signed zero (only the sign and payload of a NaN
// produced by arithmetic may differ, and no comparison can tell NaNs apart):
//   Min(a, b) = a < b ? a : b      Max(a, b) = a > b ? a : b
// so a NaN in either operand yields the second operand; ordered comparisons (<, <=, >=) are false
// and != is true when a lane holds NaN.
// Float4 is the type the renderer uses: SSE where the compiler offers it, unless
// GLINTOR_SCALAR_LANES is defined, which selects the scalar lanes everywhere.
#pragma once

#include <cmath>

#if defined(__SSE__) && !defined(GLINTOR_SCALAR_LANES)
#include <xmmintrin.h>
#define GLINTOR_HAS_SSE_LANES 1
#endif

namespace glintor {

// Lane masks are carried as 4-bit integers (lane 0 in the lowest bit) by the scalar type; the SSE
// type keeps its native all-ones lanes until MoveMask.
struct ScalarFloat4 {
    struct Mask {
        int bits;
        friend Mask operator&(Mask a, Mask b) { return {a.bits & b.bits}; }
    };

    float lane[4];

    static ScalarFloat4 Broadcast(float x) { return {{x, x, x, x}}; }
    // p must be 16-byte aligned, as for the SSE load.
    static ScalarFloat4 Load(const float* p) { return {{p[0], p[1], p[2], p[3]}}; }
    void Store(float* p) const {
        for (int i = 0; i < 4; ++i) {
            p[i] = lane[i];
        }
    }

    template <class Op>
    static ScalarFloat4 Map(const ScalarFloat4& a, const ScalarFloat4& b, Op op) {
        return {{op(a.lane[0], b.lane[0]), op(a.lane[1], b.lane[1]), op(a.lane[2], b.lane[2]),
                 op(a.lane[3], b.lane[3])}};
    }
    template <class Op>
    static Mask Compare(const ScalarFloat4& a, const ScalarFloat4& b, Op op) {
        int bits = 0;
        for (int i = 0; i < 4; ++i) {
            bits |= op(a.lane[i], b.lane[i]) ? 1 << i : 0;
        }
        return {bits};
    }

    friend ScalarFloat4 operator+(const ScalarFloat4& a, const ScalarFloat4& b) {
        return Map(a, b, [](float x, float y) { return x + y; });
    }
    friend ScalarFloat4 operator-(const ScalarFloat4& a, const ScalarFloat4& b) {
        return Map(a, b, [](float x, float y) { return x - y; });
    }
    friend ScalarFloat4 operator*(const ScalarFloat4& a, const ScalarFloat4& b) {
        return Map(a, b, [](float x, float y) { return x * y; });
    }
    friend ScalarFloat4 operator/(const ScalarFloat4& a, const ScalarFloat4& b) {
        return Map(a, b, [](float x, float y) { return x / y; });
    }
    friend ScalarFloat4 Min(const ScalarFloat4& a, const ScalarFloat4& b) {
        return Map(a, b, [](float x, float y) { return x < y ? x : y; });
    }
    friend ScalarFloat4 Max(const ScalarFloat4& a, const ScalarFloat4& b) {
        return Map(a, b, [](float x, float y) { return x > y ? x : y; });
    }
    friend ScalarFloat4 Sqrt(const ScalarFloat4& a) {
        return {{std::sqrt(a.lane[0]), std::sqrt(a.lane[1]), std::sqrt(a.lane[2]),
                 std::sqrt(a.lane[3])}};
    }
    friend Mask operator<(const ScalarFloat4& a, const ScalarFloat4& b) {
        return Compare(a, b, [](float x, float y) { return x < y; });
    }
    friend Mask operator<=(const ScalarFloat4& a, const ScalarFloat4& b) {
        return Compare(a, b, [](float x, float y) { return x <= y; });
    }
    friend Mask operator>=(const ScalarFloat4& a, const ScalarFloat4& b) {
        return Compare(a, b, [](float x, float y) { return x >= y; });
    }
    friend Mask operator!=(const ScalarFloat4& a, const ScalarFloat4& b) {
        return Compare(a, b, [](float x, float y) { return x != y; });
    }
    friend int MoveMask(Mask m) { return m.bits; }
};

#ifdef GLINTOR_HAS_SSE_LANES
struct SseFloat4 {
    struct Mask {
        __m128 bits;
        friend Mask operator&(Mask a, Mask b) { return {_mm_and_ps(a.bits, b.bits)}; }
    };

    __m128 v;

    static SseFloat4 Broadcast(float x) { return {_mm_set1_ps(x)}; }
    static SseFloat4 Load(const float* p) { return {_mm_load_ps(p)}; }
    void Store(float* p) const { _mm_store_ps(p, v); }

    friend SseFloat4 operator+(SseFloat4 a, SseFloat4 b) { return {_mm_add_ps(a.v, b.v)}; }
    friend SseFloat4 operator-(SseFloat4 a, SseFloat4 b) { return {_mm_sub_ps(a.v, b.v)}; }
    friend SseFloat4 operator*(SseFloat4 a, SseFloat4 b) { return {_mm_mul_ps(a.v, b.v)}; }
    friend SseFloat4 operator/(SseFloat4 a, SseFloat4 b) { return {_mm_div_ps(a.v, b.v)}; }
    friend SseFloat4 Min(SseFloat4 a, SseFloat4 b) { return {_mm_min_ps(a.v, b.v)}; }
    friend SseFloat4 Max(SseFloat4 a, SseFloat4 b) { return {_mm_max_ps(a.v, b.v)}; }
    friend SseFloat4 Sqrt(SseFloat4 a) { return {_mm_sqrt_ps(a.v)}; }
    friend Mask operator<(SseFloat4 a, SseFloat4 b) { return {_mm_cmplt_ps(a.v, b.v)}; }
    friend Mask operator<=(SseFloat4 a, SseFloat4 b) { return {_mm_cmple_ps(a.v, b.v)}; }
    friend Mask operator>=(SseFloat4 a, SseFloat4 b) { return {_mm_cmpge_ps(a.v, b.v)}; }
    friend Mask operator!=(SseFloat4 a, SseFloat4 b) { return {_mm_cmpneq_ps(a.v, b.v)}; }
    friend int MoveMask(Mask m) { return _mm_movemask_ps(m.bits); }
};

using Float4 = SseFloat4;
#else
using Float4 = ScalarFloat4;
#endif

}  // namespace glintor
