#include "listgen/report/row_sink.h"

#include "listgen/report/checksum_manifest.h"
#include "listgen/report/report_file.h"
#include "listgen/report/report_format.h"
#include "listgen/walk/rel_name.h"

namespace listgen {

RowSink::RowSink(ReportFile& report, ReportFile* md5Manifest, ReportFile* sha256Manifest, std::string strRoot,
                 ProgressMeter& progress)
    : report_(report)
    , md5Manifest_(md5Manifest)
    , sha256Manifest_(sha256Manifest)
    , strRoot_(std::move(strRoot))
    , progress_(progress)
{
}

void RowSink::accept(const Entry& entry)
{
    switch (entry.kind) {
    case Entry::Kind::Hashed:
        rowText_.clear();
        File(rowText_, entry.path, strRoot_, entry.facts);
        report_.append(rowText_);
        if (md5Manifest_ != nullptr) {
            rowText_.clear();
            appendManifestLine(rowText_, relName(entry.path, strRoot_), entry.facts.md5);
            md5Manifest_->append(rowText_);
        }
        if (sha256Manifest_ != nullptr) {
            rowText_.clear();
            appendManifestLine(rowText_, relName(entry.path, strRoot_), entry.facts.sha256);
            sha256Manifest_->append(rowText_);
        }
        ++totals_.files;
        totals_.bytes += entry.facts.size;
        progress_.addFile();
        break;
    case Entry::Kind::UnlistableFolder:
        skipped_.push_back({SkippedEntry::Kind::Folder, entry.path, entry.reason});
        return;
    case Entry::Kind::OtherFileSystem:
        otherFileSystems_.push_back(entry.path);
        return;
    case Entry::Kind::Unreadable:
        skipped_.push_back({SkippedEntry::Kind::File, entry.path, entry.reason});
        break;
    case Entry::Kind::File:
    case Entry::Kind::Cancelled:
        break;
    }
    progress_.tick();
}

void RowSink::finish()
{
    progress_.finish(totals_);
}

} // namespace listgen
