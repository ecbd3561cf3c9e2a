#include "app/program_entry.h"

#include <cstdio>

#include "app/render_startup.h"
#include "platform/platform.h"
#include "scene/scene_loader.h"

namespace glintor {

ScenePath SplitScenePath(const std::string& argument) {
    ScenePath path;
    const std::size_t separator = argument.find_last_of("/\\");
    if (separator == std::string::npos) {
        path.fileName = argument;
        return path;
    }
    path.hasFolder = true;
    path.fileName = argument.substr(separator + 1);
    path.folder = PortablePath(argument.substr(0, separator));
    if (path.folder.empty() && argument[separator] == '/') {
        path.folder.push_back('/');
    }
    return path;
}

std::string WindowTitle(const std::string& fileName) {
    char title[64];
    std::snprintf(title, sizeof(title), "Glintor v0.%u.%s by Quarnel", VersionMinor, BuildString);
    return std::string(title) + " - " + fileName;
}

const char* UnusableSceneMessage(const Scene& scene) {
    if (scene.objects.empty()) {
        return "Please add objects to your scene";
    }
    if (scene.materials.empty()) {
        return "Please add materials to your scene";
    }
    return nullptr;
}

int RunProgram(int argc, char** argv) {
    if (argc < 2) {
        std::printf("Usage: glintor SceneFile.xml\n");
        return 0;
    }
    const ScenePath path = SplitScenePath(argv[1]);
    // Loading is tried anyway: relative paths then resolve against the old directory.
    if (path.hasFolder && !ChangeDirectory(path.folder)) {
        std::printf("Filed to set path\n");
    }

    Scene scene;
    if (!LoadScene(path.fileName.c_str(), scene)) {
        return 0;
    }
    if (const char* message = UnusableSceneMessage(scene)) {
        std::printf("%s\n", message);
        return 0;
    }
    return StartRendering(scene, WindowTitle(path.fileName), argc, argv);
}

}  // namespace glintor
