// From a loaded scene to running render threads: film and tone mapping, the preview window (or
// the headless run when no display can be opened), the thread count, the job and its blocks.
#pragma once

#include <string>

namespace glintor {

struct Scene;

// Threads to run: the scene's request when it is at least 1 and below the processor count,
// otherwise the processor count.
int RenderThreadCount(int requested, int cores);

// Renders the scene; answers the process's exit status.
int StartRendering(Scene& scene, const std::string& title, int& argc, char** argv);

}  // namespace glintor
