// The Lights section: point lights, spherical and rectangular area lights here; the environment
// and sun-and-sky types in environment_lights_section.cpp.
#include <strings.h>

#include <memory>

#include "lights/area_light.h"
#include "lights/point_light.h"
#include "lights/sphere_area_light.h"
#include "scene/scene_sections.h"
#include "scene/value_readers.h"

namespace glintor {

namespace {

const char* ChildText(const XmlNode& parent, const char* name) {
    return parent.GetChild(name).GetText();
}

bool IsType(const char* type, const char* keyword) {
    return strcasecmp(type, keyword) == 0;
}

// Radius, Power, Height and Width share one range and default.
float ReadLightSize(const XmlNode& light, const char* name, const char* label) {
    return ReadReal(ChildText(light, name), label, 0.001f, 1000.0f, 1.0f);
}

// Each light is appended before its values are read, in the order the file format lists them.

void ReadPointLight(const XmlNode& element, Scene& scene) {
    auto owned = std::make_unique<PointLight>();
    PointLight& light = *owned;
    scene.lights.push_back(std::move(owned));
    // The position is written Pos but reported under the label "<Light><Center>".
    light.Pos = ReadVector(element, "Pos", "<Light><Center>");
    light.Color = ReadColor(element, "Color", "<Light><Color>");
}

void ReadSphereLight(const XmlNode& element, Scene& scene) {
    auto owned = std::make_unique<SphereAreaLight>();
    SphereAreaLight& light = *owned;
    scene.lights.push_back(std::move(owned));
    light.Radius = ReadLightSize(element, "Radius", "<Light><Radius>");
    light.Power = ReadLightSize(element, "Power", "<Light><Power>");
    light.Pos = ReadVector(element, "Pos", "<Light><Pos>");
    light.Color = ReadColor(element, "Color", "<Light><Color>");
    light.Prepare();
}

void ReadAreaLight(const XmlNode& element, Scene& scene) {
    auto owned = std::make_unique<AreaLight>();
    AreaLight& light = *owned;
    scene.lights.push_back(std::move(owned));
    light.Pos = ReadVector(element, "Pos", "<Light><Pos>");
    const Vector3 rotation = ReadRotation(element);
    light.Rotate[0] = rotation.x;
    light.Rotate[1] = rotation.y;
    light.Rotate[2] = rotation.z;
    light.Color = ReadColor(element, "Color", "<Light><Color>");
    light.Height = ReadLightSize(element, "Height", "<Light><Height>");
    light.Width = ReadLightSize(element, "Width", "<Light><Width>");
    light.Power = ReadLightSize(element, "Power", "<Light><Power>");
    light.Prepare();
}

}  // namespace

bool ReadLightsSection(const XmlNode& lights, Scene& scene) {
    const int count = lights.CountChildren("Light");
    if (count == 0) {
        return true;
    }
    // One SunSky element adds two lights, so the list may still grow past this.
    scene.lights.reserve(static_cast<size_t>(count));
    int position = 0;
    for (XmlNode light = lights.GetChild("Light", position); light;
         light = lights.GetChild("Light", position)) {
        const char* type = light.GetAttribute("Type");
        if (type == nullptr) {
            continue;
        }
        if (IsType(type, "Point")) {
            ReadPointLight(light, scene);
        } else if (IsType(type, "Sphere")) {
            ReadSphereLight(light, scene);
        } else if (IsType(type, "Area")) {
            ReadAreaLight(light, scene);
        } else if (IsType(type, "Env")) {
            if (!ReadEnvLight(light, scene)) {
                return false;
            }
        } else if (IsType(type, "SunSky")) {
            if (!ReadSunSkyLight(light, scene)) {
                return false;
            }
        }
    }
    return true;
}

}  // namespace glintor
