#pragma once

#include <span>
#include <string_view>

// Character properties from the Unicode Character Database, generated at build time by
// make_unicode_tables.py from Debian's unicode-data. Every table is sorted by code point.
namespace listgen::unicode_tables {

struct CodeRange {
    char32_t first;
    char32_t last;
};

struct CombiningClassRange {
    char32_t first;
    char32_t last;
    unsigned char value;
};

// A canonical decomposition, one level deep: `second` is 0 for a single code point.
struct Decomposition {
    char32_t codePoint;
    char32_t first;
    char32_t second;
};

// A pair that canonical composition joins, sorted by the pair.
struct Composition {
    char32_t first;
    char32_t second;
    char32_t composite;
};

extern const std::string_view kVersion;
// Controls, format characters, line and paragraph separators and default-ignorable code points.
extern const std::span<const CodeRange> kInvisible;
extern const std::span<const CombiningClassRange> kCombiningClasses;
extern const std::span<const Decomposition> kDecompositions;
extern const std::span<const Composition> kCompositions;
// Code points with NFC_Quick_Check No and Maybe.
extern const std::span<const CodeRange> kNotNfc;
extern const std::span<const CodeRange> kMaybeNfc;

} // namespace listgen::unicode_tables
