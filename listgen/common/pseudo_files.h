#pragma once

#include <cstdint>
#include <string_view>

namespace listgen {

// True when the open file or folder `fd` lies on a file system whose files are made up as
// they are read (procfs, sysfs, debugfs, cgroup and the like), so their sizes are only guesses.
bool onPseudoFileSystem(int fd) noexcept;

// How far a file made up as it is read is read when it states no size: further than any
// kernel table that is a document. One that gives more is a view of something without end
// (memory, a log) and is left out.
inline constexpr std::uint64_t kLongestPseudoFile = std::uint64_t{64} << 20;

enum class PseudoFileKind {
    Document,
    // Reading takes what it reads away from everyone else (/proc/kmsg, trace_pipe), or waits
    // for ever for more: never opened.
    TakesDataAway,
    // A view of memory (/proc/PID/pagemap, mem, /proc/kcore): as large as an address space.
    MemoryImage,
};

// What the file `name` in the pseudo file system that `fd` (the file, or its folder) lies on
// is, told by the name the kernel gives it.
PseudoFileKind pseudoFileKind(int fd, std::string_view name) noexcept;

} // namespace listgen
