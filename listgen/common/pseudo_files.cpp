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

} // namespace

bool onPseudoFileSystem(int fd) noexcept
{
    struct statfs status {};
    if (::fstatfs(fd, &status) != 0)
        return false;
    const auto type = static_cast<unsigned long>(status.f_type);
    return std::find(kPseudoFileSystems.begin(), kPseudoFileSystems.end(), type) != kPseudoFileSystems.end();
}

} // namespace listgen
