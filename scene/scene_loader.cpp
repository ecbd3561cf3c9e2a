#include "scene/scene_loader.h"

#include "formats/files_read.h"
#include "scene/scene_sections.h"
#include "scene/value_readers.h"

namespace glintor {

namespace {

bool Fail(const char* message) {
    ReportSceneError(nullptr, message);
    return false;
}

}  // namespace

bool LoadScene(const char* path, Scene& scene) {
    TakeFilesRead();  // whatever was read before is not this scene's
    bool loaded = false;
    {
        // The document lives only in this block; every handle is released on every path.
        const XmlNode root = OpenSceneDocument(path);
        loaded = ReadSceneDocument(root, scene);
    }
    scene.sourceFiles = TakeFilesRead();
    return loaded;
}

bool ReadSceneDocument(const XmlNode& root, Scene& scene) {
    if (!root) {
        return Fail("Invalid XML File");
    }
    const XmlNode sceneNode = root.GetChild("Scene");
    if (!sceneNode) {
        return Fail("<Scene> node missing");
    }
    // Threading and Render are optional: without them the settings keep their start values.
    if (const XmlNode threading = sceneNode.GetChild("Threading")) {
        ReadThreadingSection(threading, scene.settings);
    }
    if (const XmlNode render = sceneNode.GetChild("Render")) {
        ReadRenderSection(render, scene.settings);
    }
    const XmlNode camera = sceneNode.GetChild("Camera");
    if (!camera) {
        return Fail("<Camera> node missing");
    }
    ReadCameraSection(camera, scene);
    const XmlNode film = sceneNode.GetChild("Film");
    if (!film) {
        return Fail("Film node missing");
    }
    ReadFilmSection(film, scene);

    // Materials and Objects are children of the root, not of Scene.
    const XmlNode materials = root.GetChild("Materials");
    if (!materials) {
        return Fail("<Materials> node missing");
    }
    if (!ReadMaterialsSection(materials, scene)) {
        return false;
    }
    const XmlNode objects = root.GetChild("Objects");
    if (!objects) {
        return Fail("<Objects> node missing");
    }
    if (!ReadObjectsSection(objects, scene)) {
        return false;
    }
    // Lights are optional: a scene may be lit by its emitting materials alone.
    if (const XmlNode lights = root.GetChild("Lights")) {
        return ReadLightsSection(lights, scene);
    }
    return true;
}

}  // namespace glintor
