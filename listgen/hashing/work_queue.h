#pragma once

#include "listgen/common/file_descriptor.h"
#include "listgen/common/file_identity.h"
#include "listgen/common/run_values.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
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

// A large file that a reader measured, left for whichever reader has room for another stream.
struct LargeFile {
    Claim claim;
    std::uint64_t size = 0;
    FileIdentity identity;
    // What a link led to, held so that the file is opened through the same descriptor.
    FileDescriptor linkTarget;
};

// The files of the batches in flight, shared by all readers: each takes the next files in walk
// order whenever it has room, so no reader idles while another has files waiting, whatever
// their sizes. Large files that a reader finds may be passed on, so streams spread evenly.
// A batch is done when each of its files has been finished by whoever took it.
class WorkQueue {
public:
    explicit WorkQueue(unsigned readers);
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

    void postLarge(LargeFile file);
    // The oldest large file waiting, when the reader streams no more files than any other.
    std::optional<LargeFile> takeLarge(unsigned reader);
    // How many files a reader streams now, for takeLarge's fairness.
    void setStreams(unsigned reader, unsigned streams);
    // True when `reader` streams no more files than any other reader still at work.
    bool fewestStreams(unsigned reader) const;
    // The reader has stopped; it takes nothing more and counts no more for fairness.
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

    Batch* find(std::uint64_t batch);
    const Batch* find(std::uint64_t batch) const;
    bool haveWork(unsigned reader) const;
    bool over() const;
    void skipToFiles(Batch& batch) const;
    bool fewest(unsigned reader) const;

    mutable std::mutex mutex_;
    std::condition_variable forReaders_;
    std::condition_variable forPipeline_;
    std::deque<Batch> batches_;
    std::deque<LargeFile> large_;
    std::vector<unsigned> streams_;
    std::vector<bool> retired_;
    std::vector<bool> busy_;
    bool inputClosed_ = false;
    bool abandoned_ = false;
};

} // namespace listgen
