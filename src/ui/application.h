// Start-up and shut-down of the desktop program.
#pragma once

namespace nord5::ui {

// Runs nord5-config; returns the process exit status (0 also for a second instance that only
// brought the first one to the front).
int RunApplication(int argc, char** argv);

// The program's font, Tahoma 8 pt (DejaVu Sans Condensed where Tahoma is missing), for every
// window; the application object must exist.
void ApplyProgramFont();

}  // namespace nord5::ui
