// Programs the tests run beside themselves: the renderer, mpirun, the X server and the X tools
// (xdotool, xwininfo, xwd) whose output is read back.
#pragma once

#include <sys/types.h>

#include <optional>
#include <string>
#include <vector>

namespace glintor::testing {

// A child process; it is killed and reaped on destruction if it is still running, and the system
// kills it when the test process dies, so a failing test never leaves one behind.
class ChildProcess {
public:
    ChildProcess() = default;
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Starts arguments[0] (searched in PATH) with the given working folder (empty: the current
    // one) and standard output and error sent to the given files (empty: /dev/null). Descriptors
    // listed in keepOpen stay open in the child. Answers false when it could not be started.
    bool Start(const std::vector<std::string>& arguments, const std::string& folder,
               const std::string& outputFile, const std::string& errorFile,
               const std::vector<int>& keepOpen = {});

    // Waits up to the given time for the process to end; answers its exit status, or -signal
    // when a signal ended it, or nothing while it still runs.
    std::optional<int> Wait(double seconds);
    bool Running();
    // Ends the process with the signal and reaps it.
    void Stop(int signal);
    pid_t Id() const { return pid_; }

private:
    pid_t pid_ = -1;
    std::optional<int> status_;
};

struct CommandResult {
    int status = -1;  // exit status, or -1 when it could not be run
    std::string output;
};

// Runs a shell command line, reading its standard output; standard error goes to the test's.
CommandResult RunCommand(const std::string& commandLine);

// Reads a whole file (empty when absent).
std::string ReadWholeFile(const std::string& path);

}  // namespace glintor::testing
