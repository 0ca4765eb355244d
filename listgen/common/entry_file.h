#pragma once

#include "listgen/common/file_descriptor.h"
#include "listgen/common/run_values.h"

#include <system_error>

namespace listgen {

// Opens an entry's file for reading in its held folder, by its own name and never by its path:
// a name listed as a file without following links, one listed as a link (or become one since)
// only once what it leads to is known to be a regular file. The descriptor is non-blocking.
// Returns an invalid descriptor with `reason` set when it cannot.
FileDescriptor openEntryFile(const Entry& entry, std::error_code& reason);

} // namespace listgen
