#include "listgen/generate_list.h"

#include "listgen/common/system_error.h"
#include "listgen/hashing/file_hasher.h"
#include "listgen/hashing/job_count.h"
#include "listgen/hashing/ordered_pipeline.h"
#include "listgen/report/report_file.h"
#include "listgen/report/report_format.h"
#include "listgen/report/row_sink.h"
#include "listgen/walk/list_folder.h"

namespace listgen {

namespace {

void writeReport(const ListRequest& request, const ProgressCallback& onProgress, const std::atomic<bool>& cancel,
                 Outcome& outcome)
{
    ReportFile report(request.outputFile);
    ListFolder walk(request.inputDir, ExcludeFilter(request.excludes), report.ownPlaces());
    RowSink sink(report, request.inputDir, onProgress, outcome);
    const bool written = WriteHtml(report, headText(request.title, request.stylesheet), [&] {
        hashInReportOrder(
            walk, [&] { return std::make_unique<FileHasher>(cancel); },
            jobsFor(request.jobs, request.inputDir), cancel, sink);
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

bool hasMandatoryFields(const ListRequest& request) noexcept
{
    return !request.inputDir.empty() && !request.outputFile.empty();
}

Outcome GenerateList(const ListRequest& request, const ProgressCallback& onProgress, const std::atomic<bool>& cancel)
{
    Outcome outcome;
    if (!hasMandatoryFields(request)) {
        outcome.status = Outcome::Status::Refused;
        return outcome;
    }
    try {
        writeReport(request, onProgress, cancel, outcome);
    } catch (const SystemError& error) {
        outcome.status = Outcome::Status::NotWritten;
        outcome.error = error.what();
        outcome.failure = RunFailure{error.action(), error.path(), error.code()};
    } catch (const std::exception& error) {
        outcome.status = Outcome::Status::NotWritten;
        outcome.error = error.what();
    }
    return outcome;
}

} // namespace listgen
