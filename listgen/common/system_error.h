#pragma once

#include <exception>
#include <string>
#include <system_error>
#include <vector>

namespace listgen {

// The tool's own causes of failure, beside the system's errno values; both travel as a
// std::error_code, and only the front ends turn them into words.
enum class RunError {
    NotARegularFile = 1,
    ForeignLinkInSharedFolder,
    OpenFileOfAnotherProcess,
    SameFileTwice,
    ReportReadOnly,
    ForeignFileInSharedFolder,
    // A link owned by another user, to a file that user could not replace.
    ForeignLinkToOthersFile,
    // Of one file or folder, with the run going on.
    ChangedWhileRead,
    BrokenLink,
    LinkLoop,
    MovedWhileListed,
    // A listed name that leads out of the folder it is relative to (absolute, or with "..").
    OutsideFolder,
    // A link owned by another user, to a file that user could not read.
    ForeignLinkToUnreadable,
    // Pseudo files: one whose reading takes data from others, a view of memory, a link the
    // kernel keeps, and one that gives more than its stated size or the bound for those
    // without one.
    TakesDataAway,
    MemoryImage,
    KernelLink,
    LongerThanItsSize,
    // OpenSSL offers no implementation of a digest.
    NoDigestImplementation,
    // A library refused (no memory, no algorithm); RunFailure::detail holds its words.
    Unexpected,
};

const std::error_category& runErrorCategory() noexcept;
std::error_code make_error_code(RunError error) noexcept;
// An errno value as a code.
std::error_code systemCode(int errorNumber) noexcept;
bool isSystemCode(const std::error_code& code) noexcept;

// What the run was doing when it failed as a whole.
enum class RunAction {
    ListFolder,
    ReadListing,
    WriteOutput,
    SyncOutputFolder,
    SetUpRing,
    ReadThroughRing,
    WaitForRing,
    // `path` names the algorithm.
    SetUpDigest,
    Run,
};

// What the front ends say beside the reason, where it explains what the tool does.
enum class FailureHint {
    None,
    // A new file is written beside the old one and then put in its place.
    OutputFolderMustBeWritable,
    // The rename happened; only the folder's sync failed.
    InPlaceButNotSynced,
    // A later output could not be put in place, and these earlier ones could not be taken
    // back: RunFailure::inPlace names them.
    PartlyInPlace,
};

// Why a whole run failed: the action, the path it acted on, and the reason.
struct RunFailure {
    RunAction action = RunAction::Run;
    std::string path;
    std::error_code code;
    FailureHint hint = FailureHint::None;
    // With RunError::Unexpected, the library's own words.
    std::string detail;
    // With PartlyInPlace, the outputs that are new.
    std::vector<std::string> inPlace;
};

// A failure of the whole run, thrown to where the run ends; it carries a RunFailure.
class SystemError : public std::exception {
public:
    SystemError(RunAction action, std::string path, std::error_code code, FailureHint hint = FailureHint::None);
    SystemError(RunAction action, std::string path, int errorNumber);
    explicit SystemError(RunFailure failure) : failure_(std::move(failure)) {}

    const RunFailure& failure() const noexcept { return failure_; }
    const std::error_code& code() const noexcept { return failure_.code; }
    // Words for logs only; the front ends describe failure() themselves.
    const char* what() const noexcept override { return "the run failed"; }

private:
    RunFailure failure_;
};

// Inside a catch block: what the run that threw comes to, its own failure, too little memory,
// or a library's words about `path`. Anything that is no std::exception goes on up.
RunFailure currentRunFailure(const std::string& path);

} // namespace listgen

template <>
struct std::is_error_code_enum<listgen::RunError> : std::true_type {};
