#include "cli/stop_signals.h"

#include <csignal>

namespace vaskerel {

namespace {

std::atomic<bool> stopRequested{false};
volatile std::sig_atomic_t receivedSignal = 0;

static_assert(std::atomic<bool>::is_always_lock_free, "the signal handler needs a lock-free flag");

extern "C" void requestStop(int signalNumber)
{
    receivedSignal = signalNumber;
    stopRequested.store(true);
}

} // namespace

const std::atomic<bool>& installStopHandlers()
{
    struct sigaction action {};
    action.sa_handler = requestStop;
    sigemptyset(&action.sa_mask);
    for (const int signalNumber : {SIGINT, SIGTERM, SIGHUP, SIGQUIT})
        ::sigaction(signalNumber, &action, nullptr);
    return stopRequested;
}

int stopSignal()
{
    return receivedSignal != 0 ? receivedSignal : SIGINT;
}

} // namespace vaskerel
