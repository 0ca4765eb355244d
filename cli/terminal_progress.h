#pragma once

#include "listgen/common/run_values.h"

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>

namespace vaskerel {

// One self-overwriting status line on a terminal: files, bytes and rate.
class TerminalProgress {
public:
    // Without `escapes` (a dumb terminal), a shorter line is blanked out with spaces instead.
    TerminalProgress(std::FILE* terminal, bool escapes);
    ~TerminalProgress();
    TerminalProgress(const TerminalProgress&) = delete;
    TerminalProgress& operator=(const TerminalProgress&) = delete;

    void show(const listgen::Progress& progress);

private:
    void overwrite(const std::string& text);

    std::FILE* terminal_;
    bool escapes_;
    std::chrono::steady_clock::time_point start_;
    std::size_t shownLength_ = 0;
    bool shown_ = false;
};

// A progress line on standard error when it is a terminal and `quiet` is not set; null otherwise.
std::unique_ptr<TerminalProgress> progressOnStandardError(bool quiet);

// Whether a terminal of type `term` (TERM, maybe unset) understands the erase-line escape.
bool terminalHasEscapes(const char* term) noexcept;

} // namespace vaskerel
