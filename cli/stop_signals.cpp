#include "cli/stop_signals.h"

#include "listgen/report/temporary_files.h"

#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <optional>
#include <system_error>

namespace vaskerel {

namespace {

constexpr auto kGrace = std::chrono::seconds(1);
// Time allowed to finish renaming outputs into place before the process ends anyway.
constexpr auto kPlacingWait = std::chrono::milliseconds(500);
constexpr timespec kTick{0, 50'000'000};

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

// Ends this process as the child ended, by its status or its signal.
[[noreturn]] void endAs(int status)
{
    if (WIFSIGNALED(status)) {
        const int number = WTERMSIG(status);
        // The child has dumped its core already, if that was asked for.
        const rlimit noCore{0, 0};
        ::setrlimit(RLIMIT_CORE, &noCore);
        ::signal(number, SIG_DFL);
        sigset_t set;
        sigemptyset(&set);
        sigaddset(&set, number);
        ::pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
        ::raise(number);
        ::_exit(128 + number);
    }
    ::_exit(WIFEXITED(status) ? WEXITSTATUS(status) : 1);
}

// The parent's part: hands the child the stop signals it gets, unless the terminal sent them
// to the child as well, and ends as the child ends, or as it says it is abandoned.
[[noreturn]] void waitForChild(pid_t child, int fromChild)
{
    sigset_t set = stopSignals();
    sigaddset(&set, SIGCHLD);
    ::pthread_sigmask(SIG_BLOCK, &set, nullptr);
    for (;;) {
        siginfo_t info{};
        const int number = ::sigtimedwait(&set, &info, &kTick);
        if (number > 0 && number != SIGCHLD && info.si_code != SI_KERNEL)
            ::sigqueue(child, number, sigval{});
        unsigned char status = 0;
        if (::read(fromChild, &status, 1) == 1)
            ::_exit(status);
        int ended = 0;
        if (::waitpid(child, &ended, WNOHANG) == child)
            endAs(ended);
    }
}

std::atomic<std::atomic<bool>*> requestedByHandler{nullptr};
std::atomic<std::atomic<int>*> signalByHandler{nullptr};

// Without a watcher, the first signal stops the run and a second ends the process at once.
extern "C" void onStopSignal(int number)
{
    if (requestedByHandler.load()->load())
        ::_exit(128 + number);
    signalByHandler.load()->store(number);
    requestedByHandler.load()->store(true);
}

} // namespace

StopSignals::StopSignals(std::function<std::string(bool placed)> closingWords)
    : closingWords_(std::move(closingWords))
{
    const sigset_t set = watchedSignals();
    ::pthread_sigmask(SIG_BLOCK, &set, nullptr);
    runInChild();
    try {
        watcher_ = std::thread([this] { watch(); });
    } catch (const std::system_error&) {
        takeSignalsInHandler();
    }
}

StopSignals::~StopSignals()
{
    over_.store(true);
    if (watcher_.joinable()) {
        ::pthread_kill(watcher_.native_handle(), wakeSignal());
        watcher_.join();
    }
    // The signals stay blocked: one that comes now finds the run over, with nothing to stop.
}

// The process started becomes the parent that waits; the child returns and runs.
void StopSignals::runInChild()
{
    int pipe[2];
    if (::pipe2(pipe, O_CLOEXEC) != 0)
        return;
    parent_ = ::getpid();
    const pid_t child = ::fork();
    if (child < 0) {
        ::close(pipe[0]);
        ::close(pipe[1]);
        return;
    }
    if (child > 0) {
        ::close(pipe[1]);
        ::fcntl(pipe[0], F_SETFL, O_NONBLOCK);
        waitForChild(child, pipe[0]);
    }
    ::close(pipe[0]);
    toParent_ = pipe[1];
    // A parent killed outright takes the run with it.
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (::getppid() != parent_)
        ::_exit(128 + SIGKILL);
}

void StopSignals::takeSignalsInHandler()
{
    requestedByHandler.store(&requested_);
    signalByHandler.store(&signal_);
    const sigset_t set = stopSignals();
    struct sigaction action {};
    action.sa_handler = onStopSignal;
    action.sa_mask = set;
    for (const int number : {SIGINT, SIGTERM, SIGHUP, SIGQUIT})
        ::sigaction(number, &action, nullptr);
    ::pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
}

// The run is left where it is: what it named is removed, and the parent told how it ended
// before the process tries to end, which a thread stuck in the kernel may hold up.
void StopSignals::abandon(int status)
{
    try {
        writeAll(STDERR_FILENO, closingWords_(listgen::TemporaryFiles::abandon(kPlacingWait)));
    } catch (...) {
        // Out of memory for the words, say: the process ends all the same.
    }
    if (toParent_ >= 0) {
        writeAll(toParent_, std::string(1, static_cast<char>(status)));
        // Whoever reads the run's output sees its end now; /dev/null takes the streams' places,
        // so that no file opened meanwhile takes their numbers.
        const int nowhere = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
        for (const int stream : {STDOUT_FILENO, STDERR_FILENO}) {
            if (nowhere < 0 || ::dup2(nowhere, stream) < 0)
                ::close(stream);
        }
    }
    ::_exit(status);
}

// Takes the signals as they come, without a descriptor of its own: the limit on open files
// may be low.
void StopSignals::watch()
{
    const sigset_t set = watchedSignals();
    std::optional<std::chrono::steady_clock::time_point> deadline;
    while (!over_.load()) {
        siginfo_t info{};
        int number = ::sigtimedwait(&set, &info, &kTick);
        if (number == wakeSignal())
            number = -1;
        // The parent hands on what it got; the same signal sent to both counts once.
        if (number == signal_.load() && deadline && info.si_code == SI_QUEUE && info.si_pid == parent_)
            number = -1;
        if (number > 0 && !deadline) {
            signal_.store(number);
            requested_.store(true);
            deadline = std::chrono::steady_clock::now() + kGrace;
            continue;
        }
        if (!deadline || (number <= 0 && std::chrono::steady_clock::now() < *deadline) || over_.load())
            continue;
        // The grace has run out, or a second signal came.
        abandon(128 + signal_.load());
    }
}

} // namespace vaskerel
