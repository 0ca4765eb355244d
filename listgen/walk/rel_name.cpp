#include "listgen/walk/rel_name.h"

namespace listgen {

std::string_view relName(std::string_view strPath, std::string_view strRoot) noexcept
{
    const std::size_t skipped = strRoot.size() + 1;
    return skipped < strPath.size() ? strPath.substr(skipped) : std::string_view{};
}

} // namespace listgen
