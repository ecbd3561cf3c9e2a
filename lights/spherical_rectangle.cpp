#include "lights/spherical_rectangle.h"

#include <algorithm>
#include <cmath>

namespace glintor {

namespace {

constexpr double Pi = 3.14159265358979323846;

using V = Vector3d;

V Of(const Vector3& v) {
    return {v.x, v.y, v.z};
}
double Dot(const V& a, const V& b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}
V Cross(const V& a, const V& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
V Scaled(const V& a, double s) {
    return {a.x * s, a.y * s, a.z * s};
}
double Length(const V& a) {
    return std::sqrt(Dot(a, a));
}
// Unit normal of the plane through the origin and two corner directions.
V PlaneNormal(const V& a, const V& b) {
    const V n = Cross(a, b);
    return Scaled(n, 1.0 / Length(n));
}
double AngleBetween(const V& a, const V& b) {
    return std::acos(std::clamp(-Dot(a, b), -1.0, 1.0));
}

}  // namespace

SphericalRectangle::SphericalRectangle(const Vector3& origin, const Vector3& corner,
                                       const Vector3& ex, const Vector3& ey) {
    const V e1 = Of(ex), e2 = Of(ey);
    const double lengthX = Length(e1), lengthY = Length(e2);
    if (!(lengthX > 0.0) || !(lengthY > 0.0)) {
        return;
    }
    const V x = Scaled(e1, 1.0 / lengthX), y = Scaled(e2, 1.0 / lengthY);
    V z = Cross(x, y);
    const V d = {corner.x - static_cast<double>(origin.x), corner.y - static_cast<double>(origin.y),
                 corner.z - static_cast<double>(origin.z)};
    double z0 = Dot(d, z);
    if (z0 > 0.0) {
        z = Scaled(z, -1.0);
        z0 = -z0;
    }
    if (!(z0 < 0.0)) {
        return;
    }
    x0_ = Dot(d, x);
    y0_ = Dot(d, y);
    x1_ = x0_ + lengthX;
    y1_ = y0_ + lengthY;
    z0_ = z0;
    const V v00 = {x0_, y0_, z0}, v01 = {x0_, y1_, z0}, v10 = {x1_, y0_, z0}, v11 = {x1_, y1_, z0};
    const V n0 = PlaneNormal(v00, v10), n1 = PlaneNormal(v10, v11);
    const V n2 = PlaneNormal(v11, v01), n3 = PlaneNormal(v01, v00);
    const double g0 = AngleBetween(n0, n1), g1 = AngleBetween(n1, n2);
    const double g2 = AngleBetween(n2, n3), g3 = AngleBetween(n3, n0);
    b0_ = n0.z;
    b1_ = n2.z;
    k_ = 2.0 * Pi - g2 - g3;
    const double solidAngle = g0 + g1 - k_;
    if (!(solidAngle > 0.0) || !std::isfinite(solidAngle)) {
        return;
    }
    solidAngle_ = solidAngle;
    origin_ = {origin.x, origin.y, origin.z};
    ax_ = {x.x, x.y, x.z};
    ay_ = {y.x, y.y, y.z};
    az_ = {z.x, z.y, z.z};
}

Vector3 SphericalRectangle::Point(float u, float v) const {
    // u picks the x at which the direction crosses the plane, so that the solid angle left of it
    // is u times the whole; v then picks y evenly in the sine of the elevation within that strip.
    const double au = u * solidAngle_ + k_;
    const double fu = (std::cos(au) * b0_ - b1_) / std::sin(au);
    double cu = std::copysign(1.0, fu) / std::sqrt(fu * fu + b0_ * b0_);
    cu = std::clamp(cu, -1.0, 1.0);
    const double xu =
        std::clamp(-(cu * z0_) / std::sqrt(std::max(1e-300, 1.0 - cu * cu)), x0_, x1_);
    const double distance = std::sqrt(xu * xu + z0_ * z0_);
    const double h0 = y0_ / std::sqrt(distance * distance + y0_ * y0_);
    const double h1 = y1_ / std::sqrt(distance * distance + y1_ * y1_);
    const double hv = h0 + v * (h1 - h0);
    const double hv2 = hv * hv;
    const double yv =
        hv2 < 1.0 - 1e-12 ? std::clamp(hv * distance / std::sqrt(1.0 - hv2), y0_, y1_) : y1_;
    return Vector3(static_cast<float>(origin_.x + xu * ax_.x + yv * ay_.x + z0_ * az_.x),
                   static_cast<float>(origin_.y + xu * ax_.y + yv * ay_.y + z0_ * az_.y),
                   static_cast<float>(origin_.z + xu * ax_.z + yv * ay_.z + z0_ * az_.z));
}

}  // namespace glintor
