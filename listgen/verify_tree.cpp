#include "listgen/verify_tree.h"

#include "listgen/hashing/file_hasher.h"
#include "listgen/hashing/job_count.h"
#include "listgen/hashing/ordered_pipeline.h"
#include "listgen/verify/report_reader.h"
#include "listgen/verify/verify_sink.h"
#include "listgen/walk/exclude_filter.h"
#include "listgen/walk/list_folder.h"

#include <sys/stat.h>

namespace listgen {

namespace {

void verify(const VerifyRequest& request, const std::atomic<bool>& cancel, VerifyOutcome& outcome)
{
    ReportReader report(request.report);
    const ExcludeFilter excludes(request.excludes);
    ListFolder walk(request.inputDir, excludes);
    // A report kept inside the tree it lists is not part of that tree.
    FileIdentities reportItself;
    struct stat status {};
    if (::stat(request.report.c_str(), &status) == 0)
        reportItself.push_back(FileIdentity::of(status));
    VerifySink sink(report, request.inputDir, excludes, outcome);
    hashInReportOrder(
        walk, [&] { return std::make_unique<FileHasher>(reportItself, cancel); },
        jobsFor(request.jobs, request.inputDir), cancel, sink);
    if (cancel.load()) {
        outcome.status = VerifyOutcome::Status::Cancelled;
        return;
    }
    sink.finish();
    if (!outcome.unreadable.empty())
        outcome.status = VerifyOutcome::Status::Incomplete;
    else
        outcome.status = outcome.differences.empty() ? VerifyOutcome::Status::Matches : VerifyOutcome::Status::Differs;
}

} // namespace

VerifyOutcome VerifyTree(const VerifyRequest& request, const std::atomic<bool>& cancel)
{
    VerifyOutcome outcome;
    try {
        verify(request, cancel, outcome);
    } catch (const std::exception& error) {
        outcome = VerifyOutcome{};
        outcome.error = error.what();
    }
    return outcome;
}

} // namespace listgen
