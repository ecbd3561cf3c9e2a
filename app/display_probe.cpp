#include "app/display_probe.h"

#include <X11/Xlib.h>
#include <unistd.h>

#include <cstdio>

namespace glintor {

bool DisplayAvailable() {
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        return false;
    }
    XCloseDisplay(display);
    return true;
}

namespace {

int DisplayLost(Display*) {
    std::fflush(stdout);
    std::fflush(stderr);
    _exit(0);
}

}  // namespace

void EndProcessWhenDisplayIsLost() {
    XSetIOErrorHandler(DisplayLost);
}

}  // namespace glintor
