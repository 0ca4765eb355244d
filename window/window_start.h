#pragma once

namespace vaskerel {

// Opens the window where this session can show one and runs it until it is closed; elsewhere
// prints why, with the usage, and returns the exit status of wrong usage.
int startWindow(int& argc, char** argv);

} // namespace vaskerel
