#include "platform/stop_signals.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <string>

#include "platform/partial_file.h"
#include "tests/support/test_paths.h"

namespace glintor {
namespace {

// In a child with the stop handlers: a file written through a partial file, and during the write
// the given signal twice. Answers the child's exit status (-1 when a signal ended it instead).
int StopTwiceWhileWriting(const std::string& target, int signalNumber) {
    const pid_t child = fork();
    if (child == 0) {
        CatchStopSignals();
        WriteThroughPartialFile(target, [signalNumber](const std::string& partial) {
            testing::WriteFile(partial, "half a film");
            raise(signalNumber);
            // The first signal is only recorded: the process goes on, knowing which one came.
            if (StopSignal() != signalNumber) {
                _exit(3);
            }
            raise(signalNumber);
            _exit(4);
            return 0;
        });
        _exit(5);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(StopSignals, ASecondSignalDuringAWriteEndsAtOnceAndLeavesNoFileBehind) {
    const std::string folder = testing::ScratchFolder("stop_signals");
    for (const int signalNumber : {SIGTERM, SIGINT, SIGHUP}) {
        const std::string target = folder + "/film-" + std::to_string(signalNumber) + ".exr";
        EXPECT_EQ(StopTwiceWhileWriting(target, signalNumber), 128 + signalNumber);
        EXPECT_FALSE(std::filesystem::exists(target));
    }
    EXPECT_TRUE(std::filesystem::is_empty(folder));
}

}  // namespace
}  // namespace glintor
