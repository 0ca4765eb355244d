#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace listgen {

// `&` `<` `>` `"` as entities; bytes that are not UTF-8 become U+FFFD so the report stays UTF-8.
void appendEscaped(std::string& out, std::string_view text);

// A file path as an href value: percent-encoded where a browser would misread it, then escaped.
void appendLinkTarget(std::string& out, std::string_view path);

// A file path as visible text: invalid bytes and control characters shown as U+FFFD, then escaped.
void appendLinkText(std::string& out, std::string_view path);

// Undoes appendEscaped: false when `text` holds raw markup or an entity it never writes.
bool unescapeText(std::string_view text, std::string& plain);

// Undoes appendLinkTarget; the caller checks the result by rendering it again.
bool decodeLinkTarget(std::string_view target, std::string& path);

} // namespace listgen
