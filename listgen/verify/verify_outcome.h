#pragma once

#include "listgen/common/run_values.h"
#include "listgen/common/system_error.h"
#include "listgen/verify/line_reader.h"

#include <cstdint>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

namespace listgen {

struct Difference {
    enum class Kind { Changed, Missing, New };
    Kind kind = Kind::Changed;
    std::string relName;
};

// A missing and a new name that are one name in two Unicode normalisation forms, as a tree that
// went through macOS has them: both stay differences, since the report's link no longer opens
// the file, but they look alike and are named together.
struct NormalisationPair {
    std::string missing;
    std::string added;
};

struct VerifyOutcome {
    enum class Status {
        Matches,     // every row matches the tree
        Differs,     // `differences` says how
        Incomplete,  // some entries could not be read; `unreadable` names them
        Failed,      // nothing could be checked; `failure` or `listing` says why
        Cancelled,
    };
    Status status = Status::Failed;
    std::optional<RunFailure> failure;
    std::optional<ListingFailure> listing;
    // Changed and missing rows in report order, then new files in walk order.
    std::vector<Difference> differences;
    std::vector<NormalisationPair> otherNormalisations;
    std::vector<SkippedEntry> unreadable;
    std::uint64_t rowsChecked = 0;
    // Files the report does not list that list exactly its rows themselves: the run's other
    // output (a manifest beside its report, or the report beside its manifest), or a copy of
    // the report. They are named, and not counted as new; any other file is new.
    std::vector<std::string> sameListings;
    // Those among them that hold digests of another kind than were computed (SHA-256 beside an
    // MD5 report): their names match, their digests were not compared.
    std::vector<std::string> sameNames;
    // What was compared: sizes (reports have them) and which digest.
    bool sizesCompared = true;
    DigestKind digestsCompared = DigestKind::Md5;
    // Exclude patterns that matched neither a file nor a row.
    std::vector<std::string> unusedExcludes;
    // Folders on other file systems, not entered; their rows are not checked.
    std::vector<std::string> otherFileSystems;
    // Why io_uring could not be used, so files were read one by one; empty when it was.
    std::error_code readerFallback;
};

} // namespace listgen
