#pragma once

#include "listgen/common/run_values.h"

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

namespace listgen {

// The manifests that md5sum -c and sha256sum -c check: "<digest>  <path>" per file. A path
// holding a backslash, a line feed or a carriage return is written as md5sum writes it: the line
// starts with "\" and those characters become "\\", "\n" and "\r". A file named "-" is written
// "./-", since md5sum -c reads "-" as standard input.
void appendManifestLine(std::string& out, std::string_view relName, std::string_view hexDigest);

template <std::size_t N>
void appendManifestLine(std::string& out, std::string_view relName, const std::array<char, N>& hexDigest)
{
    appendManifestLine(out, relName, std::string_view(hexDigest.data(), N));
}

// What one line of a manifest holds for md5sum -c or sha256sum -c.
enum class ManifestLine { Checksum, Nothing, Malformed, OtherDigest };

// md5sum -c also reads "<digest> <path>" with one blank and no mode mark ("md5 -r" writes it),
// but never in the same manifest as marked lines: the first line of either kind decides.
enum class UnmarkedLines { Undecided, Refused, Read };

// A digest as a line gives it: its kind, by its tag or its length, and its lower-case digits.
struct ManifestDigest {
    DigestKind kind = DigestKind::Md5;
    std::string hex;
};

// Reads one line without its line end as md5sum -c and sha256sum -c do: "<digest>  <path>",
// "<digest> *<path>", "MD5 (<path>) = <digest>" or "SHA256 (<path>) = <digest>" (--tag), each
// maybe after blanks and with md5sum's escaping. A comment ("#" first) and an empty line hold
// nothing; a digest of another kind (SHA-1, SHA-512, ...) is OtherDigest.
ManifestLine readManifestLine(std::string_view line, UnmarkedLines& unmarked, std::string& relName,
                              ManifestDigest& digest);

} // namespace listgen
