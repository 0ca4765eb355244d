#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace listgen {

// One exclude pattern as given, with -x or in a file of patterns.
struct ExcludePattern {
    ExcludePattern(std::string text, bool fromFile = false) : text(std::move(text)), fromFile(fromFile) {}
    ExcludePattern(const char* text) : text(text) {}

    std::string text;
    // A file of patterns is often made for other trees too, so its patterns that match
    // nothing are not named.
    bool fromFile = false;
};

// The patterns of a file read as git reads .gitignore: one a line, "#" starts a comment, blank
// lines and trailing blanks (unless escaped with "\") are skipped, a trailing CR too; "-"
// reads standard input. Throws SystemError when it cannot be read.
std::vector<ExcludePattern> readExcludeFile(const std::string& path);

// Exclude patterns in the dialect of git and rsync, each part matched as fnmatch(3) does
// (globMatches), in time at most proportional to the pattern's length times the path's:
//  - a pattern without "/" matches an entry's own name at any depth;
//  - a leading "/" or "./", or a "/" inside, anchors it at the root: it matches the path
//    below the root, where "*" stops at "/";
//  - "**" as a whole part matches any number of folders ("**/build", "docs/**");
//  - a trailing "/" matches folders only;
//  - a leading "!" takes back in what an earlier pattern left out ("\!" is a plain "!"), and of
//    the patterns that match an entry the last one decides. A folder left out is not entered,
//    so nothing below it can be taken back, as in git.
// Copies share the record of which patterns matched something.
class ExcludeFilter {
public:
    ExcludeFilter() = default;
    explicit ExcludeFilter(std::vector<ExcludePattern> patterns);

    bool empty() const noexcept { return patterns_.empty(); }
    // The entry whose path below the root is `relative`.
    bool excludes(std::string_view relative, bool isFolder) const;
    // True when the file `relative` or any folder on the way to it is excluded.
    bool excludesPath(std::string_view relative) const;
    // The patterns, as given, that have not decided about anything yet, but those from files.
    std::vector<std::string> unused() const;

private:
    struct Pattern {
        ExcludePattern given{""};
        std::vector<std::string> parts;
        bool negated = false;
        bool anchored = false;
        bool foldersOnly = false;
    };

    bool matches(const Pattern& pattern, std::string_view relative, bool isFolder) const;

    std::vector<Pattern> patterns_;
    std::shared_ptr<std::vector<std::atomic<bool>>> used_;
};

} // namespace listgen
