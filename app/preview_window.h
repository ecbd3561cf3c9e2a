// The freeglut preview: shows the film converging with a tone line at the top and the status
// line at the bottom, reacts to keys and the mouse, and once the last render thread has finished
// saves the picture and logs the statistics, exactly once. Runs on the main thread only.
#pragma once

#include "app/render_session.h"

namespace glintor {

// Creates the window for the session's film (freeglut initialised with the program's arguments).
void OpenPreviewWindow(RenderSession& session, int& argc, char** argv);

// Enters the window library's main loop; returns only if the loop ever does.
void RunPreviewLoop();

}  // namespace glintor
