// The environment types of the Lights section: an image-based environment light, optionally with
// a sun, or the analytic sun-and-sky pair. A scene holds at most one of them.
#include <memory>

#include "lights/env_light.h"
#include "lights/sky_light.h"
#include "lights/sun_light.h"
#include "scene/scene_sections.h"
#include "scene/value_readers.h"

namespace glintor {

namespace {

const char* ChildText(const XmlNode& parent, const char* name) {
    return parent.GetChild(name).GetText();
}

// A second environment is the section's one fatal error. It is written in the warning form, so
// it reads as a warning, but loading stops after it.
bool ClaimEnvironment(Scene& scene) {
    if (scene.hasEnvironment) {
        ReportSceneError("Already Exists", "<Light type=\"DirectLighting\"");
        return false;
    }
    scene.hasEnvironment = true;
    return true;
}

// Both environment types label the sun's turbidity "<Light><Turbidity>".
float ReadSunTurbidity(const XmlNode& light) {
    return ReadReal(ChildText(light, "SunTurbidity"), "<Light><Turbidity>", 0.001f, 1000.0f, 2.0f);
}

float ReadSunGain(const XmlNode& light) {
    return ReadReal(ChildText(light, "SunGain"), "<Light><SunGain>", 0.001f, 10.0f, 0.002f);
}

float ReadSunSize(const XmlNode& light) {
    return ReadReal(ChildText(light, "SunSize"), "<Light><SunSize>", 0.001f, 10.0f, 1.0f);
}

void AddSun(Scene& scene, const Vector3& direction, float turbidity, float size, float gain) {
    auto sun = std::make_unique<SunLight>();
    sun->Setup(direction, turbidity, size, gain);
    scene.lights.push_back(std::move(sun));
}

}  // namespace

bool ReadEnvLight(const XmlNode& element, Scene& scene) {
    if (!ClaimEnvironment(scene)) {
        return false;
    }
    auto owned = std::make_unique<EnvLight>();
    EnvLight& light = *owned;
    scene.lights.push_back(std::move(owned));
    scene.envLight = &light;

    // A missing or unreadable picture is reported but not fatal: the light stays without one,
    // and Prepare leaves such a light unsampled and black.
    const char* file = ChildText(element, "File");
    if (file == nullptr) {
        ReportSceneError(nullptr, "<File>");
    } else if (!light.Image.Load(file, 1.0f)) {
        ReportSceneError(file, "<File>");
    }
    light.Power = ReadReal(ChildText(element, "Power"), "<Light><Power>", 0.001f, 1000.0f, 1.0f);
    light.Prepare();

    // The sun's values are read only when there is a sun.
    const Vector3 sunDirection = ReadVector(element, "SunDirection", "<Light><SunDirection>");
    if (sunDirection.Length() > 0.0f) {
        const float turbidity = ReadSunTurbidity(element);
        const float gain = ReadSunGain(element);
        const float size = ReadSunSize(element);
        AddSun(scene, sunDirection, turbidity, size, gain);
    }
    return true;
}

bool ReadSunSkyLight(const XmlNode& element, Scene& scene) {
    if (!ClaimEnvironment(scene)) {
        return false;
    }
    // No length test here: without SunDirection both get a zero direction, which the sky takes
    // for a sun on the horizon at azimuth 0 and the sun for no sun at all.
    const Vector3 sunDirection = ReadVector(element, "SunDirection", "<Light><SunDirection>");
    const float sunTurbidity = ReadSunTurbidity(element);
    const float skyTurbidity = ReadReal(ChildText(element, "SkyTurbidity"), "<Light><SkyTurbidity>",
                                        0.001f, 1000.0f, 2.0f);
    const float sunGain = ReadSunGain(element);
    const float skyGain =
        ReadReal(ChildText(element, "SkyGain"), "<Light><SkyGain>", 0.001f, 10.0f, 0.002f);
    const float sunSize = ReadSunSize(element);

    auto sky = std::make_unique<SkyLight>();
    sky->Setup(sunDirection, skyTurbidity, skyGain);
    scene.skyLight = sky.get();
    scene.lights.push_back(std::move(sky));
    AddSun(scene, sunDirection, sunTurbidity, sunSize, sunGain);
    return true;
}

}  // namespace glintor
