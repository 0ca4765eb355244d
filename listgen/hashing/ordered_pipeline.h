#pragma once

#include "listgen/common/entry_stages.h"

#include <atomic>
#include <functional>
#include <memory>

namespace listgen {

// Turns a File entry into what became of it: Hashed, Unreadable or Cancelled.
// One per thread, so it may keep buffers between entries.
class EntryHasher {
public:
    virtual ~EntryHasher() = default;
    virtual void hash(Entry& entry) = 0;
};

using HasherFactory = std::function<std::unique_ptr<EntryHasher>()>;

// One thread at a time takes entries from `source` in order, `jobs` threads hash them, and
// `sink` gets them back strictly in that order. At most a few entries per job are in flight.
// The first exception of any stage ends the run and is rethrown here.
void hashInReportOrder(EntrySource& source, const HasherFactory& makeHasher, unsigned jobs,
                       const std::atomic<bool>& cancel, EntrySink& sink);

} // namespace listgen
