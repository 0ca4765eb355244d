#include "listgen/walk/name_order.h"

#include <algorithm>

namespace listgen {

namespace {

unsigned char folded(char c) noexcept
{
    const auto byte = static_cast<unsigned char>(c);
    return (byte >= 'A' && byte <= 'Z') ? static_cast<unsigned char>(byte + ('a' - 'A')) : byte;
}

unsigned char raw(char c) noexcept
{
    return static_cast<unsigned char>(c);
}

} // namespace

bool nameLess(std::string_view a, std::string_view b) noexcept
{
    const auto foldedLess = [](char x, char y) { return folded(x) < folded(y); };
    const auto rawLess = [](char x, char y) { return raw(x) < raw(y); };
    if (std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), foldedLess))
        return true;
    if (std::lexicographical_compare(b.begin(), b.end(), a.begin(), a.end(), foldedLess))
        return false;
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), rawLess);
}

} // namespace listgen
