#include "listgen/common/path_split.h"

namespace listgen {

std::vector<std::string_view> pathParts(std::string_view path)
{
    std::vector<std::string_view> parts;
    for (std::size_t start = 0;;) {
        const std::size_t slash = path.find('/', start);
        parts.push_back(path.substr(start, slash == std::string_view::npos ? slash : slash - start));
        if (slash == std::string_view::npos)
            return parts;
        start = slash + 1;
    }
}

FolderAndName folderAndName(std::string_view path) noexcept
{
    const std::size_t slash = path.rfind('/');
    if (slash == std::string_view::npos)
        return {".", path};
    return {slash == 0 ? std::string_view("/") : path.substr(0, slash), path.substr(slash + 1)};
}

} // namespace listgen
