#pragma once

#include <functional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace testing_support {

// How a child runs: root drops to nobody so that permission bits bite, and a file-size
// limit with SIGXFSZ ignored makes writes fail the way a full disk does.
struct ChildLimits {
    bool unprivileged = false;
    long long fileSizeLimit = -1;
    long long openFiles = -1;
    long long addressSpace = -1; // bytes
    long long processes = -1; // binds only a user other than root, so use with `unprivileged`
    // A seccomp filter makes these system calls fail, as some file systems and containers do.
    bool withoutUnnamedFiles = false; // openat with O_TMPFILE: EOPNOTSUPP
    bool withoutIoUring = false;      // io_uring_enter: EPERM (a ring is set up, never entered)
    bool failingClose = false;        // close: EIO, as NFS reports a write it could not make
    bool failingFsync = false;        // fsync (not fdatasync): EIO, as a failing disk does
};

// Installs the seccomp filter of `limits` in the calling process, for faults from now on.
void refuseSystemCalls(const ChildLimits& limits);

struct ChildResult {
    int exitCode = -1;   // -1 when the child died of a signal
    int signal = 0;
    std::string output;  // what the child wrote to its standard output
    std::string errors;  // and to its standard error
};

// "exit N: " and what the run wrote to standard error, to check how a run ended in one line.
std::string exitAndErrors(const ChildResult& result);

// Runs `body` in a forked child; what it returns is its standard output.
ChildResult runInChild(const std::function<std::string()>& body, const ChildLimits& limits = {});

// Runs a program and waits for it; `prepare` runs in the child first (to change the
// environment or a standard stream).
ChildResult runProgram(const std::vector<std::string>& arguments, const ChildLimits& limits = {},
                       const std::function<void()>& prepare = {});

// A program left running, for tests that signal it.
class RunningProgram {
public:
    explicit RunningProgram(const std::vector<std::string>& arguments, const ChildLimits& limits = {});
    ~RunningProgram();
    void signal(int number) const;
    // Waits until the program has `path` open, so that a test acts while it is reading it.
    bool waitUntilReading(const std::string& path) const;
    ChildResult wait();

private:
    pid_t pid_ = -1;
    int outputFd_ = -1;
    int errorsFd_ = -1;
};

// The path of the vaskerel executable under test.
std::string vaskerelPath();

// A copy of it in `folder`, for runs as nobody, who may not reach the build tree.
std::string vaskerelCopyIn(const std::string& folder);

} // namespace testing_support
