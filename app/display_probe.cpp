#include "app/display_probe.h"

#include <X11/Xlib.h>

namespace glintor {

bool DisplayAvailable() {
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        return false;
    }
    XCloseDisplay(display);
    return true;
}

}  // namespace glintor
