#pragma once

#include "listgen/generate_list.h"
#include "cli/check_run.h"
#include "listgen/verify_tree.h"

#include <string>
#include <vector>

namespace vaskerel {

// What the process was asked to do by its arguments.
struct CommandLine {
    // OpenFolder: the window, with the one argument as its input folder (request.inputDir).
    enum class Action { OpenWindow, OpenFolder, Generate, Verify, Check, WriteStylesheet, Help, Version, UsageError };
    Action action = Action::OpenWindow;
    listgen::ListRequest request;
    // With --verify or --check, the report or manifest to check against; the input folder,
    // excludes and jobs are shared.
    std::string verifyReport;
    // With --write-stylesheet, where the reports' stylesheet goes.
    std::string stylesheetFile;
    bool quiet = false;
    // --status: a verify that prints nothing but its failures; the exit status tells the rest.
    bool statusOnly = false;
    CheckOptions check;
    std::string error;

    // Reads the arguments as getopt_long does.
    static CommandLine parse(const std::vector<std::string>& arguments);
    listgen::VerifyRequest verifyRequest() const;
    listgen::CheckRequest checkRequest() const;
};

} // namespace vaskerel
