#include "formats/decoder_process.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <iterator>
#include <thread>

namespace glintor {
namespace {

void Send(int out, const void* data, size_t size) {
    if (write(out, data, size) != static_cast<ssize_t>(size)) {
        _exit(3);
    }
}

// A 2 x 1 picture, then whatever `then` does.
template <typename Then>
ChildPictureRun TwoTexels(Then then) {
    ChildPictureRun run;
    run.produce = [then](int out) {
        const uint32_t size[2] = {2, 1};
        const Vector3 row[2] = {Vector3(1.0f, 2.0f, 3.0f), Vector3(4.0f, 5.0f, 6.0f)};
        Send(out, size, sizeof size);
        Send(out, row, sizeof row);
        then(out);
    };
    return run;
}

size_t OpenDescriptors() {
    return static_cast<size_t>(std::distance(std::filesystem::directory_iterator("/proc/self/fd"),
                                             std::filesystem::directory_iterator()));
}

struct Received {
    bool ok = false;
    uint32_t width = 7;
    uint32_t height = 7;
    std::vector<Vector3> texels{Vector3(9.0f, 9.0f, 9.0f)};
};

Received Receive(const ChildPictureRun& run) {
    Received r;
    r.ok = ReceiveFromChild(run, r.width, r.height, r.texels);
    return r;
}

void ExpectUntouched(const Received& r) {
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.width, 7u);
    EXPECT_EQ(r.height, 7u);
    ASSERT_EQ(r.texels.size(), 1u);
    EXPECT_EQ(r.texels[0], Vector3(9.0f, 9.0f, 9.0f));
}

TEST(DecoderProcess, OnlyAWholePictureFromAChildThatEndsWellIsTaken) {
    const size_t descriptors = OpenDescriptors();
    const Received good = Receive(TwoTexels([](int) { _exit(0); }));
    ASSERT_TRUE(good.ok);
    EXPECT_EQ(good.width, 2u);
    EXPECT_EQ(good.height, 1u);
    ASSERT_EQ(good.texels.size(), 2u);
    EXPECT_EQ(good.texels[1], Vector3(4.0f, 5.0f, 6.0f));

    // Everything sent, but the child then failed or died.
    ExpectUntouched(Receive(TwoTexels([](int) { _exit(1); })));
    ExpectUntouched(Receive(TwoTexels([](int) { std::abort(); })));
    ExpectUntouched(Receive(TwoTexels([](int) {})));  // returned instead of ending

    // Half a picture, then death.
    ChildPictureRun half;
    half.produce = [](int out) {
        const uint32_t size[2] = {2, 1};
        Send(out, size, sizeof size);
        Send(out, "abcdef", 6);
        raise(SIGKILL);
    };
    ExpectUntouched(Receive(half));

    // A size beyond the limits is refused before anything else is read.
    ChildPictureRun huge;
    huge.produce = [](int out) {
        const uint32_t size[2] = {65537, 1};
        Send(out, size, sizeof size);
        _exit(0);
    };
    ExpectUntouched(Receive(huge));
    EXPECT_EQ(OpenDescriptors(), descriptors);
}

TEST(DecoderProcess, AChildThatStallsIsKilledAtTheClockLimit) {
    ChildPictureRun stalled = TwoTexels([](int) {});
    stalled.produce = [](int out) {
        const uint32_t size[2] = {2, 1};
        Send(out, size, sizeof size);
        for (;;) {
            pause();
        }
    };
    stalled.clockLimit = std::chrono::milliseconds(200);
    // The test would hang here if the limit were not kept.
    ExpectUntouched(Receive(stalled));
}

TEST(DecoderProcess, AFailedForkIsAPictureThatCannotBeLoaded) {
    const size_t descriptors = OpenDescriptors();
    ChildPictureRun run = TwoTexels([](int) { _exit(0); });
    run.forkProcess = [] {
        errno = EAGAIN;
        return pid_t{-1};
    };
    ExpectUntouched(Receive(run));
    EXPECT_EQ(OpenDescriptors(), descriptors);
}

}  // namespace
}  // namespace glintor
