#include "lights/area_light.h"

#include <cmath>

#include "lights/spherical_rectangle.h"

namespace glintor {

namespace {

constexpr float InvTwoPi = 0.15915494f;
constexpr float HalfPi = 1.5707964f;
constexpr double Pi = 3.14159265358979323846;
// Squared distance, in units of the light's area, within which the low-noise sample spreads the
// points over the solid angle rather than the area.
constexpr float NearLightFactor = 2.0f;

// Affine transform acting on column vectors, kept as its top three rows.
struct Transform {
    float m[3][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}};

    // this = this · b, where b's bottom row is (0, 0, 0, 1).
    void Multiply(const Transform& b) {
        Transform r;
        for (int i = 0; i < 3; ++i) {
            for (int j = 0; j < 4; ++j) {
                float sum = m[i][0] * b.m[0][j] + m[i][1] * b.m[1][j] + m[i][2] * b.m[2][j];
                if (j == 3) {
                    sum += m[i][3];
                }
                r.m[i][j] = sum;
            }
        }
        *this = r;
    }

    Vector3 Apply(const Vector3& p) const {
        return {m[0][0] * p.x + m[0][1] * p.y + m[0][2] * p.z + m[0][3],
                m[1][0] * p.x + m[1][1] * p.y + m[1][2] * p.z + m[1][3],
                m[2][0] * p.x + m[2][1] * p.y + m[2][2] * p.z + m[2][3]};
    }
};

Transform Translation(const Vector3& t) {
    Transform r;
    r.m[0][3] = t.x;
    r.m[1][3] = t.y;
    r.m[2][3] = t.z;
    return r;
}

Transform Scaling(float x, float y, float z) {
    Transform r;
    r.m[0][0] = x;
    r.m[1][1] = y;
    r.m[2][2] = z;
    return r;
}

// Rotation by angle about one axis (0 = x, 1 = y, 2 = z), right-handed.
Transform Rotation(int axis, float angle) {
    const float c = static_cast<float>(std::cos(static_cast<double>(angle)));
    const float s = static_cast<float>(std::sin(static_cast<double>(angle)));
    const int a = (axis + 1) % 3;
    const int b = (axis + 2) % 3;
    Transform r;
    r.m[a][a] = c;
    r.m[a][b] = -s;
    r.m[b][a] = s;
    r.m[b][b] = c;
    return r;
}

// Möller–Trumbore, two-sided. The comparisons are written so that NaN (from a det so small that
// its inverse overflows) counts as a miss instead of becoming a hit distance.
bool IntersectTriangle(const Ray& ray, const Vector3& a, const Vector3& b, const Vector3& c,
                       Intersection& hit) {
    const Vector3 e1 = b - a;
    const Vector3 e2 = c - a;
    const Vector3 p = Cross(ray.direction, e2);
    const float det = Dot(e1, p);
    if (det == 0.0f) {
        return false;
    }
    const float inv = 1.0f / det;
    const Vector3 toOrigin = ray.origin - a;
    const float u = Dot(toOrigin, p) * inv;
    if (!(u >= 0.0f)) {
        return false;
    }
    const Vector3 q = Cross(toOrigin, e1);
    const float v = Dot(ray.direction, q) * inv;
    if (!(v >= 0.0f && 1.0f - u - v >= 0.0f)) {
        return false;
    }
    const float t = Dot(e2, q) * inv;
    if (!(t >= ray.tMin && t <= ray.tMax && t <= hit.distance)) {
        return false;
    }
    hit.distance = t;
    hit.bary0 = 1.0f - u - v;
    hit.bary1 = u;
    hit.bary2 = v;
    return true;
}

}  // namespace

void AreaLight::Prepare() {
    Corners[0] = {-0.5f, -0.5f, 0.0f};
    Corners[1] = {-0.5f, 0.5f, 0.0f};
    Corners[2] = {0.5f, 0.5f, 0.0f};
    Corners[3] = {0.5f, -0.5f, 0.0f};

    // M = T · Rz · Ry · Rx · S: a corner is scaled first and moved to Pos last.
    Transform m;
    m.Multiply(Translation(Pos));
    m.Multiply(Rotation(2, Rotate[2]));
    m.Multiply(Rotation(1, Rotate[1]));
    m.Multiply(Rotation(0, Rotate[0]));
    m.Multiply(Scaling(Width, Height, 1.0f));
    for (Vector3& corner : Corners) {
        corner = m.Apply(corner);
    }

    Edge1 = Corners[0] - Corners[1];
    Edge2 = Corners[0] - Corners[3];
    Normal = Cross(Edge1, Edge2);
    if (Normal.LengthSquared() == 0.0f) {
        Normal = {0.0f, -1.0f, 0.0f};
    } else {
        Normal.Normalize();
    }
    Extent = Width * Height;
    Triangles[0][0] = 0;
    Triangles[0][1] = 1;
    Triangles[0][2] = 2;
    Triangles[1][0] = 0;
    Triangles[1][1] = 2;
    Triangles[1][2] = 3;
}

