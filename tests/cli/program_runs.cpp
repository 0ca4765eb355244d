#include "program_runs.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <stdexcept>

namespace testing_support {

ChildResult runVaskerel(std::vector<std::string> arguments, const ChildLimits& limits, const std::string& folder)
{
    arguments.insert(arguments.begin(), limits.unprivileged ? vaskerelCopyIn(folder) : vaskerelPath());
    return runProgram(arguments, limits);
}

ChildResult runVaskerelAfter(const std::function<void()>& prepare, std::vector<std::string> arguments)
{
    arguments.insert(arguments.begin(), vaskerelPath());
    return runProgram(arguments, {}, prepare);
}

void standardOutputOnAFullDisk()
{
    ::dup2(::open("/dev/full", O_WRONLY), STDOUT_FILENO);
}

void standardOutputOnAClosedPipe()
{
    int ends[2];
    if (::pipe(ends) != 0)
        ::_exit(125);
    ::close(ends[0]);
    ::dup2(ends[1], STDOUT_FILENO);
    ::signal(SIGPIPE, SIG_IGN);
}

std::string standardErrorOnTerminal(const std::vector<std::string>& arguments, const char* term, int& exitCode)
{
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0)
        throw std::runtime_error("no pseudo-terminal");
    const std::string terminal = ::ptsname(master);
    const ChildResult result = runVaskerelAfter(
        [&] {
            const int fd = ::open(terminal.c_str(), O_RDWR | O_NOCTTY);
            ::dup2(fd, STDERR_FILENO);
            if (term != nullptr)
                ::setenv("TERM", term, 1);
            else
                ::unsetenv("TERM");
        },
        arguments);
    exitCode = result.exitCode;
    // What the child wrote waits in the terminal until read; a closed terminal then reads EIO.
    ::fcntl(master, F_SETFL, O_NONBLOCK);
    std::string written;
    char buffer[4096];
    for (ssize_t count; (count = ::read(master, buffer, sizeof buffer)) > 0;)
        written.append(buffer, static_cast<std::size_t>(count));
    ::close(master);
    return written;
}

} // namespace testing_support
