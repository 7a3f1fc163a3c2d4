// Small descriptor queries for the driver's wake-up mode.
#pragma once

namespace nord5 {

// True when `fd` reports a hang-up or an error (the device went away, the other end of a
// pseudo-terminal closed): it would stay readable for ever without delivering data.
bool FdHungUp(int fd);

}  // namespace nord5
