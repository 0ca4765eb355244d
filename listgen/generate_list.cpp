#include "listgen/generate_list.h"

#include "listgen/hash_pipeline.h"
#include "listgen/list_folder.h"
#include "listgen/report_document.h"
#include "listgen/report_file.h"
#include "listgen/row_sink.h"
#include "listgen/storage_kind.h"
#include "listgen/system_error.h"

namespace listgen {

namespace {

void writeReport(const ListRequest& request, const ProgressCallback& onProgress, const std::atomic<bool>& cancel,
                 Outcome& outcome)
{
    ListFolder walk(request.inputDir, ExcludeFilter(request.excludes));
    ReportFile report(request.outputFile);
    RowSink sink(report, request.inputDir, onProgress, outcome);
    const bool written = WriteHtml(report, headText(request.title, request.stylesheet), [&] {
        hashInReportOrder(walk, report.ownFiles(), jobsFor(request.jobs, request.inputDir), cancel, sink);
        return !cancel.load();
    });
    if (!written) {
        outcome.status = Outcome::Status::Cancelled;
        return;
    }
    sink.finish();
    outcome.status = outcome.skipped.empty() ? Outcome::Status::Complete : Outcome::Status::Partial;
}

} // namespace

Outcome GenerateList(const ListRequest& request, const ProgressCallback& onProgress, const std::atomic<bool>& cancel)
{
    Outcome outcome;
    if (request.inputDir.empty() || request.outputFile.empty()) {
        outcome.status = Outcome::Status::Refused;
        return outcome;
    }
    try {
        writeReport(request, onProgress, cancel, outcome);
    } catch (const std::exception& error) {
        outcome.status = Outcome::Status::NotWritten;
        outcome.error = error.what();
    }
    return outcome;
}

} // namespace listgen
