// Value types shared by every subsystem: the three-float vector (points, directions, normals and
// linear RGB colours alike), the ray and the axis-aligned box. Everything here is inlined; the
// hot paths of the renderer call these millions of times per second.
#pragma once

#include <algorithm>
#include <cmath>

namespace glintor {

inline constexpr float RayEpsilon = 0.001f;
inline constexpr float RayInfinity = 1e20f;

struct Vector3 {
    float x = 0.0f;
    float y = 0.0f;
    float z = 0.0f;

    constexpr Vector3() = default;
    constexpr Vector3(float x_, float y_, float z_) : x(x_), y(y_), z(z_) {}

    constexpr Vector3 operator+(const Vector3& b) const { return {x + b.x, y + b.y, z + b.z}; }
    constexpr Vector3 operator-(const Vector3& b) const { return {x - b.x, y - b.y, z - b.z}; }
    constexpr Vector3 operator-() const { return {-x, -y, -z}; }
    constexpr Vector3 operator*(float s) const { return {x * s, y * s, z * s}; }
    // Component-wise product: colour times colour.
    constexpr Vector3 operator*(const Vector3& b) const { return {x * b.x, y * b.y, z * b.z}; }
    Vector3& operator+=(const Vector3& b) {
        x += b.x;
        y += b.y;
        z += b.z;
        return *this;
    }
    Vector3& operator-=(const Vector3& b) {
        x -= b.x;
        y -= b.y;
        z -= b.z;
        return *this;
    }
    Vector3& operator*=(float s) {
        x *= s;
        y *= s;
        z *= s;
        return *this;
    }
    Vector3& operator*=(const Vector3& b) {
        x *= b.x;
        y *= b.y;
        z *= b.z;
        return *this;
    }
    constexpr bool operator==(const Vector3& b) const = default;

    float operator[](int i) const { return (&x)[i]; }
    float& operator[](int i) { return (&x)[i]; }

    constexpr float LengthSquared() const { return x * x + y * y + z * z; }
    float Length() const { return std::sqrt(LengthSquared()); }

    // A zero vector stays as it is instead of becoming NaN.
    void Normalize() {
        const float lengthSquared = LengthSquared();
        if (lengthSquared == 0.0f) {
            return;
        }
        *this *= 1.0f / std::sqrt(lengthSquared);
    }
    Vector3 Normalized() const {
        Vector3 v = *this;
        v.Normalize();
        return v;
    }

    // Colours are black when their components sum to zero; the integrator and the light samplers
    // test exactly this, so (1, -1, 0) counts as black.
    constexpr bool IsBlack() const { return x + y + z == 0.0f; }
};

constexpr Vector3 operator*(float s, const Vector3& v) {
    return v * s;
}

constexpr float Dot(const Vector3& a, const Vector3& b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}

constexpr Vector3 Cross(const Vector3& a, const Vector3& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

// Mirror of v about the unit normal n.
constexpr Vector3 Reflect(const Vector3& v, const Vector3& n) {
    return v - n * (2.0f * Dot(n, v));
}

inline const Vector3& ZeroVector() {
    static const Vector3 zero{0.0f, 0.0f, 0.0f};
    return zero;
}

// Orthonormal frame (v, u, w) around the unit vector v. Every local frame of the renderer (BxDFs,
// bump and normal maps, sun and sky) is built here so that they agree; the strict comparison
// sends |v.x| == |v.y| to the second branch.
inline void BuildBasis(const Vector3& v, Vector3& u, Vector3& w) {
    if (std::fabs(v.x) > std::fabs(v.y)) {
        const float s = 1.0f / std::sqrt(v.x * v.x + v.z * v.z);
        u = {-v.z * s, 0.0f, v.x * s};
    } else {
        const float s = 1.0f / std::sqrt(v.y * v.y + v.z * v.z);
        u = {0.0f, v.z * s, -v.y * s};
    }
    w = Cross(v, u);
}

struct Ray {
    Vector3 origin;
    Vector3 direction;
    float tMin = RayEpsilon;
    float tMax = RayInfinity;

    Ray() = default;
    // tMin is always RayEpsilon here; shadow rays that need another start overwrite it.
    Ray(const Vector3& o, const Vector3& d, float maxT)
        : origin(o), direction(d), tMin(RayEpsilon), tMax(maxT) {}

    Vector3 At(float t) const { return origin + direction * t; }
};

struct BoundingBox {
    Vector3 min{RayInfinity, RayInfinity, RayInfinity};
    Vector3 max{-RayInfinity, -RayInfinity, -RayInfinity};

    void MakeEmpty() { *this = BoundingBox(); }
    void Merge(const BoundingBox& b) {
        min = {std::min(min.x, b.min.x), std::min(min.y, b.min.y), std::min(min.z, b.min.z)};
        max = {std::max(max.x, b.max.x), std::max(max.y, b.max.y), std::max(max.z, b.max.z)};
    }
    void Merge(const Vector3& p) {
        min = {std::min(min.x, p.x), std::min(min.y, p.y), std::min(min.z, p.z)};
        max = {std::max(max.x, p.x), std::max(max.y, p.y), std::max(max.z, p.z)};
    }
    // Centre at the midpoint of the corners, radius to the max corner. An empty box (nothing
    // merged, or only unbounded objects such as planes) has its midpoint outside itself and
    // radius 0.
    void BoundingSphere(Vector3& center, float& radius) const {
        center = (min + max) * 0.5f;
        bool inside = true;
        for (int axis = 0; axis < 3; ++axis) {
            inside = inside && center[axis] >= min[axis] && center[axis] <= max[axis];
        }
        radius = inside ? (max - center).Length() : 0.0f;
    }
};

}  // namespace glintor
