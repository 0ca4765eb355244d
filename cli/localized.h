#pragma once

#include <libintl.h>

#include <initializer_list>
#include <string>
#include <string_view>

namespace vaskerel {

// The command line's own words in the user's language, from the catalogue installed beside the
// executable; the English given here wherever no catalogue has them (and always under C).
inline const char* tr(const char* english)
{
    return ::dgettext("vaskerel", english);
}

inline const char* trn(const char* singular, const char* plural, unsigned long count)
{
    return ::dngettext("vaskerel", singular, plural, count);
}

// `format` with its "%s"s replaced by `values` in turn, so that a translation may put them anywhere.
std::string withValues(std::string_view format, std::initializer_list<std::string_view> values);
inline std::string withValue(std::string_view format, std::string_view value)
{
    return withValues(format, {value});
}

// Marks a text for the catalogue where it is kept untranslated, in a table.
#define N_(text) text

// Sets up LC_ALL from the environment and finds the catalogue relative to the executable, so
// that an installation under any prefix, and the build tree, find theirs.
void useUserLocale();

// A name, path or argument made safe to print (see listgen::displayText), and ASCII alone
// where the user's character set is not UTF-8.
std::string shown(std::string_view text);

} // namespace vaskerel
