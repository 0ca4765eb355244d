#include "listgen/common/system_error.h"

#include "listgen/common/display_text.h"

namespace listgen {

namespace {

class RunErrorCategory : public std::error_category {
public:
    const char* name() const noexcept override { return "vaskerel"; }
    std::string message(int value) const override
    {
        switch (static_cast<RunError>(value)) {
        case RunError::NotARegularFile: return "not a regular file";
        case RunError::ForeignLinkInSharedFolder:
            return "a symbolic link that another user owns in a shared folder, which is not followed";
        case RunError::ForeignFileInSharedFolder:
            return "a file that another user owns in a shared folder, which is not replaced";
        case RunError::SameFileTwice: return "two of the outputs (report and manifests) would be the same file";
        case RunError::OpenFileOfAnotherProcess: return "a link in /proc that is none of this process's open files";
        case RunError::ReportReadOnly: return "the report is read-only";
        }
        return "unknown error";
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

SystemError::SystemError(const std::string& action, const std::string& path, int errorNumber)
    : SystemError(action, path, std::error_code(errorNumber, std::generic_category()))
{
}

SystemError::SystemError(const std::string& action, const std::string& path, std::error_code code)
    : std::system_error(code)
    , action_(action)
    , path_(path)
    , message_("cannot " + action + " " + displayText(path) + ": " + code.message())
{
}

SystemError::SystemError(const std::string& action, const std::string& path, std::error_code code,
                         const std::string& explanation)
    : SystemError(action, path, code)
{
    message_ += "; " + explanation;
}

std::string reasonText(int errorNumber)
{
    return std::generic_category().message(errorNumber);
}

} // namespace listgen
