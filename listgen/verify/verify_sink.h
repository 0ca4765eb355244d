#pragma once

#include "listgen/common/entry_stages.h"
#include "listgen/common/progress_meter.h"
#include "listgen/verify/listing_fingerprint.h"
#include "listgen/verify/row_reader.h"
#include "listgen/verify/verify_outcome.h"
#include "listgen/walk/exclude_filter.h"

#include <optional>

namespace listgen {

// Merges the walk with the report's rows; both come in walk order, so one pass finds every
// difference without holding the report in memory.
class VerifySink : public EntrySink {
public:
    VerifySink(RowReader& report, std::string strRoot, const ExcludeFilter& excludes, ProgressMeter& progress,
               VerifyOutcome& outcome);

    void accept(const Entry& entry) override;
    // Rows the walk never reached are missing; new files go after the rows' differences, but
    // those that list exactly the report's rows (the run's other output) are named apart.
    void finish();

private:
    struct NewFile {
        std::string relName;
        // Set when the file reads as a report or a manifest.
        std::optional<ListingFingerprint::Value> listing;
    };

    const ReportRow* currentRow();
    void advance();
    // Reports as missing every row that the walk has passed by the time it reaches `relative`.
    void passRowsBefore(std::string_view relative);
    void passRowsInside(std::string_view folder);
    void compare(const Entry& entry, std::string_view relative);

    RowReader& report_;
    std::string strRoot_;
    const ExcludeFilter& excludes_;
    ProgressMeter& progress_;
    VerifyOutcome& outcome_;
    ReportRow row_;
    bool rowLoaded_ = false;
    bool rowsEnded_ = false;
    // The report's names, and the tree's digests of the files it lists, of each kind computed.
    ListingFingerprint reportListing_;
    ListingFingerprint treeMd5_;
    std::optional<ListingFingerprint> treeSha256_;
    std::uint64_t rowsRead_ = 0;
    // As many rows as the report may have: more, and a file cannot list them.
    std::uint64_t mostRows_;
    std::vector<NewFile> newFiles_;
    Progress totals_;
};

} // namespace listgen
