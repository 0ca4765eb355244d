#include "listgen/common/byte_count_text.h"

namespace listgen {

namespace {

// Wide enough for ten times any count.
using Wide = unsigned __int128;

} // namespace

std::string byteCountText(std::uint64_t bytes, std::span<const std::string_view> units)
{
    std::size_t unit = 0;
    Wide unitSize = 1;
    while (unit + 1 < units.size() && bytes >= unitSize * 1024) {
        unitSize *= 1024;
        ++unit;
    }
    std::string text;
    if (unit == 0) {
        text = std::to_string(bytes);
    } else {
        const auto tenths = static_cast<std::uint64_t>((Wide{bytes} * 10 + unitSize / 2) / unitSize);
        text = std::to_string(tenths / 10) + '.' + std::to_string(tenths % 10);
    }
    return text.append(" ").append(units[unit]);
}

} // namespace listgen
