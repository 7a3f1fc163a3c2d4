// nord5-cli decode: one RSP_UD long frame, given as hexadecimal text, decoded as the configurator
// decodes the meter's data telegrams.
#include <charconv>
#include <cmath>
#include <cstdio>
#include <iostream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "cli/command.h"
#include "mbus/decoder.h"
#include "mbus/long_frame.h"

namespace nord5::cli {
namespace {

std::string Manufacturer(std::uint8_t low, std::uint8_t high) {
  const unsigned m = low | (high << 8);
  std::string s(3, '?');
  for (int i = 0; i < 3; ++i) {
    const unsigned letter = (m >> (10 - 5 * i)) & 0x1F;
    s[i] = static_cast<char>('@' + letter);
  }
  return s;
}

std::string HexPairs(const std::vector<std::uint8_t>& bytes) {
  std::string s;
  char b[4];
  for (std::uint8_t x : bytes) {
    std::snprintf(b, sizeof b, "%02X", x);
    if (!s.empty()) s += ' ';
    s += b;
  }
  return s;
}

std::string JsonString(const std::string& s) {
  std::string out = "\"";
  for (unsigned char c : s) {
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (c < 0x20) {
          char b[8];
          std::snprintf(b, sizeof b, "\\u%04x", c);
          out += b;
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  return out + "\"";
}

std::string JsonNumber(const TVariant& v) {
  if (const auto* i = std::get_if<std::int64_t>(&v)) return std::to_string(*i);
  if (const auto* d = std::get_if<double>(&v)) {
    if (!std::isfinite(*d)) return "null";
    char b[32];
    const auto r = std::to_chars(b, b + sizeof b, *d);
    return std::string(b, r.ptr);
  }
  if (std::holds_alternative<std::monostate>(v)) return "null";
  return JsonString(VariantToText(v));
}

int Decode(const std::vector<std::string>& args) {
  Options options(args);
  const bool json = options.Flag("json");
  if (const std::string unknown = options.Unknown(); !unknown.empty()) {
    std::fprintf(stderr, "nord5-cli decode: unknown option %s\n", unknown.c_str());
    return kExitUsage;
  }
  std::string text;
  const auto& positional = options.Positional();
  if (positional.empty() || (positional.size() == 1 && positional[0] == "-")) {
    text.assign(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
  } else {
    for (const auto& p : positional) text += p + " ";
  }
  std::size_t bad_at = 0;
  const auto parsed = ParseHexText(text, &bad_at);
  if (!parsed) {
    std::fprintf(stderr, "nord5-cli decode: not hexadecimal text (character %zu)\n", bad_at + 1);
    return kExitRefused;
  }
  if (parsed->empty()) {
    std::fprintf(stderr, "nord5-cli decode: no frame given\n");
    return kExitUsage;
  }
  const std::vector<std::uint8_t>& frame = *parsed;
  if (const LongFrameError e = CheckLongFrame(frame); e != LongFrameError::None) {
    std::fprintf(stderr, "nord5-cli decode: refused: %s\n",
                 DescribeLongFrameError(e, frame).c_str());
    return kExitRefused;
  }

  auto records = std::make_unique<tMBUS_RecArray>();
  auto list = std::make_unique<TFullRecord>();
  std::int32_t id = 0;
  std::int32_t address = 0;
  DecodeMBusRecords(frame, RecordLimit(frame), *records, id, address);
  BuildFullRecord(*records, *list);

  char id_text[16];
  std::snprintf(id_text, sizeof id_text, "%08u", static_cast<std::uint32_t>(id));
  const std::string manufacturer = Manufacturer(frame[11], frame[12]);
  const int version = frame[13];
  const int medium = frame[14];
  const int access = frame[15];

  if (!json) {
    std::printf("Identification: %s\nManufacturer: %s\nVersion: %d\nMedium: %02X\n"
                "Access number: %d\n",
                id_text, manufacturer.c_str(), version, medium, access);
    std::printf("Index\tName\tValue\tUnits\n");
    for (int i = 0; i < list->Count; ++i) {
      const TTableRecord& r = list->Rec[i];
      std::printf("%d\t%s\t%s\t%s\n", r.Index, r.Name.c_str(), VariantToText(r.Value).c_str(),
                  r.Units.c_str());
    }
    return kExitOk;
  }

  std::string out = "{\"id\": " + JsonString(id_text) +
                    ", \"address\": " + std::to_string(address) +
                    ", \"manufacturer\": " + JsonString(manufacturer) +
                    ", \"version\": " + std::to_string(version) +
                    ", \"medium\": " + std::to_string(medium) +
                    ", \"access\": " + std::to_string(access) + ", \"records\": [";
  for (int i = 0; i < list->Count; ++i) {
    const TTableRecord& r = list->Rec[i];
    const T_Value& c = records->Rec[i].Conf;
    out += i ? ",\n  " : "\n  ";
    out += "{\"index\": " + std::to_string(r.Index) + ", \"name\": " + JsonString(r.Name) +
           ", \"units\": " + JsonString(r.Units) +
           ", \"value\": " + JsonString(VariantToText(r.Value)) +
           ", \"raw\": " + JsonNumber(r.iValue) + ", \"mul\": " + JsonNumber(r.iMul) +
           ", \"dif\": " + JsonString(HexPairs(r.iDIF)) +
           ", \"function\": " + std::to_string(c.ValFunc) +
           ", \"storage\": " + std::to_string(c.ValStorage) +
           ", \"tariff\": " + std::to_string(c.ValTariff) +
           ", \"subunit\": " + std::to_string(c.ValUnit) +
           ", \"offset\": " + std::to_string(r.Offset) +
           ", \"length\": " + std::to_string(r.Length) + "}";
  }
  out += "\n]}\n";
  std::fputs(out.c_str(), stdout);
  return kExitOk;
}

}  // namespace
}  // namespace nord5::cli

NORD5_CLI_COMMAND("decode", "[--json] [HEX... | -]  decode one RSP_UD long frame",
                  &nord5::cli::Decode);
