#pragma once

#include <string_view>
#include <vector>

namespace listgen {

// The parts of a path between its "/"s, empty ones too: "a//b/" gives "a", "", "b" and "".
std::vector<std::string_view> pathParts(std::string_view path);

// The folder a path names its last part in, and that part: "a/b/c" gives "a/b" and "c", "c"
// gives "." and "c", "/c" gives "/" and "c". Both point into `path` or at static text.
struct FolderAndName {
    std::string_view folder;
    std::string_view name;
};
FolderAndName folderAndName(std::string_view path) noexcept;

} // namespace listgen
