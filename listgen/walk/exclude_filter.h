#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace listgen {

// fnmatch(3) patterns: one without "/" matches an entry's own name at any depth, one with
// "/" matches the path below the root, where "*" stops at "/".
class ExcludeFilter {
public:
    ExcludeFilter() = default;
    explicit ExcludeFilter(std::vector<std::string> patterns);

    bool empty() const noexcept { return patterns_.empty(); }
    // The entry `name` whose path below the root is `relative`.
    bool excludes(std::string_view name, std::string_view relative) const;
    // True when the path or any folder on the way to it is excluded.
    bool excludesPath(std::string_view relative) const;

private:
    std::vector<std::string> patterns_;
};

} // namespace listgen
