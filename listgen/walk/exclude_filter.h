#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace listgen {

// Exclude patterns in the dialect of git and rsync, each part matched as fnmatch(3) does
// (globMatches), in time at most proportional to the pattern's length times the path's:
//  - a pattern without "/" matches an entry's own name at any depth;
//  - a leading "/" or "./", or a "/" inside, anchors it at the root: it matches the path
//    below the root, where "*" stops at "/";
//  - "**" as a whole part matches any number of folders ("**/build", "docs/**");
//  - a trailing "/" matches folders only.
// Copies share the record of which patterns matched something.
class ExcludeFilter {
public:
    ExcludeFilter() = default;
    explicit ExcludeFilter(std::vector<std::string> patterns);

    bool empty() const noexcept { return patterns_.empty(); }
    // The entry whose path below the root is `relative`.
    bool excludes(std::string_view relative, bool isFolder) const;
    // True when the file `relative` or any folder on the way to it is excluded.
    bool excludesPath(std::string_view relative) const;
    // The patterns, as given, that have not matched anything yet.
    std::vector<std::string> unused() const;

private:
    struct Pattern {
        std::string given;
        std::vector<std::string> parts;
        bool anchored = false;
        bool foldersOnly = false;
    };

    bool matches(const Pattern& pattern, std::string_view relative, bool isFolder) const;

    std::vector<Pattern> patterns_;
    std::shared_ptr<std::vector<std::atomic<bool>>> used_;
};

} // namespace listgen
