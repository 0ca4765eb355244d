#pragma once

#include "listgen/common/run_values.h"

#include <chrono>
#include <cstdio>
#include <string>

namespace vaskerel {

// One self-overwriting status line on a terminal: files, bytes and rate.
class TerminalProgress {
public:
    explicit TerminalProgress(std::FILE* terminal);
    ~TerminalProgress();

    void show(const listgen::Progress& progress);

private:
    std::FILE* terminal_;
    std::chrono::steady_clock::time_point start_;
    bool shown_ = false;
};

// A human-readable byte count such as "1.5 GiB".
std::string byteText(double bytes);

} // namespace vaskerel
