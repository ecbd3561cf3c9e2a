#include "platform/stop_signals.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <string>

#include "tests/support/test_paths.h"

namespace glintor {
namespace {

// In a child: the stop handlers, a file being written, then the given signal twice. Answers the
// child's exit status (-1 when a signal ended it instead).
int StopTwiceWhileWriting(const std::string& path, int signalNumber, bool clearFirst) {
    const pid_t child = fork();
    if (child == 0) {
        CatchStopSignals();
        testing::WriteFile(path, "half a film");
        SetFileInProgress(path.c_str());
        if (clearFirst) {
            SetFileInProgress("");
        }
        raise(signalNumber);
        // The first signal is only recorded: the process goes on, knowing which one came.
        if (StopSignal() != signalNumber) {
            _exit(3);
        }
        raise(signalNumber);
        _exit(4);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(StopSignals, ASecondSignalEndsAtOnceAndLeavesNoHalfWrittenFile) {
    const std::string folder = testing::ScratchFolder("stop_signals");
    for (const int signalNumber : {SIGTERM, SIGINT, SIGHUP}) {
        const std::string path = folder + "/film.exr.partial-" + std::to_string(signalNumber);
        EXPECT_EQ(StopTwiceWhileWriting(path, signalNumber, false), 128 + signalNumber);
        EXPECT_FALSE(std::filesystem::exists(path)) << signalNumber;
    }
    // A file no longer in progress (renamed into place) is left alone.
    const std::string kept = folder + "/film.exr";
    EXPECT_EQ(StopTwiceWhileWriting(kept, SIGTERM, true), 128 + SIGTERM);
    EXPECT_TRUE(std::filesystem::exists(kept));
}

}  // namespace
}  // namespace glintor
