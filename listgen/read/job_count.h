#pragma once

#include <string>

namespace listgen {

// True when the folder lives on a spinning disk, where parallel reads only make it seek.
bool isOnRotationalDisk(const std::string& folder);

// The cores this process may run on.
unsigned availableCores();

// Files to hash at once below `folder` when the caller gives no number (0).
unsigned jobsFor(unsigned requested, const std::string& folder);

} // namespace listgen
