#pragma once

#include <atomic>

namespace vaskerel {

// SIGINT, SIGTERM, SIGHUP and SIGQUIT from now on set the returned flag instead of ending the process, so a
// run can stop cleanly and leave no partial file behind.
const std::atomic<bool>& installStopHandlers();

// The signal that set the flag, for the exit status 128 + signal.
int stopSignal();

} // namespace vaskerel
