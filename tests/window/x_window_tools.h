// What a person does with the preview, done through the X tools on the test's own server: find
// the window, read its title and geometry (xwininfo), take a screenshot (xwd), press keys
// (xdotool), and close it the way a window manager does (WM_DELETE_WINDOW).
#pragma once

#include <string>

#include "tests/window/picture.h"

namespace glintor::testing {

struct WindowInfo {
    std::string title;
    int x = 0;  // absolute upper-left corner
    int y = 0;
    int width = 0;
    int height = 0;
    bool viewable = false;
};

// The first top-level window whose name contains text, waiting up to the given time for it to
// appear and be mapped; 0 when none did.
unsigned long WaitForWindow(const std::string& text, double seconds);

// Reads xwininfo's report; false when the window does not exist.
bool QueryWindow(unsigned long window, WindowInfo& info);

// Dumps the window with xwd into file and decodes it; the reason goes to problem on failure.
bool Screenshot(unsigned long window, const std::string& file, Picture& image,
                std::string& problem);

// Presses and releases the keys (xdotool key names, e.g. "plus", "S", "Escape") with the window
// focused.
bool PressKeys(unsigned long window, const std::string& keys);

// Sends the WM_DELETE_WINDOW message a window manager sends when its close button is clicked.
bool RequestClose(unsigned long window);

}  // namespace glintor::testing
