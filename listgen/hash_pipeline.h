#pragma once

#include "listgen/file_identity.h"
#include "listgen/list_folder.h"
#include "listgen/walk_consumer.h"

#include <atomic>

namespace listgen {

// One walker hands out files in report order, `jobs` workers hash them, and the sink takes
// them back strictly in that order. At most a few items per worker are in flight.
void hashInReportOrder(ListFolder& walk, const FileIdentities& excluded, unsigned jobs,
                       const std::atomic<bool>& cancel, WalkConsumer& sink);

} // namespace listgen
