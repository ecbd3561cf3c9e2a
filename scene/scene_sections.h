// One reader per section of the scene file, called by ReadSceneDocument in file order. Each takes
// the section's element and reads its values with the value readers; the document order of the
// sections and their fatal messages stay in the loader. Readers that answer bool answer false
// after a fatal message of their own, and the loader then stops.
#pragma once

#include "formats/xml_node.h"
#include "render/scene.h"

namespace glintor {

void ReadThreadingSection(const XmlNode& threading, RenderSettings& settings);
void ReadRenderSection(const XmlNode& render, RenderSettings& settings);
void ReadCameraSection(const XmlNode& camera, Scene& scene);
void ReadFilmSection(const XmlNode& film, Scene& scene);
bool ReadMaterialsSection(const XmlNode& materials, Scene& scene);
// Also computes the world's bounding sphere and prints its radius.
bool ReadObjectsSection(const XmlNode& objects, Scene& scene);
bool ReadLightsSection(const XmlNode& lights, Scene& scene);
// The environment branches of the Lights section, for one Light element of type Env or SunSky.
// Both fail on a second environment of either type.
bool ReadEnvLight(const XmlNode& light, Scene& scene);
bool ReadSunSkyLight(const XmlNode& light, Scene& scene);

}  // namespace glintor
