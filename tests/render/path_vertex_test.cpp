// The path integrator's bookkeeping at each vertex, observed through scripted stand-ins: a
// scattering model, lights, textures and bump maps whose answers the test sets and which record
// what the integrator hands them. A floor (z = 0, facing up) and a ceiling (z = 2, facing down)
// carry the paths; the camera ray starts half-way and points at the floor.
#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "geometry/plane_prim.h"
#include "lights/light_base.h"
#include "lights/sky_light.h"
#include "materials/brdf_matte.h"
#include "materials/bump_base.h"
#include "materials/bxdf.h"
#include "materials/texture_base.h"
#include "render/material.h"
#include "render/path_integrator.h"
#include "render/scene.h"
#include "tests/support/vector_expect.h"

namespace glintor {
namespace {

// Answers exactly what the test sets; records every sampling call.
class ScriptedBxDF : public BxDFBase {
public:
    explicit ScriptedBxDF(uint8_t flagBits) { flags = flagBits; }

    Vector3 BaseColor() const override { return base; }
    Vector3 Evaluate(const Vector3&, const Vector3&, const Vector3&) const override {
        return value;
    }
    Vector3 SampleDirection(const PathSample& sample, RandomGenerator&, const Vector3&, Vector3& wi,
                            const Vector3& n, const Vector3& nFacing, bool& isSpecular,
                            float& pdf) const override {
        samples.push_back(sample);
        normals.push_back(n);
        facingNormals.push_back(nFacing);
        wi = direction.value_or(nFacing);  // straight back unless told otherwise
        isSpecular = specular;
        pdf = samplePdf;
        return weight;
    }

    Vector3 base{1.0f, 1.0f, 1.0f};
    Vector3 value{1.0f, 1.0f, 1.0f};
    Vector3 weight{1.0f, 1.0f, 1.0f};
    float samplePdf = 1.0f;
    bool specular = false;
    std::optional<Vector3> direction;
    mutable std::vector<PathSample> samples;
    mutable std::vector<Vector3> normals;
    mutable std::vector<Vector3> facingNormals;
};

// A light whose sample and visibility are set by the test. Its radiance grows with lightU by
// `lightUWeight`, so results depend on which random number reached which sample.
class ScriptedLight : public LightBase {
public:
    void Sample(Vector3& out, const PathSample& sample, RandomGenerator&, Ray& shadowRay,
                const Vector3& point, const Vector3& normal, float& outPdf) const override {
        draws.emplace_back(sample.lightU, sample.lightV);
        out = radiance * (1.0f + lightUWeight * sample.lightU);
        if (writesPdf) {
            outPdf = pdf;
        }
        shadowRay.origin = point;
        shadowRay.direction = direction.value_or(normal);
        shadowRay.tMin = RayEpsilon;
        shadowRay.tMax = reach;
    }
    void Emitted(Vector3& out, const Vector3&, const Vector3*) const override { out = emitted; }
    // Reports a hit at `hitDistance` on the given call only, if nothing nearer was found.
    bool Intersect(const Ray& ray, Intersection& hit) const override {
        if (intersectCalls++ != hitOnCall || !(hitDistance < hit.distance)) {
            return false;
        }
        hit.distance = hitDistance;
        hit.normal = -ray.direction;
        return true;
    }

    Vector3 radiance{1.0f, 1.0f, 1.0f};
    float lightUWeight = 0.0f;
    float pdf = 1.0f;
    bool writesPdf = true;             // false: pdf is left as the caller set it
    std::optional<Vector3> direction;  // the lit point's facing normal unless set
    float reach = 1.5f;                // short of the ceiling
    int hitOnCall = -1;
    float hitDistance = 0.5f;
    Vector3 emitted{1.0f, 1.0f, 1.0f};
    mutable std::vector<std::pair<float, float>> draws;
    mutable int intersectCalls = 0;
};

// A texture or bump map answering a fixed vector; records the colour or normal it was handed.
template <typename Base>
class FixedAnswer : public Base {
public:
    explicit FixedAnswer(const Vector3& a) : answer(a) {}
    Vector3 Evaluate(const RandomGenerator&, const Intersection&,
                     const Vector3& given) const override {
        received.push_back(given);
        return answer;
    }
    Vector3 answer;
    mutable std::vector<Vector3> received;
};
using ScriptedTexture = FixedAnswer<TextureBase>;
using ScriptedBump = FixedAnswer<BumpBase>;

// The draws of a fresh generator, in order: the integrator's generator starts from the same seed.
std::vector<float> ReferenceDraws(int count) {
    RandomGenerator reference;
    std::vector<float> draws;
    for (int i = 0; i < count; ++i) {
        draws.push_back(reference.UniformFloat());
    }
    return draws;
}

struct Room {
    Scene scene;
    ScriptedBxDF* floor = nullptr;
    std::vector<ScriptedLight*> lights;

