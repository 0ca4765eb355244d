#include "window/batch_run.h"

#include "listgen/display_text.h"
#include "window/terminal_progress.h"

#include <unistd.h>

#include <optional>

#include <csignal>

namespace vaskerel {

namespace {

std::atomic<bool> cancelRequested{false};
volatile std::sig_atomic_t stopSignal = 0;

static_assert(std::atomic<bool>::is_always_lock_free, "the signal handler needs a lock-free flag");

extern "C" void requestStop(int signalNumber)
{
    stopSignal = signalNumber;
    cancelRequested.store(true);
}

void installStopHandlers()
{
    struct sigaction action {};
    action.sa_handler = requestStop;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
}

void reportSkipped(const listgen::Outcome& outcome, std::ostream& errors)
{
    for (const listgen::SkippedEntry& entry : outcome.skipped) {
        const char* kind = entry.kind == listgen::SkippedEntry::Kind::Folder ? "folder" : "file";
        errors << "vaskerel: left out " << kind << ' ' << listgen::displayText(entry.path) << ": " << entry.reason
               << '\n';
    }
    errors << "vaskerel: report written with " << outcome.skipped.size() << " entries left out\n";
}

} // namespace

int runBatch(const listgen::ListRequest& request, bool quiet, std::ostream& errors)
{
    if (request.inputDir.empty() || request.outputFile.empty()) {
        errors << kEmptyFieldsMessage << '\n';
        return kExitUsage;
    }
    installStopHandlers();
    std::optional<TerminalProgress> terminal;
    listgen::ProgressCallback onProgress;
    if (!quiet && ::isatty(STDERR_FILENO) == 1) {
        terminal.emplace(stderr);
        onProgress = [&terminal](const listgen::Progress& progress) { terminal->show(progress); };
    }
    const listgen::Outcome outcome = listgen::GenerateList(request, onProgress, cancelRequested);
    terminal.reset();
    switch (outcome.status) {
    case listgen::Outcome::Status::Complete:
        return kExitComplete;
    case listgen::Outcome::Status::Partial:
        reportSkipped(outcome, errors);
        return kExitPartial;
    case listgen::Outcome::Status::Cancelled:
        errors << "vaskerel: stopped; the report was not written\n";
        return 128 + (stopSignal != 0 ? stopSignal : SIGINT);
    case listgen::Outcome::Status::Refused:
        errors << kEmptyFieldsMessage << '\n';
        return kExitUsage;
    case listgen::Outcome::Status::NotWritten:
        break;
    }
    errors << "vaskerel: " << outcome.error << '\n';
    return kExitNotWritten;
}

} // namespace vaskerel
