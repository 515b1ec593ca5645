#include "tools/demo/stop_signals.h"

#include <poll.h>
#include <signal.h>

namespace qorv::demo {
namespace {

volatile sig_atomic_t stopSignal = 0;

void NoteStop(int signal) {
    stopSignal = signal;
}

}  // namespace

void InstallStopSignals() {
    struct sigaction action {};
    action.sa_handler = NoteStop;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;  // no SA_RESTART: a signal interrupts the sleep at once
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        sigaction(signal, &action, nullptr);
    }
}

int StopSignal() {
    return stopSignal;
}

void SleepUnlessStopped(std::chrono::milliseconds duration) {
    if (stopSignal == 0) {
        poll(nullptr, 0, static_cast<int>(duration.count()));
    }
}

}  // namespace qorv::demo
