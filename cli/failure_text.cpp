#include "cli/failure_text.h"

#include "cli/localized.h"

namespace vaskerel {

namespace {

const char* runErrorText(listgen::RunError error)
{
    using listgen::RunError;
    switch (error) {
    case RunError::NotARegularFile: return tr("not a regular file");
    case RunError::ForeignLinkInSharedFolder:
        return tr("a symbolic link that another user owns in a shared folder, which is not followed");
    case RunError::OpenFileOfAnotherProcess: return tr("a link in /proc that is none of this process's open files");
    case RunError::SameFileTwice: return tr("two of the outputs (report and manifests) would be the same file");
    case RunError::ReportReadOnly: return tr("the report is read-only");
    case RunError::ForeignFileInSharedFolder:
        return tr("a file that another user owns in a shared folder, which is not replaced");
    case RunError::ForeignLinkToOthersFile:
        return tr("a symbolic link that another user owns, to a file that user could not replace, which is not followed");
    case RunError::ChangedWhileRead: return tr("changed while it was read");
    case RunError::BrokenLink: return tr("broken symbolic link");
    case RunError::LinkLoop: return tr("symbolic link loop");
    case RunError::MovedWhileListed: return tr("moved while it was listed");
    case RunError::OutsideFolder: return tr("refused: the name leads out of the folder (it is absolute or has a \"..\" part)");
    case RunError::ForeignLinkToUnreadable: return tr("link owned by another user to a file they cannot read");
    case RunError::TakesDataAway: return tr("reading it would take its data from the system, so it is never opened");
    case RunError::MemoryImage: return tr("a view of memory, not a file");
    case RunError::KernelLink: return tr("a link the kernel keeps to an open or mapped file, not a file of the tree");
    case RunError::LongerThanItsSize: return tr("it gives more than its stated size (or 64 MiB), as a view of memory does");
    case RunError::NoDigestImplementation: return tr("OpenSSL has no implementation of it");
    case RunError::Unexpected: return tr("an unexpected failure");
    }
    return tr("an unknown failure");
}

const char* actionText(listgen::RunAction action)
{
    using listgen::RunAction;
    switch (action) {
    case RunAction::ListFolder: return tr("cannot list folder %s");
    case RunAction::ReadListing: return tr("cannot read %s");
    case RunAction::WriteOutput: return tr("cannot write %s");
    case RunAction::SyncOutputFolder: return tr("cannot sync the folder of %s");
    case RunAction::SetUpRing: return tr("cannot set up %s");
    case RunAction::ReadThroughRing: return tr("cannot read through %s");
    case RunAction::WaitForRing: return tr("cannot wait for %s");
    case RunAction::SetUpDigest: return tr("cannot set up %s");
    case RunAction::Run: return tr("cannot run on %s");
    }
    return tr("cannot work on %s");
}

const char* hintText(listgen::FailureHint hint)
{
    switch (hint) {
    case listgen::FailureHint::None: return nullptr;
    case listgen::FailureHint::OutputFolderMustBeWritable:
        return tr("the report is written as a new file beside the old one and then put in its place, so its folder "
               "must be writable");
    case listgen::FailureHint::InPlaceButNotSynced: return tr("the new report is in place, but may not survive a crash");
    case listgen::FailureHint::PartlyInPlace: return tr("these new outputs could not be taken back and are in place:");
    }
    return nullptr;
}

const char* problemText(listgen::ListingProblem problem)
{
    using listgen::ListingProblem;
    switch (problem) {
    case ListingProblem::Empty: return tr("is empty");
    case ListingProblem::NulByte:
        return tr("holds a NUL byte: manifests whose lines end in NUL (md5sum -z) are not read; make it without -z");
    case ListingProblem::CarriageReturnInLine: return tr("a carriage return inside a line");
    case ListingProblem::LineTooLong: return tr("a line longer than any report row");
    case ListingProblem::LastLineUnended: return tr("the last line has no line end");
    case ListingProblem::NoTitleLine: return tr("the first line is not the title line of a report");
    case ListingProblem::BadTableStart: return tr("the stylesheet link or the table header is malformed");
    case ListingProblem::EndsBeforeTable: return tr("the file ends before the table does");
    case ListingProblem::NoFooter: return tr("the footer line is missing after the table");
    case ListingProblem::TextAfterEnd: return tr("text after the end of the document");
    case ListingProblem::BadRow: return tr("a table row that vaskerel would not write");
    case ListingProblem::RowPathNoFolderCanHold:
        return tr("a row whose path no folder can hold (it is absolute, or has an empty, \".\" or \"..\" part)");
    case ListingProblem::RowOutOfOrder: return tr("a row that comes before the one above it in the order of a walk");
    case ListingProblem::BadManifestLine: return tr("a line that md5sum -c or sha256sum -c would not read as a checksum");
    case ListingProblem::OtherDigestKind: return tr("a digest of a kind it cannot tell; only MD5 and SHA-256 are read");
    case ListingProblem::MixedDigests: return tr("it mixes MD5 and SHA-256 digests");
    case ListingProblem::PathNoFolderCanHold:
        return tr("a path no folder can hold (it is absolute, or has an empty, \".\" or \"..\" part)");
    case ListingProblem::NoChecksumLine: return tr("it holds no checksum line");
    case ListingProblem::ListedTwice: return tr("a path listed twice");
    case ListingProblem::MoreRowsThanWanted: return tr("more rows than the listing it is compared with");
    }
    return tr("it cannot be read");
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
    // A run that fails before it reaches any file (memory, threads) has no name to give.
    std::string text = failure.path.empty() && failure.action == listgen::RunAction::Run
                           ? std::string(tr("cannot run"))
                           : withValue(actionText(failure.action), shown(failure.path));
    text += ": " + reasonText(failure.code);
    if (const char* hint = hintText(failure.hint))
        text.append("; ").append(hint);
    for (const std::string& path : failure.inPlace)
        text += ' ' + shown(path);
    return text;
}

std::string listingText(const listgen::ListingFailure& failure)
{
    using listgen::ListingProblem;
    std::string text = shown(failure.path);
    if (failure.problem == ListingProblem::Empty || failure.problem == ListingProblem::NulByte) {
        text.append(" ").append(problemText(failure.problem));
    } else {
        text += failure.kind == listgen::ListingKind::Report ? tr(" is not a report written by vaskerel: ")
                                                              : tr(" is not an md5sum or sha256sum manifest: ");
        text += problemText(failure.problem);
    }
    if (failure.line > 0)
        text += withValue(tr(" (line %s)"), std::to_string(failure.line));
    return text;
}

} // namespace vaskerel
