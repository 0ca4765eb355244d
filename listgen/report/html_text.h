#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace listgen {

// How text goes into a report. Reports are pure ASCII, so that every browser reads them the
// same whatever encoding it guesses. Reports of earlier versions still verify: those of 1.0.0
// showed only controls and bidirectional marks as U+FFFD, earlier ones held raw UTF-8.
enum class TextForm { Ascii, AsciiBefore1_1, Utf8 };

// Title and stylesheet text: `&` `<` `>` `"` as entities, control characters and bytes that are
// not UTF-8 as U+FFFD, other characters past ASCII as numeric references.
void appendEscaped(std::string& out, std::string_view text, TextForm form = TextForm::Ascii);

// A file path as an href value that a browser resolves to exactly this file: percent-encoded
// wherever a URL parser would read something else (a scheme, a drive, a query, a fragment,
// a trimmed space), then escaped.
void appendLinkTarget(std::string& out, std::string_view path, TextForm form = TextForm::Ascii);

// A URL that the user wrote, as an href value: spaces, control characters and every byte from
// 0x80 up percent-encoded (non-ASCII characters thus as UTF-8, as a URL parser would encode
// them), then escaped; "%", "#", "?" and ":" keep their meaning in the URL.
void appendUrl(std::string& out, std::string_view url);

// A file path as visible text: invisible characters (see isInvisible) and bytes that are not
// UTF-8 shown as U+FFFD, then escaped as above; a path not in Unicode NFC is marked, since the
// same name in NFC would look the same.
void appendLinkText(std::string& out, std::string_view path, TextForm form = TextForm::Ascii);

// Undoes the escaping: false when `text` holds raw markup or a reference these never write.
bool unescapeText(std::string_view text, std::string& plain);

// Undoes appendLinkTarget; the caller checks the result by rendering it again.
bool decodeLinkTarget(std::string_view target, std::string& path);

} // namespace listgen
