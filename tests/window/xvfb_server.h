// A private virtual X server for one test, on a display number the server picks itself, so tests
// running side by side never share a screen.
#pragma once

#include <string>

#include "tests/support/child_process.h"

namespace glintor::testing {

class XvfbServer {
public:
    XvfbServer() = default;
    ~XvfbServer();
    XvfbServer(const XvfbServer&) = delete;
    XvfbServer& operator=(const XvfbServer&) = delete;

    // Starts Xvfb with one screen of the given size (24-bit colour) and waits until it accepts
    // clients; then points this process's DISPLAY at it, so that the programs and tools the test
    // runs reach it. Answers false, with the reason in Problem(), when no server could be started.
    bool Start(int screenWidth, int screenHeight, const std::string& logFile);

    // ":N" once started.
    const std::string& DisplayName() const { return display_; }
    const std::string& Problem() const { return problem_; }

private:
    ChildProcess server_;
    std::string display_;
    std::string problem_;
};

}  // namespace glintor::testing
