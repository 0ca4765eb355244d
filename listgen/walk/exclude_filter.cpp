#include "listgen/walk/exclude_filter.h"

#include "listgen/common/path_split.h"
#include "listgen/walk/glob_pattern.h"

#include <algorithm>

namespace listgen {

namespace {

// Parts of a pattern against parts of a path; "**" takes any number of parts. Every other
// part takes exactly one, so after a failure only the latest "**" needs to take one more.
bool partsMatch(const std::vector<std::string>& pattern, const std::vector<std::string_view>& path)
{
    std::size_t p = 0;
    std::size_t s = 0;
    std::size_t starP = std::string::npos;
    std::size_t starS = 0;
    while (s < path.size()) {
        if (p < pattern.size() && pattern[p] == "**") {
            starP = ++p;
            starS = s;
            continue;
        }
        if (p < pattern.size() && globMatches(pattern[p], path[s])) {
            ++p;
            ++s;
            continue;
        }
        if (starP == std::string::npos)
            return false;
        p = starP;
        s = ++starS;
    }
    while (p < pattern.size() && pattern[p] == "**")
        ++p;
    return p == pattern.size();
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
        // "**/**" means no more than "**".
        pattern.parts.erase(std::unique(pattern.parts.begin(), pattern.parts.end(),
                                        [](const std::string& a, const std::string& b) { return a == "**" && b == "**"; }),
                            pattern.parts.end());
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
