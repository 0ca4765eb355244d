#include "cli/failure_text.h"

#include <gtest/gtest.h>

#include <set>

using listgen::RunError;

TEST(FailureText, EveryCauseOfTheToolHasItsOwnWords)
{
    std::set<std::string> seen;
    for (int value = static_cast<int>(RunError::NotARegularFile); value <= static_cast<int>(RunError::Unexpected); ++value) {
        const std::string text = vaskerel::reasonText(static_cast<RunError>(value));
        EXPECT_NE(text, "an unknown failure") << value;
        EXPECT_TRUE(seen.insert(text).second) << "said twice: " << text;
    }
    EXPECT_EQ(vaskerel::reasonText(std::make_error_code(std::errc::permission_denied)), "Permission denied");
}

TEST(FailureText, NamesActionPathReasonAndWhatTheToolDoes)
{
    listgen::RunFailure failure{listgen::RunAction::WriteOutput, "/r/a\x1b.htm",
                                std::make_error_code(std::errc::permission_denied),
                                listgen::FailureHint::OutputFolderMustBeWritable, {}, {}};
    EXPECT_EQ(vaskerel::failureText(failure),
              "cannot write /r/a\\x1B.htm: Permission denied; the report is written as a new file beside the old one "
              "and then put in its place, so its folder must be writable");
    failure = {listgen::RunAction::SyncOutputFolder, "/r/a.htm", std::make_error_code(std::errc::io_error),
               listgen::FailureHint::InPlaceButNotSynced, {}, {}};
    EXPECT_EQ(vaskerel::failureText(failure), "cannot sync the folder of /r/a.htm: Input/output error; the new report "
                                              "is in place, but may not survive a crash");
    failure = {listgen::RunAction::WriteOutput, "/r/a.htm", std::make_error_code(std::errc::device_or_resource_busy),
               listgen::FailureHint::PartlyInPlace, {}, {"/r/a.md5"}};
    EXPECT_EQ(vaskerel::failureText(failure), "cannot write /r/a.htm: Device or resource busy; these new outputs could "
                                              "not be taken back and are in place: /r/a.md5");
    failure = {listgen::RunAction::Run, "/r/a.htm", RunError::Unexpected, listgen::FailureHint::None, "no MD5 here", {}};
    EXPECT_EQ(vaskerel::failureText(failure), "no MD5 here");
}

TEST(FailureText, ListingFailuresSayWhatTheFileWasTakenForAndWhere)
{
    using listgen::ListingKind;
    using listgen::ListingProblem;
    EXPECT_EQ(vaskerel::listingText({"r.htm", ListingKind::Report, ListingProblem::BadRow, 3}),
              "r.htm is not a report written by vaskerel: a table row that vaskerel would not write (line 3)");
    EXPECT_EQ(vaskerel::listingText({"S.md5", ListingKind::Manifest, ListingProblem::ListedTwice, 2}),
              "S.md5 is not an md5sum or sha256sum manifest: a path listed twice (line 2)");
    EXPECT_EQ(vaskerel::listingText({"e\n", ListingKind::Report, ListingProblem::Empty, 0}), "e\\x0A is empty");
}
