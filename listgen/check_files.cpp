#include "listgen/check_files.h"

#include "listgen/common/progress_meter.h"
#include "listgen/read/hashing_plan.h"
#include "listgen/read/ordered_pipeline.h"
#include "listgen/verify/manifest_files.h"

namespace listgen {

namespace {

// Gives each entry's result to the listener, after the lines before it that hold no checksum.
class CheckSink : public EntrySink {
public:
    CheckSink(ManifestFiles& files, CheckListener& listener, ProgressMeter& progress)
        : files_(files)
        , listener_(listener)
        , progress_(progress)
    {
    }

    void accept(const Entry& entry) override
    {
        std::deque<ManifestFiles::Line>& lines = files_.lines();
        passMisformatted();
        const ManifestFiles::Line& line = lines.front();
        CheckedLine result{CheckedLine::Result::Ok, line.name, line.number, {}};
        if (entry.kind == Entry::Kind::Hashed) {
            const std::string_view computed = files_.digests() == DigestKind::Md5
                                                  ? std::string_view(entry.facts.md5.data(), entry.facts.md5.size())
                                                  : std::string_view(entry.facts.sha256.data(), entry.facts.sha256.size());
            if (computed != line.hex)
                result.result = CheckedLine::Result::Failed;
            ++totals_.files;
            totals_.bytes += entry.facts.size;
            progress_.addFile();
        } else if (entry.kind == Entry::Kind::Unreadable) {
            result.result = CheckedLine::Result::Unreadable;
            result.reason = entry.reason;
        } else {
            lines.pop_front();
            return;
        }
        listener_.checked(result);
        lines.pop_front();
        progress_.tick();
    }

    void finish()
    {
        passMisformatted();
        progress_.finish(totals_);
    }

private:
    void passMisformatted()
    {
        std::deque<ManifestFiles::Line>& lines = files_.lines();
        while (!lines.empty() && !lines.front().checksum) {
            listener_.checked({CheckedLine::Result::Misformatted, {}, lines.front().number, {}});
            lines.pop_front();
        }
    }

    ManifestFiles& files_;
    CheckListener& listener_;
    ProgressMeter& progress_;
    Progress totals_;
};

void check(const CheckRequest& request, CheckListener& listener, const ProgressCallback& onProgress,
           const std::atomic<bool>& cancel, CheckOutcome& outcome)
{
    const std::string root = request.inputDir.empty() ? "." : request.inputDir;
    ManifestFiles files(LineReader(request.manifest), root);
    ProgressMeter progress(onProgress);
    CheckSink sink(files, listener, progress);
    const HashingPlan plan(request.jobs, root, cancel, progress, files.digests() == DigestKind::Sha256);
    hashInReportOrder(files, plan.hashers(), plan.shape(), cancel, sink);
    outcome.readerFallback = plan.readerFallback();
    if (cancel.load()) {
        outcome.status = CheckOutcome::Status::Cancelled;
        return;
    }
    sink.finish();
    outcome.status = CheckOutcome::Status::Done;
}

} // namespace

CheckOutcome CheckFiles(const CheckRequest& request, CheckListener& listener, const ProgressCallback& onProgress,
                        const std::atomic<bool>& cancel)
{
    CheckOutcome outcome;
    try {
        check(request, listener, onProgress, cancel, outcome);
    } catch (const ReportFormatError& error) {
        outcome.status = CheckOutcome::Status::Failed;
        outcome.listing = error.failure();
    } catch (...) {
        outcome.status = CheckOutcome::Status::Failed;
        outcome.failure = currentRunFailure(request.manifest);
    }
    return outcome;
}

} // namespace listgen
