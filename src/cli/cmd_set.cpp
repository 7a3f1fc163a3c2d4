// nord5-cli set-address, set-id, set-time, set-pulse: the single items the meter takes directly.
#include <cstdio>
#include <string>
#include <vector>

#include "cli/cli_host.h"
#include "engine/texts.h"

namespace nord5::cli {
namespace {

// Input the operation would refuse without a word: said here, with the refusal status.
int Refused(const char* what, const std::string& text) {
  std::fprintf(stderr, "nord5-cli: %s \"%s\" is not valid\n", what, text.c_str());
  return kExitRefused;
}

int SetAddress(const std::vector<std::string>& args) {
  Options opts(args);
  CommonOptions common;
  if (!ParseCommandLine(opts, common, 1, "set-address N")) return kExitUsage;
  const std::string n = opts.Positional()[0];
  // The window's address field keeps to 0..250: 251 to 255 are the link layer's reserved,
  // selection and broadcast addresses, under which the meter could no longer be reached alone.
  const auto address = ParseDec32(n);
  if (!address || *address > 250) return Refused("primary address", n);
  CliSession session(common);
  // Rule 0 ("leave last M-Bus address") sends the image's address byte, which the operation sets
  // to the typed address first.
  session.host.inputs.MBusAddrType = 0;
  session.host.inputs.MBusAddrText = n;
  return session.Run([](TProtocolEngine& e) { e.SetPrimaryAddress(); });
}

int SetId(const std::vector<std::string>& args) {
  Options opts(args);
  CommonOptions common;
  if (!ParseCommandLine(opts, common, 1, "set-id DIGITS8")) return kExitUsage;
  const std::string id = opts.Positional()[0];
  // The identification is BCD: up to eight decimal digits, sent as the hexadecimal number they
  // spell (12345678 -> 78 56 34 12). A-F would give the meter an identification that selections
  // read as wildcards; the window's field takes digits only.
  if (id.empty() || id.size() > 8 || id.find_first_not_of("0123456789") != std::string::npos)
    return Refused("identification number", id);
  CliSession session(common);
  session.host.inputs.DeviceIdText = id;
  return session.Run([](TProtocolEngine& e) { e.SetIdentification(); });
}

int SetTime(const std::vector<std::string>& args) {
  Options opts(args);
  CommonOptions common;
  if (!ParseCommandLine(opts, common, 1, "set-time local|cet")) return kExitUsage;
  const std::string kind = opts.Positional()[0];
  if (kind != "local" && kind != "cet") {
    std::fprintf(stderr, "usage: nord5-cli set-time local|cet\n");
    return kExitUsage;
  }
  CliSession session(common);
  session.host.inputs.TimeCorrection = kind == "local" ? 1 : 2;
  // The time is followed by a read of the whole configuration.
  const int status = session.Run([](TProtocolEngine& e) { e.SetTime(); });
  if (status != kExitOk) return status;
  return ReadBackStatus(session, "the time was set");
}

int SetPulse(const std::vector<std::string>& args) {
  Options opts(args);
  CommonOptions common;
  std::string unit_text;
  const bool has_unit = opts.Value("unit", unit_text);
  const char* usage = "set-pulse 1|2 VALUE --unit INDEX";
  if (!ParseCommandLine(opts, common, 2, usage)) return kExitUsage;
  const std::string channel = opts.Positional()[0];
  const std::string value = opts.Positional()[1];
  const auto unit = ParseDec32(unit_text);
  if (!has_unit || (channel != "1" && channel != "2")) {
    std::fprintf(stderr, "usage: nord5-cli %s\n", usage);
    return kExitUsage;
  }
  if (!unit || *unit >= static_cast<std::uint32_t>(kPulseUnitCount))
    return Refused("unit index", unit_text);
  if (!TProtocolEngine::PulseCounts(value, static_cast<int>(*unit)))
    return Refused("start value", value);
  CliSession session(common);
  const int ch = channel == "1" ? 1 : 2;
  (ch == 1 ? session.host.inputs.PulseText1 : session.host.inputs.PulseText2) = value;
  (ch == 1 ? session.host.inputs.PulseUnit1 : session.host.inputs.PulseUnit2) =
      static_cast<int>(*unit);
  return session.Run([ch](TProtocolEngine& e) { e.SetPulseValue(ch); });
}

}  // namespace
}  // namespace nord5::cli

NORD5_CLI_COMMAND("set-address", "N [COMMON]  set the primary address", nord5::cli::SetAddress);
NORD5_CLI_COMMAND("set-id", "DIGITS8 [COMMON]  set the identification number", nord5::cli::SetId);
NORD5_CLI_COMMAND("set-time", "local|cet [COMMON]  set the clock, then read the configuration",
                  nord5::cli::SetTime);
NORD5_CLI_COMMAND("set-pulse", "1|2 VALUE --unit INDEX [COMMON]  set a pulse start value",
                  nord5::cli::SetPulse);
