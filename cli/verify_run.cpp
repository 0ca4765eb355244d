#include "cli/verify_run.h"

#include "listgen/common/display_text.h"
#include "cli/reader_notice.h"
#include "cli/stop_signals.h"

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
    errors << "vaskerel: " << outcome.rowsChecked << (outcome.rowsChecked == 1 ? " file" : " files") << " checked: "
           << counts[0] << " changed, " << counts[1] << " missing, " << counts[2] << " new";
    if (!outcome.unreadable.empty())
        errors << ", " << outcome.unreadable.size() << " could not be read";
    errors << '\n';
}

} // namespace

int runVerify(const listgen::VerifyRequest& request, std::ostream& output, std::ostream& errors)
{
    if (request.inputDir.empty()) {
        errors << "vaskerel: --verify needs --input DIR\n";
        return kVerifyImpossible;
    }
    const StopSignals stop([](bool) { return std::string("vaskerel: stopped before the check was complete\n"); });
    const listgen::VerifyOutcome outcome = listgen::VerifyTree(request, stop.requested());
    reportReaderFallback(outcome.readerFallback, errors);
    if (outcome.status == listgen::VerifyOutcome::Status::Failed) {
        errors << "vaskerel: " << outcome.error << '\n';
        return kVerifyImpossible;
    }
    if (outcome.status == listgen::VerifyOutcome::Status::Cancelled) {
        errors << "vaskerel: stopped before the check was complete\n";
        return 128 + stop.signal();
    }
    for (const listgen::Difference& difference : outcome.differences)
        output << wordFor(difference.kind) << ' ' << listgen::displayText(difference.relName) << '\n';
    for (const std::string& pattern : outcome.unusedExcludes)
        errors << "vaskerel: --exclude " << listgen::displayText(pattern) << " matched nothing\n";
    for (const listgen::SkippedEntry& entry : outcome.unreadable)
        errors << "vaskerel: cannot check " << listgen::displayText(entry.path) << ": " << entry.reason << '\n';
    printSummary(outcome, errors);
    switch (outcome.status) {
    case listgen::VerifyOutcome::Status::Matches: return kVerifyMatches;
    case listgen::VerifyOutcome::Status::Differs: return kVerifyDiffers;
    default: return kVerifyImpossible;
    }
}

} // namespace vaskerel
