#include "platform/partial_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <mutex>

namespace glintor {

namespace {

// Partial files being written right now, for the signal handler: fixed storage, because a
// handler may not allocate.
constexpr size_t SlotCount = 8;
constexpr size_t SlotPathBytes = 4096;

enum SlotState { Free, Claimed, Listed };

struct PartialSlot {
    // Claimed while its path is being copied in; the handler reads only Listed paths.
    std::atomic<int> state{Free};
    char path[SlotPathBytes] = {};
};

std::array<PartialSlot, SlotCount>& Slots() {
    static std::array<PartialSlot, SlotCount> slots;
    return slots;
}

const int CleanedSignals[] = {SIGHUP, SIGINT, SIGQUIT, SIGTERM};

// Installed with SA_RESETHAND over the default action only, so raising the signal again now does
// what the process did before: it dies of it.
void RemovePartialFilesAndResignal(int signal) {
    RemovePartialFiles();
    raise(signal);
}

// Installed once, on the first save, and left in place: with no save running it only hands the
// signal on. A signal the process ignores (nohup) stays ignored, and one it handles itself stays
// with its handler, which removes the partial files when it ends the process.
void InstallSignalCleanup() {
    static std::once_flag once;
    std::call_once(once, [] {
        for (const int signal : CleanedSignals) {
            struct sigaction previous {};
            sigaction(signal, nullptr, &previous);
            if (previous.sa_handler != SIG_DFL) {
                continue;
            }
            struct sigaction action {};
            action.sa_handler = RemovePartialFilesAndResignal;
            sigemptyset(&action.sa_mask);
            action.sa_flags = SA_RESETHAND;
            sigaction(signal, &action, nullptr);
        }
    });
}

// The mode a file made with fopen would get: mkstemp makes its files private.
mode_t NewFileMode() {
    static const mode_t mode = [] {
        const mode_t mask = umask(022);
        umask(mask);
        return static_cast<mode_t>(0666 & ~mask);
    }();
    return mode;
}

PartialSlot* ListPartialFile(const std::string& path) {
    if (path.size() >= SlotPathBytes) {
        return nullptr;
    }
    for (PartialSlot& slot : Slots()) {
        int expected = Free;
        if (slot.state.compare_exchange_strong(expected, Claimed)) {
            std::memcpy(slot.path, path.c_str(), path.size() + 1);
            slot.state.store(Listed);
            return &slot;
        }
    }
    return nullptr;
}

void UnlistPartialFile(PartialSlot* slot) {
    if (slot != nullptr) {
        slot->state.store(Free);
    }
}

}  // namespace

void RemovePartialFiles() {
    for (PartialSlot& slot : Slots()) {
        if (slot.state.load() == Listed) {
            unlink(slot.path);
        }
    }
}

std::string FolderOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

int WriteThroughPartialFile(const std::string& target, const PartialFileWriter& write) {
    if (target.empty()) {
        return ENOENT;
    }
    InstallSignalCleanup();
    std::string partial = FolderOf(target) + "/.glintor-partial-XXXXXX";
    // Terminating signals wait until the partial file is listed for the handler.
    sigset_t blocked, previous;
    sigemptyset(&blocked);
    for (int signal : CleanedSignals) {
        sigaddset(&blocked, signal);
    }
    pthread_sigmask(SIG_BLOCK, &blocked, &previous);
    const int descriptor = mkostemp(partial.data(), O_CLOEXEC);
    const int madeError = errno;
    PartialSlot* slot = descriptor >= 0 ? ListPartialFile(partial) : nullptr;
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    if (descriptor < 0) {
        return madeError;
    }
    int error = fchmod(descriptor, NewFileMode()) == 0 ? 0 : errno;
    close(descriptor);
    if (error == 0) {
        error = write(partial);
    }
    if (error == 0) {
        // The bytes reach the disk before the name points at them.
        const int reopened = open(partial.c_str(), O_RDONLY | O_CLOEXEC);
        if (reopened < 0 || fsync(reopened) != 0) {
            error = errno;
        }
        if (reopened >= 0) {
            close(reopened);
        }
    }
    if (error == 0 && std::rename(partial.c_str(), target.c_str()) != 0) {
        error = errno;
    }
    pthread_sigmask(SIG_BLOCK, &blocked, &previous);
    if (error != 0) {
        unlink(partial.c_str());
    }
    UnlistPartialFile(slot);
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    return error;
}

}  // namespace glintor
