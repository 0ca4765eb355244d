#include "cli/verify_run.h"

#include "cli/localized.h"
#include "listgen/common/system_error.h"
#include "listgen/common/unicode_text.h"
#include "cli/checked_output.h"
#include "cli/failure_text.h"
#include "cli/reader_notice.h"
#include "cli/stop_signals.h"
#include "cli/terminal_progress.h"

#include <array>

namespace vaskerel {

namespace {

const char* wordFor(listgen::Difference::Kind kind)
{
    switch (kind) {
    case listgen::Difference::Kind::Changed: return tr("changed");
    case listgen::Difference::Kind::Missing: return tr("missing");
    case listgen::Difference::Kind::New: return tr("new");
    }
    return "";
}

void printSummary(const listgen::VerifyOutcome& outcome, std::ostream& errors)
{
    std::array<std::size_t, 3> counts{};
    for (const listgen::Difference& difference : outcome.differences)
        ++counts[static_cast<std::size_t>(difference.kind)];
    const char* format = outcome.digestsCompared == listgen::DigestKind::Sha256
                             ? trn("%s file checked by SHA-256", "%s files checked by SHA-256", outcome.rowsChecked)
                         : outcome.sizesCompared
                             ? trn("%s file checked by size and MD5", "%s files checked by size and MD5", outcome.rowsChecked)
                             : trn("%s file checked by MD5", "%s files checked by MD5", outcome.rowsChecked);
    errors << "vaskerel: " << withValue(format, std::to_string(outcome.rowsChecked)) << ": "
           << withValue(tr("%s changed"), std::to_string(counts[0])) << ", "
           << withValue(tr("%s missing"), std::to_string(counts[1])) << ", "
           << withValue(tr("%s new"), std::to_string(counts[2]));
    if (!outcome.unreadable.empty())
        errors << ", " << withValue(tr("%s could not be read"), std::to_string(outcome.unreadable.size()));
    errors << '\n';
}

listgen::VerifyOutcome verifyWithProgress(const listgen::VerifyRequest& request, bool quiet,
                                          const std::atomic<bool>& cancel)
{
    std::unique_ptr<TerminalProgress> terminal = progressOnStandardError(quiet);
    listgen::ProgressCallback onProgress;
    if (terminal)
        onProgress = [&terminal](const listgen::Progress& progress) { terminal->show(progress); };
    return listgen::VerifyTree(request, onProgress, cancel);
}

// The differences, one line each; 0 or the errno of a write that failed.
int printDifferences(const listgen::VerifyOutcome& outcome, int output)
{
    CheckedOutput lines(output);
    for (const listgen::Difference& difference : outcome.differences) {
        lines.write(wordFor(difference.kind));
        lines.write(" ");
        lines.write(shown(difference.relName));
        lines.write("\n");
    }
    return lines.flush();
}

} // namespace

int runVerify(const listgen::VerifyRequest& request, const VerifyOptions& options, int output, std::ostream& errors)
{
    if (request.inputDir.empty()) {
        errors << "vaskerel: " << tr("--verify needs --input DIR") << '\n';
        return kVerifyImpossible;
    }
    const StopSignals stop(
        [](bool) { return std::string("vaskerel: ") + tr("stopped before the check was complete") + '\n'; });
    const listgen::VerifyOutcome outcome =
        verifyWithProgress(request, options.quiet || options.statusOnly, stop.requested());
    reportReaderFallback(outcome.readerFallback, errors);
    if (outcome.status == listgen::VerifyOutcome::Status::Failed) {
        errors << "vaskerel: " << (outcome.listing ? listingText(*outcome.listing) : failureText(*outcome.failure)) << '\n';
        return kVerifyImpossible;
    }
    if (outcome.status == listgen::VerifyOutcome::Status::Cancelled) {
        errors << "vaskerel: " << tr("stopped before the check was complete") << '\n';
        return 128 + stop.signal();
    }
    if (!options.statusOnly) {
        if (const int error = printDifferences(outcome, output); error != 0) {
            errors << "vaskerel: " << tr("write error") << ": " << reasonText(listgen::systemCode(error)) << "; "
                   << tr("the differences found could not all be written") << '\n';
            return kVerifyOutputLost;
        }
        for (const listgen::NormalisationPair& pair : outcome.otherNormalisations)
            errors << "vaskerel: "
                   << withValues(tr("missing %s and new %s are one name in two Unicode normalisation forms (%s and %s)"),
                                 {shown(pair.missing), shown(pair.added), listgen::normalisationForm(pair.missing),
                                  listgen::normalisationForm(pair.added)})
                   << '\n';
        for (const std::string& name : outcome.sameListings)
            errors << "vaskerel: " << withValue(tr("skipped %s"), shown(name)) << ": "
                   << tr("it lists exactly the files of the report being checked") << '\n';
        for (const std::string& name : outcome.sameNames)
            errors << "vaskerel: " << withValue(tr("skipped %s"), shown(name)) << ": "
                   << tr("it lists the files of the report being checked; its SHA-256 digests were not compared") << '\n';
        reportPassedBy(outcome.unusedExcludes, outcome.otherFileSystems, options.quiet, errors);
    }
    for (const listgen::SkippedEntry& entry : outcome.unreadable)
        errors << "vaskerel: " << withValue(tr("cannot check %s"), shown(entry.path)) << ": " << reasonText(entry.reason)
               << '\n';
    if (!options.statusOnly)
        printSummary(outcome, errors);
    switch (outcome.status) {
    case listgen::VerifyOutcome::Status::Matches: return kVerifyMatches;
    case listgen::VerifyOutcome::Status::Differs: return kVerifyDiffers;
    default: return kVerifyImpossible;
    }
}

} // namespace vaskerel
