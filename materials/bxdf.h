// The scattering function every material carries, and the conventions all seven models share.
//
// Directions and normals are unit vectors, as the path integrator passes them:
//   wo       from the hit point back towards where the ray came from (the negated ray direction);
//   wi       from the hit point towards the next path vertex or towards a light;
//   n        the hit's normal after bump or normal mapping, not reoriented (on a closed object it
//            points outwards);
//   nFacing  n, negated when the ray arrived from behind it, so that it lies on the side of wo.
//
// Evaluate returns the scattering function for a light direction WITHOUT the cosine factor and
// WITHOUT the base colour: the integrator multiplies by dot(wi, nFacing) (unclamped) and by the
// base colour itself.
//
// SampleDirection returns a weight numerator f and writes pdf; the integrator multiplies its path
// throughput by f * base colour / pdf, with no cosine. The pdf is projected: for a sampled diffuse
// direction it is the solid-angle density already divided by dot(wi, nFacing); for mirror, glossy
// and transmitted directions f / pdf is the weight of the branch taken divided by the probability
// of taking it. pdf = 0 marks a rejected sample, and then f is black. For unit inputs neither
// operation ever returns NaN or infinity, and pdf is never negative, whatever wo is (grazing or
// below nFacing included).
//
// Base colour: BaseColor() when the flags have FlagDiffuse, white otherwise; the material's
// textures multiply it in both cases. Only FlagDiffuse selects next-event estimation, so Evaluate
// and BaseColor are called only on models with a diffuse part.
//
// The uniform numbers come from the caller's PathSample; no model draws from the generator. The
// objects are filled once by the scene loader (each class's Set, then SetEmission) and are only
// read afterwards, by all render threads at once.
#pragma once

#include <cstdint>
#include <limits>

#include "math/random.h"
#include "math/vector.h"

namespace glintor {

// The material has a mirror, glossy or transmitting part.
inline constexpr uint8_t FlagSpecular = 1;
// The material has a diffuse part: it gets direct light sampling and its BaseColor is used.
inline constexpr uint8_t FlagDiffuse = 2;

class BxDFBase {
public:
    virtual ~BxDFBase() = default;

    virtual uint8_t Flags() const final { return flags; }
    virtual Vector3 BaseColor() const = 0;
    virtual Vector3 Evaluate(const Vector3& wo, const Vector3& wi, const Vector3& normal) const = 0;
    // Writes wi, isSpecular and pdf; isSpecular tells the integrator that the next hit may count
    // emission from lights and the background directly.
    virtual Vector3 SampleDirection(const PathSample& sample, RandomGenerator& generator,
                                    const Vector3& wo, Vector3& wi, const Vector3& n,
                                    const Vector3& nFacing, bool& isSpecular, float& pdf) const = 0;

    // Stores the emitted radiance and keeps isEmitter in step with it (black by the sum test
    // means no emitter).
    void SetEmission(const Vector3& radiance);

    Vector3 emission;
    bool isEmitter = false;
    uint8_t flags = 0;
};

// 1/pi as every model writes it.
inline constexpr float InverseOfPi = 0.31830987f;

// Schlick's approximation: f0 + (1 - f0) * (1 - cosine)^5, per channel for a colour f0.
inline float Schlick(float cosine, float f0) {
    const float m = 1.0f - cosine;
    return f0 + (1.0f - f0) * (m * m * m * m * m);
}
inline Vector3 Schlick(float cosine, const Vector3& f0) {
    return {Schlick(cosine, f0.x), Schlick(cosine, f0.y), Schlick(cosine, f0.z)};
}

// A pdf the integrator can divide by: positive and finite. Anything else (zero, negative, NaN, or a
// reciprocal that overflowed) is turned into a rejected sample by the models.
inline bool IsUsablePdf(float pdf) {
    return pdf > 0.0f && pdf < std::numeric_limits<float>::infinity();
}

// The local direction (x, y, z) about normal, in the one frame every model uses: the basis
// (u, w) of BuildBasis, so wi = u * x + w * y + normal * z.
inline Vector3 FromLocalFrame(const Vector3& local, const Vector3& normal) {
    Vector3 u;
    Vector3 w;
    BuildBasis(normal, u, w);
    return u * local.x + w * local.y + normal * local.z;
}

// The lobe exponent term of the shiny and gloss models: 1 / (Exp + 1) for Exp > 0; 0 selects the
// perfect mirror.
inline float ExponentFactor(float exp) {
    return exp > 0.0f ? 1.0f / (exp + 1.0f) : 0.0f;
}

// FlagDiffuse for a non-black diffuse colour plus FlagSpecular for a non-black specular colour.
inline uint8_t DiffuseSpecularFlags(const Vector3& diffuse, const Vector3& specular) {
    return static_cast<uint8_t>((diffuse.IsBlack() ? 0 : FlagDiffuse) |
                                (specular.IsBlack() ? 0 : FlagSpecular));
}

// A direction about the mirror image of wo in m, spread by a Phong-like lobe: the cosine to the
// mirror direction is (1 - u2)^e, so the solid-angle density about it is
// (1/e) / (2 pi) * cos^(1/e - 1). A smaller e (e > 0) gives a tighter lobe. The side frame is
// chosen by looking at m, not at the mirror direction.
Vector3 SampleReflectionLobe(const Vector3& m, const Vector3& wo, float u1, float u2, float e);

}  // namespace glintor
