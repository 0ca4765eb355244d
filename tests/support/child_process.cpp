#include "child_process.h"

#include <fcntl.h>
#include <linux/audit.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <grp.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstddef>
#include <cstdint>
#include <vector>
#include <filesystem>
#include <fstream>
#include <string>
#include <cstdlib>
#include <stdexcept>

namespace testing_support {

void refuseSystemCalls(const ChildLimits& limits)
{
    if (!limits.withoutUnnamedFiles && !limits.withoutIoUring && !limits.failingClose && !limits.failingFsync)
        return;
    constexpr std::uint32_t kTmpfile = O_TMPFILE;
    std::vector<sock_filter> program = {
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, arch)),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, AUDIT_ARCH_X86_64, 1, 0),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
    };
    const auto refuse = [&program](std::uint32_t call, std::uint32_t error) {
        program.push_back(BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, call, 0, 1));
        program.push_back(BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | error));
    };
    if (limits.withoutIoUring)
        refuse(__NR_io_uring_enter, EPERM);
    if (limits.failingClose)
        refuse(__NR_close, EIO);
    if (limits.failingFsync)
        refuse(__NR_fsync, EIO);
    if (limits.withoutUnnamedFiles) {
        program.push_back(BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_openat, 0, 4));
        program.push_back(BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, args[2])));
        program.push_back(BPF_STMT(BPF_ALU | BPF_AND | BPF_K, kTmpfile));
        program.push_back(BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, kTmpfile, 0, 1));
        program.push_back(BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | EOPNOTSUPP));
    }
    program.push_back(BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW));
    const sock_fprog filter{static_cast<unsigned short>(program.size()), program.data()};
    if (::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0 ||
        ::syscall(SYS_seccomp, SECCOMP_SET_MODE_FILTER, 0, &filter) != 0)
        ::_exit(124);
}

namespace {

constexpr uid_t kNobody = 65534;

// A limit below zero is no limit; one that cannot be set ends the child with `failure`.
void limitTo(int resource, long long value, int failure)
{
    const rlimit limit{static_cast<rlim_t>(value), static_cast<rlim_t>(value)};
    if (value >= 0 && ::setrlimit(resource, &limit) != 0)
        ::_exit(failure);
}

void applyLimits(const ChildLimits& limits)
{
    refuseSystemCalls(limits);
    if (limits.fileSizeLimit >= 0)
        ::signal(SIGXFSZ, SIG_IGN);
    limitTo(RLIMIT_FSIZE, limits.fileSizeLimit, 120);
    limitTo(RLIMIT_NOFILE, limits.openFiles, 123);
    limitTo(RLIMIT_AS, limits.addressSpace, 126);
    limitTo(RLIMIT_NPROC, limits.processes, 125);
    if (limits.unprivileged && ::geteuid() == 0) {
        if (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)
            ::_exit(121);
    }
}

// Reads both pipes to their end so that neither child stream can fill up and block it.
void drain(int outputFd, int errorsFd, ChildResult& result)
{
    pollfd fds[2] = {{outputFd, POLLIN, 0}, {errorsFd, POLLIN, 0}};
    std::string* sinks[2] = {&result.output, &result.errors};
    int open = 2;
    char buffer[4096];
    while (open > 0) {
        if (::poll(fds, 2, -1) < 0)
            continue;
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || fds[i].revents == 0)
                continue;
            const ssize_t count = ::read(fds[i].fd, buffer, sizeof buffer);
            if (count > 0) {
                sinks[i]->append(buffer, static_cast<std::size_t>(count));
            } else {
                ::close(fds[i].fd);
                fds[i].fd = -1;
                --open;
            }
        }
    }
}

struct Spawned {
    pid_t pid;
    int outputFd;
    int errorsFd;
};

// Forks a child with both standard streams on pipes and `limits` applied, then runs `body` there.
template <typename ChildBody>
Spawned spawn(const ChildLimits& limits, ChildBody body)
{
    int output[2];
    int errors[2];
    if (::pipe2(output, O_CLOEXEC) != 0 || ::pipe2(errors, O_CLOEXEC) != 0)
        throw std::runtime_error("pipe failed");
    const pid_t pid = ::fork();
    if (pid < 0)
        throw std::runtime_error("fork failed");
    if (pid == 0) {
        ::dup2(output[1], STDOUT_FILENO);
        ::dup2(errors[1], STDERR_FILENO);
        applyLimits(limits);
        body();
        ::_exit(127);
    }
    ::close(output[1]);
    ::close(errors[1]);
    return {pid, output[0], errors[0]};
}

