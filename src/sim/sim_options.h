// The command line of nord5-meter-sim.
#pragma once

#include <string>
#include <vector>

#include "sim/virtual_bus.h"
#include "sim/virtual_meter.h"

namespace nord5::sim {

struct SimProgramOptions {
  MeterOptions meter;
  std::vector<BusMeter> meters;  // --meters: several meters on one line (empty: one meter)
  std::string link;   // --link PATH: an extra symbolic link to the pseudo-terminal
  bool trace = false;  // --trace: every telegram in and out on stderr
  bool help = false;
};

// Parses the arguments after the program name. An --image file is read here (and gives the
// firmware version unless --firmware is given). False with a message in `error` for an unknown
// option, a missing or bad value, or an unreadable image.
bool ParseSimArguments(const std::vector<std::string>& args, SimProgramOptions& out,
                       std::string& error);

std::string SimUsage();

}  // namespace nord5::sim
