// The single entry of the scene description: reads a scene file into a Scene.
#pragma once

#include "formats/xml_node.h"
#include "render/scene.h"

namespace glintor {

// Reads the file at `path` into `scene`, which must be freshly constructed. Answers false after a
// fatal message (a mandatory section missing or an entry unusable); the caller then discards the
// scene, since nothing read before the failure is undone. A malformed XML document does not
// return: the reader shows its message and ends the process with exit code 255.
bool LoadScene(const char* path, Scene& scene);

// The same for a document already opened; `root` is its "Glintor" element. An empty root is
// reported as an invalid file.
bool ReadSceneDocument(const XmlNode& root, Scene& scene);

}  // namespace glintor
