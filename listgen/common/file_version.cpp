#include "listgen/common/file_version.h"

#include "listgen/common/system_error.h"

#include <fcntl.h>
#include <sys/sysmacros.h>

#include <cerrno>
#include <chrono>
#include <thread>

namespace listgen {

namespace {

// File systems that keep whole seconds (FAT keeps two) show no nanoseconds; a change time
// with none is taken to be that coarse.
constexpr long kCoarseStep = 2'000'000'000;
// A file still changing after this many measures is being written.
constexpr int kMostMeasures = 4;
constexpr std::int64_t kStepsAhead = 4;

std::int64_t nanoseconds(const timespec& time) noexcept
{
    return static_cast<std::int64_t>(time.tv_sec) * 1'000'000'000 + time.tv_nsec;
}

timespec fromStatx(const statx_timestamp& time) noexcept
{
    return {static_cast<time_t>(time.tv_sec), static_cast<long>(time.tv_nsec)};
}

bool sameTime(const timespec& a, const timespec& b) noexcept
{
    return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

} // namespace

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
    return a.identity == b.identity && a.size == b.size && sameTime(a.modified, b.modified) &&
           sameTime(a.changed, b.changed);
}

timespec FileVersion::now() noexcept
{
    timespec time{};
    ::clock_gettime(CLOCK_REALTIME_COARSE, &time);
    return time;
}

bool FileVersion::settledAt(const timespec& measuredAt) const noexcept
{
    const std::int64_t step = changed.tv_nsec == 0 ? kCoarseStep : 1;
    return nanoseconds(changed) + step <= nanoseconds(measuredAt);
}

std::error_code FileVersion::measureSettled(int fd, FileVersion& version)
{
    timespec resolution{};
    ::clock_getres(CLOCK_REALTIME_COARSE, &resolution);
    for (int measure = 0; measure < kMostMeasures; ++measure) {
        const timespec measuredAt = now();
        struct stat status {};
        if (::fstat(fd, &status) != 0)
            return systemCode(errno);
        version = of(status);
        if (version.settledAt(measuredAt))
            return {};
        const bool coarse = version.changed.tv_nsec == 0;
        const std::int64_t wait =
            nanoseconds(version.changed) + (coarse ? kCoarseStep : nanoseconds(resolution)) - nanoseconds(measuredAt);
        // Further ahead than a step or two, the clocks disagree: nothing to wait for.
        if (wait > (coarse ? kCoarseStep : kStepsAhead * nanoseconds(resolution)))
            break;
        std::this_thread::sleep_for(std::chrono::nanoseconds(wait));
    }
    return RunError::ChangedWhileRead;
}

} // namespace listgen
