#pragma once

#include <chrono>
#include <mutex>
#include <string>

namespace listgen {

// The outputs' temporary files that have a name, process-wide, so that a run abandoned on a
// stop signal can remove them, and the lock that outputs are put in place under, so that it
// never abandons a run between the renames of two outputs.
class TemporaryFiles {
public:
    static void add(int folderFd, const std::string& name);
    static void remove(int folderFd, const std::string& name);

    // Held while outputs are renamed into place; `placed` records that one was.
    static std::unique_lock<std::mutex> placing();
    static void placed();

    // For a run that will not stop: removes every named temporary file, as far as it can get
    // the lock within the given time, and says whether an output had been put in place.
    static bool abandon(std::chrono::milliseconds wait);
};

} // namespace listgen
