#pragma once

#include "listgen/common/entry_stages.h"

#include <atomic>
#include <functional>
#include <memory>
#include <span>

namespace listgen {

class Placement;
class WorkQueue;

// Turns File entries into what became of them (Hashed, Unreadable or Cancelled), taking them
// from a queue that all readers share. One per reader thread, so it may keep buffers.
class EntryHasher {
public:
    virtual ~EntryHasher() = default;
    // Takes files from `queue` and finishes each there, until the queue has nothing more for
    // this reader; `reader` numbers the readers from 0.
    virtual void work(WorkQueue& queue, unsigned reader) = 0;
    // The File entries of `entries`, through a queue of their own; for one-off use and tests.
    void hash(std::span<Entry> entries);
};

// A reader that reads one file after another.
class FileByFileHasher : public EntryHasher {
public:
    using EntryHasher::hash;
    virtual void hash(Entry& entry) = 0;
    void work(WorkQueue& queue, unsigned reader) override;
};

using HasherFactory = std::function<std::unique_ptr<EntryHasher>()>;

struct PipelineShape {
    unsigned threads = 1;
    // Entries the walk hands over at once.
    std::size_t batchSize = 64;
    // Entries walked ahead of the oldest one not yet written: readers are never short of files
    // while one large file holds up the report.
    std::size_t window = std::size_t{16} << 10;
    // Where the readers' large files go; none: each stays with the reader that found it.
    const Placement* placement = nullptr;
};

// One thread walks `source` and gives `sink` the entries back strictly in that order, while
// `shape.threads` readers take the files in between as each has room. The first exception of
// any stage ends the run and is rethrown here.
void hashInReportOrder(EntrySource& source, const HasherFactory& makeHasher, const PipelineShape& shape,
                       const std::atomic<bool>& cancel, EntrySink& sink);

} // namespace listgen
