#include "listgen/generate_list.h"

#include "listgen/common/system_error.h"
#include "listgen/common/progress_meter.h"
#include "listgen/read/hashing_plan.h"
#include "listgen/read/ordered_pipeline.h"
#include "listgen/report/report_file.h"
#include "listgen/report/report_format.h"
#include "listgen/report/row_sink.h"
#include "listgen/walk/list_folder.h"

#include <cerrno>
#include <optional>

namespace listgen {

namespace {

// An output besides the report, which must be no other output, by name or by the file it
// goes into (a stream, or a file already there), and is left out of the walk.
void openManifest(const std::string& path, std::optional<ReportFile>& manifest, const ReportFile& report,
                  const std::optional<ReportFile>& other, Places& leftOut)
{
    if (path.empty())
        return;
    manifest.emplace(path);
    const Places own = manifest->ownPlaces();
    const std::optional<FileIdentity> identity = manifest->identity();
    bool twice = identity && (identity == report.identity() || (other && identity == other->identity()));
    for (const PlaceInFolder& place : own) {
        for (const PlaceInFolder& taken : leftOut)
            twice = twice || (place.folder == taken.folder && place.name == taken.name);
    }
    if (twice)
        throw SystemError(RunAction::WriteOutput, path, RunError::SameFileTwice);
    leftOut.insert(leftOut.end(), own.begin(), own.end());
}

void writeReport(const ListRequest& request, const ProgressCallback& onProgress, const std::atomic<bool>& cancel,
                 Outcome& outcome)
{
    ReportFile report(request.outputFile);
    Places leftOut = report.ownPlaces();
    std::optional<ReportFile> md5Manifest;
    std::optional<ReportFile> sha256Manifest;
    openManifest(request.checksumsFile, md5Manifest, report, std::nullopt, leftOut);
    openManifest(request.sha256File, sha256Manifest, report, md5Manifest, leftOut);
    const ExcludeFilter excludes(request.excludes);
    ListFolder walk(request.inputDir, excludes, std::move(leftOut), request.oneFileSystem);
    ProgressMeter progress(onProgress);
    RowSink sink(report, md5Manifest ? &*md5Manifest : nullptr, sha256Manifest ? &*sha256Manifest : nullptr,
                 request.inputDir, progress);
    const HashingPlan plan(request.jobs, request.inputDir, cancel, progress, sha256Manifest.has_value());
    const bool written = WriteHtml(report, headText(request.title, request.stylesheet), [&] {
        hashInReportOrder(walk, plan.hashers(), plan.shape(), cancel, sink);
        return !cancel.load();
    });
    outcome.readerFallback = plan.readerFallback();
    if (!written) {
        outcome.status = Outcome::Status::Cancelled;
        return;
    }
    // The manifests go in place first: a report is never left beside a manifest of the past.
    ReportFile::commitTogether({md5Manifest ? &*md5Manifest : nullptr, sha256Manifest ? &*sha256Manifest : nullptr, &report});
    sink.finish();
    outcome.skipped = std::move(sink.skipped());
    outcome.totals = sink.totals();
    outcome.unusedExcludes = excludes.unused();
    outcome.otherFileSystems = std::move(sink.otherFileSystems());
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
    } catch (...) {
        outcome.status = Outcome::Status::NotWritten;
        outcome.failure = currentRunFailure(request.outputFile);
    }
    return outcome;
}

} // namespace listgen
