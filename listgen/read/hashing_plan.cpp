#include "listgen/read/hashing_plan.h"

#include "listgen/common/system_error.h"
#include "listgen/read/file_hasher.h"
#include "listgen/read/job_count.h"
#include "listgen/digest/md5_rate_probe.h"
#include "listgen/read/uring_hasher.h"
#include "listgen/read/uring_ring.h"

#include <malloc.h>
#include <sys/resource.h>

#include <algorithm>
#include <cerrno>

namespace listgen {

namespace {

// Entries the walk hands over at once; readers take files from them as they have room.
constexpr std::size_t kUringBatch = 128;
constexpr std::size_t kThreadBatch = 32;

// Under a limit on the address space, each thread's own malloc arena (64 MiB reserved) would
// take what the readers' buffers and OpenSSL need: the threads share one instead.
void shareOneArenaUnderALimit()
{
    rlimit limit{};
    if (::getrlimit(RLIMIT_AS, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY)
        ::mallopt(M_ARENA_MAX, 1);
}

unsigned uringThreads(unsigned requestedJobs)
{
    const unsigned cores = availableCores();
    return requestedJobs > 0 ? std::min(cores, requestedJobs) : cores;
}

} // namespace

HashingPlan::HashingPlan(unsigned requestedJobs, const std::string& folder, const std::atomic<bool>& cancel,
                         ProgressMeter& progress, bool sha256)
    // --jobs N keeps N files in flight in all.
    : pace_(isOnRotationalDisk(folder), requestedJobs, uringThreads(requestedJobs))
{
    shareOneArenaUnderALimit();
    if (!UringRing::available()) {
        shape_.threads = jobsFor(requestedJobs, folder);
        shape_.batchSize = kThreadBatch;
        hashers_ = [&cancel, &progress, sha256] {
            return std::make_unique<FileHasher>(cancel, &progress, FileHasher::kDefaultBufferSize, sha256);
        };
        return;
    }
    shape_.threads = uringThreads(requestedJobs);
    shape_.batchSize = kUringBatch;
    const Md5KernelRates& rates = md5Rates();
    placement_ = std::make_unique<Placement>(rates, shape_.threads, std::min(rates.widest(), UringHasher::kMostStreams));
    shape_.placement = placement_.get();
    hashers_ = [this, &cancel, &progress, sha256]() -> std::unique_ptr<EntryHasher> {
        try {
            return UringHasher::create(cancel, progress, pace_, sha256);
        } catch (const SystemError& error) {
            noteFallback(error.code());
        } catch (const std::bad_alloc&) {
            noteFallback(std::error_code(ENOMEM, std::generic_category()));
        }
        return std::make_unique<FileHasher>(cancel, &progress, FileHasher::kDefaultBufferSize, sha256);
    };
}

void HashingPlan::noteFallback(std::error_code reason)
{
    const std::lock_guard lock(fallbackMutex_);
    if (!fallback_)
        fallback_ = reason;
}

std::error_code HashingPlan::readerFallback() const
{
    const std::lock_guard lock(fallbackMutex_);
    return fallback_;
}

} // namespace listgen
