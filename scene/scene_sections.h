// One reader per section of the scene file, called by ReadSceneDocument in file order. Each takes
// the section's element and reads its values with the value readers; the document order of the
// sections and their fatal messages stay in the loader.
#pragma once

#include "scene/scene.h"
#include "scene/xml_node.h"

namespace glintor {

void ReadThreadingSection(const XmlNode& threading, RenderSettings& settings);
void ReadRenderSection(const XmlNode& render, RenderSettings& settings);
void ReadCameraSection(const XmlNode& camera, Scene& scene);
void ReadFilmSection(const XmlNode& film, Scene& scene);

}  // namespace glintor
