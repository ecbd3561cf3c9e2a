// Whether a window system can be reached. freeglut ends the process when it cannot open a
// display, so the program asks first and renders headless when the answer is no.
#pragma once

namespace glintor {

bool DisplayAvailable();

// When the window system goes away under a running preview (server ended, connection cut), the
// process ends as if the window had been closed: status 0, without running exit handlers under
// the render threads.
void EndProcessWhenDisplayIsLost();

}  // namespace glintor
