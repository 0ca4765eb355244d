#pragma once

#include "listgen/check_files.h"

#include <ostream>

namespace vaskerel {

// How --check reports: md5sum's --quiet, --status and --warn, of which the last given counts.
enum class CheckVerbosity { Normal, Quiet, StatusOnly, Warn };

struct CheckOptions {
    CheckVerbosity verbosity = CheckVerbosity::Normal;
    // Improperly formatted lines fail the check.
    bool strict = false;
    // Listed files that do not exist are passed over without a word.
    bool ignoreMissing = false;
};

// Checks the files a manifest lists from the command line, as md5sum -c and sha256sum -c do:
// "NAME: OK" or "NAME: FAILED" lines on the file descriptor `output`, the reasons and the
// closing warnings on `errors`. Returns 0 when every listed file matches, 1 otherwise.
int runCheck(const listgen::CheckRequest& request, const CheckOptions& options, int output, std::ostream& errors);

} // namespace vaskerel
