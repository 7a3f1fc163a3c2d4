// nord5-cli ports: the serial ports the configurator would list, one name a line.
#include <cstdio>
#include <string>
#include <vector>

#include "cli/cli_host.h"
#include "transport/port_list.h"

namespace nord5::cli {
namespace {

int Ports(const std::vector<std::string>& args) {
  Options opts(args);
  if (!NoOptionsLeft(opts) || !opts.Positional().empty()) {
    std::fprintf(stderr, "usage: nord5-cli ports\n");
    return kExitUsage;
  }
  TPortList list;
  for (const auto& name : list.Names()) std::printf("%s\n", name.c_str());
  return kExitOk;
}

}  // namespace
}  // namespace nord5::cli

NORD5_CLI_COMMAND(
    "ports", "  list the serial ports; COMMON is [--port PATH] [--address N | --id HEX8] [--trace]",
    nord5::cli::Ports);
