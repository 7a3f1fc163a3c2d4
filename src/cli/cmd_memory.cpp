// nord5-cli credits, test-mode, read-memory, write-memory: service variables and raw memory.
#include <cstdio>
#include <string>
#include <vector>

#include "cli/cli_host.h"

namespace nord5::cli {
namespace {

int Credits(const std::vector<std::string>& args) {
  Options opts(args);
  CommonOptions common;
  if (!ParseCommandLine(opts, common, 0, "credits")) return kExitUsage;
  CliSession session(common);
  const int status = session.Run([](TProtocolEngine& e) { e.ReadCredits(); });
  if (status == kExitOk) {
    std::printf("Optical credits: %s\n", session.host.optical_credits.c_str());
    std::printf("M-Bus credits: %s\n", session.host.mbus_credits.c_str());
  }
  return status;
}

int TestMode(const std::vector<std::string>& args) {
  Options opts(args);
  CommonOptions common;
  if (!ParseCommandLine(opts, common, 0, "test-mode")) return kExitUsage;
  CliSession session(common);
  const int status = session.Run([](TProtocolEngine& e) { e.TestModeOnOff(); });
  if (status == kExitOk) std::printf("Mode: %02X\n", session.Engine().State().DeviceJumper & 0xFF);
  return status;
}

// ADDR [VALUE] [--bytes N] [--hex]: the "Memory menagment" boxes. --hex reads both numbers as
// hexadecimal; a number written 0x... is hexadecimal on its own.
bool MemoryInputs(Options& opts, CommonOptions& common, bool write, EngineInputs& in) {
  std::string bytes = "1";
  opts.Value("bytes", bytes);
  const bool hex = opts.Flag("hex");
  const char* usage = write ? "write-memory ADDR VALUE [--bytes N] [--hex]"
                            : "read-memory ADDR [--bytes N] [--hex]";
  if (!ParseCommandLine(opts, common, write ? 2 : 1, usage)) return false;
  const auto n = ParseDec32(bytes);
  // Each number may also be written with the usual 0x prefix: that one is hexadecimal.
  auto number = [hex](const std::string& text, std::string& out, bool& is_hex) {
    const bool prefixed = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    out = prefixed ? text.substr(2) : text;
    is_hex = hex || prefixed;
  };
  number(opts.Positional()[0], in.MemAddrText, in.MemAddrHex);
  in.MemDataHex = hex;
  if (write) number(opts.Positional()[1], in.MemValueText, in.MemDataHex);
  // A count outside 1 to 4 is refused by the operation with "Check parameters".
  in.MemBytes = n && *n <= 4 ? static_cast<int>(*n) : 0;
  return true;
}

int ReadMemory(const std::vector<std::string>& args) {
  Options opts(args);
  CommonOptions common;
  EngineInputs in;
  if (!MemoryInputs(opts, common, false, in)) return kExitUsage;
  CliSession session(common);
  in.Mode = session.host.inputs.Mode;
  in.AddressText = session.host.inputs.AddressText;
  session.host.inputs = in;
  const int status = session.Run([](TProtocolEngine& e) { e.ReadMemory(); });
  if (status == kExitOk) std::printf("%s\n", session.host.memory_value.c_str());
  return status;
}

int WriteMemory(const std::vector<std::string>& args) {
  Options opts(args);
  CommonOptions common;
  EngineInputs in;
  if (!MemoryInputs(opts, common, true, in)) return kExitUsage;
  CliSession session(common);
  in.Mode = session.host.inputs.Mode;
  in.AddressText = session.host.inputs.AddressText;
  session.host.inputs = in;
  return session.Run([](TProtocolEngine& e) { e.WriteMemory(); });
}

}  // namespace
}  // namespace nord5::cli

NORD5_CLI_COMMAND("credits", "[COMMON]  read the optical and M-Bus credit counters",
                  nord5::cli::Credits);
NORD5_CLI_COMMAND("test-mode", "[COMMON]  switch the test mode without changes",
                  nord5::cli::TestMode);
NORD5_CLI_COMMAND("read-memory",
                  "ADDR [--bytes N] [--hex] [COMMON]  read 1 to 4 bytes of memory (0x... is hex)",
                  nord5::cli::ReadMemory);
NORD5_CLI_COMMAND("write-memory",
                  "ADDR VALUE [--bytes N] [--hex] [COMMON]  write 1 to 4 bytes of memory",
                  nord5::cli::WriteMemory);
