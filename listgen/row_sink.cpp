#include "listgen/row_sink.h"

#include "listgen/report_document.h"

namespace listgen {

namespace {

constexpr auto kProgressInterval = std::chrono::milliseconds(100);

} // namespace

RowSink::RowSink(ReportFile& report, std::string strRoot, const ProgressCallback& onProgress, Outcome& outcome)
    : report_(report)
    , strRoot_(std::move(strRoot))
    , onProgress_(onProgress)
    , outcome_(outcome)
    , lastProgress_(std::chrono::steady_clock::now())
{
}

void RowSink::accept(const WalkItem& item, const HashResult& result)
{
    if (item.kind == WalkItem::Kind::UnlistableFolder) {
        outcome_.skipped.push_back({SkippedEntry::Kind::Folder, item.path, item.reason});
        return;
    }
    switch (result.kind) {
    case HashResult::Kind::Hashed:
        rowText_.clear();
        File(rowText_, item.path, strRoot_, result.facts);
        report_.append(rowText_);
        ++outcome_.totals.files;
        outcome_.totals.bytes += result.facts.size;
        break;
    case HashResult::Kind::Failed:
        outcome_.skipped.push_back({SkippedEntry::Kind::File, item.path, result.reason});
        break;
    case HashResult::Kind::Excluded:
    case HashResult::Kind::Cancelled:
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
