#include "listgen/common/file_version.h"

#include "listgen/common/system_error.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/sysmacros.h>

#include <cerrno>
#include <chrono>
#include <mutex>
#include <thread>

namespace listgen {

namespace {

constexpr std::int64_t kSecond = 1'000'000'000;
// File systems that keep whole seconds (FAT keeps two) show no nanoseconds; a change time
// with none is taken to be that coarse.
constexpr std::int64_t kCoarseStep = 2 * kSecond;
// Longer than a step of the clock file systems stamp with (a tick, 1 to 10 ms).
constexpr std::int64_t kClockStep = 20'000'000;
// A write stamps the change time as it starts and may copy its data for a while after, the
// more so on a busy machine: without knowing the writers, a change more recent than this may
// be a write still under way.
constexpr std::int64_t kWriteUnderWay = 200'000'000;
// Writers are asked about files changed this lately.
constexpr std::int64_t kRecent = 10 * kSecond;
// A file still changing after this many measures is being written.
constexpr int kMostMeasures = 3;

std::int64_t nanoseconds(const timespec& time) noexcept
{
    return static_cast<std::int64_t>(time.tv_sec) * kSecond + time.tv_nsec;
}

timespec fromNanoseconds(std::int64_t time) noexcept
{
    return {static_cast<time_t>(time / kSecond), static_cast<long>(time % kSecond)};
}

timespec fromStatx(const statx_timestamp& time) noexcept
{
    return {static_cast<time_t>(time.tv_sec), static_cast<long>(time.tv_nsec)};
}

} // namespace

bool earlier(const timespec& a, const timespec& b) noexcept
{
    return nanoseconds(a) < nanoseconds(b);
}

FileVersion FileVersion::of(const struct stat& status) noexcept
{
    return {FileIdentity::of(status), static_cast<std::uint64_t>(status.st_size), status.st_mtim, status.st_ctim};
}

FileVersion FileVersion::of(const struct statx& status) noexcept
{
    return {{makedev(status.stx_dev_major, status.stx_dev_minor), static_cast<ino_t>(status.stx_ino)},
            status.stx_size,
            fromStatx(status.stx_mtime),
            fromStatx(status.stx_ctime)};
}

bool operator==(const FileVersion& a, const FileVersion& b) noexcept
{
    return a.identity == b.identity && a.size == b.size && nanoseconds(a.modified) == nanoseconds(b.modified) &&
           nanoseconds(a.changed) == nanoseconds(b.changed);
}

timespec FileVersion::now() noexcept
{
    timespec time{};
    ::clock_gettime(CLOCK_REALTIME_COARSE, &time);
    return time;
}

FileVersion::Writers FileVersion::writersOf(int fd)
{
    // A writer that opens the file while the lease is held breaks it, which is signalled
    // with SIGIO; that would end the process.
    static std::once_flag ignoreBreaks;
    std::call_once(ignoreBreaks, [] { ::signal(SIGIO, SIG_IGN); });
    if (::fcntl(fd, F_SETLEASE, F_RDLCK) == 0) {
        ::fcntl(fd, F_SETLEASE, F_UNLCK);
        return Writers::None;
    }
    return errno == EAGAIN ? Writers::Some : Writers::Unknown;
}

bool FileVersion::recentAt(const timespec& measuredAt) const noexcept
{
    return nanoseconds(changed) + kRecent > nanoseconds(measuredAt);
}

timespec FileVersion::settledFrom(Writers writers) const noexcept
{
    const std::int64_t wait = changed.tv_nsec == 0 ? kCoarseStep : writers == Writers::None ? kClockStep : kWriteUnderWay;
    return fromNanoseconds(nanoseconds(changed) + wait);
}

std::error_code FileVersion::measureSettled(int fd, FileVersion& version)
{
    // The coarse clock lags real time by up to one of its steps, so a sleep is that much longer.
    timespec resolution{};
    ::clock_getres(CLOCK_REALTIME_COARSE, &resolution);
    int changes = 0;
    for (int measure = 0; measure < 2 * kMostMeasures; ++measure) {
        const timespec measuredAt = now();
        struct stat status {};
        if (::fstat(fd, &status) != 0)
            return systemCode(errno);
        const FileVersion previous = version;
        version = of(status);
        if (measure > 0 && !(version == previous) && ++changes >= kMostMeasures)
            break;
        const Writers writers = version.recentAt(measuredAt) ? writersOf(fd) : Writers::None;
        if (writers == Writers::Some)
            break;
        const std::int64_t wait = nanoseconds(version.settledFrom(writers)) - nanoseconds(measuredAt);
        if (wait <= 0)
            return {};
        // Further ahead than that, the clocks disagree: there is nothing to wait for.
        if (wait > kCoarseStep)
            break;
        std::this_thread::sleep_for(std::chrono::nanoseconds(wait + nanoseconds(resolution)));
    }
    return RunError::ChangedWhileRead;
}

} // namespace listgen
