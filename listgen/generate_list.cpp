#include "listgen/generate_list.h"

#include "listgen/common/system_error.h"
#include "listgen/hashing/file_hasher.h"
#include "listgen/hashing/job_count.h"
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
    RowSink sink(report, manifest ? &*manifest : nullptr, request.inputDir, onProgress, outcome);
    const bool written = WriteHtml(report, headText(request.title, request.stylesheet), [&] {
        hashInReportOrder(
            walk, [&] { return std::make_unique<FileHasher>(cancel); },
            jobsFor(request.jobs, request.inputDir), cancel, sink);
        if (cancel.load())
            return false;
        // The manifest goes in place first: a report is never left beside a manifest of the past.
        if (manifest)
            manifest->commit();
        return true;
    });
    if (!written) {
        outcome.status = Outcome::Status::Cancelled;
        return;
    }
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
