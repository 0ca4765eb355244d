#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace listgen {

// A byte count for people: whole bytes below 1024 ("512 B"), else tenths of the largest unit
// that leaves at least 1, rounded half up ("1.5 GiB"). `units` are the words, smallest first,
// each 1024 times the one before; the same digits in every locale.
std::string byteCountText(std::uint64_t bytes, std::span<const std::string_view> units);

} // namespace listgen
