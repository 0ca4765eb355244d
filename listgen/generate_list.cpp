#include "listgen/generate_list.h"

#include "listgen/common/system_error.h"
#include "listgen/common/progress_meter.h"
#include "listgen/hashing/hashing_plan.h"
#include "listgen/hashing/ordered_pipeline.h"
#include "listgen/report/report_file.h"
#include "listgen/report/report_format.h"
#include "listgen/report/row_sink.h"
#include "listgen/walk/list_folder.h"

#include <optional>

namespace listgen {

namespace {

void writeReport(const ListRequest& request, const ProgressCallback& onProgress, const std::atomic<bool>& cancel,
                 Outcome& outcome)
{
    ReportFile report(request.outputFile);
    Places leftOut = report.ownPlaces();
    std::optional<ReportFile> manifest;
    if (!request.checksumsFile.empty()) {
        manifest.emplace(request.checksumsFile);
        for (const PlaceInFolder& place : manifest->ownPlaces()) {
            if (!leftOut.empty() && place.folder == leftOut[0].folder && place.name == leftOut[0].name)
                throw SystemError("write", request.checksumsFile, RunError::SameFileTwice);
            leftOut.push_back(place);
        }
    }
    const ExcludeFilter excludes(request.excludes);
    ListFolder walk(request.inputDir, excludes, std::move(leftOut));
    ProgressMeter progress(onProgress);
    RowSink sink(report, manifest ? &*manifest : nullptr, request.inputDir, progress, outcome);
    const HashingPlan plan(request.jobs, request.inputDir, cancel, progress);
    const bool written = WriteHtml(report, headText(request.title, request.stylesheet), [&] {
        hashInReportOrder(walk, plan.hashers(), plan.shape(), cancel, sink);
        return !cancel.load();
    });
    outcome.readerFallback = plan.readerFallback();
    if (!written) {
        outcome.status = Outcome::Status::Cancelled;
        return;
    }
    // The manifest goes in place first: a report is never left beside a manifest of the past.
    ReportFile::commitTogether({manifest ? &*manifest : nullptr, &report});
    sink.finish();
    outcome.unusedExcludes = excludes.unused();
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