ChildResult waitFor(const Spawned& child)
{
    ChildResult result;
    drain(child.outputFd, child.errorsFd, result);
    int status = 0;
    while (::waitpid(child.pid, &status, 0) < 0) {
    }
    if (WIFEXITED(status))
        result.exitCode = WEXITSTATUS(status);
    else if (WIFSIGNALED(status))
        result.signal = WTERMSIG(status);
    return result;
}

std::vector<char*> argumentVector(const std::vector<std::string>& arguments)
{
    std::vector<char*> argv;
    for (const auto& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    return argv;
}

} // namespace

std::string exitAndErrors(const ChildResult& result)
{
    return "exit " + std::to_string(result.exitCode) + ": " + result.errors;
}

ChildResult runInChild(const std::function<std::string()>& body, const ChildLimits& limits)
{
    return waitFor(spawn(limits, [&] {
        const std::string text = body();
        ssize_t written = 0;
        while (written < static_cast<ssize_t>(text.size())) {
            const ssize_t count = ::write(STDOUT_FILENO, text.data() + written, text.size() - written);
            if (count <= 0)
                ::_exit(122);
            written += count;
        }
        ::_exit(0);
    }));
}

ChildResult runProgram(const std::vector<std::string>& arguments, const ChildLimits& limits,
                       const std::function<void()>& prepare)
{
    const std::vector<char*> argv = argumentVector(arguments);
    return waitFor(spawn(limits, [&] {
        if (prepare)
            prepare();
        ::execv(argv[0], argv.data());
    }));
}

RunningProgram::RunningProgram(const std::vector<std::string>& arguments, const ChildLimits& limits)
{
    const std::vector<char*> argv = argumentVector(arguments);
    const Spawned child = spawn(limits, [&] { ::execv(argv[0], argv.data()); });
    pid_ = child.pid;
    outputFd_ = child.outputFd;
    errorsFd_ = child.errorsFd;
}

RunningProgram::~RunningProgram()
{
    if (pid_ > 0) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }
    for (const int fd : {outputFd_, errorsFd_}) {
        if (fd >= 0)
            ::close(fd);
    }
}

void RunningProgram::signal(int number) const
{
    ::kill(pid_, number);
}

bool RunningProgram::waitUntilReading(const std::string& path) const
{
    // Files opened through io_uring sit in its table of registered files, which fdinfo lists.
    const auto registered = [&](const std::filesystem::path& fd) {
        std::ifstream info(fd.parent_path().parent_path() / "fdinfo" / fd.filename());
        for (std::string line; std::getline(info, line);) {
            if (line.ends_with(": " + path))
                return true;
        }
        return false;
    };
    for (int attempt = 0; attempt < 3000; ++attempt) {
        // The run goes on in a child of the process started.
        std::vector<std::string> processes = {std::to_string(pid_)};
        std::ifstream children("/proc/" + processes[0] + "/task/" + processes[0] + "/children");
        for (std::string child; children >> child;)
            processes.push_back(child);
        for (const std::string& process : processes) {
            std::error_code error;
            for (const auto& entry : std::filesystem::directory_iterator("/proc/" + process + "/fd", error)) {
                const std::filesystem::path target = std::filesystem::read_symlink(entry.path(), error);
                if (target == path || (target == "anon_inode:[io_uring]" && registered(entry.path())))
                    return true;
            }
        }
        ::usleep(10000);
    }
    return false;
}

ChildResult RunningProgram::wait()
{
    const ChildResult result = waitFor({pid_, outputFd_, errorsFd_});
    pid_ = outputFd_ = errorsFd_ = -1;
    return result;
}

std::string vaskerelPath()
{
    const char* path = std::getenv("VASKEREL_BINARY");
    if (path == nullptr)
        throw std::runtime_error("VASKEREL_BINARY is not set");
    return path;
}

std::string vaskerelCopyIn(const std::string& folder)
{
    const std::filesystem::path copy = std::filesystem::path(folder) / "vaskerel";
    std::filesystem::copy_file(vaskerelPath(), copy, std::filesystem::copy_options::overwrite_existing);
    std::filesystem::permissions(copy, std::filesystem::perms(0755));
    return copy.string();
}

} // namespace testing_support
