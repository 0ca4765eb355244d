#include "listgen/walk/rel_name.h"

#include "listgen/common/path_split.h"

#include <algorithm>

namespace listgen {

std::string_view relName(std::string_view strPath, std::string_view strRoot) noexcept
{
    const std::size_t skipped = strRoot.size() + 1;
    return skipped < strPath.size() ? strPath.substr(skipped) : std::string_view{};
}

bool isWalkPath(std::string_view path) noexcept
{
    if (path.find('\0') != std::string_view::npos)
        return false;
    const std::vector<std::string_view> parts = pathParts(path);
    return std::none_of(parts.begin(), parts.end(),
                        [](std::string_view part) { return part.empty() || part == "." || part == ".."; });
}

} // namespace listgen
