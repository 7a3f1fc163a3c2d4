#include "sim/sim_options.h"

#include <charconv>
#include <cstdint>

namespace nord5::sim {
namespace {

template <typename T>
bool Number(const std::string& s, T& out, T lo, T hi, int base = 10) {
  if (s.empty()) return false;
  T v{};
  const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v, base);
  if (ec != std::errc{} || end != s.data() + s.size() || v < lo || v > hi) return false;
  out = v;
  return true;
}

}  // namespace

std::string SimUsage() {
  return "usage: nord5-meter-sim [options]\n"
         "A virtual NORD5 meter on a pseudo-terminal; prints the port path first.\n"
         "  --firmware N        firmware version reported (default 17042702)\n"
         "  --mode MODE         user, test, manufacturer (default) or test-no-change\n"
         "  --id HEX8           identification number (8 hexadecimal digits)\n"
         "  --address N         primary address 0..250\n"
         "  --image FILE        start from a 748-byte configuration file\n"
         "  --meters ID:ADDRESS[,ID:ADDRESS...]\n"
         "                      several meters on one line (answers at once collide)\n"
         "  --echo              return every telegram before the answer\n"
         "  --chunks N          deliver every answer in N pieces\n"
         "  --baud-timing       deliver bytes at the pace of 2400 baud 8E1\n"
         "  --drop-every N      leave out every Nth answer\n"
         "  --corrupt-every N   spoil the check sum of every Nth long answer\n"
         "  --mute              never answer\n"
         "  --ack-data          answer data requests with E5h only\n"
         "  --link PATH         also make PATH a symbolic link to the port\n"
         "  --trace             print every telegram in and out on stderr\n";
}

bool ParseSimArguments(const std::vector<std::string>& args, SimProgramOptions& out,
                       std::string& error) {
  SimProgramOptions o;
  bool firmware_given = false;
  std::string image_path;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&](std::string& v) {
      if (i + 1 >= args.size()) {
        error = a + " needs a value";
        return false;
      }
      v = args[++i];
      return true;
    };
    auto bad = [&](const std::string& v) {
      error = "bad value for " + a + ": \"" + v + "\"";
      return false;
    };
    std::string v;
    if (a == "--help" || a == "-h") {
      o.help = true;
    } else if (a == "--echo") {
      o.meter.echo = true;
    } else if (a == "--baud-timing") {
      o.meter.baud_timing = true;
    } else if (a == "--mute") {
      o.meter.mute = true;
    } else if (a == "--ack-data") {
      o.meter.ack_data = true;
    } else if (a == "--trace") {
      o.trace = true;
    } else if (a == "--firmware") {
      if (!value(v)) return false;
      if (!Number<std::uint32_t>(v, o.meter.firmware, 0, 0xFFFFFFFFu)) return bad(v);
      firmware_given = true;
    } else if (a == "--mode") {
      if (!value(v)) return false;
      if (v == "user") o.meter.mode = kModeUser;
      else if (v == "test") o.meter.mode = kModeTest;
      else if (v == "manufacturer") o.meter.mode = kModeManufacturer;
      else if (v == "test-no-change") o.meter.mode = kModeTestNoChange;
      else return bad(v);
    } else if (a == "--id") {
      if (!value(v)) return false;
      std::uint32_t id = 0;
      if (v.size() > 8 || !Number<std::uint32_t>(v, id, 0, 0xFFFFFFFFu, 16)) return bad(v);
      o.meter.id = id;
    } else if (a == "--address") {
      if (!value(v)) return false;
      unsigned n = 0;
      if (!Number<unsigned>(v, n, 0, 250)) return bad(v);
      o.meter.address = static_cast<std::uint8_t>(n);
    } else if (a == "--meters") {
      if (!value(v)) return false;
      if (!ParseBusMeters(v, o.meters, error)) {
        error = "--meters: " + error;
        return false;
      }
    } else if (a == "--image") {
      if (!value(image_path)) return false;
    } else if (a == "--chunks") {
      if (!value(v)) return false;
      if (!Number<int>(v, o.meter.chunks, 1, 255)) return bad(v);
    } else if (a == "--drop-every") {
      if (!value(v)) return false;
      if (!Number<int>(v, o.meter.drop_every, 0, 1000000)) return bad(v);
    } else if (a == "--corrupt-every") {
      if (!value(v)) return false;
      if (!Number<int>(v, o.meter.corrupt_every, 0, 1000000)) return bad(v);
    } else if (a == "--link") {
      if (!value(o.link)) return false;
      if (o.link.empty()) return bad(o.link);
    } else {
      error = "unknown option " + a;
      return false;
    }
  }
  if (!o.meters.empty() && (o.meter.id || o.meter.address)) {
    error = "--meters gives every meter its identification and address; leave out --id and --address";
    return false;
  }
  if (!image_path.empty()) {
    MeterImage image;
    if (!LoadMeterImageFile(image_path, image, error)) return false;
    if (!firmware_given) o.meter.firmware = image.FirmwareVersion();
    o.meter.image = image;
  }
  out = std::move(o);
  return true;
}

}  // namespace nord5::sim
