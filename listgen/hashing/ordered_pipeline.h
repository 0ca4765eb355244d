#pragma once

#include "listgen/common/entry_stages.h"

#include <atomic>
#include <functional>
#include <memory>
#include <span>

namespace listgen {

// Turns the File entries of a batch into what became of them: Hashed, Unreadable or Cancelled;
// leaves the others as they are. One per thread, so it may keep buffers between batches.
class EntryHasher {
public:
    virtual ~EntryHasher() = default;
    virtual void hash(std::span<Entry> batch) = 0;
};

using HasherFactory = std::function<std::unique_ptr<EntryHasher>()>;

struct PipelineShape {
    unsigned threads = 1;
    // Entries handed over at once, so that a hasher can read many files together and
    // threads meet once per batch rather than once per file.
    std::size_t batchSize = 1;
    // The first batch is this small, and each next one twice as large up to batchSize, so that
    // a tree of a few large files still spreads them over all threads.
    std::size_t firstBatch = 0;
};

// One thread at a time takes batches of entries from `source` in order, `shape.threads`
// threads hash them, and `sink` gets them back strictly in that order. At most a few batches
// per thread are in flight. The first exception of any stage ends the run and is rethrown here.
void hashInReportOrder(EntrySource& source, const HasherFactory& makeHasher, const PipelineShape& shape,
                       const std::atomic<bool>& cancel, EntrySink& sink);

} // namespace listgen
