#include "fault_mount.h"

#include <linux/magic.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/statfs.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

namespace testing_support {

namespace {

const char* faultFsPath()
{
#ifdef VASKEREL_FAULT_FS
    return VASKEREL_FAULT_FS;
#else
    return nullptr;
#endif
}

bool onFuse(const std::string& path)
{
    struct statfs status {};
    return ::statfs(path.c_str(), &status) == 0 && status.f_type == FUSE_SUPER_MAGIC;
}

} // namespace

std::string FaultMount::unavailable()
{
    if (faultFsPath() == nullptr)
        return "fault_fs was not built (libfuse3-dev missing)";
    if (::geteuid() != 0)
        return "mounting needs root";
    if (::access("/dev/fuse", R_OK | W_OK) != 0)
        return "no /dev/fuse";
    return {};
}

FaultMount::FaultMount(const std::string& source, const std::string& mountPoint)
    : mountPoint_(mountPoint)
{
    pid_ = ::fork();
    if (pid_ == 0) {
        ::execl(faultFsPath(), "fault_fs", source.c_str(), mountPoint.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!(mounted_ = onFuse(mountPoint_)) && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
}

FaultMount::~FaultMount()
{
    // Killing the daemon aborts the connection, so readers still waiting on it are let go.
    if (pid_ > 0) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }
    ::umount2(mountPoint_.c_str(), MNT_DETACH);
}

} // namespace testing_support
