// Whether a window system can be reached. freeglut ends the process when it cannot open a
// display, so the program asks first and renders headless when the answer is no.
#pragma once

namespace glintor {

bool DisplayAvailable();

}  // namespace glintor
