#pragma once

#include "listgen/common/progress_meter.h"
#include "listgen/hashing/device_pace.h"
#include "listgen/hashing/file_hasher.h"
#include "listgen/hashing/md5_lanes.h"
#include "listgen/hashing/ordered_pipeline.h"

#include <liburing.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <memory>
#include <span>
#include <vector>

namespace listgen {

// Reads and hashes a batch of files together through io_uring: each file is measured and
// opened into a registered slot by linked statx and openat (no fstat or close calls), small
// files are read whole in one request and hashed in SIMD lanes as they arrive, large files
// stream through the lanes in big chunks with a few reads in flight, and as many files as
// the device pace allows are in flight at once. Data already in the page cache completes
// during submission; only the reads that wait for the device are paced.
// Anything unusual about a file (it cannot be measured or opened, is no regular file, or
// gives bytes although it says it is empty) is handed to a FileHasher, so both readers give
// the same outcome for every file.
class UringHasher : public EntryHasher {
public:
    // True when this kernel lets the process use io_uring with everything the reader needs;
    // containers and hardened systems may refuse it (ENOSYS, EPERM).
    static bool available();

    UringHasher(const std::atomic<bool>& cancel, ProgressMeter& progress, DevicePace& pace);
    ~UringHasher() override;
    UringHasher(const UringHasher&) = delete;
    UringHasher& operator=(const UringHasher&) = delete;

    void hash(std::span<Entry> batch) override;

private:
    struct Job;
    struct Chunk;
    enum class Op : std::uint8_t { Statx, Open, ReadWhole, ReadChunk, Close };

    void start(std::size_t index);
    void retryWaiting();
    void markCancelled(Job& job);
    void onCompletion(const io_uring_cqe& cqe);
    void onOpened(std::size_t index);
    void readWhole(std::size_t index);
    void readChunks(std::size_t index);
    void feedChunks(std::size_t index);
    void submitToLanes(std::size_t index);
    void submitHeldReads();
    void takeLaneResults();
    void fail(Job& job, const std::string& reason);
    void handToFileHasher(Job& job);
    void closeSlot(Job& job);
    void settle(Job& job);
    void waitForCompletions();
    io_uring_sqe* sqe();
    std::uint64_t userData(Op op, std::size_t job, std::size_t chunk = 0) const;

    const std::atomic<bool>& cancel_;
    ProgressMeter& progress_;
    DevicePace& pace_;
    io_uring ring_{};
    Md5Lanes lanes_;
    FileHasher fallback_;
    std::vector<unsigned> freeSlots_;
    std::vector<Job> jobs_;
    std::unique_ptr<char[]> arena_;
    std::size_t arenaUsed_ = 0;
    std::size_t arenaUsers_ = 0;
    std::vector<Chunk> chunks_;
    std::vector<std::size_t> freeChunks_;
    std::size_t opsInFlight_ = 0;
    std::size_t filesInFlight_ = 0;
    std::size_t submittedUnsent_ = 0;
    std::vector<Md5Result> digests_;
    std::vector<std::uint64_t> released_;
    // Jobs waiting for room in the arena, for a stream of the lanes, or reading in chunks.
    std::deque<std::size_t> waitingForArena_;
    std::deque<std::size_t> waitingForStream_;
    std::vector<std::size_t> streaming_;
    std::vector<std::size_t> heldReads_;
};

} // namespace listgen
