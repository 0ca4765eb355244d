#pragma once

#include "child_process.h"

#include <functional>
#include <string>
#include <vector>

namespace testing_support {

// Runs vaskerel with `arguments`; for a run as nobody, a copy of it put in `folder`.
ChildResult runVaskerel(std::vector<std::string> arguments, const ChildLimits& limits = {},
                        const std::string& folder = {});

// Runs vaskerel with `arguments` after `prepare` has run in the child (to change the
// environment or a standard stream); standard output and error are captured as usual.
ChildResult runVaskerelAfter(const std::function<void()>& prepare, std::vector<std::string> arguments);

// Preparations for it: standard output on a full disk, or on a pipe whose reader is gone.
void standardOutputOnAFullDisk();
void standardOutputOnAClosedPipe();

// Runs vaskerel with its standard error on a terminal of type `term` (nullptr: TERM unset)
// and returns every byte it wrote there, with the exit code in `exitCode`.
std::string standardErrorOnTerminal(const std::vector<std::string>& arguments, const char* term, int& exitCode);

} // namespace testing_support
