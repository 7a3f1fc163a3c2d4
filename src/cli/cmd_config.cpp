// nord5-cli read-config and write-config: the whole configuration of the meter to and from a
// configuration file (748 bytes: image bytes 0 to 745 and their CRC-16/MODBUS, low byte first).
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "cli/cli_host.h"
#include "foundation/atomic_file.h"
#include "foundation/meter_image.h"

namespace nord5::cli {
namespace {

int ReadConfig(const std::vector<std::string>& args) {
  Options opts(args);
  CommonOptions common;
  std::string out;
  const bool has_out = opts.Value("out", out);
  if (!ParseCommon(opts, common) || !NoOptionsLeft(opts)) return kExitUsage;
  if (!has_out || !opts.Positional().empty()) {
    std::fprintf(stderr, "usage: nord5-cli read-config --out FILE\n");
    return kExitUsage;
  }
  CliSession session(common);
  const int status = session.Run([](TProtocolEngine& e) { e.ReadConfiguration(); });
  if (status != kExitOk) return status;
  if (const int read = ReadBackStatus(session, "the exchange ended"); read != kExitOk) return read;
  MeterImage image = CurrentImage();
  const std::uint16_t crc = ImageCrc(image);
  image.bytes[kImageCrcOffset] = static_cast<std::uint8_t>(crc & 0xFF);
  image.bytes[kImageCrcOffset + 1] = static_cast<std::uint8_t>(crc >> 8);
  if (!WriteFileAtomically(out, image.bytes.data(), image.bytes.size())) {
    std::fprintf(stderr, "nord5-cli: cannot write \"%s\"\n", out.c_str());
    return kExitUsage;
  }
  return kExitOk;
}

// The file as a meter image; "Wrong file length" or "Bad file CRC" otherwise.
bool LoadImage(const std::string& path, MeterImage& image, Dialogs& dialogs) {
  // Never opens a FIFO, a device or a folder, and reads no more than an image and one byte.
  const auto bytes = ReadRegularFile(path, kImageSize);
  if (!bytes || bytes->size() != kImageSize) {
    dialogs.Error("Wrong file length");
    return false;
  }
  std::copy(bytes->begin(), bytes->end(), image.bytes.begin());
  const std::uint16_t stored = image.Get<std::uint16_t>(kImageCrcOffset);
  if (ImageCrc(image) != stored) {
    dialogs.Error("Bad file CRC");
    return false;
  }
  return true;
}

int WriteConfig(const std::vector<std::string>& args) {
  Options opts(args);
  CommonOptions common;
  std::string in_path;
  std::string time;
  const bool has_in = opts.Value("in", in_path);
  const bool has_time = opts.Value("time", time);
  if (!ParseCommon(opts, common) || !NoOptionsLeft(opts)) return kExitUsage;
  if (!has_in || !opts.Positional().empty() || (has_time && time != "local" && time != "cet")) {
    std::fprintf(stderr, "usage: nord5-cli write-config --in FILE [--time local|cet]\n");
    return kExitUsage;
  }
  CliSession session(common);
  MeterImage image;
  if (!LoadImage(in_path, image, session.host.dialogs)) return kExitRefused;
  RefreshInnerCrcs(image);
  CurrentImage() = image;
  session.host.inputs.TimeCorrection = !has_time ? 0 : time == "local" ? 1 : 2;
  const int status = session.Run([](TProtocolEngine& e) { e.WriteConfigurationWithModeCheck(); });
  if (status != kExitOk) return status;
  // The write ends with the read-back of the whole configuration.
  return ReadBackStatus(session, "the configuration was written");
}

}  // namespace
}  // namespace nord5::cli

NORD5_CLI_COMMAND("read-config", "--out FILE [COMMON]  read the configuration into a file",
                  nord5::cli::ReadConfig);
NORD5_CLI_COMMAND("write-config",
                  "--in FILE [--time local|cet] [COMMON]  write a configuration file",
                  nord5::cli::WriteConfig);
