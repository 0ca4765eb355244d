#include "listgen/verify_tree.h"

#include "listgen/common/path_split.h"
#include "listgen/common/progress_meter.h"
#include "listgen/common/system_error.h"
#include "listgen/read/hashing_plan.h"
#include "listgen/read/ordered_pipeline.h"
#include "listgen/verify/row_reader.h"
#include "listgen/verify/verify_sink.h"
#include "listgen/walk/exclude_filter.h"
#include "listgen/walk/list_folder.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>

namespace listgen {

namespace {

// Where the report lies, so that a report kept inside the tree it lists is not part of it.
Places placeOfReport(const std::string& path)
{
    const auto [folder, name] = folderAndName(path);
    const FileDescriptor fd(::open(std::string(folder).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    struct stat status {};
    if (path == "-" || !fd.valid() || ::fstat(fd.get(), &status) != 0)
        return {};
    return {{FileIdentity::of(status), std::string(name)}};
}

void verify(const VerifyRequest& request, const ProgressCallback& onProgress, const std::atomic<bool>& cancel,
            VerifyOutcome& outcome)
{
    const std::unique_ptr<RowReader> report = openRowReader(request.report);
    const ExcludeFilter excludes(request.excludes);
    ListFolder walk(request.inputDir, excludes, placeOfReport(request.report), request.oneFileSystem);
    ProgressMeter progress(onProgress);
    VerifySink sink(*report, request.inputDir, excludes, progress, outcome);
    const HashingPlan plan(request.jobs, request.inputDir, cancel, progress, report->digests() == DigestKind::Sha256);
    hashInReportOrder(walk, plan.hashers(), plan.shape(), cancel, sink);
    outcome.readerFallback = plan.readerFallback();
    if (cancel.load()) {
        outcome.status = VerifyOutcome::Status::Cancelled;
        return;
    }
    sink.finish();
    outcome.unusedExcludes = excludes.unused();
    if (!outcome.unreadable.empty())
        outcome.status = VerifyOutcome::Status::Incomplete;
    else
        outcome.status = outcome.differences.empty() ? VerifyOutcome::Status::Matches : VerifyOutcome::Status::Differs;
}

} // namespace

VerifyOutcome VerifyTree(const VerifyRequest& request, const ProgressCallback& onProgress,
                         const std::atomic<bool>& cancel)
{
    VerifyOutcome outcome;
    try {
        verify(request, onProgress, cancel, outcome);
    } catch (const ReportFormatError& error) {
        outcome = VerifyOutcome{};
        outcome.listing = error.failure();
    } catch (...) {
        outcome = VerifyOutcome{};
        outcome.failure = currentRunFailure(request.report);
    }
    return outcome;
}

} // namespace listgen
