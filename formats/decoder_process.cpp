#include "formats/decoder_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>

#include "formats/picture_decoder.h"

namespace glintor {

namespace {

using Clock = std::chrono::steady_clock;

// The child is a copy of the renderer, which may already hold gigabytes of meshes, so its
// address-space limit is what it inherited plus the decoder's allowance.
rlim_t InheritedAddressSpace() {
    unsigned long pages = 0;
    if (std::FILE* statm = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(statm, "%lu", &pages) != 1) {
            pages = 0;
        }
        std::fclose(statm);
    }
    return static_cast<rlim_t>(pages) * static_cast<rlim_t>(sysconf(_SC_PAGESIZE));
}

void LimitChild() {
    const rlimit noCoreFiles{0, 0};
    setrlimit(RLIMIT_CORE, &noCoreFiles);
    const rlimit processorTime{kDecoderProcessorSeconds, kDecoderProcessorSeconds};
    setrlimit(RLIMIT_CPU, &processorTime);
    const rlim_t addressSpace = InheritedAddressSpace() + kDecoderMemoryBytes;
    const rlimit memory{addressSpace, addressSpace};
    setrlimit(RLIMIT_AS, &memory);
}

bool WriteAll(int fd, const void* data, std::size_t size) {
    const char* bytes = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t written = write(fd, bytes, size);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return false;
        }
        bytes += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

// Runs in the child. _exit skips the parent's exit handlers and its buffered output, which the
// child holds copies of.
[[noreturn]] void RunDecoder(const std::string& path, float gamma, int out) {
    LimitChild();
    bool sent = false;
    {
        PictureDecoder decoder([] { _exit(1); });
        if (decoder.Open(path, gamma)) {
            const uint32_t size[2] = {decoder.Width(), decoder.Height()};
            std::vector<Vector3> row(decoder.Width());
            sent = WriteAll(out, size, sizeof size);
            for (uint32_t y = 0; sent && y < decoder.Height(); ++y) {
                decoder.DecodeRow(y, row.data());
                sent = WriteAll(out, row.data(), row.size() * sizeof(Vector3));
            }
        }
    }
    _exit(sent ? 0 : 1);
}

// Reads exactly `size` bytes unless the deadline passes or the child closes its end first.
bool ReadAll(int fd, Clock::time_point deadline, void* data, std::size_t size) {
    char* bytes = static_cast<char*>(data);
    while (size > 0) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) {
            return false;
        }
        pollfd ready{fd, POLLIN, 0};
        const int polled = poll(&ready, 1, static_cast<int>(left.count()));
        if (polled < 0 && errno == EINTR) {
            continue;
        }
        if (polled <= 0) {
            return false;
        }
        const ssize_t got = read(fd, bytes, std::min<std::size_t>(size, std::size_t{1} << 20));
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            return false;
        }
        bytes += got;
        size -= static_cast<std::size_t>(got);
    }
    return true;
}

// The sizes are checked again here: the child's memory is whatever the file made of it.
bool ReceivePicture(int fd, std::chrono::milliseconds clockLimit, uint32_t& width, uint32_t& height,
                    std::vector<Vector3>& texels) {
    const Clock::time_point deadline = Clock::now() + clockLimit;
    uint32_t size[2] = {0, 0};
    if (!ReadAll(fd, deadline, size, sizeof size) || !PictureSizeAllowed(size[0], size[1])) {
        return false;
    }
    std::vector<Vector3> received(static_cast<std::size_t>(size[0]) * size[1]);
    if (!ReadAll(fd, deadline, received.data(), received.size() * sizeof(Vector3))) {
        return false;
    }
    width = size[0];
    height = size[1];
    texels = std::move(received);
    return true;
}

bool ExitedCleanly(pid_t child) {
    int status = 0;
    while (waitpid(child, &status, 0) < 0) {
        if (errno != EINTR) {
            return false;
        }
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace

bool ReceiveFromChild(const ChildPictureRun& run, uint32_t& width, uint32_t& height,
                      std::vector<Vector3>& texels) {
    int pipeEnds[2];
    if (pipe2(pipeEnds, O_CLOEXEC) != 0) {
        return false;
    }
    // The child gets a copy of every unwritten output buffer; emptied first, nothing the
    // renderer printed can come out twice if a library in the child flushes them.
    std::fflush(nullptr);
    const pid_t child = run.forkProcess();
    if (child == 0) {
        close(pipeEnds[0]);
        run.produce(pipeEnds[1]);
        _exit(1);  // a producer that returns has not sent a picture it stands by
    }
    close(pipeEnds[1]);
    if (child < 0) {
        close(pipeEnds[0]);
        return false;
    }
    uint32_t receivedWidth = 0;
    uint32_t receivedHeight = 0;
    std::vector<Vector3> receivedTexels;
    const bool received =
        ReceivePicture(pipeEnds[0], run.clockLimit, receivedWidth, receivedHeight, receivedTexels);
    close(pipeEnds[0]);
    if (!received) {
        kill(child, SIGKILL);
    }
    if (!ExitedCleanly(child) || !received) {
        return false;
    }
    width = receivedWidth;
    height = receivedHeight;
    texels = std::move(receivedTexels);
    return true;
}

bool DecodeInChildProcess(const std::string& path, float gamma, uint32_t& width, uint32_t& height,
                          std::vector<Vector3>& texels) {
    ChildPictureRun run;
    run.produce = [&path, gamma](int out) { RunDecoder(path, gamma, out); };
    return ReceiveFromChild(run, width, height, texels);
}

}  // namespace glintor
