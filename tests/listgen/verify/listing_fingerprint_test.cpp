#include "listgen/verify/listing_fingerprint.h"

#include <gtest/gtest.h>

using listgen::ListingFingerprint;
using listgen::ReportRow;

namespace {

ReportRow row(std::string name, char digit, std::uint64_t size = 0, bool sizeKnown = true)
{
    ReportRow made;
    made.relName = std::move(name);
    made.facts.size = size;
    made.facts.md5.fill(digit);
    made.sizeKnown = sizeKnown;
    return made;
}

ListingFingerprint::Value of(const std::vector<ReportRow>& rows)
{
    ListingFingerprint listing;
    for (const ReportRow& each : rows)
        listing.add(each);
    return listing.finish();
}

} // namespace

TEST(ListingFingerprint, SameNamesAndDigestsAgreeAndAnyOtherListingDiffers)
{
    const auto reference = of({row("a", '1', 3), row("b/c", '2', 5)});
    // A manifest has no sizes.
    EXPECT_EQ(of({row("a", '1', 0, false), row("b/c", '2', 0, false)}), reference);
    EXPECT_NE(of({row("a", '1', 3)}), reference);
    EXPECT_NE(of({row("a", '1', 3), row("b/c", '3', 5)}), reference);
    EXPECT_NE(of({row("b/c", '2', 5), row("a", '1', 3)}), reference);
    // Names cannot run into each other.
    EXPECT_NE(of({row("ab", '1'), row("c", '1')}), of({row("a", '1'), row("bc", '1')}));
    EXPECT_NE(of({}), reference);
    // Names agree across digest kinds, digests only within one.
    ReportRow sha = row("a", '0');
    sha.digest = listgen::DigestKind::Sha256;
    sha.facts.sha256.fill('1');
    const auto fromMd5 = of({row("a", '1')});
    const auto fromSha256 = of({sha});
    EXPECT_EQ(fromSha256.names, fromMd5.names);
    EXPECT_NE(fromSha256, fromMd5);
    EXPECT_EQ(fromSha256.kind, listgen::DigestKind::Sha256);
}