void AreaLight::Sample(Vector3& radiance, const PathSample& sample, RandomGenerator&,
                       Ray& shadowRay, const Vector3& point, const Vector3& normal,
                       float& pdf) const {
    const Vector3 p = Corners[0] - Edge1 * sample.lightU - Edge2 * sample.lightV;
    LightPath path;
    if (!Towards(p, point, normal, path)) {
        RejectSample(radiance, pdf);
        return;
    }
    pdf = InvTwoPi / (Extent * path.cosLight) * path.dist2;
    AcceptSurfaceSample(radiance, pdf, shadowRay, point, path.w, path.dist);
}

// Sample's value, f · Le · cos · 2π · Extent · cosL / dist² per sample, is 2π · f · Le · cos per
// unit solid angle: drawing the point evenly over the solid angle Ω the rectangle subtends, with
// pdf 1 / (2π · Ω), gives f · Le · cos · 2π · Ω, which has the same expectation and no longer
// swings with the distance and the light's cosine. The points Sample rejects (behind the
// emitting side, below the lit surface) are rejected here too.
void AreaLight::SampleLowNoise(Vector3& radiance, const PathSample& sample,
                               RandomGenerator& generator, Ray& shadowRay, const Vector3& point,
                               const Vector3& normal, float& pdf) const {
    // From behind the emitting side (or in its plane) every point of Sample is rejected.
    if (!(Dot(Normal, Corners[0] - point) < 0.0f)) {
        RejectSample(radiance, pdf);
        return;
    }
    // Seen from afar, distance and cosine hardly change over the rectangle and the even spread
    // over its area is as good, for a fraction of the cost (both are exact, so either may be used
    // at any point). The same holds when the angles are too small to be told apart.
    if ((point - Pos).LengthSquared() > NearLightFactor * Extent) {
        Sample(radiance, sample, generator, shadowRay, point, normal, pdf);
        return;
    }
    // Below the lit surface's horizon as a whole, the rectangle has no point Towards accepts; the
    // margin leaves the corners that rounding could lift above it to the full draw.
    bool belowHorizon = true;
    for (const Vector3& corner : Corners) {
        const Vector3 d = corner - point;
        belowHorizon = belowHorizon && Dot(d, normal) < -1e-3f * d.Length();
    }
    if (belowHorizon) {
        RejectSample(radiance, pdf);
        return;
    }
    const SphericalRectangle seen(point, Corners[0], -Edge1, -Edge2);
    if (!(seen.SolidAngle() > 1e-7)) {
        Sample(radiance, sample, generator, shadowRay, point, normal, pdf);
        return;
    }
    LightPath path;
    if (!Towards(seen.Point(sample.lightU, sample.lightV), point, normal, path)) {
        RejectSample(radiance, pdf);
        return;
    }
    pdf = static_cast<float>(1.0 / (2.0 * Pi * seen.SolidAngle()));
    AcceptSurfaceSample(radiance, pdf, shadowRay, point, path.w, path.dist);
}

bool AreaLight::Towards(const Vector3& p, const Vector3& point, const Vector3& normal,
                        LightPath& path) const {
    const Vector3 d = p - point;
    path.dist2 = d.LengthSquared();
    // A lit point on the rectangle itself has no direction towards the sampled point.
    if (!(path.dist2 > 0.0f) || !std::isfinite(path.dist2)) {
        return false;
    }
    path.dist = std::sqrt(path.dist2);
    path.w = d * (1.0f / path.dist);
    path.cosLight = Dot(Normal, -path.w);
    return !(path.cosLight < 0.0f || Dot(path.w, normal) < 0.0f);
}

void AreaLight::Emitted(Vector3& radiance, const Vector3& direction, const Vector3* normal) const {
    const float k = normal != nullptr ? Dot(direction, *normal) : 0.0f;
    radiance = k > 0.0f ? Color * Power * k * HalfPi : ZeroVector();
}

bool AreaLight::Intersect(const Ray& ray, Intersection& hit) const {
    bool found = false;
    for (const auto& triangle : Triangles) {
        if (IntersectTriangle(ray, Corners[triangle[0]], Corners[triangle[1]], Corners[triangle[2]],
                              hit)) {
            found = true;
            break;
        }
    }
    if (found) {
        hit.normal = Normal;
    }
    return found;
}

}  // namespace glintor
