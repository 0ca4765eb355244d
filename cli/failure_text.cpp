#include "cli/failure_text.h"

#include "listgen/common/display_text.h"

namespace vaskerel {

namespace {

const char* runErrorText(listgen::RunError error)
{
    using listgen::RunError;
    switch (error) {
    case RunError::NotARegularFile: return "not a regular file";
    case RunError::ForeignLinkInSharedFolder:
        return "a symbolic link that another user owns in a shared folder, which is not followed";
    case RunError::OpenFileOfAnotherProcess: return "a link in /proc that is none of this process's open files";
    case RunError::SameFileTwice: return "two of the outputs (report and manifests) would be the same file";
    case RunError::ReportReadOnly: return "the report is read-only";
    case RunError::ForeignFileInSharedFolder:
        return "a file that another user owns in a shared folder, which is not replaced";
    case RunError::ForeignLinkToOthersFile:
        return "a symbolic link that another user owns, to a file that user could not replace, which is not followed";
    case RunError::ChangedWhileRead: return "changed while it was read";
    case RunError::BrokenLink: return "broken symbolic link";
    case RunError::LinkLoop: return "symbolic link loop";
    case RunError::MovedWhileListed: return "moved while it was listed";
    case RunError::ForeignLinkToUnreadable: return "link owned by another user to a file they cannot read";
    case RunError::TakesDataAway: return "reading it would take its data from the system, so it is never opened";
    case RunError::MemoryImage: return "a view of memory, not a file";
    case RunError::KernelLink: return "a link the kernel keeps to an open or mapped file, not a file of the tree";
    case RunError::LongerThanItsSize: return "it gives more than its stated size (or 64 MiB), as a view of memory does";
    case RunError::NoDigestImplementation: return "OpenSSL has no implementation of it";
    case RunError::Unexpected: return "an unexpected failure";
    }
    return "an unknown failure";
}

const char* actionText(listgen::RunAction action)
{
    using listgen::RunAction;
    switch (action) {
    case RunAction::ListFolder: return "list folder";
    case RunAction::ReadListing: return "read";
    case RunAction::WriteOutput: return "write";
    case RunAction::SyncOutputFolder: return "sync the folder of";
    case RunAction::SetUpRing: return "set up";
    case RunAction::ReadThroughRing: return "read through";
    case RunAction::WaitForRing: return "wait for";
    case RunAction::SetUpDigest: return "set up";
    case RunAction::Run: return "run";
    }
    return "work on";
}

const char* hintText(listgen::FailureHint hint)
{
    switch (hint) {
    case listgen::FailureHint::None: return nullptr;
    case listgen::FailureHint::OutputFolderMustBeWritable:
        return "the report is written as a new file beside the old one and then put in its place, so its folder "
               "must be writable";
    case listgen::FailureHint::InPlaceButNotSynced: return "the new report is in place, but may not survive a crash";
    case listgen::FailureHint::PartlyInPlace: return "these new outputs could not be taken back and are in place:";
    }
    return nullptr;
}

const char* problemText(listgen::ListingProblem problem)
{
    using listgen::ListingProblem;
    switch (problem) {
    case ListingProblem::Empty: return "is empty";
    case ListingProblem::NulByte:
        return "holds a NUL byte: manifests whose lines end in NUL (md5sum -z) are not read; make it without -z";
    case ListingProblem::CarriageReturnInLine: return "a carriage return inside a line";
    case ListingProblem::LineTooLong: return "a line longer than any report row";
    case ListingProblem::LastLineUnended: return "the last line has no line end";
    case ListingProblem::NoTitleLine: return "the first line is not the title line of a report";
    case ListingProblem::BadTableStart: return "the stylesheet link or the table header is malformed";
    case ListingProblem::EndsBeforeTable: return "the file ends before the table does";
    case ListingProblem::NoFooter: return "the footer line is missing after the table";
    case ListingProblem::TextAfterEnd: return "text after the end of the document";
    case ListingProblem::BadRow: return "a table row that vaskerel would not write";
    case ListingProblem::RowPathNoFolderCanHold:
        return "a row whose path no folder can hold (it is absolute, or has an empty, \".\" or \"..\" part)";
    case ListingProblem::RowOutOfOrder: return "a row that comes before the one above it in the order of a walk";
    case ListingProblem::BadManifestLine: return "a line that md5sum -c or sha256sum -c would not read as a checksum";
    case ListingProblem::OtherDigestKind: return "a digest of a kind it cannot tell; only MD5 and SHA-256 are read";
    case ListingProblem::MixedDigests: return "it mixes MD5 and SHA-256 digests";
    case ListingProblem::PathNoFolderCanHold:
        return "a path no folder can hold (it is absolute, or has an empty, \".\" or \"..\" part)";
    case ListingProblem::NoChecksumLine: return "it holds no checksum line";
    case ListingProblem::ListedTwice: return "a path listed twice";
    case ListingProblem::MoreRowsThanWanted: return "more rows than the listing it is compared with";
    }
    return "it cannot be read";
}

} // namespace

std::string reasonText(const std::error_code& reason)
{
    if (reason.category() == listgen::runErrorCategory())
        return runErrorText(static_cast<listgen::RunError>(reason.value()));
    return reason.message();
}

std::string failureText(const listgen::RunFailure& failure)
{
    if (failure.code == listgen::RunError::Unexpected)
        return failure.detail;
    std::string text = std::string("cannot ") + actionText(failure.action);
    if (!failure.path.empty())
        text += ' ' + listgen::displayText(failure.path);
    text += ": " + reasonText(failure.code);
    if (const char* hint = hintText(failure.hint))
        text.append("; ").append(hint);
    for (const std::string& path : failure.inPlace)
        text += ' ' + listgen::displayText(path);
    return text;
}

std::string listingText(const listgen::ListingFailure& failure)
{
    using listgen::ListingProblem;
    std::string text = listgen::displayText(failure.path);
    if (failure.problem == ListingProblem::Empty || failure.problem == ListingProblem::NulByte) {
        text.append(" ").append(problemText(failure.problem));
    } else {
        text += failure.kind == listgen::ListingKind::Report ? " is not a report written by vaskerel: "
                                                              : " is not an md5sum or sha256sum manifest: ";
        text += problemText(failure.problem);
    }
    if (failure.line > 0)
        text += " (line " + std::to_string(failure.line) + ")";
    return text;
}

} // namespace vaskerel
