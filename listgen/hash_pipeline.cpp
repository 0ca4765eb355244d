#include "listgen/hash_pipeline.h"

#include "listgen/file_hasher.h"

#include <tbb/enumerable_thread_specific.h>
#include <tbb/global_control.h>
#include <tbb/parallel_pipeline.h>
#include <tbb/task_arena.h>

#include <algorithm>
#include <stdexcept>
#include <vector>

namespace listgen {

namespace {

constexpr std::size_t kTokensPerJob = 4;

struct Job {
    std::uint64_t sequence = 0;
    WalkItem item;
    HashResult result;
};

} // namespace

void hashInReportOrder(ListFolder& walk, const FileIdentities& excluded, unsigned jobs,
                       const std::atomic<bool>& cancel, RowSink& sink)
{
    const unsigned workers = std::max(1U, jobs);
    const std::size_t tokens = workers * kTokensPerJob;
    // Slot n % tokens is free again once item n - tokens has left the last stage, which the
    // token limit guarantees, so the jobs and their strings are reused instead of allocated.
    std::vector<Job> slots(tokens);
    tbb::enumerable_thread_specific<FileHasher> hashers;
    std::uint64_t produced = 0;
    std::uint64_t consumed = 0;

    const auto readWalk = [&](tbb::flow_control& control) -> Job* {
        Job& job = slots[produced % tokens];
        if (cancel.load(std::memory_order_relaxed) || !walk.next(job.item)) {
            control.stop();
            return nullptr;
        }
        job.sequence = produced++;
        return &job;
    };
    const auto hash = [&](Job* job) {
        if (job->item.kind == WalkItem::Kind::File)
            job->result = hashers.local().hash(job->item.path, excluded, cancel);
        return job;
    };
    const auto writeRow = [&](Job* job) {
        if (job->sequence != consumed++)
            throw std::logic_error("rows arrived out of report order");
        sink.accept(job->item, job->result);
    };

    // More jobs than cores pay off where reads wait on the device; TBB caps workers at the
    // core count unless told otherwise.
    const tbb::global_control allowed(tbb::global_control::max_allowed_parallelism, workers);
    tbb::task_arena arena(static_cast<int>(workers));
    arena.execute([&] {
        tbb::parallel_pipeline(tokens, tbb::make_filter<void, Job*>(tbb::filter_mode::serial_in_order, readWalk) &
                                           tbb::make_filter<Job*, Job*>(tbb::filter_mode::parallel, hash) &
                                           tbb::make_filter<Job*, void>(tbb::filter_mode::serial_in_order, writeRow));
    });
}

} // namespace listgen
