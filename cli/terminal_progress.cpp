#include "cli/terminal_progress.h"

#include "listgen/common/byte_count_text.h"

#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

namespace vaskerel {

namespace {

constexpr std::string_view kByteUnits[] = {"B", "KiB", "MiB", "GiB", "TiB"};

std::string byteText(std::uint64_t bytes)
{
    return listgen::byteCountText(bytes, kByteUnits);
}

} // namespace

bool terminalHasEscapes(const char* term) noexcept
{
    return term != nullptr && *term != '\0' && std::strcmp(term, "dumb") != 0;
}

std::unique_ptr<TerminalProgress> progressOnStandardError(bool quiet)
{
    if (quiet || ::isatty(STDERR_FILENO) != 1)
        return nullptr;
    return std::make_unique<TerminalProgress>(stderr, terminalHasEscapes(std::getenv("TERM")));
}

TerminalProgress::TerminalProgress(std::FILE* terminal, bool escapes)
    : terminal_(terminal)
    , escapes_(escapes)
    , start_(std::chrono::steady_clock::now())
{
}

TerminalProgress::~TerminalProgress()
{
    if (shown_) {
        overwrite("");
        if (!escapes_)
            std::fputc('\r', terminal_);
        std::fflush(terminal_);
    }
}

void TerminalProgress::overwrite(const std::string& text)
{
    if (escapes_) {
        std::fprintf(terminal_, "\r\033[K%s", text.c_str());
    } else {
        const std::size_t blanks = shownLength_ > text.size() ? shownLength_ - text.size() : 0;
        std::fprintf(terminal_, "\r%s%s", text.c_str(), std::string(blanks, ' ').c_str());
    }
    shownLength_ = text.size();
}

void TerminalProgress::show(const listgen::Progress& progress)
{
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start_;
    const double rate = elapsed.count() > 0 ? static_cast<double>(progress.bytes) / elapsed.count() : 0;
    char text[128];
    std::snprintf(text, sizeof text, "%llu files, %s, %s/s", static_cast<unsigned long long>(progress.files),
                  byteText(progress.bytes).c_str(), byteText(static_cast<std::uint64_t>(std::llround(rate))).c_str());
    overwrite(text);
    std::fflush(terminal_);
    shown_ = true;
}

} // namespace vaskerel
