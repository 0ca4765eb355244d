#include "listgen/report/row_sink.h"

#include "listgen/report/checksum_manifest.h"
#include "listgen/report/report_file.h"
#include "listgen/report/report_format.h"
#include "listgen/walk/rel_name.h"

namespace listgen {

namespace {

constexpr auto kProgressInterval = std::chrono::milliseconds(100);

} // namespace

RowSink::RowSink(ReportFile& report, ReportFile* manifest, std::string strRoot, const ProgressCallback& onProgress,
                 Outcome& outcome)
    : report_(report)
    , manifest_(manifest)
    , strRoot_(std::move(strRoot))
    , onProgress_(onProgress)
    , outcome_(outcome)
    , lastProgress_(std::chrono::steady_clock::now())
{
}

void RowSink::accept(const Entry& entry)
{
    switch (entry.kind) {
    case Entry::Kind::Hashed:
        rowText_.clear();
        File(rowText_, entry.path, strRoot_, entry.facts);
        report_.append(rowText_);
        if (manifest_ != nullptr) {
            rowText_.clear();
            appendManifestLine(rowText_, relName(entry.path, strRoot_), entry.facts.md5);
            manifest_->append(rowText_);
        }
        ++outcome_.totals.files;
        outcome_.totals.bytes += entry.facts.size;
        break;
    case Entry::Kind::UnlistableFolder:
        outcome_.skipped.push_back({SkippedEntry::Kind::Folder, entry.path, entry.reason});
        return;
    case Entry::Kind::Unreadable:
        outcome_.skipped.push_back({SkippedEntry::Kind::File, entry.path, entry.reason});
        break;
    case Entry::Kind::File:
    case Entry::Kind::Cancelled:
        break;
    }
    reportProgress();
}

void RowSink::reportProgress()
{
    if (!onProgress_)
        return;
    const auto now = std::chrono::steady_clock::now();
    if (now - lastProgress_ < kProgressInterval)
        return;
    lastProgress_ = now;
    onProgress_(outcome_.totals);
}

void RowSink::finish()
{
    if (onProgress_)
        onProgress_(outcome_.totals);
}

} // namespace listgen
