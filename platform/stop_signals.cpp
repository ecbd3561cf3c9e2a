#include "platform/stop_signals.h"

#include <signal.h>
#include <unistd.h>

#include <atomic>

#include "platform/partial_file.h"

namespace glintor {

namespace {

std::atomic<int> firstSignal{0};

void OnStopSignal(int number) {
    int none = 0;
    if (firstSignal.compare_exchange_strong(none, number)) {
        return;
    }
    RemovePartialFiles();
    _exit(128 + number);
}

}  // namespace

void CatchStopSignals() {
    firstSignal = 0;
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    for (const int number : {SIGTERM, SIGINT, SIGHUP}) {
        // A signal the process was started to ignore (nohup) stays ignored.
        struct sigaction previous {};
        sigaction(number, nullptr, &previous);
        if (previous.sa_handler != SIG_IGN) {
            sigaction(number, &action, nullptr);
        }
    }
}

int StopSignal() {
    return firstSignal;
}

}  // namespace glintor
