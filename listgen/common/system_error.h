#pragma once

#include <string>
#include <system_error>

namespace listgen {

// Failures that have no errno of their own.
enum class RunError {
    NotARegularFile = 1,
    ForeignLinkInSharedFolder,
    ForeignFileInSharedFolder,
    OpenFileOfAnotherProcess,
    SameFileTwice,
    ReportReadOnly,
};

const std::error_category& runErrorCategory() noexcept;
std::error_code make_error_code(RunError error) noexcept;

// A failure of the whole run, worded as "cannot <action> <path>: <reason>", that keeps its code.
class SystemError : public std::system_error {
public:
    SystemError(const std::string& action, const std::string& path, int errorNumber);
    SystemError(const std::string& action, const std::string& path, std::error_code code);
    // With a sentence that explains the reason in the tool's own terms.
    SystemError(const std::string& action, const std::string& path, std::error_code code,
                const std::string& explanation);

    std::string reason() const { return code().message(); }
    const char* what() const noexcept override { return message_.c_str(); }
    const std::string& action() const noexcept { return action_; }
    const std::string& path() const noexcept { return path_; }

private:
    std::string action_;
    std::string path_;
    std::string message_;
};

// The system's wording for an errno value, such as "Permission denied".
std::string reasonText(int errorNumber);

} // namespace listgen

template <>
struct std::is_error_code_enum<listgen::RunError> : std::true_type {};
