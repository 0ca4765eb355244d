#include "cli/option_table.h"

#include "cli/localized.h"

#include <algorithm>
#include <array>

namespace vaskerel {

namespace {

constexpr unsigned kGenerate = static_cast<unsigned>(Mode::Generate);
constexpr unsigned kVerify = static_cast<unsigned>(Mode::Verify);
constexpr unsigned kCheck = static_cast<unsigned>(Mode::Check);
constexpr unsigned kWriteStylesheet = static_cast<unsigned>(Mode::WriteStylesheet);
constexpr unsigned kInformation = static_cast<unsigned>(Mode::Information);
constexpr unsigned kWalks = kGenerate | kVerify;

constexpr std::array kOptions = {
    OptionRow{OptionId::Input, 'i', "input", "DIR", kWalks | kCheck,
               N_("the folder to list or check (with --check, the folder the\n"
                  "manifest's names are relative to; default: the current one)")},
    OptionRow{OptionId::Output, 'o', "output", "FILE", kGenerate,
               N_("the report to write; - for standard output")},
    OptionRow{OptionId::Title, 't', "title", "TEXT", kGenerate, N_("the page title")},
    OptionRow{OptionId::Stylesheet, 's', "stylesheet", "REF", kGenerate,
               N_("the stylesheet the report links to: a URL relative to\n"
                  "the report, so \"#\" starts a fragment, \"?\" a query,\n"
                  "\"%\" an escape such as %20, and a \":\" before the\n"
                  "first \"/\" a scheme (https:); spaces and characters\n"
                  "past ASCII are percent-encoded as UTF-8")},
    OptionRow{OptionId::WriteStylesheet, 0, "write-stylesheet", "FILE", kWriteStylesheet,
               N_("write vaskerel's stylesheet for reports to FILE\n"
                  "(- for standard output), to give with -s, and stop")},
    OptionRow{OptionId::Checksums, 0, "checksums", "FILE", kGenerate,
               N_("also write an md5sum manifest of the same files, which\n"
                  "md5sum -c FILE checks when run in DIR")},
    OptionRow{OptionId::Sha256, 0, "sha256", "FILE", kGenerate,
               N_("also write a sha256sum manifest of them, from the same\n"
                  "reads, which sha256sum -c FILE checks when run in DIR")},
    OptionRow{OptionId::Verify, 0, "verify", "REPORT", kVerify,
               N_("check the whole of DIR against a report, or a manifest\n"
                  "in any form md5sum -c or sha256sum -c reads (- reads\n"
                  "standard input); prints \"changed\", \"missing\" and\n"
                  "\"new\" lines")},
    OptionRow{OptionId::Check, 'c', "check", "MANIFEST", kCheck,
               N_("check the files an md5sum or sha256sum manifest lists,\n"
                  "as md5sum -c and sha256sum -c do (- reads standard\n"
                  "input); prints \"NAME: OK\" or \"NAME: FAILED\" lines")},
    OptionRow{OptionId::Status, 0, "status", nullptr, kVerify | kCheck,
               N_("with --verify or --check, print nothing but failures;\n"
                  "the exit status tells the rest")},
    OptionRow{OptionId::Warn, 'w', "warn", nullptr, kCheck,
               N_("with --check, name each improperly formatted line")},
    OptionRow{OptionId::Strict, 0, "strict", nullptr, kCheck,
               N_("with --check, fail on improperly formatted lines")},
    OptionRow{OptionId::IgnoreMissing, 0, "ignore-missing", nullptr, kCheck,
               N_("with --check, pass over listed files that do not exist")},
    OptionRow{OptionId::Exclude, 'x', "exclude", "PATTERN", kWalks,
               N_("leave out matching entries (fnmatch(3)): without \"/\" each\n"
                  "name at any depth; a leading \"/\" or \"./\" anchors it at\n"
                  "DIR; a trailing \"/\" matches folders only; \"**/\" matches\n"
                  "any number of folders; a leading \"!\" takes an entry\n"
                  "back in; the last pattern that matches decides")},
    OptionRow{OptionId::ExcludeFrom, 0, "exclude-from", "FILE", kWalks,
               N_("read exclude patterns from FILE, one a line, as git reads\n"
                  ".gitignore: \"#\" starts a comment, blank lines are skipped")},
    OptionRow{OptionId::OneFileSystem, 0, "one-file-system", nullptr, kWalks,
               N_("do not enter folders on other file systems than DIR's")},
    OptionRow{OptionId::Jobs, 'j', "jobs", "N", kWalks | kCheck,
               N_("read N files at once (default: chosen from the disk)")},
    OptionRow{OptionId::Quiet, 'q', "quiet", nullptr, kWalks | kCheck,
               N_("no progress line on a terminal; with --check, no OK lines")},
    OptionRow{OptionId::Version, 'V', "version", nullptr, kInformation, N_("show the version")},
    OptionRow{OptionId::Help, 'h', "help", nullptr, kInformation, N_("show this help")},
};

constexpr std::size_t kHelpColumn = 26;

// "  -i, --input DIR", "      --checksums FILE"
std::string leftColumn(const OptionRow& option)
{
    std::string text = option.shortName != 0 ? std::string("  -") + option.shortName + ", " : std::string(6, ' ');
    text.append("--").append(option.longName);
    if (option.takesValue())
        text.append(" ").append(option.value);
    return text;
}

} // namespace

std::span<const OptionRow> optionTable()
{
    return kOptions;
}

const OptionRow& optionRow(OptionId id)
{
    return *std::find_if(kOptions.begin(), kOptions.end(), [id](const OptionRow& option) { return option.id == id; });
}

std::string optionName(const OptionRow& option)
{
    return option.longName != nullptr ? std::string("--") + option.longName : std::string("-") + option.shortName;
}

std::string usageSynopsis()
{
    return tr("Usage: vaskerel -i DIR -o FILE [-t TEXT] [-s REF] [--checksums FILE] [--sha256 FILE]\n"
              "                [-x PATTERN]... [--exclude-from FILE]... [--one-file-system] [-j N] [-q]\n"
              "       vaskerel --verify REPORT -i DIR [-x PATTERN]... [--exclude-from FILE]...\n"
              "                [--one-file-system] [-j N] [-q] [--status]\n"
              "       vaskerel -c MANIFEST [-i DIR] [-j N] [-q | -w | --status] [--strict]\n"
              "                [--ignore-missing]\n"
              "       vaskerel --write-stylesheet FILE\n"
              "       vaskerel [FOLDER]\n"
              "       vaskerel -h | -V\n");
}

std::string tryHelpText()
{
    return tr("Try 'vaskerel --help' for more information.\n");
}

std::string usageText()
{
    std::string text = usageSynopsis();
    text += "\n";
    text += tr("Writes an HTML report of every file below DIR to FILE: its path, size and MD5.\n"
               "With no arguments, vaskerel opens its window; with a FOLDER, the window with\n"
               "that folder as its input.\n");
    text += "\n";
    for (const OptionRow& option : kOptions) {
        std::string left = leftColumn(option);
        const std::string help = tr(option.help);
        left += left.size() + 2 > kHelpColumn ? "\n" + std::string(kHelpColumn, ' ')
                                              : std::string(kHelpColumn - left.size(), ' ');
        text += left;
        for (const char c : help)
            text += c == '\n' ? "\n" + std::string(kHelpColumn, ' ') : std::string(1, c);
        text += '\n';
    }
    text += "\n";
    text += tr("Browsers need less memory and time for a large report with vaskerel's\n"
               "stylesheet beside it:\n"
               "  vaskerel --write-stylesheet out/report.css\n"
               "  vaskerel -i DIR -o out/list.htm -s report.css\n"
               "\n"
               "An option's value is the next argument, even one that starts with \"-\".\n"
               "Long options may be shortened to any unambiguous start; given twice, the\n"
               "last one counts, but --exclude and --exclude-from add up.\n"
               "Exit status: 0 complete; 1 nothing written; 2 wrong usage;\n"
               "             3 written, with entries left out (named on standard error).\n"
               "With --verify: 0 the tree matches; 1 it differs; 2 it cannot be verified;\n"
               "             4 the differences could not be written to standard output.\n"
               "With --check: 0 every listed file matches; 1 otherwise.\n");
    return text;
}

} // namespace vaskerel