    // The floor's model is scripted; the ceiling gets its own model when one is given and
    // shares the floor's otherwise, or is left out.
    explicit Room(uint8_t floorFlags, std::unique_ptr<BxDFBase> ceiling = nullptr,
                  bool withCeiling = true) {
        scene.settings.maxDepth = 1;
        auto floorBxdf = std::make_unique<ScriptedBxDF>(floorFlags);
        floor = floorBxdf.get();
        AddMaterial(std::move(floorBxdf));
        AddPlane(Vector3(0, 0, 1), 0.0f, 0);
        if (!withCeiling) {
            return;
        }
        int ceilingId = 0;
        if (ceiling != nullptr) {
            AddMaterial(std::move(ceiling));
            ceilingId = 1;
        }
        AddPlane(Vector3(0, 0, -1), 2.0f, ceilingId);
    }

    Material& AddMaterial(std::unique_ptr<BxDFBase> bxdf) {
        auto material = std::make_unique<Material>();
        material->bxdf = std::move(bxdf);
        scene.materials.push_back(std::move(material));
        return *scene.materials.back();
    }

    void AddPlane(const Vector3& normal, float dist, int materialId) {
        auto plane = std::make_unique<PlanePrim>();
        plane->planeNormal = normal;
        plane->dist = dist;
        plane->materialId = static_cast<uint8_t>(materialId);
        scene.objects.push_back(std::move(plane));
    }

    ScriptedLight& AddLight() {
        auto light = std::make_unique<ScriptedLight>();
        lights.push_back(light.get());
        scene.lights.push_back(std::move(light));
        return *lights.back();
    }

