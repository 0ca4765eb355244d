#include "listgen/common/system_error.h"

#include <new>

namespace listgen {

namespace {

// Names, not sentences: the front ends say what each code means, in their own languages.
class RunErrorCategory : public std::error_category {
public:
    const char* name() const noexcept override { return "vaskerel"; }
    std::string message(int value) const override
    {
        switch (static_cast<RunError>(value)) {
        case RunError::NotARegularFile: return "NotARegularFile";
        case RunError::ForeignLinkInSharedFolder: return "ForeignLinkInSharedFolder";
        case RunError::OpenFileOfAnotherProcess: return "OpenFileOfAnotherProcess";
        case RunError::SameFileTwice: return "SameFileTwice";
        case RunError::ReportReadOnly: return "ReportReadOnly";
        case RunError::ForeignFileInSharedFolder: return "ForeignFileInSharedFolder";
        case RunError::ForeignLinkToOthersFile: return "ForeignLinkToOthersFile";
        case RunError::ChangedWhileRead: return "ChangedWhileRead";
        case RunError::BrokenLink: return "BrokenLink";
        case RunError::LinkLoop: return "LinkLoop";
        case RunError::MovedWhileListed: return "MovedWhileListed";
        case RunError::OutsideFolder: return "OutsideFolder";
        case RunError::ForeignLinkToUnreadable: return "ForeignLinkToUnreadable";
        case RunError::TakesDataAway: return "TakesDataAway";
        case RunError::MemoryImage: return "MemoryImage";
        case RunError::KernelLink: return "KernelLink";
        case RunError::LongerThanItsSize: return "LongerThanItsSize";
        case RunError::NoDigestImplementation: return "NoDigestImplementation";
        case RunError::Unexpected: return "Unexpected";
        }
        return "RunError " + std::to_string(value);
    }
};

} // namespace

const std::error_category& runErrorCategory() noexcept
{
    static const RunErrorCategory category;
    return category;
}

std::error_code make_error_code(RunError error) noexcept
{
    return {static_cast<int>(error), runErrorCategory()};
}

std::error_code systemCode(int errorNumber) noexcept
{
    return {errorNumber, std::generic_category()};
}

bool isSystemCode(const std::error_code& code) noexcept
{
    return code.category() == std::generic_category() || code.category() == std::system_category();
}

SystemError::SystemError(RunAction action, std::string path, std::error_code code, FailureHint hint)
    : failure_{action, std::move(path), code, hint, {}, {}}
{
}

SystemError::SystemError(RunAction action, std::string path, int errorNumber)
    : SystemError(action, std::move(path), systemCode(errorNumber))
{
}

RunFailure currentRunFailure(const std::string& path)
{
    try {
        throw;
    } catch (const SystemError& error) {
        return error.failure();
    } catch (const std::bad_alloc&) {
        return SystemError(RunAction::Run, {}, ENOMEM).failure();
    } catch (const std::exception& error) {
        return RunFailure{RunAction::Run, path, RunError::Unexpected, FailureHint::None, error.what(), {}};
    }
}

} // namespace listgen
