#pragma once

#include <stdexcept>
#include <string>

namespace listgen {

// A failure of the whole run, worded as "cannot <action> <path>: <reason>".
class SystemError : public std::runtime_error {
public:
    SystemError(const std::string& action, const std::string& path, int errorNumber);
    SystemError(const std::string& action, const std::string& path, const std::string& reason);

    const std::string& path() const noexcept { return path_; }
    const std::string& reason() const noexcept { return reason_; }

private:
    std::string path_;
    std::string reason_;
};

// The system's wording for an errno value, such as "Permission denied".
std::string reasonText(int errorNumber);

} // namespace listgen
