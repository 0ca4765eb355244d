#include "listgen/verify/manifest_reader.h"

#include "listgen/walk/rel_name.h"
#include "listgen/walk/walk_order.h"

#include <algorithm>
#include <cstring>

namespace listgen {

namespace {

std::string_view heldName(const std::string& held, std::uint64_t start)
{
    return std::string_view(held.data() + start);
}

} // namespace

ManifestReader::ManifestReader(LineReader lines, const std::string& firstLine, std::uint64_t mostRows)
    : lines_(std::move(lines))
{
    lines_.expect(ListingKind::Manifest);
    lines_.allowCarriageReturns();
    // What cannot be read twice is held from the first reading on.
    const bool again = lines_.canReadAgain();
    const bool inWalkOrder = readAll(&firstLine, mostRows, !again);
    if (again) {
        lines_.readAgain();
        unmarked_ = UnmarkedLines::Undecided;
        previous_.clear();
        if (inWalkOrder) {
            streaming_ = true;
            return;
        }
        readAll(nullptr, mostRows, true);
    }
    std::sort(heldRows_.begin(), heldRows_.end(), [&](std::uint64_t a, std::uint64_t b) {
        return walkOrderLess(heldName(held_, a), heldName(held_, b));
    });
    const auto twice = std::adjacent_find(heldRows_.begin(), heldRows_.end(), [&](std::uint64_t a, std::uint64_t b) {
        return heldName(held_, a) == heldName(held_, b);
    });
    if (twice != heldRows_.end())
        lines_.refuse(ListingProblem::ListedTwice);
}

bool ManifestReader::readAll(const std::string* firstLine, std::uint64_t mostRows, bool hold)
{
    std::string line = firstLine != nullptr ? *firstLine : std::string();
    bool inWalkOrder = true;
    ReportRow row;
    rows_ = 0;
    for (bool haveLine = firstLine != nullptr; readRow(line, haveLine, row); haveLine = false) {
        if (rows_ == 0)
            kind_ = row.digest;
        else if (row.digest != kind_)
            lines_.refuse(ListingProblem::MixedDigests);
        if (++rows_ > mostRows)
            lines_.refuse(ListingProblem::MoreRowsThanWanted);
        inWalkOrder = follows(row.relName) && inWalkOrder;
        if (hold) {
            heldRows_.push_back(held_.size());
            held_.append(row.relName).append(1, '\0');
            held_.append(kind_ == DigestKind::Md5 ? std::string_view(row.facts.md5.data(), row.facts.md5.size())
                                                  : std::string_view(row.facts.sha256.data(), row.facts.sha256.size()));
        }
    }
    if (rows_ == 0)
        lines_.refuse(ListingProblem::NoChecksumLine);
    return inWalkOrder;
}

bool ManifestReader::readRow(std::string& line, bool haveLine, ReportRow& row)
{
    ManifestDigest digest;
    for (; haveLine || lines_.next(line); haveLine = false) {
        row.sizeKnown = false;
        switch (readManifestLine(line, unmarked_, row.relName, digest)) {
        case ManifestLine::Nothing: continue;
        case ManifestLine::Checksum: break;
        case ManifestLine::Malformed:
            lines_.refuse(ListingProblem::BadManifestLine);
        case ManifestLine::OtherDigest:
            lines_.refuse(ListingProblem::OtherDigestKind);
        }
        row.digest = digest.kind;
        if (digest.kind == DigestKind::Md5)
            std::copy(digest.hex.begin(), digest.hex.end(), row.facts.md5.begin());
        else
            std::copy(digest.hex.begin(), digest.hex.end(), row.facts.sha256.begin());
        // Manifests made with find(1) name their files "./path".
        if (row.relName.starts_with("./"))
            row.relName.erase(0, 2);
        if (!isWalkPath(row.relName))
            lines_.refuse(ListingProblem::PathNoFolderCanHold);
        return true;
    }
    return false;
}

bool ManifestReader::follows(const std::string& relName)
{
    const bool after = previous_.empty() || walkOrderLess(previous_, relName);
    if (!after && previous_ == relName)
        lines_.refuse(ListingProblem::ListedTwice);
    previous_ = relName;
    return after;
}

bool ManifestReader::next(ReportRow& row)
{
    if (streaming_) {
        std::string line;
        if (!readRow(line, false, row))
            return false;
        // Read a second time, the file must still be what it was.
        if (row.digest != kind_ || !follows(row.relName))
            lines_.refuse(ListingProblem::BadManifestLine);
        return true;
    }
    if (next_ == heldRows_.size())
        return false;
    const std::uint64_t start = heldRows_[next_++];
    const std::string_view name = heldName(held_, start);
    row = ReportRow{};
    row.sizeKnown = false;
    row.digest = kind_;
    row.relName = name;
    const char* digest = held_.data() + start + name.size() + 1;
    if (kind_ == DigestKind::Md5)
        std::memcpy(row.facts.md5.data(), digest, row.facts.md5.size());
    else
        std::memcpy(row.facts.sha256.data(), digest, row.facts.sha256.size());
    return true;
}

} // namespace listgen
