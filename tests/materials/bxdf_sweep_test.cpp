// A million random inputs per model: sampled directions, weights and pdfs, and evaluations, must
// all be finite, the pdf never negative, and a rejected sample (pdf 0) black. The inputs lean on
// the awkward corners: numbers on the quarter points and the ends of [0, 1), axis-aligned and
// diagonal normals, grazing wo, and wo below nFacing (which the integrator never produces).
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "materials/brdf_anisotropic.h"
#include "materials/brdf_gloss.h"
#include "materials/brdf_matte.h"
#include "materials/brdf_shiny.h"
#include "materials/brdf_ward.h"
#include "materials/btdf_glass.h"
#include "materials/btdf_thin_glass.h"

namespace glintor {
namespace {

constexpr int InputsPerModel = 1000000;

bool IsFinite(const Vector3& v) {
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

std::string Describe(const Vector3& v) {
    std::ostringstream out;
    out.precision(9);
    out << "(" << v.x << ", " << v.y << ", " << v.z << ")";
    return out.str();
}

class InputSource {
public:
    // A uniform number on the 24-bit grid the renderer uses, or now and then one of its corners.
    float Number() {
        static constexpr float Corners[] = {0.0f, 0x1p-24f, 0.25f, 0.5f, 0.75f, 1.0f - 0x1p-24f};
        if (engine() % 8 == 0) {
            return Corners[engine() % 6];
        }
        return static_cast<float>(engine() & 0xFFFFFF) * 0x1p-24f;
    }

    Vector3 UnitVector() {
        static const Vector3 Special[] = {{1, 0, 0},
                                          {0, 1, 0},
                                          {0, 0, 1},
                                          Vector3(1, 1, 0).Normalized(),
                                          Vector3(1, 0, 1).Normalized(),
                                          Vector3(0, 1, 1).Normalized(),
                                          Vector3(1, 1, 1).Normalized(),
                                          Vector3(0.1f, 0, 1).Normalized()};
        if (engine() % 8 == 0) {
            const Vector3 v = Special[engine() % 8];
            return engine() % 2 ? v : -v;
        }
        Vector3 v;
        do {
            v = Vector3(gaussian(engine), gaussian(engine), gaussian(engine));
        } while (v.LengthSquared() < 1e-6f);
        return v.Normalized();
    }

    // wo: anywhere, grazing (in the plane of n, up to rounding), or along +-n. nFacing: facing
    // wo as the integrator makes it, or either side of n regardless of wo.
    void Directions(Vector3& wo, Vector3& n, Vector3& nFacing) {
        n = UnitVector();
        switch (engine() % 4) {
            case 0: {
                Vector3 t = UnitVector();
                t -= n * Dot(t, n);
                wo = t.LengthSquared() > 1e-6f ? t.Normalized()
                                               : Cross(n, Vector3(0.6f, 0, 0.8f)).Normalized();
                break;
            }
            case 1:
                wo = engine() % 2 ? n : -n;
                break;
            default:
                wo = UnitVector();
        }
        if (engine() % 4 == 0) {
            nFacing = engine() % 2 ? n : -n;
        } else {
            nFacing = Dot(-wo, n) > 0.0f ? -n : n;
        }
    }

private:
    std::mt19937 engine{20240611u};
    std::normal_distribution<float> gaussian;
};

using ModelList = std::vector<std::unique_ptr<BxDFBase>>;

void Sweep(const char* name, const ModelList& models) {
    static RandomGenerator generator;
    InputSource source;
    int failures = 0;
    for (int i = 0; i < InputsPerModel && failures < 5; ++i) {
        const BxDFBase& bxdf = *models[i % models.size()];
        Vector3 wo, n, nFacing;
        source.Directions(wo, n, nFacing);
        PathSample sample{};
        sample.scatterU = source.Number();
        sample.scatterV = source.Number();
        sample.lightU = source.Number();
        sample.lightV = source.Number();

        Vector3 wi(7, 7, 7);
        bool isSpecular = false;
        float pdf = -1.0f;
        const Vector3 f =
            bxdf.SampleDirection(sample, generator, wo, wi, n, nFacing, isSpecular, pdf);
        const Vector3 light = source.UnitVector();
        const Vector3 atLight = bxdf.Evaluate(wo, light, nFacing);
        const Vector3 atSample = bxdf.Evaluate(wo, wi, nFacing);

        const bool ok = IsFinite(f) && IsFinite(wi) && std::isfinite(pdf) && pdf >= 0.0f &&
                        (pdf > 0.0f || f.IsBlack()) && IsFinite(atLight) && IsFinite(atSample);
        if (!ok) {
            ++failures;
            ADD_FAILURE() << name << " model " << i % models.size() << " wo " << Describe(wo)
                          << " n " << Describe(n) << " nFacing " << Describe(nFacing) << " u "
                          << sample.scatterU << " v " << sample.scatterV << " lightU "
                          << sample.lightU << " -> f " << Describe(f) << " wi " << Describe(wi)
                          << " pdf " << pdf << " Evaluate(light " << Describe(light) << ") "
                          << Describe(atLight) << " Evaluate(wi) " << Describe(atSample);
        }
    }
}

template <typename Model, typename... Args>
std::unique_ptr<BxDFBase> Make(Args... args) {
    auto model = std::make_unique<Model>();
    model->Set(args...);
    return model;
}

const Vector3 White(1, 1, 1);
const Vector3 Grey(0.5f, 0.4f, 0.3f);
const Vector3 Black;

TEST(BxDFSweep, MatteAndShiny) {
    ModelList matte;
    matte.push_back(Make<BRDF_Matte>(Grey));
    matte.push_back(Make<BRDF_Matte>(Black));
    Sweep("matte", matte);

    ModelList shiny;
    for (const float exp : {0.0f, 1.0f, 9.0f, 10000.0f}) {
        shiny.push_back(Make<BRDF_Shiny>(Grey, 1.0f, exp));
    }
    Sweep("shiny", shiny);
}

TEST(BxDFSweep, Gloss) {
    ModelList gloss;
    for (const float fresnel : {0.0f, 1e-40f, 0.04f, 1.0f}) {
        for (const float exp : {0.0f, 1.0f, 10000.0f}) {
            gloss.push_back(Make<BRDF_Gloss>(White, Grey, fresnel, exp));
            gloss.push_back(Make<BRDF_Gloss>(White, Black, fresnel, exp));
        }
    }
    Sweep("gloss", gloss);
}

TEST(BxDFSweep, AnisotropicAndWard) {
    const float exponents[][2] = {{0, 0}, {10, 10}, {0, 10000}, {10000, 1}, {10, 100}};
    ModelList anisotropic;
    for (const auto& e : exponents) {
        anisotropic.push_back(Make<BRDF_Anisotropic>(Grey, Grey, e[0], e[1]));
        anisotropic.push_back(Make<BRDF_Anisotropic>(White, Black, e[0], e[1]));
    }
    Sweep("anisotropic", anisotropic);

    const float roughness[][2] = {{0, 0}, {1e-30f, 0.01f}, {0.1f, 0.3f}, {10, 10}, {10000, 0.5f}};
    ModelList ward;
    for (const auto& a : roughness) {
        ward.push_back(Make<BRDF_Ward>(Grey, Grey, a[0], a[1]));
    }
    Sweep("ward", ward);
}

TEST(BxDFSweep, GlassAndThinGlass) {
    ModelList glass;
    for (const float ior : {0.0f, 1e-30f, 0.5f, 1.0f, 1.0003f, 1.5f, 5.0f}) {
        glass.push_back(Make<BTDF_Glass>(White, Grey, ior));
    }
    Sweep("glass", glass);

    ModelList thin;
    thin.push_back(Make<BTDF_ThinGlass>(Vector3(0.9f, 0.9f, 0.9f), Vector3(0.1f, 0.1f, 0.1f)));
    thin.push_back(Make<BTDF_ThinGlass>(Black, Black));
    thin.push_back(Make<BTDF_ThinGlass>(Black, White));
    thin.push_back(Make<BTDF_ThinGlass>(White, Black));
    thin.push_back(Make<BTDF_ThinGlass>(Vector3(-1, -1, -1), White));
    Sweep("thin glass", thin);
}

}  // namespace
}  // namespace glintor
