#include "listgen/system_error.h"

#include "listgen/display_text.h"

#include <system_error>

namespace listgen {

SystemError::SystemError(const std::string& action, const std::string& path, int errorNumber)
    : SystemError(action, path, reasonText(errorNumber))
{
}

SystemError::SystemError(const std::string& action, const std::string& path, const std::string& reason)
    : std::runtime_error("cannot " + action + " " + displayText(path) + ": " + reason)
    , path_(path)
    , reason_(reason)
{
}

std::string reasonText(int errorNumber)
{
    return std::generic_category().message(errorNumber);
}

} // namespace listgen
