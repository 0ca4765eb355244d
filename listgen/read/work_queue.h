#pragma once

#include "listgen/common/file_descriptor.h"
#include "listgen/common/run_values.h"
#include "listgen/digest/md5_lanes.h"
#include "listgen/read/placement.h"
#include "listgen/digest/sha256_stream.h"

#include <sys/stat.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <vector>

namespace listgen {

// An entry a reader took from the queue, and the batch it belongs to.
struct Claim {
    Entry* entry = nullptr;
    std::uint64_t batch = 0;
};

// A large file a reader measured and streams, or that waits in the queue for the reader the
// placement gives it to: not started yet, or moving mid-file with where its hashes have got to.
struct LargeFile {
    Claim claim;
    // The queue's number for it, from addStream() on.
    std::uint64_t stream = 0;
    // As the reader that found it measured it first: whoever goes on with it checks the file
    // is still that one, so that a file changed between two readers counts as changed.
    struct statx status {};
    // What a link led to, held so that the file is opened through the same descriptor.
    FileDescriptor linkTarget;
    // Bytes hashed so far, and the hashes' states at that point.
    std::uint64_t offset = 0;
    Md5StreamState md5;
    Sha256State sha256;
};

// The files of the batches in flight, shared by all readers: each takes the next files in walk
// order whenever it has room, so no reader idles while another has files waiting, whatever
// their sizes. The large files in flight are placed with readers by the placement, run again
// whenever one starts or ends; those placed elsewhere than they are move, mid-file if need be.
// A batch is done when each of its files has been finished by whoever took it.
class WorkQueue {
public:
    // Without a placement, a large file stays with the reader that found it.
    explicit WorkQueue(unsigned readers, const Placement* placement = nullptr);
    // Fewer readers than planned could be started.
    void setReaders(unsigned readers);

    // The pipeline's side. Entries stay where they are; the queue hands out pointers to them.
    void add(std::uint64_t batch, std::span<Entry> entries);
    void closeInput();
    bool done(std::uint64_t batch) const;
    // The pipeline has written the oldest batch and takes its entries back.
    void written(std::uint64_t batch);
    // Waits until `batch` is done or `timeout` passes.
    void waitUntilDone(std::uint64_t batch, std::chrono::milliseconds timeout);
    // Ends the run early: readers find nothing more to take.
    void abandon();

    // The readers' side. Takes up to out.size() files, in walk order; returns how many.
    std::size_t claim(std::span<Claim> out);
    void finished(std::span<const Claim> claims);
    void finished(const Claim& claim) { finished(std::span<const Claim>(&claim, 1)); }

    // A reader measured a large file of `size` bytes: true when it streams it itself; otherwise
    // the queue takes the file for the reader it is placed with. Either way it is numbered.
    bool addStream(unsigned reader, LargeFile& file, std::uint64_t size);
    // Now and then, the bytes of a stream still to hash.
    void streamProgress(std::uint64_t stream, std::uint64_t bytesLeft);
    // The stream ended, hashed or not, with whoever had it.
    void streamEnded(std::uint64_t stream);
    // Cheap to ask often: whether the reader holds streams placed elsewhere.
    bool mustGive(unsigned reader) const noexcept { return mustGive_[reader].load(std::memory_order_relaxed); }
    // Those streams; each is then given up with giveUp().
    std::vector<std::uint64_t> streamsToGive(unsigned reader);
    void giveUp(LargeFile file);
    // A waiting large file placed with `reader`.
    std::optional<LargeFile> takeLarge(unsigned reader);
    // The reader reads file by file: large files are placed with the others.
    void takesNoStreams(unsigned reader);
    // The reader has stopped; it takes nothing more and has no share of the streams.
    void retire(unsigned reader);
    // Whether the reader holds files it took and may yet pass on a large one; while one does,
    // the others wait for work rather than stop.
    void setBusy(unsigned reader, bool busy);

    // Waits until there is something `reader` may take or nothing will come any more (false
    // then), or `timeout` passes.
    bool waitForWork(unsigned reader, std::chrono::milliseconds timeout);

private:
    struct Batch {
        std::uint64_t number = 0;
        std::span<Entry> entries;
        std::size_t next = 0;
        std::size_t unfinished = 0;
    };

    struct Stream {
        std::uint64_t number = 0;
        StreamLoad load;
        int placed = StreamLoad::kWaiting;
    };

    Batch* find(std::uint64_t batch);
    const Batch* find(std::uint64_t batch) const;
    Stream* findStream(std::uint64_t stream);
    bool haveWork(unsigned reader) const;
    bool over() const;
    void skipToFiles(Batch& batch) const;
    void replan();
    void flagGivers();

    const Placement* placement_;
    mutable std::mutex mutex_;
    std::condition_variable forReaders_;
    std::condition_variable forPipeline_;
    std::deque<Batch> batches_;
    std::deque<LargeFile> large_;
    std::vector<Stream> streams_;
    std::uint64_t nextStream_ = 1;
    std::unique_ptr<std::atomic<bool>[]> mustGive_;
    std::vector<bool> active_;
    std::vector<bool> busy_;
    bool inputClosed_ = false;
    bool abandoned_ = false;
};

} // namespace listgen
