#pragma once

#include "listgen/common/file_descriptor.h"
#include "listgen/common/run_values.h"

#include <system_error>

namespace listgen {

// Opens an entry's file for reading in its held folder, by its own name and never by its path:
// a name listed as a file without following links, one listed as a link (or become one since)
// only once openLinkTarget allows what it leads to. Pseudo files whose reading takes data
// from others, views of memory and the links a pseudo file system holds (the kernel's, to
// open and mapped files) are never opened. The descriptor is non-blocking.
// Returns an invalid descriptor with `reason` set when it cannot.
FileDescriptor openEntryFile(const Entry& entry, std::error_code& reason);

// Where the entry's link leads, as an O_PATH descriptor that opens nothing, once that is
// known to be a regular file, and one its owner could read when that is another user: a link
// is no way to a file its maker may not read. An invalid one with `reason` set otherwise.
FileDescriptor openLinkTarget(const Entry& entry, std::error_code& reason);

} // namespace listgen
