// Start-up and shut-down of the desktop program.
#pragma once

namespace nord5::ui {

// Runs nord5-config; returns the process exit status (0 also for a second instance that only
// brought the first one to the front).
int RunApplication(int argc, char** argv);

}  // namespace nord5::ui
