#include "tests/support/child_process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <thread>

namespace glintor::testing {

namespace {

int DecodeStatus(int status) {
    if (WIFEXITED(status)) {
        return WEXITSTATUS(status);
    }
    return WIFSIGNALED(status) ? -WTERMSIG(status) : -1;
}

}  // namespace

ChildProcess::~ChildProcess() {
    if (pid_ > 0 && !status_) {
        Stop(SIGKILL);
    }
}

bool ChildProcess::Start(const std::vector<std::string>& arguments, const std::string& folder,
                         const std::string& outputFile, const std::string& errorFile,
                         const std::vector<int>& keepOpen) {
    // Everything the child needs is prepared before the fork: between fork and exec only
    // async-signal-safe calls are made.
    const int input = open("/dev/null", O_RDONLY | O_CLOEXEC);
    const int output = open(outputFile.empty() ? "/dev/null" : outputFile.c_str(),
                            O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    const int error = open(errorFile.empty() ? "/dev/null" : errorFile.c_str(),
                           O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    std::vector<char*> argv;
    for (const std::string& a : arguments) {
        argv.push_back(const_cast<char*>(a.c_str()));
    }
    argv.push_back(nullptr);
    // Tells the parent whether exec failed: it is closed by a successful exec.
    int report[2] = {-1, -1};
    const bool ready = input >= 0 && output >= 0 && error >= 0 && pipe2(report, O_CLOEXEC) == 0;
    const pid_t parent = getpid();
    const pid_t pid = ready ? fork() : -1;
    if (pid == 0) {
        // A test that dies, even by a signal, ends the programs it started (SIGTERM lets an X
        // server remove its lock file), so no
        // X server or renderer is left running.
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (getppid() != parent) {
            _exit(127);
        }
        dup2(input, STDIN_FILENO);
        dup2(output, STDOUT_FILENO);
        dup2(error, STDERR_FILENO);
        for (int fd : keepOpen) {
            fcntl(fd, F_SETFD, 0);
        }
        if (folder.empty() || chdir(folder.c_str()) == 0) {
            execvp(argv[0], argv.data());
        }
        const int failure = errno;
        [[maybe_unused]] const ssize_t written = write(report[1], &failure, sizeof failure);
        _exit(127);
    }
    for (int fd : {input, output, error, report[1]}) {
        if (fd >= 0) {
            close(fd);
        }
    }
    bool started = pid > 0;
    if (started) {
        int failure = 0;
        started = read(report[0], &failure, sizeof failure) == 0;
        if (!started) {
            waitpid(pid, nullptr, 0);
        }
    }
    if (report[0] >= 0) {
        close(report[0]);
    }
    pid_ = started ? pid : -1;
    status_.reset();
    return started;
}

std::optional<int> ChildProcess::Wait(double seconds) {
    if (status_ || pid_ <= 0) {
        return status_;
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (true) {
        int status = 0;
        if (waitpid(pid_, &status, WNOHANG) == pid_) {
            status_ = DecodeStatus(status);
            return status_;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            return std::nullopt;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

bool ChildProcess::Running() {
    return pid_ > 0 && !Wait(0.0);
}

void ChildProcess::Stop(int signal) {
    if (pid_ <= 0 || status_) {
        return;
    }
    kill(pid_, signal);
    int status = 0;
    waitpid(pid_, &status, 0);
    status_ = DecodeStatus(status);
}

CommandResult RunCommand(const std::string& commandLine) {
    CommandResult result;
    FILE* pipe = popen(commandLine.c_str(), "r");
    if (pipe == nullptr) {
        return result;
    }
    char buffer[4096];
    size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) {
        result.output.append(buffer, n);
    }
    const int status = pclose(pipe);
    result.status = status == -1 ? -1 : DecodeStatus(status);
    return result;
}

std::string ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace glintor::testing
