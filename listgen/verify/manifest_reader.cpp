#include "listgen/verify/manifest_reader.h"

#include "listgen/report/checksum_manifest.h"
#include "listgen/walk/rel_name.h"
#include "listgen/walk/walk_order.h"

#include <algorithm>

namespace listgen {

ManifestReader::ManifestReader(LineReader lines, const std::string& firstLine)
{
    lines.expect(ListingKind::Manifest);
    lines.allowCarriageReturns();
    UnmarkedLines unmarked = UnmarkedLines::Undecided;
    std::string line = firstLine;
    ManifestDigest digest;
    do {
        ReportRow row;
        row.sizeKnown = false;
        switch (readManifestLine(line, unmarked, row.relName, digest)) {
        case ManifestLine::Nothing: continue;
        case ManifestLine::Checksum: break;
        case ManifestLine::Malformed:
            lines.refuse(ListingProblem::BadManifestLine);
        case ManifestLine::OtherDigest:
            lines.refuse(ListingProblem::OtherDigestKind);
        }
        if (rows_.empty())
            kind_ = digest.kind;
        else if (digest.kind != kind_)
            lines.refuse(ListingProblem::MixedDigests);
        row.digest = digest.kind;
        if (digest.kind == DigestKind::Md5)
            std::copy(digest.hex.begin(), digest.hex.end(), row.facts.md5.begin());
        else
            std::copy(digest.hex.begin(), digest.hex.end(), row.facts.sha256.begin());
        // Manifests made with find(1) name their files "./path".
        if (row.relName.starts_with("./"))
            row.relName.erase(0, 2);
        if (!isWalkPath(row.relName))
            lines.refuse(ListingProblem::PathNoFolderCanHold);
        rows_.push_back(std::move(row));
    } while (lines.next(line));
    if (rows_.empty())
        lines.refuse(ListingProblem::NoChecksumLine);
    std::sort(rows_.begin(), rows_.end(),
              [](const ReportRow& a, const ReportRow& b) { return walkOrderLess(a.relName, b.relName); });
    const auto twice = std::adjacent_find(rows_.begin(), rows_.end(), [](const ReportRow& a, const ReportRow& b) {
        return a.relName == b.relName;
    });
    if (twice != rows_.end())
        lines.refuse(ListingProblem::ListedTwice);
}

bool ManifestReader::next(ReportRow& row)
{
    if (next_ == rows_.size())
        return false;
    row = rows_[next_++];
    return true;
}

} // namespace listgen
