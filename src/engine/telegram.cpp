#include "engine/telegram.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "foundation/crc.h"

namespace nord5 {
namespace {

using C = TMBUS_Commands;

constexpr std::array<std::uint8_t, kPulseUnitCount> kPulseVIF = {0x10, 0x11, 0x12, 0x13, 0x14,
                                                                 0x15, 0x16, 0x17, 0x00, 0x01};
constexpr std::array<double, kPulseUnitCount> kPulseFactor = {
    0.000001, 0.00001, 0.0001, 0.001, 0.01, 0.1, 1, 1, 0.001, 0.01};

// Application-reset subcode by archive kind; the first kind ("Current data") sends none.
constexpr std::array<std::uint8_t, kArchiveKindCount> kArchiveSubcode = {0x00, 0x60, 0x30,
                                                                         0x40, 0x20, 0x00};

std::string Trim(const std::string& text) {
  const auto first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return {};
  const auto last = text.find_last_not_of(" \t");
  return text.substr(first, last - first + 1);
}

// The primary address box read as a signed integer (as StrToInt does); its low byte is used.
std::optional<std::int64_t> ParseInt(const std::string& raw) {
  const std::string text = Trim(raw);
  if (text.empty()) return std::nullopt;
  std::size_t i = 0;
  bool negative = false;
  if (text[0] == '-' || text[0] == '+') {
    negative = text[0] == '-';
    i = 1;
  }
  if (i >= text.size()) return std::nullopt;
  std::int64_t v = 0;
  for (; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') return std::nullopt;
    v = v * 10 + (text[i] - '0');
    if (v > 0x7FFFFFFFLL + 1) return std::nullopt;
  }
  v = negative ? -v : v;
  if (v > 0x7FFFFFFFLL) return std::nullopt;
  return v;
}

// days since 1970-01-01 of a civil date (proleptic Gregorian), and back.
std::int64_t DaysFromCivil(int y, int m, int d) {
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * static_cast<unsigned>(m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

void CivilFromDays(std::int64_t z, int& y, int& m, int& d) {
  z += 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  y = static_cast<int>(static_cast<std::int64_t>(yoe) + era * 400 + (m <= 2));
}

DateTime AddHours(const DateTime& t, int hours) {
  std::int64_t seconds = DaysFromCivil(t.Year, t.Month, t.Day) * 86400 + t.Hour * 3600 +
                         t.Minute * 60 + t.Second + static_cast<std::int64_t>(hours) * 3600;
  std::int64_t days = seconds / 86400;
  std::int64_t rest = seconds % 86400;
  if (rest < 0) {
    rest += 86400;
    --days;
  }
  DateTime out = t;
  CivilFromDays(days, out.Year, out.Month, out.Day);
  out.Hour = static_cast<int>(rest / 3600);
  out.Minute = static_cast<int>(rest / 60 % 60);
  out.Second = static_cast<int>(rest % 60);
  return out;
}

std::string HexText(const char* format, std::uint32_t v) {
  char text[48];
  std::snprintf(text, sizeof text, format, v);
  return text;
}

// Appends bytes to the telegram under construction, never past the buffer.
class Writer {
 public:
  explicit Writer(ExchangeState& s) : s_(s) {}
  void Put(std::initializer_list<std::uint8_t> bytes) {
    for (auto b : bytes) Put(b);
  }
  void Put(std::uint8_t b) {
    if (n_ < kBufferSize - 2) s_.OBuffer[n_++] = b;
  }
  void Put32(std::uint32_t v) {
    for (int k = 0; k < 4; ++k) Put(static_cast<std::uint8_t>(v >> (8 * k)));
  }
  std::size_t Size() const { return n_; }

 private:
  ExchangeState& s_;
  std::size_t n_ = 0;
};

// The readout selection records of the chosen archive quantities. L is one byte, so the records
// stop at the last whole selector that keeps L at 255 or below.
std::vector<std::uint8_t> ArchiveRecords(const ExchangeState& s) {
  constexpr std::size_t kMaxRecords = 255 - 3;
  std::vector<std::uint8_t> out;
  for (const tMTR7ExtParams* q : s.ExtCommands) {
    if (q == nullptr) continue;
    const int count = std::clamp<std::int32_t>(q->Count, 0, 4);
    for (int k = 0; k < count; ++k) {
      const TDataSelector* sel = q->Data[k];
      if (sel == nullptr) continue;
      std::uint8_t dif[kMaxDifBytes];
      const std::size_t n = EncodeDIF(sel->Storage, sel->Tariff, sel->Subunit, sel->DataCode, dif);
      if (out.size() + n + sel->VIF.size() > kMaxRecords) return out;
      out.insert(out.end(), dif, dif + n);
      out.insert(out.end(), sel->VIF.begin(), sel->VIF.end());
    }
  }
  return out;
}

}  // namespace

std::optional<std::uint32_t> PrimaryAddressOf(const std::string& raw) {
  if (const auto a = ParseInt(raw)) {
    if (*a < 0 || *a > 255) return std::nullopt;
    return static_cast<std::uint32_t>(*a);
  }
  // Digits too many for any integer are a number too, and far above 255.
  std::string digits = Trim(raw);
  if (!digits.empty() && (digits.front() == '+' || digits.front() == '-')) digits.erase(0, 1);
  if (!digits.empty() && digits.find_first_not_of("0123456789") == std::string::npos)
    return std::nullopt;
  return 254u;
}

std::optional<std::uint32_t> ParseDec32(const std::string& raw) {
  const std::string text = Trim(raw);
  if (text.empty() || text.size() > 10) return std::nullopt;
  std::uint64_t v = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    v = v * 10 + static_cast<std::uint64_t>(c - '0');
  }
  if (v > 0xFFFFFFFFull) return std::nullopt;
  return static_cast<std::uint32_t>(v);
}

bool FinishFrame(std::uint8_t* buffer, std::size_t capacity, std::int32_t& size, bool write) {
  if (buffer == nullptr || capacity < 5) return false;
  std::size_t length = 3;
  std::size_t start = 1;
  if (buffer[0] == 0x68) {
    length = static_cast<std::size_t>(buffer[1]) + 4;
    start = 4;
  }
  if (length + 2 > capacity) return false;
  const std::uint8_t sum = Checksum8(buffer + start, length - start);
  const bool match = buffer[length] == sum;
  size = static_cast<std::int32_t>(length);
  if (write) {
    buffer[length] = sum;
    buffer[length + 1] = 0x16;
    size = static_cast<std::int32_t>(length + 2);
  }
  return match;
}

std::size_t EncodeDIF(std::int32_t storage, std::int32_t tariff, std::int32_t subunit,
                      std::int32_t data_code, std::uint8_t* out) {
  std::size_t m = 1;
  if (storage == -1) m = 2;
  if (tariff == -1 || subunit == -1) m = 3;
  out[0] = static_cast<std::uint8_t>(data_code);
  if (storage & 1) out[0] |= 0x40;
  if (storage > 0) storage >>= 1;
  std::size_t i = 1;
  do {
    out[i - 1] |= 0x80;
    std::uint8_t b = static_cast<std::uint8_t>(storage & 0x0F);
    if (storage > 0) storage >>= 4;
    b |= static_cast<std::uint8_t>((tariff & 3) << 4);
    if (tariff > 0) tariff >>= 2;
    b |= static_cast<std::uint8_t>((subunit & 1) << 6);
    if (subunit > 0) subunit >>= 1;
    out[i] = b;
    ++i;
  } while (i < kMaxDifBytes && (i < m || storage > 0 || tariff > 0 || subunit > 0));
  return i;
}

std::array<std::uint8_t, 4> EncodeTypeF(const DateTime& t) {
  const int year = ((t.Year % 100) + 100) % 100;
  return {static_cast<std::uint8_t>(t.Minute & 0x3F), static_cast<std::uint8_t>(t.Hour & 0x1F),
          static_cast<std::uint8_t>((t.Day & 0x1F) | ((year & 7) << 5)),
          static_cast<std::uint8_t>((t.Month & 0x0F) | ((year & 0x78) << 1))};
}

DateTime DeviceTime(int mode, const Clock& clock) {
  if (mode == 2) return AddHours(clock.UtcTime(), 1);
  return clock.LocalTime();
}

std::uint8_t PulseUnitVIF(int index) {
  return index >= 0 && index < kPulseUnitCount ? kPulseVIF[static_cast<std::size_t>(index)] : 0;
}

double PulseUnitFactor(int index) {
  return index >= 0 && index < kPulseUnitCount ? kPulseFactor[static_cast<std::size_t>(index)] : 0;
}

std::uint8_t PrimaryAddressByRule(int mbus_addr_type, std::uint8_t cfg_mbus_address,
                                  std::uint8_t cfg_fabrication_first) {
  switch (mbus_addr_type) {
    case 1: return 0;
    case 2: return 1;
    case 3:
      return static_cast<std::uint8_t>((cfg_fabrication_first >> 4) * 10 +
                                       (cfg_fabrication_first & 0x0F));
    default: return cfg_mbus_address;  // 0 "leave last", 4 "indicated"
  }
}

BuiltTelegram BuildTelegram(ExchangeState& s, const TelegramInputs& in, const Clock& clock) {
  BuiltTelegram out;
  s.OBuffer.fill(0);
  s.IBuffer.fill(0);
  s.OutSize = 0;
  s.RecIndex = 0;
  s.RecSize = 0;

  if (in.Mode == AddressMode::Primary) {
    const auto a = PrimaryAddressOf(in.AddressText);
    if (!a) {
      out.Ok = false;
      return out;
    }
    s.StartMBusAddr = *a;
  } else {
    s.StartMBusAddr = 253;
    if (s.Command_SEQ == C::_cmInstallSlave) {
      const auto id = ParseHex32(in.AddressText);
      if (!id) {
        out.Ok = false;
        return out;
      }
      s.SelectedDeviceID = *id;
      s.Command_SEQ = C::_cmSelectDeviceID1;
    }
  }
  const auto A = static_cast<std::uint8_t>(s.StartMBusAddr & 0xFF);
  s.MAXRepeat = 10;

  Writer w(s);
  const std::uint32_t rest = s.MemorySize > s.MemoryIndex ? s.MemorySize - s.MemoryIndex : 0;
  const std::uint32_t chunk = std::min(kMemoryChunk, rest);
  const std::uint32_t address = s.StartMemory + s.MemoryIndex;

  switch (s.Command_SEQ) {
    case C::_cmApplicReset:
    case C::_cmApplicReset1:
    case C::_cmApplicReset3:
      s.DataIdx = 0x7B;
      w.Put({0x68, 0x03, 0x03, 0x68, 0x73, A, 0x50});
      out.Status = "Reset application";
      break;
    case C::_cmApplicReset2:
      s.DataIdx = 0x7B;
      w.Put({0x68, 0x04, 0x04, 0x68, 0x73, A, 0x50, 0x50});
      out.Status = "Set day data";
      break;
    case C::_cmApplicReset4:
      s.DataIdx = 0x7B;
      if (in.ArchiveKind > 0 && in.ArchiveKind < kArchiveKindCount)
        w.Put({0x68, 0x04, 0x04, 0x68, 0x73, A, 0x50,
               kArchiveSubcode[static_cast<std::size_t>(in.ArchiveKind)]});
      else
        w.Put({0x68, 0x03, 0x03, 0x68, 0x73, A, 0x50});
      out.Status = "Reset application";
      break;
    case C::_cmGetVersion:
      s.DataIdx = 0x7B;
      w.Put({0x68, 0x06, 0x06, 0x68, 0x73, A, 0x51, 0x08, 0xFF, 0x0E});
      out.Status = "Read device version";
      break;
    case C::_cmRequestData:
      w.Put({0x10, static_cast<std::uint8_t>(s.DataIdx), A});
      out.Status = "Request data";
      break;
    case C::_cmReadLog:
      w.Put({0x68, 0x0F, 0x0F, 0x68, 0x53, A, 0x51, 0x08, 0xFF, 0x05, 0x08, 0xFF, 0x06, 0x08, 0x5B,
             0x08, 0x5F, 0x08, 0x63});
      break;
    case C::_cmSetDeviceID:
      w.Put({0x68, 0x09, 0x09, 0x68, 0x53, A, 0x51, 0x0C, 0x79});
      w.Put32(in.WorkValue);
      break;
    case C::_cmSetPulseValue1:
      s.DataIdx = 0x7B;
      w.Put({0x68, 0x0A, 0x0A, 0x68, 0x53, A, 0x51, 0x84, 0x40, PulseUnitVIF(in.PulseUnit1)});
      w.Put32(in.WorkValue);
      out.Status = "Set start value";
      out.StatusInSecondPanel = true;
      break;
    case C::_cmSetPulseValue2:
      s.DataIdx = 0x7B;
      w.Put({0x68, 0x0B, 0x0B, 0x68, 0x53, A, 0x51, 0x84, 0x80, 0x40, PulseUnitVIF(in.PulseUnit2)});
      w.Put32(in.WorkValue);
      out.Status = "Set start value";
      out.StatusInSecondPanel = true;
      break;
    case C::_cmSelectDeviceID1:
      w.Put({0x68, 0x0B, 0x0B, 0x68, 0x73, 0xFD, 0x52});
      w.Put32(s.SelectedDeviceID);
      w.Put({0xFF, 0xFF, 0xFF, 0xFF});
      break;
    case C::_cmSetDateTime:
    case C::_cmSetDateTime1: {
      s.DataIdx = 0x7B;
      const auto t = EncodeTypeF(DeviceTime(in.TimeCorrection, clock));
      w.Put({0x68, 0x09, 0x09, 0x68, 0x53, A, 0x51, 0x04, 0x6D, t[0], t[1], t[2], t[3]});
      out.Status = "Set device time";
      break;
    }
    case C::_cmSetMBusAddress:
      w.Put({0x68, 0x06, 0x06, 0x68, 0x73, A, 0x51, 0x01, 0x7A,
             PrimaryAddressByRule(in.MBusAddrType, in.CfgMBusAddress, in.CfgFabricationFirst)});
      out.Status = "Set M-Bus address";
      break;
    case C::_cmReadArchive: {
      const auto records = ArchiveRecords(s);
      if (records.empty()) {
        s.Command_SEQ = C::_cmRequestData;
        w.Put({0x10, static_cast<std::uint8_t>(s.DataIdx), A});
        out.Status = "Request data";
      } else {
        const auto L = static_cast<std::uint8_t>(records.size() + 3);
        w.Put({0x68, L, L, 0x68, 0x73, A, 0x51});
        for (auto b : records) w.Put(b);
        out.Status = "Read archive";
      }
      break;
    }
    case C::_cmReadMemory:
      w.Put({0x68, 0x0A, 0x0A, 0x68, 0x73, A, 0xA1, 0x0F, static_cast<std::uint8_t>(s.MemoryType),
             static_cast<std::uint8_t>(chunk)});
      w.Put32(address);
      out.Status = HexText(s.MemoryType == 0 ? "Reading RAM @%X" : "Reading FLASH @%X", address);
      if (s.AskRepeat == 0) out.ProgressAdvance = static_cast<std::int32_t>(chunk);
      break;
    case C::_cmWriteMemory: {
      const auto L = static_cast<std::uint8_t>(chunk + 9);
      w.Put({0x68, L, L, 0x68, 0x53, A, 0xA2, 0x0F, static_cast<std::uint8_t>(s.MemoryType)});
      w.Put32(address);
      for (std::uint32_t k = 0; k < chunk && s.MemPointer != nullptr; ++k)
        w.Put(s.MemPointer[s.MemoryIndex + k]);
      out.Status = HexText(s.MemoryType == 0 ? "Write RAM @%X" : "Write FLASH @%X", address);
      out.WaitMs = kWaitWriteAnswer;
      if (s.AskRepeat == 0) out.ProgressAdvance = static_cast<std::int32_t>(chunk);
      break;
    }
    case C::_cmInstallSlave:
    case C::_cmInstallSlave1:
    case C::_cmInstallSlave4:
    case C::_cmInstallSlave5:
      if (in.Mode == AddressMode::Primary) {
        s.DataIdx = 0x7B;
        w.Put({0x10, 0x40, A});
        out.Status = "Init communication";
      } else {
        w.Put({0x68, 0x03, 0x03, 0x68, 0x73, 0xFD, 0x50});
        out.Status = "Reset application";
      }
      break;
    default:
      // Steps no operation sends: a link initialisation keeps the line defined.
      w.Put({0x10, 0x40, A});
      break;
  }

  FinishFrame(s.OBuffer.data(), s.OBuffer.size(), s.OutSize, true);
  out.Bytes.assign(s.OBuffer.begin(), s.OBuffer.begin() + s.OutSize);
  s.AskRepeat += 1;
  s.SendBytes += s.OutSize;
  s.ReceivedData = false;
  return out;
}

}  // namespace nord5
