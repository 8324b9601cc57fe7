#include "cli/StopSignal.h"

#include <csignal>
#include <ctime>
#include <pthread.h>

namespace fr::cli::StopSignal {

namespace {

// The program's only mutable global: written by the handler, read by the main thread.
volatile std::sig_atomic_t receivedSignal = 0;

void noteSignal(int number) {
    receivedSignal = number;
}

sigset_t stopSignals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    return set;
}

} // namespace

void install() {
    struct sigaction action {};
    action.sa_handler = noteSignal;
    sigemptyset(&action.sa_mask);
    // No SA_RESTART: the main thread's wait ends at once. SA_RESETHAND: a second signal takes
    // the default way out for a user who will not wait for a slow read.
    action.sa_flags = SA_RESETHAND;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

int received() {
    return receivedSignal;
}

void withSignalsBlocked(const std::function<void()>& start) {
    const sigset_t blocked = stopSignals();
    sigset_t previous;
    pthread_sigmask(SIG_BLOCK, &blocked, &previous);
    start();
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
}

void sleep(int milliseconds) {
    const timespec wait{milliseconds / 1000, (milliseconds % 1000) * 1000000L};
    nanosleep(&wait, nullptr);
}

} // namespace fr::cli::StopSignal
