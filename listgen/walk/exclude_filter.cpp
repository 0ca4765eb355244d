#include "listgen/walk/exclude_filter.h"

#include <fnmatch.h>

namespace listgen {

namespace {

std::vector<std::string> partsOf(std::string_view path)
{
    std::vector<std::string> parts;
    for (std::size_t start = 0;;) {
        const std::size_t slash = path.find('/', start);
        parts.emplace_back(path.substr(start, slash == std::string_view::npos ? slash : slash - start));
        if (slash == std::string_view::npos)
            return parts;
        start = slash + 1;
    }
}

bool partMatches(const std::string& pattern, std::string_view part)
{
    return ::fnmatch(pattern.c_str(), std::string(part).c_str(), 0) == 0;
}

// Matches parts of a pattern against parts of a path; "**" takes any number of them.
bool partsMatch(const std::vector<std::string>& pattern, std::size_t p, const std::vector<std::string>& path,
                std::size_t s)
{
    if (p == pattern.size())
        return s == path.size();
    if (pattern[p] == "**")
        return partsMatch(pattern, p + 1, path, s) || (s < path.size() && partsMatch(pattern, p, path, s + 1));
    return s < path.size() && partMatches(pattern[p], path[s]) && partsMatch(pattern, p + 1, path, s + 1);
}

} // namespace

ExcludeFilter::ExcludeFilter(std::vector<std::string> patterns)
    : used_(std::make_shared<std::vector<std::atomic<bool>>>(patterns.size()))
{
    for (std::string& given : patterns) {
        Pattern pattern;
        std::string_view text = given;
        while (text.size() > 1 && text.ends_with('/')) {
            pattern.foldersOnly = true;
            text.remove_suffix(1);
        }
        if (text.starts_with("./") || text.starts_with('/')) {
            pattern.anchored = true;
            text.remove_prefix(text.starts_with('/') ? 1 : 2);
        }
        pattern.parts = partsOf(text);
        pattern.anchored = pattern.anchored || pattern.parts.size() > 1;
        pattern.given = std::move(given);
        patterns_.push_back(std::move(pattern));
    }
}

bool ExcludeFilter::matches(const Pattern& pattern, std::string_view relative, bool isFolder) const
{
    if (pattern.foldersOnly && !isFolder)
        return false;
    if (!pattern.anchored) {
        const std::size_t slash = relative.rfind('/');
        return partMatches(pattern.parts[0], slash == std::string_view::npos ? relative : relative.substr(slash + 1));
    }
    return partsMatch(pattern.parts, 0, partsOf(relative), 0);
}

bool ExcludeFilter::excludes(std::string_view relative, bool isFolder) const
{
    for (std::size_t i = 0; i < patterns_.size(); ++i) {
        if (matches(patterns_[i], relative, isFolder)) {
            (*used_)[i].store(true, std::memory_order_relaxed);
            return true;
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
        if (!(*used_)[i].load(std::memory_order_relaxed))
            unused.push_back(patterns_[i].given);
    }
    return unused;
}

} // namespace listgen
