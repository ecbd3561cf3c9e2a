#include "tests/window/x_window_tools.h"

#include <X11/Xlib.h>

#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <thread>

#include "tests/support/child_process.h"

namespace glintor::testing {

namespace {

std::string Hex(unsigned long window) {
    char text[32];
    std::snprintf(text, sizeof text, "0x%lx", window);
    return text;
}

// Single-quotes text for the shell.
std::string Quoted(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) {
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return quoted + "'";
}

// The number after "label:" on the line that starts with it (after blanks), or fallback.
int NumberAfter(const std::string& report, const std::string& label, int fallback) {
    std::istringstream lines(report);
    std::string line;
    while (std::getline(lines, line)) {
        const size_t start = line.find_first_not_of(' ');
        if (start != std::string::npos && line.compare(start, label.size(), label) == 0) {
            return std::atoi(line.c_str() + start + label.size());
        }
    }
    return fallback;
}

}  // namespace

unsigned long WaitForWindow(const std::string& text, double seconds) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    // xdotool's --name is a regular expression: escape everything but letters and digits.
    std::string pattern;
    for (char c : text) {
        if (!std::isalnum(static_cast<unsigned char>(c))) {
            pattern += '\\';
        }
        pattern += c;
    }
    while (std::chrono::steady_clock::now() < deadline) {
        const CommandResult found =
            RunCommand("xdotool search --onlyvisible --name " + Quoted(pattern) + " 2>/dev/null");
        const unsigned long window = std::strtoul(found.output.c_str(), nullptr, 10);
        if (found.status == 0 && window != 0) {
            return window;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return 0;
}

bool QueryWindow(unsigned long window, WindowInfo& info) {
    const CommandResult result = RunCommand("xwininfo -id " + Hex(window) + " 2>/dev/null");
    if (result.status != 0) {
        return false;
    }
    const std::string& report = result.output;
    // xwininfo: Window id: 0x200001 "title"
    const size_t open = report.find('"');
    const size_t close = report.find("\"\n", open == std::string::npos ? 0 : open + 1);
    if (open != std::string::npos && close != std::string::npos) {
        info.title = report.substr(open + 1, close - open - 1);
    }
    info.x = NumberAfter(report, "Absolute upper-left X:", -1);
    info.y = NumberAfter(report, "Absolute upper-left Y:", -1);
    info.width = NumberAfter(report, "Width:", 0);
    info.height = NumberAfter(report, "Height:", 0);
    info.viewable = report.find("Map State: IsViewable") != std::string::npos;
    return true;
}

bool Screenshot(unsigned long window, const std::string& file, Picture& image,
                std::string& problem) {
    const CommandResult result =
        RunCommand("xwd -silent -id " + Hex(window) + " -out " + Quoted(file) + " 2>&1");
    if (result.status != 0) {
        problem = "xwd failed: " + result.output;
        return false;
    }
    return ParseXwd(ReadWholeFile(file), image, problem);
}

bool PressKeys(unsigned long window, const std::string& keys) {
    const std::string id = std::to_string(window);
    return RunCommand("xdotool windowfocus --sync " + id + " key --delay 50 " + keys).status == 0;
}

bool RequestClose(unsigned long window) {
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        return false;
    }
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    const Status sent = XSendEvent(display, window, False, NoEventMask, &event);
    XSync(display, False);
    XCloseDisplay(display);
    return sent != 0;
}

}  // namespace glintor::testing