    Vector3 Trace(PathIntegrator& integrator) {
        Vector3 colour;
        PathSample sample;
        integrator.Radiance(Ray(Vector3(0, 0, 1), Vector3(0, 0, -1), RayInfinity), scene, colour,
                            sample);
        return colour;
    }
};

TEST(PathVertex, EveryLightIsSampledShadowRaysTimesEachWeightedByOneOverShadowRaysTimesPdf) {
    Room room(FlagDiffuse);
    room.scene.settings.shadowRays = 3;
    ScriptedBxDF& floor = *room.floor;
    floor.base = Vector3(0.5f, 0.25f, 1.0f);
    floor.value = Vector3(0.3f, 0.2f, 0.1f);
    floor.samplePdf = 0.0f;  // the path ends after its direct light

    ScriptedLight& tilted = room.AddLight();
    tilted.radiance = Vector3(2, 4, 6);
    tilted.lightUWeight = 1.0f;
    tilted.pdf = 3.0f;
    tilted.direction = Vector3(0.6f, 0.0f, 0.8f);
    ScriptedLight& overhead = room.AddLight();
    overhead.lightUWeight = 1.0f;
    overhead.pdf = 0.5f;
    // Contribute nothing: shadowed by the ceiling, no pdf (the caller's 0 stays), black by the
    // sum test.
    ScriptedLight& shadowed = room.AddLight();
    shadowed.radiance = Vector3(5, 5, 5);
    shadowed.reach = RayInfinity;
    ScriptedLight& noPdf = room.AddLight();
    noPdf.radiance = Vector3(7, 7, 7);
    noPdf.writesPdf = false;
    ScriptedLight& black = room.AddLight();
    black.radiance = Vector3(1, -1, 0);

    PathIntegrator integrator;
    const Vector3 colour = room.Trace(integrator);

    // Draws: scatterU and scatterV, then (lightU, lightV) per light sample, light by light.
    const std::vector<float> r = ReferenceDraws(32);
    double expected[3] = {0, 0, 0};
    const std::pair<ScriptedLight*, double> lit[] = {{&tilted, 0.8}, {&overhead, 1.0}};
    for (int l = 0; l < 2; ++l) {
        const ScriptedLight& light = *lit[l].first;
        for (int s = 0; s < 3; ++s) {
            const float u = r[2 + 6 * l + 2 * s];
            ASSERT_EQ(light.draws[s], std::make_pair(u, r[3 + 6 * l + 2 * s]));
            for (int c = 0; c < 3; ++c) {
                expected[c] += double{floor.base[c]} * floor.value[c] * light.radiance[c] *
                               (1.0 + u) * lit[l].second / (3.0 * light.pdf);
            }
        }
    }
    for (int c = 0; c < 3; ++c) {
        EXPECT_NEAR(colour[c], expected[c], 1e-6 * expected[c]) << c;
    }
    for (const ScriptedLight* light : room.lights) {
        EXPECT_EQ(light->draws.size(), 3u);
    }
    EXPECT_EQ(black.draws.back(), std::make_pair(r[30], r[31]));
    ASSERT_EQ(floor.samples.size(), 1u);
    EXPECT_EQ(floor.samples[0].scatterU, r[0]);
    EXPECT_EQ(floor.samples[0].scatterV, r[1]);
    EXPECT_EQ(floor.samples[0].lightU, r[30]);  // the last light sample's, as the gloss model uses
    EXPECT_EQ(integrator.rayCount, 1u + 5u * 3u);
}

// The floor sends the path up towards the ceiling with throughput f / pdf = 0.25; what the next
// ray counts depends on how the floor scattered.
TEST(PathVertex, LightsAndEmittersCountDirectlyOnlyAfterASpecularBounce) {
    const Vector3 up(0.6f, 0.0f, 0.8f);
    const Vector3 ceilingEmission(1.0f, 2.0f, 3.0f);
    const Vector3 lightEmission(3.0f, 5.0f, 7.0f);
    struct Case {
        bool specular;
        float lightDistance;  // along the bounced ray; the ceiling lies 2.5 away
        Vector3 expected;
    };
    const Case cases[] = {
        {true, 1.0f, lightEmission * 0.25f},             // the light, in front of the ceiling
        {true, 5.0f, ceilingEmission * (0.25f * 0.8f)},  // the emitter, with |cos|
        {false, 1.0f, ceilingEmission * 0.25f},          // the emitter, in full; no light
    };
    for (const Case& c : cases) {
        auto emitter = std::make_unique<BRDF_Matte>();
        emitter->Set(Vector3());
        emitter->SetEmission(ceilingEmission);
        Room room(FlagSpecular, std::move(emitter));
        room.scene.settings.maxDepth = 2;
        room.floor->weight = Vector3(0.5f, 0.5f, 0.5f);
        room.floor->samplePdf = 2.0f;
        room.floor->specular = c.specular;
        room.floor->direction = up;
        ScriptedLight& light = room.AddLight();
        light.hitOnCall = 1;  // call 0 is the camera ray's
        light.hitDistance = c.lightDistance;
        light.emitted = lightEmission;
        PathIntegrator integrator;
        const Vector3 colour = room.Trace(integrator);
        for (int i = 0; i < 3; ++i) {
            EXPECT_FLOAT_EQ(colour[i], c.expected[i]) << c.specular << " " << c.lightDistance;
        }
        EXPECT_EQ(light.intersectCalls, c.specular ? 2 : 1);
    }

    // The bounce is not traced past the depth limit, nor when the model answers black or pdf 0.
    struct Stop {
        int maxDepth;
        Vector3 weight;
        float pdf;
    };
    for (const Stop& stop :
         {Stop{1, Vector3(0.5f, 0.5f, 0.5f), 2.0f}, Stop{2, Vector3(1.0f, -1.0f, 0.0f), 2.0f},
          Stop{2, Vector3(0.5f, 0.5f, 0.5f), 0.0f}}) {
        Room room(FlagSpecular);
        room.scene.settings.maxDepth = stop.maxDepth;
        room.floor->weight = stop.weight;
        room.floor->samplePdf = stop.pdf;
        room.floor->specular = true;
        ScriptedLight& light = room.AddLight();
        light.hitOnCall = 1;
        PathIntegrator integrator;
        EXPECT_EQ(room.Trace(integrator), Vector3()) << stop.maxDepth << " " << stop.pdf;
        EXPECT_EQ(light.intersectCalls, 1);
        EXPECT_EQ(integrator.rayCount, 1u);
    }

    // With nothing above, the bounced ray leaves the scene: the sky counts after a specular
    // bounce when the scene has an environment, and never after a diffuse one.
    for (const bool specular : {true, false}) {
        for (const bool hasEnvironment : {true, false}) {
            Room open(FlagSpecular, nullptr, false);
            open.scene.settings.maxDepth = 2;
            open.floor->weight = Vector3(0.5f, 0.5f, 0.5f);
            open.floor->samplePdf = 2.0f;
            open.floor->specular = specular;
            open.floor->direction = up;
            auto sky = std::make_unique<SkyLight>();
            sky->Setup(Vector3(0.3f, 0.2f, 0.9f), 3.0f, 1.0f);
            open.scene.skyLight = sky.get();
            open.scene.lights.push_back(std::move(sky));
            open.scene.hasEnvironment = hasEnvironment;
            Vector3 skyRadiance;
            open.scene.skyLight->Emitted(skyRadiance, up, nullptr);
            PathIntegrator integrator;
            const Vector3 colour = open.Trace(integrator);
            const Vector3 expected = specular && hasEnvironment ? skyRadiance * 0.25f : Vector3();
            for (int i = 0; i < 3; ++i) {
                EXPECT_FLOAT_EQ(colour[i], expected[i]) << specular << " " << hasEnvironment;
            }
        }
    }
}

// Straight up and down between floor and ceiling with throughput factor F per vertex; the light
// shows up on the ray of `depth` 4 and adds the throughput reached there times 1.
TEST(PathVertex, RussianRouletteDividesBySurvivalProbabilityFromDepthAboveRRDepth) {
    const std::vector<float> r = ReferenceDraws(12);
    struct Case {
        Vector3 factor;
        float rrProbability;
        float survival;  // p: the larger of rrProbability and T's largest component
        bool survives;
    };
    const Case cases[] = {
        // T = (0.6561, 0.1296, 0.0081) below 0.8: p = 0.8, and the roulette draw 0.2596 < p.
        {Vector3(0.9f, 0.6f, 0.3f), 0.8f, 0.8f, true},
        // T.x = 1.5^4 = 5.0625 above the probability: p is T's largest component.
        {Vector3(1.5f, 0.6f, 0.3f), 0.25f, 5.0625f, true},
        // T = (0.0081, ...) and p = 0.25: the draw 0.2596 ends the path.
        {Vector3(0.3f, 0.2f, 0.1f), 0.25f, 0.25f, false},
    };
    bool roundingShows = false;
    for (const Case& c : cases) {
        Room room(FlagSpecular);
        room.scene.settings.maxDepth = 8;
        room.scene.settings.rrDepth = 2;
        room.scene.settings.rrProbability = c.rrProbability;
        room.floor->weight = c.factor;
        room.floor->specular = true;
        ScriptedLight& light = room.AddLight();
        light.hitOnCall = 4;
        PathIntegrator integrator;
        const Vector3 colour = room.Trace(integrator);

        // The roulette draw comes after vertex 3's two scatter numbers: draw 8.
        ASSERT_EQ(c.survives, r[8] < c.survival);
        Vector3 throughput(1, 1, 1);
        for (int vertex = 0; vertex < 4; ++vertex) {
            throughput = throughput * c.factor;
        }
        const Vector3 expected = c.survives
                                     ? Vector3(throughput.x / c.survival, throughput.y / c.survival,
                                               throughput.z / c.survival)
                                     : Vector3();
        EXPECT_EQ(colour, expected) << c.rrProbability;
        roundingShows =
            roundingShows || (c.survives && expected != throughput * (1.0f / c.survival));

        // Vertices 0 to 3 (depth 0 to 2 draw no roulette number) read draws 0 to 7.
        ASSERT_EQ(room.floor->samples.size(), 4u);
        for (int vertex = 0; vertex < 4; ++vertex) {
            EXPECT_EQ(room.floor->samples[vertex].depth, vertex);
            EXPECT_EQ(room.floor->samples[vertex].scatterU, r[2 * vertex]);
            EXPECT_EQ(room.floor->samples[vertex].scatterV, r[2 * vertex + 1]);
        }
        EXPECT_EQ(light.intersectCalls, c.survives ? 5 : 4);
    }
    // A multiplication by 1/p rounds differently for these values, which the exact comparisons
    // above would notice.
    EXPECT_TRUE(roundingShows);
}

TEST(PathVertex, SurfaceColourIsTheBaseColourTimesEachTextureInTurn) {
    for (const bool diffuse : {true, false}) {
        Room room(diffuse ? FlagDiffuse : FlagSpecular);
        room.scene.settings.maxDepth = 2;
        room.floor->base = Vector3(0.5f, 0.5f, 0.5f);
        room.floor->specular = true;
        Material& floor = *room.scene.materials[0];
        auto first = std::make_unique<ScriptedTexture>(Vector3(0.5f, 2.0f, 1.0f));
        auto second = std::make_unique<ScriptedTexture>(Vector3(1.0f, 0.25f, 3.0f));
        const ScriptedTexture& a = *first;
        const ScriptedTexture& b = *second;
        floor.textures.push_back(std::move(first));
        floor.textures.push_back(std::move(second));
        ScriptedLight& light = room.AddLight();
        light.hitOnCall = 1;

        PathIntegrator integrator;
        const Vector3 colour = room.Trace(integrator);
        // Diffuse: the base colour starts the chain and the surface colour weighs the direct
        // light (radiance, f, cos and pdf all 1) and the bounce. Otherwise it starts from white.
        const Vector3 start = diffuse ? Vector3(0.5f, 0.5f, 0.5f) : Vector3(1, 1, 1);
        ASSERT_EQ(a.received.size(), 1u);
        EXPECT_EQ(a.received[0], start);
        EXPECT_EQ(b.received[0], start * Vector3(0.5f, 2.0f, 1.0f));
        const Vector3 surface = start * Vector3(0.5f, 2.0f, 1.0f) * Vector3(1.0f, 0.25f, 3.0f);
        EXPECT_EQ(colour, diffuse ? surface * 2.0f : surface);
    }
}

TEST(PathVertex, BumpMapsReplaceTheNormalByTheirPlainAverage) {
    Room room(FlagSpecular);
    room.floor->samplePdf = 0.0f;
    Material& floor = *room.scene.materials[0];
    const Vector3 results[] = {Vector3(0.2f, -0.3f, -0.9f), Vector3(-0.1f, 0.25f, -0.7f),
                               Vector3(0.35f, 0.05f, -0.6f)};
    std::vector<const ScriptedBump*> maps;
    for (const Vector3& result : results) {
        auto map = std::make_unique<ScriptedBump>(result);
        maps.push_back(map.get());
        floor.bumpMaps.push_back(std::move(map));
    }
    PathIntegrator integrator;
    room.Trace(integrator);

    for (const ScriptedBump* map : maps) {
        ASSERT_EQ(map->received.size(), 1u);
        EXPECT_EQ(map->received[0], Vector3(0, 0, 1));  // each sees the plane's own normal
    }
    const Vector3 sum = results[0] + results[1] + results[2];
    const Vector3 average(sum.x / 3.0f, sum.y / 3.0f, sum.z / 3.0f);
    ASSERT_NE(average.x, sum.x * (1.0f / 3.0f));  // a reciprocal would round differently
    ASSERT_EQ(room.floor->normals.size(), 1u);
    EXPECT_EQ(room.floor->normals[0], average);  // not renormalised
    // The average faces away from the camera ray's origin, so the facing normal is its negation.
    EXPECT_EQ(room.floor->facingNormals[0], -average);
}

}  // namespace
}  // namespace glintor
