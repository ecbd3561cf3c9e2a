// The console entry of the program: takes the scene file from the command line, enters the scene's
// folder so that every relative path inside the scene resolves there, loads the scene and refuses
// scenes that cannot be rendered.
#pragma once

#include <string>

#include "app/render_group.h"
#include "app/version.h"
#include "render/scene.h"

namespace glintor {

struct ScenePath {
    // Whether the argument names a folder to enter before loading.
    bool hasFolder = false;
    std::string folder;
    std::string fileName;
};

// Splits the command-line argument at its last '/' or '\', whichever comes later. A '\' in the
// folder is taken as '/'. A '/' at the very start leaves the root as the folder; a '\' there
// leaves an empty folder, which cannot be entered.
ScenePath SplitScenePath(const std::string& argument);

// "Glintor v0.4.409 by Quarnel", what --version prints.
std::string VersionLine();

// "Glintor v0.4.409 by Quarnel - <fileName>".
std::string WindowTitle(const std::string& fileName);

// The message that refuses a loaded scene, or null when it can be rendered. Objects are checked
// before materials, so a scene with neither only asks for objects.
const char* UnusableSceneMessage(const Scene& scene);

// The hash film files record of the scene file's bytes (of no bytes when it cannot be read).
std::string SceneFileHash(const std::string& fileName);

// Runs the program for its command line; answers the process exit status: 2 for a command line
// that was refused, otherwise as the run ends. The current directory is left in the scene's
// folder.
int RunProgram(int argc, char** argv);
// The same as one rank of a group of processes that render one picture together.
int RunProgram(int argc, char** argv, RenderGroupBase& group);

}  // namespace glintor
