#pragma once

#include "listgen/common/entry_stages.h"
#include "listgen/common/progress_meter.h"

#include <string>
#include <vector>

namespace listgen {

class ReportFile;

// The single consumer of a generate run: takes the entries back in report order, renders the
// rows into the report (and the lines of the md5sum and sha256sum manifests asked for), records
// what was left out and reports progress.
class RowSink : public EntrySink {
public:
    RowSink(ReportFile& report, ReportFile* md5Manifest, ReportFile* sha256Manifest, std::string strRoot,
            ProgressMeter& progress);

    void accept(const Entry& entry) override;
    void finish();

    // What the report leaves out, in report order, and the files and bytes it lists.
    std::vector<SkippedEntry>& skipped() noexcept { return skipped_; }
    const Progress& totals() const noexcept { return totals_; }
    // Folders on other file systems that the walk did not enter.
    std::vector<std::string>& otherFileSystems() noexcept { return otherFileSystems_; }

private:
    ReportFile& report_;
    ReportFile* md5Manifest_;
    ReportFile* sha256Manifest_;
    std::string strRoot_;
    ProgressMeter& progress_;
    std::vector<SkippedEntry> skipped_;
    std::vector<std::string> otherFileSystems_;
    Progress totals_;
    std::string rowText_;
};

} // namespace listgen
