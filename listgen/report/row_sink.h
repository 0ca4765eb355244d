#pragma once

#include "listgen/common/entry_stages.h"

#include <chrono>
#include <string>

namespace listgen {

class ReportFile;

// The single consumer of a generate run: takes the entries back in report order, renders the
// rows into the report (and the lines of a checksum manifest, when there is one), records what
// was left out and reports progress.
class RowSink : public EntrySink {
public:
    RowSink(ReportFile& report, ReportFile* manifest, std::string strRoot, const ProgressCallback& onProgress,
            Outcome& outcome);

    void accept(const Entry& entry) override;
    void finish();

private:
    void reportProgress();

    ReportFile& report_;
    ReportFile* manifest_;
    std::string strRoot_;
    const ProgressCallback& onProgress_;
    Outcome& outcome_;
    std::string rowText_;
    std::chrono::steady_clock::time_point lastProgress_;
};

} // namespace listgen
