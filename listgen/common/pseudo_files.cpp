#include "listgen/common/pseudo_files.h"

#include <linux/magic.h>
#include <sys/statfs.h>

#include <algorithm>
#include <array>

namespace listgen {

namespace {

constexpr unsigned long kConfigFsMagic = 0x62656570;
constexpr unsigned long kFuseControlMagic = 0x65735543;

constexpr std::array<unsigned long, 15> kPseudoFileSystems = {
    PROC_SUPER_MAGIC,   SYSFS_MAGIC,    DEBUGFS_MAGIC,     TRACEFS_MAGIC,  CGROUP_SUPER_MAGIC,
    CGROUP2_SUPER_MAGIC, SECURITYFS_MAGIC, SELINUX_MAGIC,  SMACK_MAGIC,    BPF_FS_MAGIC,
    PSTOREFS_MAGIC,     BINFMTFS_MAGIC, RDTGROUP_SUPER_MAGIC, kConfigFsMagic, kFuseControlMagic,
};

constexpr std::array<std::string_view, 4> kTakingData = {"kmsg", "trace_pipe", "trace_pipe_raw", "snapshot_raw"};
constexpr std::array<std::string_view, 7> kMemoryImages = {"pagemap", "mem",        "kcore",      "kpagecount",
                                                           "kpageflags", "kpagecgroup", "vmcore"};

template <std::size_t Count>
bool among(const std::array<std::string_view, Count>& names, std::string_view name)
{
    return std::find(names.begin(), names.end(), name) != names.end();
}

} // namespace

PseudoFileKind pseudoFileKind(int fd, std::string_view name) noexcept
{
    struct statfs status {};
    if (::fstatfs(fd, &status) != 0)
        return PseudoFileKind::Document;
    const auto type = static_cast<unsigned long>(status.f_type);
    if (among(kTakingData, name) && (type == PROC_SUPER_MAGIC || type == TRACEFS_MAGIC || type == DEBUGFS_MAGIC))
        return PseudoFileKind::TakesDataAway;
    if (among(kMemoryImages, name) && type == PROC_SUPER_MAGIC)
        return PseudoFileKind::MemoryImage;
    return PseudoFileKind::Document;
}

bool onPseudoFileSystem(int fd) noexcept
{
    struct statfs status {};
    if (::fstatfs(fd, &status) != 0)
        return false;
    const auto type = static_cast<unsigned long>(status.f_type);
    return std::find(kPseudoFileSystems.begin(), kPseudoFileSystems.end(), type) != kPseudoFileSystems.end();
}

} // namespace listgen
