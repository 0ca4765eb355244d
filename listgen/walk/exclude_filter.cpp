#include "listgen/walk/exclude_filter.h"

#include "listgen/common/file_descriptor.h"
#include "listgen/common/path_split.h"
#include "listgen/common/system_error.h"
#include "listgen/walk/glob_pattern.h"
#include "listgen/walk/star_match.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace listgen {

namespace {

// Parts of a pattern against parts of a path; "**" takes any number of parts.
bool partsMatch(const std::vector<std::string>& pattern, const std::vector<std::string_view>& path)
{
    return starMatch(
        pattern.size(), path.size(), [&](std::size_t p) { return pattern[p] == "**"; },
        [&](std::size_t p, std::size_t s) { return globMatches(pattern[p], path[s]) ? p + 1 : kNoStep; });
}

// Far more than any file of patterns holds; a larger one is refused rather than read into memory.
constexpr std::size_t kLargestPatternFile = std::size_t{16} << 20;

std::string readWhole(const std::string& path)
{
    const FileDescriptor file(path == "-" ? ::fcntl(STDIN_FILENO, F_DUPFD_CLOEXEC, 0)
                                          : ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY));
    if (!file.valid())
        throw SystemError(RunAction::ReadListing, path, errno);
    std::string text;
    char buffer[1 << 16];
    for (;;) {
        const ssize_t count = ::read(file.get(), buffer, sizeof buffer);
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0)
            throw SystemError(RunAction::ReadListing, path, errno);
        if (count == 0)
            return text;
        text.append(buffer, static_cast<std::size_t>(count));
        if (text.size() > kLargestPatternFile)
            throw SystemError(RunAction::ReadListing, path, EFBIG);
    }
}

} // namespace

std::vector<ExcludePattern> readExcludeFile(const std::string& path)
{
    const std::string text = readWhole(path);
    std::vector<ExcludePattern> patterns;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = std::min(text.find('\n', start), text.size());
        std::string_view line(text.data() + start, end - start);
        start = end + 1;
        if (line.ends_with('\r'))
            line.remove_suffix(1);
        while (line.ends_with(' ') && !line.substr(0, line.size() - 1).ends_with('\\'))
            line.remove_suffix(1);
        if (!line.empty() && !line.starts_with('#'))
            patterns.emplace_back(std::string(line), true);
    }
    return patterns;
}

ExcludeFilter::ExcludeFilter(std::vector<ExcludePattern> patterns)
    : used_(std::make_shared<std::vector<std::atomic<bool>>>(patterns.size()))
{
    for (ExcludePattern& given : patterns) {
        Pattern pattern;
        std::string_view text = given.text;
        if (text.starts_with('!')) {
            pattern.negated = true;
            text.remove_prefix(1);
        }
        while (text.size() > 1 && text.ends_with('/')) {
            pattern.foldersOnly = true;
            text.remove_suffix(1);
        }
        if (text.starts_with("./") || text.starts_with('/')) {
            pattern.anchored = true;
            text.remove_prefix(text.starts_with('/') ? 1 : 2);
        }
        for (const std::string_view part : pathParts(text))
            pattern.parts.emplace_back(part);
        pattern.anchored = pattern.anchored || pattern.parts.size() > 1;
        pattern.given = std::move(given);
        patterns_.push_back(std::move(pattern));
    }
}

bool ExcludeFilter::matches(const Pattern& pattern, std::string_view relative, bool isFolder) const
{
    if (pattern.foldersOnly && !isFolder)
        return false;
    if (!pattern.anchored)
        return globMatches(pattern.parts[0], folderAndName(relative).name);
    return partsMatch(pattern.parts, pathParts(relative));
}

bool ExcludeFilter::excludes(std::string_view relative, bool isFolder) const
{
    for (std::size_t i = patterns_.size(); i-- > 0;) {
        if (matches(patterns_[i], relative, isFolder)) {
            (*used_)[i].store(true, std::memory_order_relaxed);
            return !patterns_[i].negated;
        }
    }
    return false;
}

bool ExcludeFilter::excludesPath(std::string_view relative) const
{
    if (patterns_.empty())
        return false;
    for (std::size_t slash = relative.find('/'); slash != std::string_view::npos; slash = relative.find('/', slash + 1)) {
        if (excludes(relative.substr(0, slash), true))
            return true;
    }
    return excludes(relative, false);
}

std::vector<std::string> ExcludeFilter::unused() const
{
    std::vector<std::string> unused;
    for (std::size_t i = 0; i < patterns_.size(); ++i) {
        if (!(*used_)[i].load(std::memory_order_relaxed) && !patterns_[i].given.fromFile)
            unused.push_back(patterns_[i].given.text);
    }
    return unused;
}

} // namespace listgen
