#pragma once

namespace listgen {

// True when the open file or folder `fd` lies on a file system whose files are made up as
// they are read (procfs, sysfs, debugfs, cgroup and the like), so their sizes are only guesses.
bool onPseudoFileSystem(int fd) noexcept;

} // namespace listgen
