#include "cli/batch_run.h"

#include "cli/localized.h"
#include "cli/failure_text.h"
#include "cli/reader_notice.h"
#include "cli/stop_signals.h"
#include "cli/terminal_progress.h"

namespace vaskerel {

namespace {

void reportSkipped(const listgen::Outcome& outcome, std::ostream& errors)
{
    for (const listgen::SkippedEntry& entry : outcome.skipped) {
        const char* format = entry.kind == listgen::SkippedEntry::Kind::Folder ? tr("left out folder %s")
                                                                                : tr("left out file %s");
        errors << "vaskerel: " << withValue(format, shown(entry.path)) << ": " << reasonText(entry.reason) << '\n';
    }
    const std::size_t count = outcome.skipped.size();
    errors << "vaskerel: "
           << withValue(trn("report written with %s entry left out", "report written with %s entries left out", count),
                        std::to_string(count))
           << '\n';
}

} // namespace

int runBatch(const listgen::ListRequest& request, bool quiet, std::ostream& errors)
{
    const StopSignals stop([](bool placed) {
        return std::string("vaskerel: ") + (placed ? tr("stopped") : tr("stopped; the report was not written")) + '\n';
    });
    const std::atomic<bool>& cancel = stop.requested();
    std::unique_ptr<TerminalProgress> terminal = progressOnStandardError(quiet);
    listgen::ProgressCallback onProgress;
    if (terminal)
        onProgress = [&terminal](const listgen::Progress& progress) { terminal->show(progress); };
    const listgen::Outcome outcome = listgen::GenerateList(request, onProgress, cancel);
    terminal.reset();
    reportReaderFallback(outcome.readerFallback, errors);
    reportPassedBy(outcome.unusedExcludes, outcome.otherFileSystems, quiet, errors);
    switch (outcome.status) {
    case listgen::Outcome::Status::Complete:
        return kExitComplete;
    case listgen::Outcome::Status::Partial:
        reportSkipped(outcome, errors);
        return kExitPartial;
    case listgen::Outcome::Status::Cancelled:
        errors << "vaskerel: " << tr("stopped; the report was not written") << '\n';
        return 128 + stop.signal();
    case listgen::Outcome::Status::Refused:
        errors << "vaskerel: " << tr("every field must be filled in") << '\n';
        return kExitUsage;
    case listgen::Outcome::Status::NotWritten:
        break;
    }
    errors << "vaskerel: " << failureText(*outcome.failure) << '\n';
    return kExitNotWritten;
}

} // namespace vaskerel
