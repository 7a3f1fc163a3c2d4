// Virtual ports: a running virtual meter publishes its pseudo-terminal as a symbolic link in a
// per-user folder; the port list adds every link found there (by its full path) to the serial
// ports, so the configurator can open a virtual meter like a real port.
#pragma once

#include <string>

namespace nord5 {

// The folder of published virtual ports, always ending with '/':
//   $XDG_RUNTIME_DIR/nord5-ports/            when XDG_RUNTIME_DIR is set and not empty,
//   ${TMPDIR:-/tmp}/nord5-ports-<uid>/        otherwise.
// The folder is not created here; a publisher creates it (mode 0700) before adding its link.
std::string VirtualPortsFolder();

}  // namespace nord5
