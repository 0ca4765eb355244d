#pragma once

namespace vaskerel {

// Shows the window and runs until it is closed; returns the process's exit status.
int openWindow(int& argc, char** argv);

} // namespace vaskerel
