#pragma once

#include <ostream>
#include <string>
#include <system_error>
#include <vector>

namespace vaskerel {

// One line on `errors` when the run read file by file because io_uring could not be used.
void reportReaderFallback(std::error_code reason, std::ostream& errors);

// What a walk passed by: the exclude patterns that matched nothing, and (unless `quiet`) the
// folders on other file systems it did not enter, one line each on `errors`.
void reportPassedBy(const std::vector<std::string>& unusedExcludes, const std::vector<std::string>& otherFileSystems,
                    bool quiet, std::ostream& errors);

} // namespace vaskerel
