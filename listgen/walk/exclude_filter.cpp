#include "listgen/walk/exclude_filter.h"

#include "listgen/common/path_split.h"
#include "listgen/walk/glob_pattern.h"
#include "listgen/walk/star_match.h"

namespace listgen {

namespace {

// Parts of a pattern against parts of a path; "**" takes any number of parts.
bool partsMatch(const std::vector<std::string>& pattern, const std::vector<std::string_view>& path)
{
    return starMatch(
        pattern.size(), path.size(), [&](std::size_t p) { return pattern[p] == "**"; },
        [&](std::size_t p, std::size_t s) { return globMatches(pattern[p], path[s]) ? p + 1 : kNoStep; });
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
