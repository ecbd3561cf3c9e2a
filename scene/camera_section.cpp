// The Camera section: where the camera stands, where it looks, and its lens.
#include "scene/scene_sections.h"
#include "scene/value_readers.h"

namespace glintor {

void ReadCameraSection(const XmlNode& camera, Scene& scene) {
    // The vectors are always overwritten, so an absent Up is (0, 0, 0), not the start value.
    scene.cameraPos = ReadVector(camera, "Pos", "<Camera><Pos>");
    scene.cameraLookAt = ReadVector(camera, "LookAt", "<Camera><LookAt>");
    scene.cameraUp = ReadVector(camera, "Up", "<Camera><Up>");
    scene.cameraUp.Normalize();

    // Absent elements give 0 here, below FocalLength's minimum too: defaults are never clamped.
    scene.fov = ReadReal(camera.GetChild("FOV").GetText(), "<Camera><FOV>", 0.0f, 189.0f, 0.0f);
    scene.lensRadius = ReadReal(camera.GetChild("LensRadius").GetText(), "<Camera><LensRadius>",
                                0.0f, 10.0f, 0.0f);
    scene.focalLength = ReadReal(camera.GetChild("FocalLength").GetText(), "<Camera><FocalLength>",
                                 10.0f, 5000.0f, 0.0f);
    scene.focalPoint = ReadReal(camera.GetChild("FocalPoint").GetText(), "<Camera><FocalPoint>",
                                0.0f, 1e20f, 0.0f);
}

}  // namespace glintor
