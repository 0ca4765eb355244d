#pragma once

#include "listgen/generate_list.h"

#include <string>
#include <vector>

namespace vaskerel {

// What the process was asked to do by its arguments.
struct CommandLine {
    enum class Action { OpenWindow, Generate, Help, Version, UsageError };
    Action action = Action::OpenWindow;
    listgen::ListRequest request;
    bool quiet = false;
    std::string error;

    static CommandLine parse(const std::vector<std::string>& arguments);
};

std::string usageText();

} // namespace vaskerel
