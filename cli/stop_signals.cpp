#include "cli/stop_signals.h"

#include "listgen/report/temporary_files.h"

#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <optional>

namespace vaskerel {

namespace {

constexpr auto kGrace = std::chrono::seconds(1);
// Time allowed to finish renaming outputs into place before the process ends anyway.
constexpr auto kPlacingWait = std::chrono::milliseconds(500);

// Sent only to the watcher, so that the end of a run need not wait out its tick.
int wakeSignal()
{
    return SIGRTMIN;
}

sigset_t stopSignals()
{
    sigset_t set;
    sigemptyset(&set);
    for (const int number : {SIGINT, SIGTERM, SIGHUP, SIGQUIT})
        sigaddset(&set, number);
    return set;
}

sigset_t watchedSignals()
{
    sigset_t set = stopSignals();
    sigaddset(&set, wakeSignal());
    return set;
}

void writeAll(int fd, const std::string& text)
{
    for (std::size_t written = 0; written < text.size();) {
        const ssize_t count = ::write(fd, text.data() + written, text.size() - written);
        if (count <= 0)
            return;
        written += static_cast<std::size_t>(count);
    }
}

} // namespace

StopSignals::StopSignals(std::function<std::string(bool placed)> closingWords)
    : closingWords_(std::move(closingWords))
{
    const sigset_t set = watchedSignals();
    ::pthread_sigmask(SIG_BLOCK, &set, nullptr);
    watcher_ = std::thread([this] { watch(); });
}

StopSignals::~StopSignals()
{
    over_.store(true);
    ::pthread_kill(watcher_.native_handle(), wakeSignal());
    watcher_.join();
    // The signals stay blocked: one that comes now finds the run over, with nothing to stop.
}

// Takes the signals as they come, without a descriptor of its own: the limit on open files
// may be low.
void StopSignals::watch()
{
    const sigset_t set = watchedSignals();
    std::optional<std::chrono::steady_clock::time_point> deadline;
    while (!over_.load()) {
        const timespec tick{0, 50'000'000};
        siginfo_t info{};
        int number = ::sigtimedwait(&set, &info, &tick);
        if (number == wakeSignal())
            number = -1;
        if (number > 0 && !deadline) {
            signal_.store(number);
            requested_.store(true);
            deadline = std::chrono::steady_clock::now() + kGrace;
            continue;
        }
        if (!deadline || (number <= 0 && std::chrono::steady_clock::now() < *deadline) || over_.load())
            continue;
        // The grace has run out, or a second signal came: the run is left where it is.
        const bool placed = listgen::TemporaryFiles::abandon(kPlacingWait);
        writeAll(STDERR_FILENO, closingWords_(placed));
        ::_exit(128 + signal_.load());
    }
}

} // namespace vaskerel
