#include "sim/telegram.h"

#include <chrono>
#include <cstring>
#include <string>

#include "foundation/crc.h"

namespace nord5::sim {

Bytes ShortFrame(std::uint8_t c, std::uint8_t a) {
  const std::uint8_t ca[2] = {c, a};
  return {kStart10, c, a, Checksum8(ca, 2), kStop};
}

Bytes LongFrame(std::uint8_t c, std::uint8_t a, std::uint8_t ci, const Bytes& data) {
  const std::size_t n = data.size() < kMaxUserData ? data.size() : kMaxUserData;
  const auto l = static_cast<std::uint8_t>(n + 3);
  Bytes f(n + 9);
  const std::uint8_t head[7] = {kStart68, l, l, kStart68, c, a, ci};
  std::memcpy(f.data(), head, sizeof head);
  if (n) std::memcpy(f.data() + 7, data.data(), n);
  f.resize(n + 7);
  f.push_back(Checksum8(f.data() + 4, f.size() - 4));
  f.push_back(kStop);
  return f;
}

bool ParseFrame(const std::uint8_t* b, std::size_t n, Frame& out) {
  if (n == 5 && b[0] == kStart10 && b[4] == kStop) {
    if (Checksum8(b + 1, 2) != b[3]) return false;
    out = Frame{};
    out.c = b[1];
    out.a = b[2];
    return true;
  }
  if (n < 9 || b[0] != kStart68 || b[3] != kStart68 || b[1] != b[2]) return false;
  const std::size_t l = b[1];
  if (l < 3 || n != l + 6 || b[n - 1] != kStop) return false;
  if (Checksum8(b + 4, l) != b[n - 2]) return false;
  out = Frame{};
  out.is_long = true;
  out.c = b[4];
  out.a = b[5];
  out.ci = b[6];
  out.data.assign(b + 7, b + 4 + l);
  return true;
}

Bytes RecordHeader(std::uint8_t data_field, std::uint8_t function, std::uint32_t storage,
                   std::uint32_t tariff, std::uint32_t subunit) {
  Bytes h;
  h.push_back(static_cast<std::uint8_t>((data_field & 0x0F) | (function & 3) << 4 |
                                        (storage & 1) << 6));
  storage >>= 1;
  // DIFE: bit 7 extension, bit 6 subunit, bits 5-4 tariff, bits 3-0 storage number.
  while (storage != 0 || tariff != 0 || subunit != 0) {
    h.back() |= 0x80;
    h.push_back(
        static_cast<std::uint8_t>((storage & 0x0F) | (tariff & 3) << 4 | (subunit & 1) << 6));
    storage >>= 4;
    tariff >>= 2;
    subunit >>= 1;
  }
  return h;
}

std::uint32_t EncodeTypeF(const DateTime& t) {
  const auto year = static_cast<std::uint32_t>(t.Year % 100);
  const std::uint32_t b0 = static_cast<std::uint32_t>(t.Minute) & 0x3F;
  const std::uint32_t b1 = static_cast<std::uint32_t>(t.Hour) & 0x1F;
  const std::uint32_t b2 = (static_cast<std::uint32_t>(t.Day) & 0x1F) | (year & 7) << 5;
  const std::uint32_t b3 = (static_cast<std::uint32_t>(t.Month) & 0x0F) | (year & 0x78) << 1;
  return b0 | b1 << 8 | b2 << 16 | b3 << 24;
}

bool DecodeTypeF(std::uint32_t f, DateTime& out) {
  if (f & 0x80) return false;  // the invalid bit
  const int minute = static_cast<int>(f & 0x3F);
  const int hour = static_cast<int>((f >> 8) & 0x1F);
  const int day = static_cast<int>((f >> 16) & 0x1F);
  const int month = static_cast<int>((f >> 24) & 0x0F);
  const int year = static_cast<int>(((f >> 28) & 0x0F) << 3 | ((f >> 21) & 7));
  if (minute > 59 || hour > 23) return false;
  namespace c = std::chrono;
  const c::year_month_day ymd{c::year{2000 + year}, c::month{static_cast<unsigned>(month)},
                              c::day{static_cast<unsigned>(day)}};
  if (!ymd.ok()) return false;
  out = DateTime{2000 + year, month, day, hour, minute, 0, 0};
  return true;
}

void PutU16(Bytes& out, std::uint16_t v) {
  out.push_back(static_cast<std::uint8_t>(v));
  out.push_back(static_cast<std::uint8_t>(v >> 8));
}

void PutU32(Bytes& out, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

void PutF32(Bytes& out, float v) {
  std::uint32_t u = 0;
  std::memcpy(&u, &v, sizeof u);
  PutU32(out, u);
}

std::uint32_t GetU32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
         static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

std::string HexString(const std::uint8_t* bytes, std::size_t n) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string s;
  s.reserve(n * 3);
  for (std::size_t i = 0; i < n; ++i) {
    if (i) s.push_back(' ');
    s.push_back(kDigits[bytes[i] >> 4]);
    s.push_back(kDigits[bytes[i] & 0x0F]);
  }
  return s;
}

}  // namespace nord5::sim
