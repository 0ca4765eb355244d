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
        const char* kind = entry.kind == listgen::SkippedEntry::Kind::Folder ? "folder" : "file";
        errors << "vaskerel: left out " << kind << ' ' << shown(entry.path) << ": " << reasonText(entry.reason)
               << '\n';
    }
    const std::size_t count = outcome.skipped.size();
    errors << "vaskerel: report written with " << count << (count == 1 ? " entry" : " entries") << " left out\n";
}

} // namespace

int runBatch(const listgen::ListRequest& request, bool quiet, std::ostream& errors)
{
    const StopSignals stop([](bool placed) {
        return placed ? std::string("vaskerel: stopped\n") : std::string("vaskerel: stopped; the report was not written\n");
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
        errors << "vaskerel: stopped; the report was not written\n";
        return 128 + stop.signal();
    case listgen::Outcome::Status::Refused:
        errors << "vaskerel: " << listgen::kEmptyFieldsMessage << '\n';
        return kExitUsage;
    case listgen::Outcome::Status::NotWritten:
        break;
    }
    errors << "vaskerel: " << failureText(*outcome.failure) << '\n';
    return kExitNotWritten;
}

} // namespace vaskerel
