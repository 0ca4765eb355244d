#pragma once

#include <atomic>
#include <functional>
#include <string>
#include <thread>

#include <signal.h>

namespace vaskerel {

// From construction on, SIGINT, SIGTERM, SIGHUP and SIGQUIT set requested() instead of ending
// the process, so that a run can stop cleanly and leave no partial file behind. A run still
// going a second after the signal (a read that the system will not interrupt, say), or at a
// second signal, is abandoned: the outputs' named temporary files are removed, `closingWords`
// (told whether an output had been put in place) go to standard error, and the process exits
// with 128 plus the signal number.
// The run goes on in a child process while the process started waits for it and hands it the
// signals it gets, so that a thread stuck in the kernel cannot keep the process that was
// started from ending once the run is abandoned. Made before any other thread starts. Where
// no process or thread can be started (pids.max, ulimit -u, ulimit -v), the run goes on in
// the process itself, and where no thread, a second signal ends it at once.
class StopSignals {
public:
    explicit StopSignals(std::function<std::string(bool placed)> closingWords);
    ~StopSignals();
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

    const std::atomic<bool>& requested() const noexcept { return requested_; }
    // The signal that stopped the run, for the exit status 128 + signal.
    int signal() const noexcept { return signal_.load(); }

private:
    void runInChild();
    void watch();
    void takeSignalsInHandler();
    [[noreturn]] void abandon(int status);

    std::function<std::string(bool placed)> closingWords_;
    std::atomic<bool> requested_{false};
    std::atomic<int> signal_{SIGINT};
    std::atomic<bool> over_{false};
    // The write end of the pipe that tells the waiting parent how an abandoned run ended.
    int toParent_ = -1;
    pid_t parent_ = 0;
    std::thread watcher_;
};

} // namespace vaskerel
