// Everything the renderer reads from one scene file. The program entry owns one Scene, the loader
// fills it once, and afterwards every thread only reads it.
//
// Each field starts at the value that holds when the section that sets it is absent from the file.
// A section that is present but lacks an element gives that element the reader's own default,
// which often differs (see docs/scene-format.md).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "math/vector.h"

namespace glintor {

struct Material;
class ObjectBase;
class LightBase;
class EnvLight;
class SkyLight;

struct RenderSettings {
    std::string savedImage;
    int32_t maxDepth = 6;
    int32_t gaussianFilter = 1;
    float filterRadius = 1.0f;
    int32_t samples = 32;
    int32_t shadowRays = 1;
    int32_t rrDepth = 3;
    float rrProbability = 0.25f;
    // 0 asks for one render thread per processor.
    int32_t threads = 0;
    int32_t pixelBlockSize = 64;
};

struct Scene {
    Scene();
    ~Scene();
    Scene(const Scene&) = delete;
    Scene& operator=(const Scene&) = delete;

    int16_t width = 640;
    int16_t height = 480;
    // The Film section is required and always sets the gamma; this start value only keeps a Scene
    // that was never loaded from holding an indeterminate number.
    float gamma = 2.2f;
    float linearScale = 1.0f;
    float reinhardPreScale = 1.0f;
    float reinhardPostScale = 1.2f;
    float reinhardBurn = 3.75f;
    bool useReinhard = false;

    RenderSettings settings;

    Vector3 cameraPos{0.0f, 0.0f, 0.0f};
    Vector3 cameraLookAt{0.0f, 0.0f, 0.0f};
    Vector3 cameraUp{0.0f, 1.0f, 0.0f};
    float fov = 40.0f;  // degrees
    float lensRadius = 0.0f;
    float focalLength = 0.0f;
    float focalPoint = 0.0f;

    // The section readers reserve each list for the number of its child elements. A material's
    // position in `materials` is its identifier. The lights list may outgrow its reservation (one
    // sun-and-sky element adds two lights).
    std::vector<std::unique_ptr<Material>> materials;
    std::vector<std::unique_ptr<ObjectBase>> objects;
    std::vector<std::unique_ptr<LightBase>> lights;

    // Set once an environment or sun-and-sky light was read; a scene holds at most one of them.
    bool hasEnvironment = false;
    // Both point into `lights`, which owns them.
    EnvLight* envLight = nullptr;
    SkyLight* skyLight = nullptr;

    // Bounding sphere of all objects.
    Vector3 worldCenter{0.0f, 0.0f, 0.0f};
    float worldRadius = 1.0f;
    int32_t meshTriangleCount = 0;

    // The files loading was asked to read, in order: the scene file, then its meshes and
    // pictures, including those that could not be read.
    std::vector<std::string> sourceFiles;
};

}  // namespace glintor
