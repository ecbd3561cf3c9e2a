// From a loaded scene to running render threads: film and tone mapping, the preview window (or
// the headless run when no display can be opened), the thread count, the job and its blocks.
#pragma once

#include <string>

namespace glintor {

struct CommandLine;
class RenderGroupBase;
struct Scene;

// Threads to run: the scene's request when it is at least 1 and below the processor count,
// otherwise the processor count.
int RenderThreadCount(int requested, int cores);

// Renders the scene as this process's part of the group, with the window unless the options or
// the group rule it out or no display can be opened; answers the process's exit status.
// sceneHash is the hash of the scene file's bytes that film files record.
int StartRendering(Scene& scene, const CommandLine& options, const std::string& title,
                   const std::string& sceneHash, RenderGroupBase& group, int& argc, char** argv);

}  // namespace glintor
