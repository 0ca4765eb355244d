#pragma once

#include <span>
#include <string>

namespace vaskerel {

// What a command line does; each option belongs to some of them.
enum class Mode : unsigned {
    Generate = 1,
    Verify = 2,
    Check = 4,
    WriteStylesheet = 8,
    Information = 16,
};

enum class OptionId {
    Input, Output, Title, Stylesheet, WriteStylesheet, Checksums, Sha256, Verify, Check, Status, Warn, Strict,
    IgnoreMissing, Exclude, ExcludeFrom, OneFileSystem, Jobs, Quiet, Version, Help,
};

// One option: its names, the word its value goes by (none for a flag), the modes it goes with,
// and its help in English, one line per line of --help.
struct OptionRow {
    OptionId id;
    char shortName;
    const char* longName;
    const char* value;
    unsigned modes;
    const char* help;

    bool takesValue() const noexcept { return value != nullptr; }
    bool goesWith(Mode mode) const noexcept { return (modes & static_cast<unsigned>(mode)) != 0; }
};

// Every option, in the order --help, the manual page and the completion give them.
std::span<const OptionRow> optionTable();
const OptionRow& optionRow(OptionId id);

// "--input", or "-i" where there is no long name.
std::string optionName(const OptionRow& option);

// The whole help text, made from the table, in the user's language.
std::string usageText();
// Its first lines, the ways of calling vaskerel.
std::string usageSynopsis();
// The line after a usage error.
std::string tryHelpText();

} // namespace vaskerel
