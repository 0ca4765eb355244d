#include "cli/terminal_progress.h"

#include <array>
#include <string>

namespace vaskerel {

std::string byteText(double bytes)
{
    static constexpr std::array<const char*, 5> kUnits = {"B", "KiB", "MiB", "GiB", "TiB"};
    std::size_t unit = 0;
    while (bytes >= 1024 && unit + 1 < kUnits.size()) {
        bytes /= 1024;
        ++unit;
    }
    char text[32];
    std::snprintf(text, sizeof text, unit == 0 ? "%.0f %s" : "%.1f %s", bytes, kUnits[unit]);
    return text;
}

TerminalProgress::TerminalProgress(std::FILE* terminal)
    : terminal_(terminal)
    , start_(std::chrono::steady_clock::now())
{
}

TerminalProgress::~TerminalProgress()
{
    if (shown_) {
        std::fputs("\r\033[K", terminal_);
        std::fflush(terminal_);
    }
}

void TerminalProgress::show(const listgen::Progress& progress)
{
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start_;
    const double rate = elapsed.count() > 0 ? static_cast<double>(progress.bytes) / elapsed.count() : 0;
    std::fprintf(terminal_, "\r\033[K%llu files, %s, %s/s", static_cast<unsigned long long>(progress.files),
                 byteText(static_cast<double>(progress.bytes)).c_str(), byteText(rate).c_str());
    std::fflush(terminal_);
    shown_ = true;
}

} // namespace vaskerel
