#include "listgen/verify/verify_sink.h"

#include "listgen/common/entry_file.h"
#include "listgen/common/system_error.h"
#include "listgen/common/unicode_text.h"
#include "listgen/walk/rel_name.h"
#include "listgen/walk/walk_order.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <unordered_map>

namespace listgen {

namespace {

// A first look at a file's start, so that the many files that cannot be a report or a manifest
// (binary data, text of any other kind) are passed by without being read as one.
bool mayBeListing(int fd)
{
    char start[64];
    const ssize_t count = ::pread(fd, start, sizeof start, 0);
    if (count <= 0 || std::memchr(start, '\0', static_cast<std::size_t>(count)) != nullptr)
        return false;
    // A report's "<html>", or what a manifest line may start with: a digit, "\", "MD5", a
    // comment, a blank or an empty line.
    const char first = start[0];
    return std::isxdigit(static_cast<unsigned char>(first)) != 0 || std::strchr("<\\M# \t\r\n", first) != nullptr;
}

// The shortest line that lists a file: "<32 hex digits> <one-letter name>" and its line end.
constexpr std::uint64_t kShortestListingLine = 35;

// What a file the report does not list holds, when it reads as a report or a manifest. One too
// short to list the `rowsRead` rows read so far, or with more rows than `mostRows`, cannot list
// the report's rows; it is left as soon as that shows, so it is never held whole.
std::optional<ListingFingerprint::Value> listingIn(const Entry& entry, std::uint64_t rowsRead, std::uint64_t mostRows)
{
    if (entry.facts.size == 0 || entry.facts.size + 1 < kShortestListingLine * rowsRead)
        return std::nullopt;
    std::error_code reason;
    FileDescriptor file = openEntryFile(entry, reason);
    struct stat status {};
    if (!file.valid() || ::fstat(file.get(), &status) != 0 || !S_ISREG(status.st_mode) || !mayBeListing(file.get()))
        return std::nullopt;
    try {
        const std::unique_ptr<RowReader> reader = openRowReader(std::move(file), entry.path, mostRows);
        ListingFingerprint listing;
        ReportRow row;
        for (std::uint64_t rows = 0; reader->next(row); listing.add(row)) {
            if (++rows > mostRows)
                return std::nullopt;
        }
        return listing.finish();
    } catch (const ReportFormatError&) {
        return std::nullopt;
    } catch (const SystemError&) {
        return std::nullopt;
    }
}

// Pairs missing and new names that NFC makes equal. One of each pair is not in NFC, so only
// those names are held in a map, and nearly every tree has none.
std::vector<NormalisationPair> otherNormalisations(const std::vector<Difference>& differences)
{
    std::unordered_map<std::string, const std::string*> unnormalised[2];
    for (const Difference& difference : differences) {
        if (difference.kind != Difference::Kind::Changed && !unnormalisedCharacters(difference.relName).empty())
            unnormalised[difference.kind == Difference::Kind::New].emplace(toNfc(difference.relName), &difference.relName);
    }
    std::vector<NormalisationPair> pairs;
    if (unnormalised[0].empty() && unnormalised[1].empty())
        return pairs;
    for (const Difference& difference : differences) {
        if (difference.kind == Difference::Kind::Changed)
            continue;
        const bool added = difference.kind == Difference::Kind::New;
        // A pair of two names not in NFC is found from its missing name alone.
        if (added && !unnormalisedCharacters(difference.relName).empty())
            continue;
        const auto other = unnormalised[!added].find(toNfc(difference.relName));
        if (other == unnormalised[!added].end())
            continue;
        pairs.push_back(added ? NormalisationPair{*other->second, difference.relName}
                              : NormalisationPair{difference.relName, *other->second});
    }
    return pairs;
}

} // namespace

VerifySink::VerifySink(RowReader& report, std::string strRoot, const ExcludeFilter& excludes,
                       ProgressMeter& progress, VerifyOutcome& outcome)
    : report_(report)
    , strRoot_(std::move(strRoot))
    , excludes_(excludes)
    , progress_(progress)
    , outcome_(outcome)
    , mostRows_(report.mostRows().value_or(~std::uint64_t{0}))
{
    if (report_.digests() == DigestKind::Sha256)
        treeSha256_.emplace();
}

const ReportRow* VerifySink::currentRow()
{
    while (!rowLoaded_ && !rowsEnded_) {
        rowsEnded_ = !report_.next(row_);
        if (rowsEnded_)
            break;
        reportListing_.add(row_);
        ++rowsRead_;
        rowLoaded_ = !excludes_.excludesPath(row_.relName);
    }
    return rowLoaded_ ? &row_ : nullptr;
}

void VerifySink::advance()
{
    rowLoaded_ = false;
}

void VerifySink::passRowsBefore(std::string_view relative)
{
    for (const ReportRow* row = currentRow(); row != nullptr && walkOrderLess(row->relName, relative);
         row = currentRow()) {
        outcome_.differences.push_back({Difference::Kind::Missing, row->relName});
        advance();
    }
}

// The rows of a folder the walk did not enter cannot be checked, which is not the same as missing.
void VerifySink::passRowsInside(std::string_view folder)
{
    const std::string inside = std::string(folder) + '/';
    const std::string insideExample = inside + 'x';
    for (const ReportRow* row = currentRow(); row != nullptr; row = currentRow()) {
        if (!row->relName.starts_with(inside)) {
            if (!walkOrderLess(row->relName, insideExample))
                break;
            outcome_.differences.push_back({Difference::Kind::Missing, row->relName});
        }
        advance();
    }
}

void VerifySink::compare(const Entry& entry, std::string_view relative)
{
    const ReportRow* row = currentRow();
    if (row == nullptr || row->relName != relative) {
        newFiles_.push_back({std::string(relative), listingIn(entry, rowsRead_, mostRows_)});
        return;
    }
    ++outcome_.rowsChecked;
    outcome_.sizesCompared = row->sizeKnown;
    treeMd5_.add(relative, DigestKind::Md5, entry.facts);
    if (treeSha256_)
        treeSha256_->add(relative, DigestKind::Sha256, entry.facts);
    const bool sameDigest = row->digest == DigestKind::Md5 ? row->facts.md5 == entry.facts.md5
                                                            : row->facts.sha256 == entry.facts.sha256;
    if ((row->sizeKnown && row->facts.size != entry.facts.size) || !sameDigest)
        outcome_.differences.push_back({Difference::Kind::Changed, row->relName});
    advance();
}

void VerifySink::accept(const Entry& entry)
{
    const std::string relative(relName(entry.path, strRoot_));
    switch (entry.kind) {
    case Entry::Kind::UnlistableFolder:
        outcome_.unreadable.push_back({SkippedEntry::Kind::Folder, entry.path, entry.reason});
        passRowsInside(relative);
        break;
    case Entry::Kind::OtherFileSystem:
        outcome_.otherFileSystems.push_back(entry.path);
        passRowsInside(relative);
        break;
    case Entry::Kind::Hashed:
        passRowsBefore(relative);
        compare(entry, relative);
        ++totals_.files;
        totals_.bytes += entry.facts.size;
        progress_.addFile();
        break;
    case Entry::Kind::Unreadable:
        outcome_.unreadable.push_back({SkippedEntry::Kind::File, entry.path, entry.reason});
        passRowsBefore(relative);
        if (const ReportRow* row = currentRow(); row != nullptr && row->relName == relative)
            advance();
        break;
    case Entry::Kind::File:
    case Entry::Kind::Cancelled:
        break;
    }
    progress_.tick();
}

void VerifySink::finish()
{
    for (const ReportRow* row = currentRow(); row != nullptr; row = currentRow()) {
        outcome_.differences.push_back({Difference::Kind::Missing, row->relName});
        advance();
    }
    // The run's other outputs list the report's names with digests that the tree has. Digests
    // of a kind not computed here cannot be compared; such a file is named apart.
    const ListingFingerprint::Value reportListing = reportListing_.finish();
    const ListingFingerprint::Value treeMd5 = treeMd5_.finish();
    const std::optional<ListingFingerprint::Value> treeSha256 =
        treeSha256_ ? std::optional(treeSha256_->finish()) : std::nullopt;
    for (NewFile& file : newFiles_) {
        const bool sameNames = file.listing && file.listing->names == reportListing.names;
        const std::optional<ListingFingerprint::Value>& tree =
            file.listing && file.listing->kind == DigestKind::Sha256 ? treeSha256 : std::optional(treeMd5);
        if (sameNames && tree && file.listing->digests == tree->digests)
            outcome_.sameListings.push_back(std::move(file.relName));
        else if (sameNames && !tree)
            outcome_.sameNames.push_back(std::move(file.relName));
        else
            outcome_.differences.push_back({Difference::Kind::New, std::move(file.relName)});
    }
    outcome_.otherNormalisations = otherNormalisations(outcome_.differences);
    outcome_.digestsCompared = report_.digests();
    newFiles_.clear();
    progress_.finish(totals_);
}

} // namespace listgen
