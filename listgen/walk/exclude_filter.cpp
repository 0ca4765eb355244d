#include "listgen/walk/exclude_filter.h"

#include <fnmatch.h>

namespace listgen {

ExcludeFilter::ExcludeFilter(std::vector<std::string> patterns)
    : patterns_(std::move(patterns))
{
}

bool ExcludeFilter::excludes(std::string_view name, std::string_view relative) const
{
    if (patterns_.empty())
        return false;
    const std::string nameText(name);
    const std::string relativeText(relative);
    for (const std::string& pattern : patterns_) {
        const bool byPath = pattern.find('/') != std::string::npos;
        const std::string& subject = byPath ? relativeText : nameText;
        if (::fnmatch(pattern.c_str(), subject.c_str(), byPath ? FNM_PATHNAME : 0) == 0)
            return true;
    }
    return false;
}

bool ExcludeFilter::excludesPath(std::string_view relative) const
{
    if (patterns_.empty())
        return false;
    for (std::size_t start = 0;;) {
        const std::size_t slash = relative.find('/', start);
        const std::size_t end = slash == std::string_view::npos ? relative.size() : slash;
        if (excludes(relative.substr(start, end - start), relative.substr(0, end)))
            return true;
        if (slash == std::string_view::npos)
            return false;
        start = slash + 1;
    }
}

} // namespace listgen
