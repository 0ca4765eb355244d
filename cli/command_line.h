#pragma once

#include "listgen/generate_list.h"
#include "listgen/verify_tree.h"

#include <string>
#include <vector>

namespace vaskerel {

// What the process was asked to do by its arguments.
struct CommandLine {
    // OpenFolder: the window, with the one argument as its input folder (request.inputDir).
    enum class Action { OpenWindow, OpenFolder, Generate, Verify, WriteStylesheet, Help, Version, UsageError };
    Action action = Action::OpenWindow;
    listgen::ListRequest request;
    // With --verify, the report to check; the input folder, excludes and jobs are shared.
    std::string verifyReport;
    // With --write-stylesheet, where the reports' stylesheet goes.
    std::string stylesheetFile;
    bool quiet = false;
    // --status: a verify that prints nothing but its failures; the exit status tells the rest.
    bool statusOnly = false;
    std::string error;

    static CommandLine parse(const std::vector<std::string>& arguments);
    listgen::VerifyRequest verifyRequest() const;
};

// The whole help text.
std::string usageText();
// Its first lines, the ways of calling vaskerel.
std::string usageSynopsis();
// The line after a usage error.
inline constexpr const char* kTryHelp = "Try 'vaskerel --help' for more information.\n";

// Every option the parser knows, short and long, sorted.
std::vector<std::string> optionNames();

} // namespace vaskerel
