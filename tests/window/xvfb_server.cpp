#include "tests/window/xvfb_server.h"

#include <X11/Xlib.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <thread>

namespace glintor::testing {

namespace {

constexpr int StartTimeoutMilliseconds = 15000;

// Reads what the server writes to its -displayfd descriptor (the display number and a line end)
// until the line is complete, the server closes it, or the time runs out.
std::string ReadDisplayNumber(int fd) {
    std::string text;
    int waited = 0;
    while (text.find('\n') == std::string::npos && waited < StartTimeoutMilliseconds) {
        pollfd p{fd, POLLIN, 0};
        const int ready = poll(&p, 1, 100);
        waited += 100;
        if (ready <= 0) {
            continue;
        }
        char buffer[32];
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n <= 0) {
            break;
        }
        text.append(buffer, static_cast<size_t>(n));
    }
    return text.find('\n') == std::string::npos ? std::string() : text.substr(0, text.find('\n'));
}

// The server announces its number once it listens; a client is still let in only when the
// connection really succeeds, which is what every program the test runs relies on.
bool AcceptsClients(const std::string& display) {
    for (int waited = 0; waited < StartTimeoutMilliseconds; waited += 100) {
        if (Display* connection = XOpenDisplay(display.c_str())) {
            XCloseDisplay(connection);
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return false;
}

}  // namespace

XvfbServer::~XvfbServer() {
    server_.Stop(SIGTERM);
}

bool XvfbServer::Start(int screenWidth, int screenHeight, const std::string& logFile) {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
        problem_ = "no pipe for the display number";
        return false;
    }
    const std::string screen =
        std::to_string(screenWidth) + "x" + std::to_string(screenHeight) + "x24";
    // Without -noreset the server restarts whenever its last client leaves, and refuses
    // connections meanwhile: every xdotool call would race the program's own connection.
    const bool started = server_.Start({"Xvfb", "-displayfd", std::to_string(fds[1]), "-screen",
                                        "0", screen, "-nolisten", "tcp", "-noreset"},
                                       "", "", logFile, {fds[1]});
    close(fds[1]);
    if (!started) {
        close(fds[0]);
        problem_ = "Xvfb could not be run (is the xvfb package installed?)";
        return false;
    }
    const std::string number = ReadDisplayNumber(fds[0]);
    close(fds[0]);
    if (number.empty()) {
        server_.Stop(SIGKILL);
        problem_ = "Xvfb did not report a display within " +
                   std::to_string(StartTimeoutMilliseconds / 1000) + " s (see " + logFile + ")";
        return false;
    }
    display_ = ":" + number;
    if (!AcceptsClients(display_)) {
        server_.Stop(SIGKILL);
        problem_ = "Xvfb on " + display_ + " accepts no clients (see " + logFile + ")";
        return false;
    }
    setenv("DISPLAY", display_.c_str(), 1);
    return true;
}

}  // namespace glintor::testing
