#pragma once

#include "listgen/common/progress_meter.h"
#include "listgen/read/buffer_memory.h"
#include "listgen/read/device_pace.h"
#include "listgen/read/file_hasher.h"
#include "listgen/digest/md5_lanes.h"
#include "listgen/read/ordered_pipeline.h"
#include "listgen/read/read_ring.h"
#include "listgen/read/read_step.h"
#include "listgen/digest/sha256_stream.h"
#include "listgen/read/whole_file_arena.h"
#include "listgen/read/work_queue.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <memory>
#include <vector>

namespace listgen {

// Reads and hashes files through io_uring, taking them from the queue that all readers share
// as it has room: each file is measured and opened into a registered slot by linked statx and
// openat, small files are read whole in one request and hashed in SIMD lanes as they arrive,
// large files stream through the lanes in chunks, many at once, and as many files as the
// device pace allows are in flight on the device. Large files go where the queue's placement
// puts them: one placed with another reader is passed on, before it starts or mid-file with
// its hashes' state, and reopened there as the same file.
// Anything unusual about a file (it cannot be measured or opened, is no regular file, lies on
// a pseudo file system, is reached through a link that goes nowhere good, or keeps being
// refused by the kernel) is handed to a FileHasher, so both readers give the same outcome.
class UringHasher : public EntryHasher {
public:
    // Streams of large files at once: as many as the widest kernel has lanes.
    static constexpr unsigned kMostStreams = 32;
    static constexpr unsigned kReadsPerStream = 2;

    // How much memory the reader keeps for data in flight.
    struct Buffers {
        // Small files are read whole into this.
        std::size_t arena = std::size_t{16} << 20;
        // Chunks of large files in flight.
        std::size_t chunks = kReadsPerStream * kMostStreams;
    };

    // With an io_uring of its own, its buffers sized to fit the address space left. Throws
    // SystemError when the kernel or the limits in force refuse the ring, std::bad_alloc when
    // the buffers cannot be had.
    // `sha256` adds that digest to MD5, from the same bytes.
    static std::unique_ptr<UringHasher> create(const std::atomic<bool>& cancel, ProgressMeter& progress,
                                               DevicePace& pace, bool sha256 = false);

    UringHasher(std::unique_ptr<ReadRing> ring, const std::atomic<bool>& cancel, ProgressMeter& progress,
                DevicePace& pace, const Buffers& buffers, bool sha256 = false);
    // Takes every request back from the kernel before any buffer is given back.
    ~UringHasher() override;
    UringHasher(const UringHasher&) = delete;
    UringHasher& operator=(const UringHasher&) = delete;

    void work(WorkQueue& queue, unsigned reader) override;

private:
    struct Job;
    struct Chunk;
    enum class Op : std::uint8_t { Measure, Open, ReadWhole, ReadChunk, Close };

    void serve(WorkQueue& queue, unsigned reader);
    void takeFiles(WorkQueue& queue, unsigned reader);
    unsigned mostStreams() const;
    std::size_t newJob(const Claim& claim);
    void start(std::size_t index);
    void open(std::size_t index, int folder, bool follow);
    void retryWaiting();
    void markCancelled(Job& job);
    void onCompletion(const ReadStep::Done& done);
    void onOpened(std::size_t index);
    bool keepOrPass(std::size_t index);
    void giveStreams(const std::vector<std::uint64_t>& streams);
    void giveAway(std::size_t index);
    void onWholeRead(std::size_t index, int result);
    void readWhole(std::size_t index);
    void readChunks(std::size_t index);
    void feedChunks(std::size_t index);
    void submitToLanes(std::size_t index);
    void submitHeldReads();
    void takeLaneResults();
    bool settled(const Job& job) const;
    bool unchanged(const Job& job) const;
    void fail(Job& job, std::error_code reason);
    void letGoOfData(Job& job);
    void handToFileHasher(Job& job);
    void releaseDepth(Job& job);
    void closeSlot(Job& job);
    void settle(Job& job);
    void waitForCompletions();
    void look(std::chrono::milliseconds wait);
    void recordRead(std::chrono::steady_clock::time_point submitted);
    std::uint64_t tag(Op op, std::size_t job, std::size_t chunk = 0) const;

    const std::atomic<bool>& cancel_;
    ProgressMeter& progress_;
    DevicePace& pace_;
    WholeFileArena arena_;
    BufferMemory chunkMemory_;
    std::vector<Chunk> chunks_;
    // Allocated once: the kernel writes statx results into them.
    std::vector<Job> jobs_;
    std::unique_ptr<ReadRing> ring_;
    ReadStep step_;
    Md5Lanes lanes_;
    FileHasher fallback_;
    // SHA-256 when asked for: one context for whole files, one per stream that may be open.
    std::unique_ptr<Sha256Stream> wholeSha256_;
    std::vector<std::unique_ptr<Sha256Stream>> streamSha256_;
    std::vector<std::size_t> freeStreamSha256_;
    WorkQueue* queue_ = nullptr;
    unsigned reader_ = 0;
    bool broken_ = false;
    std::vector<std::size_t> freeJobs_;
    std::vector<unsigned> freeSlots_;
    std::vector<std::size_t> freeChunks_;
    // Jobs that hold a stream of this reader.
    std::size_t streamsHeld_ = 0;
    std::size_t opensInFlight_ = 0;
    std::size_t jobsInFlight_ = 0;
    std::size_t finishedSincePace_ = 0;
    std::chrono::steady_clock::time_point paceSince_;
    // When the ring was last looked at, and the time before.
    std::chrono::steady_clock::time_point lookedAt_;
    std::chrono::steady_clock::time_point previousLook_;
    std::vector<Claim> finishedClaims_;
    std::vector<ReadStep::Done> done_;
    std::vector<Md5Result> digests_;
    std::vector<std::uint64_t> released_;
    // Jobs waiting for room in the arena, for a stream of the lanes, or reading in chunks.
    std::deque<std::size_t> waitingForArena_;
    std::deque<std::size_t> waitingForStream_;
    std::vector<std::size_t> streaming_;
    std::vector<std::size_t> heldReads_;
};

} // namespace listgen
