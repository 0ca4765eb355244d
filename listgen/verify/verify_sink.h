#pragma once

#include "listgen/common/entry_stages.h"
#include "listgen/verify/row_reader.h"
#include "listgen/verify/verify_outcome.h"
#include "listgen/walk/exclude_filter.h"

namespace listgen {

// Merges the walk with the report's rows; both come in walk order, so one pass finds every
// difference without holding the report in memory.
class VerifySink : public EntrySink {
public:
    VerifySink(RowReader& report, std::string strRoot, const ExcludeFilter& excludes, VerifyOutcome& outcome);

    void accept(const Entry& entry) override;
    // Rows the walk never reached are missing; new files go after the rows' differences.
    void finish();

private:
    const ReportRow* currentRow();
    void advance();
    // Reports as missing every row that the walk has passed by the time it reaches `relative`.
    void passRowsBefore(std::string_view relative);
    void compare(std::string_view relative, const FileFacts& facts);

    RowReader& report_;
    std::string strRoot_;
    const ExcludeFilter& excludes_;
    VerifyOutcome& outcome_;
    ReportRow row_;
    bool rowLoaded_ = false;
    bool rowsEnded_ = false;
    std::vector<Difference> newFiles_;
};

} // namespace listgen
