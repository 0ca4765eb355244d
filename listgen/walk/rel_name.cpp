#include "listgen/walk/rel_name.h"

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
    for (std::size_t start = 0;;) {
        const std::size_t slash = path.find('/', start);
        const std::string_view part = path.substr(start, slash == std::string_view::npos ? slash : slash - start);
        if (part.empty() || part == "." || part == "..")
            return false;
        if (slash == std::string_view::npos)
            return true;
        start = slash + 1;
    }
}

} // namespace listgen
