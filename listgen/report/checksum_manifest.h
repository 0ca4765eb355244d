#pragma once

#include "listgen/common/run_values.h"

#include <string>
#include <string_view>

namespace listgen {

// The manifest that md5sum -c checks: "<digest>  <path>" per file. A path holding a backslash,
// a line feed or a carriage return is written as md5sum writes it: the line starts with "\"
// and those characters become "\\", "\n" and "\r". A file named "-" is written "./-", since
// md5sum -c reads "-" as standard input.
void appendManifestLine(std::string& out, std::string_view relName, const Md5Hex& md5);

// What one line of a manifest holds for md5sum -c.
enum class ManifestLine { Checksum, Nothing, Malformed };

// md5sum -c also reads "<digest> <path>" with one blank and no mode mark ("md5 -r" writes it),
// but never in the same manifest as marked lines: the first line of either kind decides.
enum class UnmarkedLines { Undecided, Refused, Read };

// Reads one line without its line end as md5sum -c does: "<digest>  <path>", "<digest> *<path>",
// "MD5 (<path>) = <digest>" (md5sum --tag), each maybe after blanks and with md5sum's escaping.
// A comment ("#" first) and an empty line hold nothing.
ManifestLine readManifestLine(std::string_view line, UnmarkedLines& unmarked, std::string& relName, Md5Hex& md5);

} // namespace listgen
