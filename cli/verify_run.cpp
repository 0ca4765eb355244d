#include "cli/verify_run.h"

#include "cli/localized.h"
#include "listgen/common/system_error.h"
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
    case listgen::Difference::Kind::Changed: return "changed";
    case listgen::Difference::Kind::Missing: return "missing";
    case listgen::Difference::Kind::New: return "new";
    }
    return "";
}

void printSummary(const listgen::VerifyOutcome& outcome, std::ostream& errors)
{
    std::array<std::size_t, 3> counts{};
    for (const listgen::Difference& difference : outcome.differences)
        ++counts[static_cast<std::size_t>(difference.kind)];
    const char* by = outcome.digestsCompared == listgen::DigestKind::Sha256 ? "SHA-256"
                     : outcome.sizesCompared                                 ? "size and MD5"
                                                                             : "MD5";
    errors << "vaskerel: " << outcome.rowsChecked << (outcome.rowsChecked == 1 ? " file" : " files") << " checked by "
           << by << ": " << counts[0] << " changed, " << counts[1] << " missing, " << counts[2] << " new";
    if (!outcome.unreadable.empty())
        errors << ", " << outcome.unreadable.size() << " could not be read";
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
        errors << "vaskerel: --verify needs --input DIR\n";
        return kVerifyImpossible;
    }
    const StopSignals stop([](bool) { return std::string("vaskerel: stopped before the check was complete\n"); });
    const listgen::VerifyOutcome outcome =
        verifyWithProgress(request, options.quiet || options.statusOnly, stop.requested());
    reportReaderFallback(outcome.readerFallback, errors);
    if (outcome.status == listgen::VerifyOutcome::Status::Failed) {
        errors << "vaskerel: " << (outcome.listing ? listingText(*outcome.listing) : failureText(*outcome.failure)) << '\n';
        return kVerifyImpossible;
    }
    if (outcome.status == listgen::VerifyOutcome::Status::Cancelled) {
        errors << "vaskerel: stopped before the check was complete\n";
        return 128 + stop.signal();
    }
    if (!options.statusOnly) {
        if (const int error = printDifferences(outcome, output); error != 0) {
            errors << "vaskerel: write error: " << reasonText(listgen::systemCode(error))
                   << "; the differences found could not all be written\n";
            return kVerifyOutputLost;
        }
        for (const std::string& name : outcome.sameListings)
            errors << "vaskerel: skipped " << shown(name)
                   << ": it lists exactly the files of the report being checked\n";
        for (const std::string& name : outcome.sameNames)
            errors << "vaskerel: skipped " << shown(name)
                   << ": it lists the files of the report being checked; its SHA-256 digests were not compared\n";
        reportPassedBy(outcome.unusedExcludes, outcome.otherFileSystems, options.quiet, errors);
    }
    for (const listgen::SkippedEntry& entry : outcome.unreadable)
        errors << "vaskerel: cannot check " << shown(entry.path) << ": " << reasonText(entry.reason) << '\n';
    if (!options.statusOnly)
        printSummary(outcome, errors);
    switch (outcome.status) {
    case listgen::VerifyOutcome::Status::Matches: return kVerifyMatches;
    case listgen::VerifyOutcome::Status::Differs: return kVerifyDiffers;
    default: return kVerifyImpossible;
    }
}

} // namespace vaskerel
