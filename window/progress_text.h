#pragma once

#include "listgen/generate_list.h"

#include <QString>

#include <chrono>

namespace vaskerel {

// A byte count for people, such as "512 バイト" or "1.5 GiB".
QString byteCountText(std::uint64_t bytes);

// The progress dialog's lines: files and bytes done, the average rates in bytes and in files,
// the time taken so far.
QString progressText(const listgen::Progress& progress, std::chrono::milliseconds elapsed);

} // namespace vaskerel
