#include "platform/stop_signals.h"

#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstring>

namespace glintor {

namespace {

std::atomic<int> firstSignal{0};
// The handler reads the name only while ready is set; it is cleared while the name changes.
char inProgress[4096];
std::atomic<bool> ready{false};

void OnStopSignal(int number) {
    int none = 0;
    if (firstSignal.compare_exchange_strong(none, number)) {
        return;
    }
    if (ready) {
        unlink(inProgress);
    }
    _exit(128 + number);
}

}  // namespace

void CatchStopSignals() {
    firstSignal = 0;
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    for (const int number : {SIGTERM, SIGINT, SIGHUP}) {
        sigaction(number, &action, nullptr);
    }
}

int StopSignal() {
    return firstSignal;
}

void SetFileInProgress(const char* path) {
    ready = false;
    const std::size_t length = std::strlen(path);
    if (length == 0 || length >= sizeof inProgress) {
        return;
    }
    std::memcpy(inProgress, path, length + 1);
    ready = true;
}

}  // namespace glintor
