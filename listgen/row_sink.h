#pragma once

#include "listgen/generate_list.h"
#include "listgen/report_file.h"
#include "listgen/walk_consumer.h"

#include <chrono>
#include <string>

namespace listgen {

// The single consumer of the walk: takes the items back in report order, renders the rows
// into the report, records what was left out and reports progress.
class RowSink : public WalkConsumer {
public:
    RowSink(ReportFile& report, std::string strRoot, const ProgressCallback& onProgress, Outcome& outcome);

    void accept(const WalkItem& item, const HashResult& result) override;
    void finish();

private:
    void reportProgress();

    ReportFile& report_;
    std::string strRoot_;
    const ProgressCallback& onProgress_;
    Outcome& outcome_;
    std::string rowText_;
    std::chrono::steady_clock::time_point lastProgress_;
};

} // namespace listgen
