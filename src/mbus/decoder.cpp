#include "mbus/decoder.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <exception>
#include <memory>
#include <optional>

#include "foundation/number_format.h"
#include "mbus/vif_tables.h"

namespace nord5 {

namespace {

char g_separator = '.';
char g_system_separator = '.';
const Clock* g_clock = nullptr;

TraceTextHook& TraceHook() {
  static TraceTextHook hook;
  return hook;
}

// Sets the separator for one decoding and puts '.' back however the decoding ends.
class SeparatorScope {
 public:
  explicit SeparatorScope(char separator) { g_separator = separator; }
  ~SeparatorScope() { g_separator = '.'; }
  SeparatorScope(const SeparatorScope&) = delete;
  SeparatorScope& operator=(const SeparatorScope&) = delete;
};

constexpr int kFixedHeaderEnd = 19;  // 68 L L 68 C A CI + 12-byte fixed header
constexpr int kMaxDifes = 10;        // EN 13757-3 allows ten DIFEs per record
constexpr const char* kNoValue = "- - -";

// Keeps at most `max` bytes without cutting a UTF-8 sequence in two.
void CutTo(std::string& s, std::size_t max) {
  if (s.size() <= max) return;
  std::size_t n = max;
  while (n > 0 && (static_cast<unsigned char>(s[n]) & 0xC0) == 0x80) --n;
  s.resize(n);
}

void AppendNumber(std::string& s, std::int64_t n) {
  char text[24];
  const auto res = std::to_chars(text, text + sizeof text, n);
  s.append(text, res.ptr);
}

// Empties a list entry like a fresh one, keeping the buffers of its texts for the next use.
// (Every member of TTableRecord is set here.)
void ResetKeepingCapacity(TTableRecord& r) {
  r.Index = 0;
  r.Name.clear();
  r.Units.clear();
  r.Value = std::monostate{};
  r.iValue = std::monostate{};
  r.iDIF.clear();
  r.iMul = std::monostate{};
  r.InsType = 0;
  r.AccType = TAccount::acc_None;
  r.MS_Parm = TParametersTypes::wsr_Index;
  r.MS_Show = 0;
  r.MS_Pic = 0;
  r.MS_Report = false;
  r.LinkField.clear();
  r.LinkTable.clear();
  r.Offset = 0;
  r.Length = 0;
}

// A read-only view of the frame up to the limit: every byte is checked before it is read.
class Bytes {
 public:
  Bytes(std::span<const std::uint8_t> frame, int limit)
      : frame_(frame),
        limit_(limit < 0 ? 0 : std::min<std::size_t>(static_cast<std::size_t>(limit),
                                                      frame.size())) {}
  bool Has(int pos) const { return pos >= 0 && static_cast<std::size_t>(pos) < limit_; }
  // The `count` bytes from `pos` all lie before the limit.
  bool HasRange(int pos, int count) const {
    return pos >= 0 && count >= 0 &&
           static_cast<std::size_t>(pos) + static_cast<std::size_t>(count) <= limit_;
  }
  std::uint8_t operator[](int pos) const { return frame_[static_cast<std::size_t>(pos)]; }
  const std::uint8_t* At(int pos) const { return frame_.data() + pos; }
  int Limit() const { return static_cast<int>(limit_); }

 private:
  std::span<const std::uint8_t> frame_;
  std::size_t limit_;
};

std::uint64_t LittleEndian(const std::uint8_t* p, int count) {
  std::uint64_t v = 0;
  for (int i = count - 1; i >= 0; --i) v = (v << 8) | p[i];
  return v;
}

// ---- DIF and DIFEs ---------------------------------------------------------------------------

RecordStatus ReadDIF(T_Value& v, const Bytes& b) {
  const std::uint8_t dif = b[v.Index];
  v.ValSize = dif & 0x0F;
  v.ValFunc = (dif >> 4) & 3;
  v.ValStorage = (dif >> 6) & 1;
  ++v.Index;
  std::uint8_t prev = dif;
  for (int i = 1; prev & 0x80; ++i) {
    if (i > kMaxDifes) return RecordStatus::TooManyDifes;
    if (!b.Has(v.Index)) return RecordStatus::Truncated;
    const std::uint8_t dife = b[v.Index++];
    v.ValStorage += static_cast<std::int64_t>(dife & 0x0F) << (4 * (i - 1) + 1);
    v.ValTariff += static_cast<std::int64_t>((dife >> 4) & 3) << (2 * (i - 1));
    v.ValUnit += static_cast<std::int64_t>((dife >> 6) & 1) << (i - 1);
    prev = dife;
  }
  return RecordStatus::Decoded;
}

// ---- VIF and VIFEs ---------------------------------------------------------------------------

template <std::size_t N>
void Apply(T_Value& v, const std::array<VifRange, N>& table, std::uint8_t x) {
  if (auto m = LookUpVif(table, x)) {
    v.Reik = m->Reik;
    v.Daug = m->Daug;
  }
}

// Leaves the cursor on the last byte the VIF uses: the VIF itself, or the last text byte of a
// plain-text VIF (7Ch/FCh, followed by a length byte and the text, which is not kept).
bool ReadPrimaryVIF(T_Value& v, const Bytes& b, std::uint8_t vif) {
  const std::uint8_t x = vif & 0x7F;
  Apply(v, kPrimaryVif, x);
  if (x == 0x7C) {
    if (!b.Has(v.Index + 1)) return false;
    const int text_length = b[v.Index + 1];
    if (!b.Has(v.Index + 1 + text_length)) return false;
    v.Index += 1 + text_length;
  }
  return true;
}

constexpr const char* kVifePer[16] = {
    " per second", " per minute", " per hour",  " per day",   " per week",   " per month",
    " per year",   " per measurement", nullptr, nullptr,      nullptr,       nullptr,
    " per liter",  " per m3",    " per kg",     " per K (Kelvin)"};
constexpr const char* kVifePerUnit[16] = {
    " per kWh", " per GJ",     " per kW",    " per (K*l)", " per V", " per A",
    " by sek",  " by sek/V",   " by sek/A",  " date",      "",       " accumulated positive",
    " accumulated negative",   "",           "",           ""};

void ReadVIFE(T_Value& v, std::uint8_t e) {
  const int low = e & 0x0F;
  switch ((e >> 4) & 7) {
    case 2:
      if (low >= 8 && low <= 11) {
        char text[32];
        std::snprintf(text, sizeof text, (e & 2) ? " pulse on output %d" : " pulse on input %d",
                      e & 1);
        v.ExtName += text;
      } else {
        v.ExtName += kVifePer[low];
      }
      break;
    case 3:
      v.ExtName += kVifePerUnit[low];
      break;
    case 4:
      v.ExtName += (e & 8) ? " upper limit" : " lower limit";
      if (!(e & 4)) v.ExtName += " first";
      break;
    case 5:
      v.ExtName += (e & 8) ? " upper limit" : " lower limit";
      v.ExtReik = v.Reik;
      v.Reik = CodeAfter(TReiksmes::rmAver_ss, e & 3);
      break;
    case 6:
      if (e & 4) {
        v.ExtName += (e & 1) ? " date&time" : " date";
        v.Reik = (e & 1) ? TReiksmes::rmTimePoint_1 : TReiksmes::rmTimePoint_0;
      } else {
        v.ExtName += " duration";
        v.ExtReik = v.Reik;
        v.Reik = CodeAfter(TReiksmes::rmAver_ss, e & 3);
      }
      break;
    default:  // 0, 1, 7: correction factors and the rest are not applied
      break;
  }
}

// Leaves the cursor on the first byte after the VIF and its VIFEs. False when they run past the
// limit.
bool ReadVIF(T_Value& v, const Bytes& b) {
  v.Daug = 1.0;
  const std::uint8_t vif = b[v.Index];
  const bool extension_table = (vif & 0x7F) == 0x7B || (vif & 0x7F) == 0x7D;
  if (extension_table) {
    // FBh/FDh (and 7Bh/7Dh): the code is the first byte without extension bit; bytes with the
    // extension bit between the marker and the code are skipped.
    ++v.Index;
    while (b.Has(v.Index) && (b[v.Index] & 0x80)) ++v.Index;
    if (!b.Has(v.Index)) return false;
    const std::uint8_t x = b[v.Index] & 0x7F;
    if ((vif & 0x7F) == 0x7B)
      Apply(v, kExtensionFB, x);
    else
      Apply(v, kExtensionFD, x);
    ++v.Index;
    return true;
  }
  if (!ReadPrimaryVIF(v, b, vif)) return false;
  // Combinable VIFEs follow a primary VIF that has the extension bit (after the text of FCh).
  bool more = (vif & 0x80) != 0;
  while (more) {
    v.ExtName += Quantity(v.Reik).Name;
    ++v.Index;
    if (!b.Has(v.Index)) return false;
    const std::uint8_t e = b[v.Index];
    ReadVIFE(v, e);
    more = (e & 0x80) != 0;
  }
  ++v.Index;
  return true;
}

// ---- Conversion ------------------------------------------------------------------------------

enum class Conversion : std::uint8_t {
  Scaled,       // Value * Daug as "#0.000##"
  Wh_MWh,
  J_GJ,
  Kg_t,
  W_kW,
  Seconds,      // / 3600, "#0.00", h
  Minutes,      // / 60, "#0.00", h
  Hours,        // unchanged, h
  Days,         // * 24, "#0.00", h
  Unchanged,    // J/h: not scaled
  DateG,
  DateTimeF,
  ErrorWord,
};

struct ConversionRow {
  TReiksmes Reik;
  Conversion How;
};

using R = TReiksmes;
using C = Conversion;
constexpr ConversionRow kConversions[] = {
    {R::rmEnergy_Wh, C::Wh_MWh},      {R::rmEnergy_J, C::J_GJ},
    {R::rmMass_kg, C::Kg_t},          {R::rmPower_W, C::W_kW},
    {R::rmTime_ss, C::Seconds},       {R::rmOper_ss, C::Seconds},
    {R::rmAver_ss, C::Seconds},       {R::rmActualy_ss, C::Seconds},
    {R::rmTime_min, C::Minutes},      {R::rmOper_min, C::Minutes},
    {R::rmAver_min, C::Minutes},      {R::rmActualy_min, C::Minutes},
    {R::rmTime_hour, C::Hours},       {R::rmOper_hour, C::Hours},
    {R::rmAver_hour, C::Hours},       {R::rmActualy_hour, C::Hours},
    {R::rmTime_days, C::Days},        {R::rmOper_days, C::Days},
    {R::rmAver_days, C::Days},        {R::rmActualy_days, C::Days},
    {R::rmPower_J_h, C::Unchanged},   {R::rmTimePoint_0, C::DateG},
    {R::rmTimePoint_1, C::DateTimeF}, {R::rmError, C::ErrorWord},
    {R::rmErrorFlag, C::ErrorWord},
};

Conversion ConversionOf(TReiksmes reik) {
  for (const auto& row : kConversions)
    if (row.Reik == reik) return row.How;
  return Conversion::Scaled;
}

// The raw value as an integer word (reals rounded); nothing when it has none.
std::optional<std::int64_t> AsInteger(const TVariant& v) {
  if (const auto* i = std::get_if<std::int64_t>(&v)) return *i;
  if (const auto* d = std::get_if<double>(&v)) {
    if (!std::isfinite(*d) || std::fabs(*d) > 9.2e18) return std::nullopt;
    return std::llround(*d);
  }
  return std::nullopt;
}

TVariant Formatted(double value, const char* pattern) {
  if (!std::isfinite(value)) return std::string(kNoValue);
  return FormatFloat(value, pattern, g_separator);
}

struct ErrorBit {
  int Bit;
  std::uint16_t Code;
};
constexpr ErrorBit kErrorBits[] = {
    {2, 0x8000},  {3, 0x8000},  {5, 0x8000},  {29, 0x8000}, {31, 0x8000}, {4, 0x1000},
    {10, 0x0001}, {11, 0x0002}, {16, 0x0080}, {17, 0x0080}, {19, 0x0080}, {18, 0x00C0},
    {20, 0x0800}, {21, 0x0800}, {23, 0x0800}, {22, 0x0C00}, {24, 0x0880}, {26, 0x4000},
    {27, 0x2000}, {28, 0x0004},
};

}  // namespace

// ---- Public helpers --------------------------------------------------------------------------

char DecimalSeparatorInForce() { return g_separator; }
void SetSystemDecimalSeparator(char separator) { g_system_separator = separator; }
char SystemDecimalSeparator() { return g_system_separator; }
void SetTraceTextHook(TraceTextHook hook) { TraceHook() = std::move(hook); }
void SetDecoderClock(const Clock* clock) { g_clock = clock; }

std::int64_t DecodeBCD(const std::uint8_t* bytes, int count) {
  std::int64_t result = 0;
  bool negative = false;
  for (int i = count - 1; i >= 0; --i) {
    int high = bytes[i] >> 4;
    const int low = bytes[i] & 0x0F;
    if (i == count - 1 && high == 0x0F) {
      high = 0;
      negative = true;
    }
    result = result * 100 + high * 10 + low;
  }
  return negative ? -result : result;
}

std::uint16_t MapErrorWord(std::uint32_t word) {
  std::uint16_t code = 0;
  for (const auto& e : kErrorBits)
    if (word & (1u << e.Bit)) code |= e.Code;
  return code;
}

std::string VariantToText(const TVariant& v) {
  struct Visitor {
    std::string operator()(std::monostate) const { return {}; }
    std::string operator()(std::int64_t i) const { return std::to_string(i); }
    std::string operator()(double d) const { return FloatToStr(d, g_separator); }
    std::string operator()(const DateTime& t) const { return FormatDateTimeText(t); }
    std::string operator()(const std::string& s) const { return s; }
  };
  return std::visit(Visitor{}, v);
}

double VariantToDouble(const TVariant& v) {
  if (const auto* i = std::get_if<std::int64_t>(&v)) return static_cast<double>(*i);
  if (const auto* d = std::get_if<double>(&v)) return *d;
  return 0.0;
}

// ---- One record ------------------------------------------------------------------------------

RecordStatus ReadDataRecord(T_Value& v, std::span<const std::uint8_t> frame, int limit,
                            int& length) {
  length = 0;
  v.Value = std::int64_t{0};
  v.ValFunc = 0;
  v.ValUnit = v.ValTariff = v.ValStorage = 0;
  v.ValSize = 0;
  v.ValByteSize = 0;
  v.Daug = 1.0;
  v.Reik = v.ExtReik = TReiksmes::rmNone;
  v.ExtName.clear();
  v.DIF.clear();
  const Bytes b(frame, limit);
  const int start = v.Index;
  if (!b.Has(start)) return RecordStatus::Truncated;
  // Data code F is a special function: 0Fh and 1Fh start manufacturer-specific data, 7Fh is a
  // global readout request and the others are reserved. Nothing after them is a data record.
  // (Idle filler 2Fh is skipped before a record is read.)
  if ((b[start] & 0x0F) == 0x0F) return RecordStatus::EndOfRecords;
  if (auto s = ReadDIF(v, b); s != RecordStatus::Decoded) return s;
  if (!b.Has(v.Index) || !ReadVIF(v, b)) return RecordStatus::Truncated;
  // The header is kept for variable-length fields as well, so that a text record never passes
  // for a record that is identified by its header.
  v.DIF.assign(b.At(start), b.At(v.Index));

  if (v.ValSize == 0x0D) {
    if (!b.Has(v.Index)) return RecordStatus::Truncated;
    const int lvar = b[v.Index];
    ++v.Index;
    v.ValSize = lvar;
    if (!b.HasRange(v.Index, lvar)) return RecordStatus::Truncated;
    v.Value = static_cast<std::int64_t>(LittleEndian(b.At(v.Index), std::min(lvar, 8)));
    length = lvar;
    return lvar > 0 ? RecordStatus::Decoded : RecordStatus::EndOfRecords;
  }

  struct Field {
    int Length;
    bool Bcd;
    bool Signed;
  };
  // By data field code 0..F (D variable length and F special functions are handled above).
  static constexpr Field kFields[16] = {
      {0, false, false}, {1, false, false}, {2, false, true},  {3, false, false},
      {4, false, true},  {4, false, false}, {6, false, false}, {8, false, true},
      {0, false, false}, {1, true, false},  {2, true, false},  {3, true, false},
      {4, true, false},  {0, false, false}, {6, true, false},  {0, false, false},
  };
  const Field f = kFields[v.ValSize & 0x0F];
  if (f.Length == 0) return RecordStatus::EndOfRecords;  // no data (0) or selection for readout (8)
  if (!b.HasRange(v.Index, f.Length)) return RecordStatus::Truncated;
  const std::uint8_t* p = b.At(v.Index);
  if (v.ValSize == 0x05) {
    float real;
    std::uint32_t bits = static_cast<std::uint32_t>(LittleEndian(p, 4));
    std::memcpy(&real, &bits, sizeof real);
    v.Value = std::isfinite(real) ? static_cast<double>(real) : 0.0;
    v.ValSize = 4;
  } else if (f.Bcd) {
    v.Value = DecodeBCD(p, f.Length);
  } else {
    const std::uint64_t u = LittleEndian(p, f.Length);
    std::int64_t value = static_cast<std::int64_t>(u);
    if (f.Signed && f.Length < 8) {
      const int shift = 64 - 8 * f.Length;
      value = static_cast<std::int64_t>(u << shift) >> shift;
    }
    v.Value = value;
  }
  v.ValByteSize = f.Length;
  length = f.Length;
  return RecordStatus::Decoded;
}

// ---- Conversion and naming -------------------------------------------------------------------

namespace {

// ConvertValue with the names written into `r` (v.FullNames or an entry of the list).
void ConvertValueInto(T_Value& v, TTableRecord& r) {
  const QuantityRow& row = Quantity(v.Reik);
  ResetKeepingCapacity(r);
  r.Name = row.Name;
  r.Units = row.Units;
  r.AccType = row.AccType;
  r.MS_Parm = row.MS_Parm;
  r.MS_Show = row.MS_Show;
  r.MS_Pic = row.MS_Pic;
  r.MS_Report = row.MS_Report;

  const double value = VariantToDouble(v.Value);
  switch (ConversionOf(v.Reik)) {
    case Conversion::Scaled:
      v.Value = Formatted(value * v.Daug, "#0.000##");
      break;
    case Conversion::Wh_MWh:
      v.Value = Formatted(value * v.Daug / 1000000.0, "#0.000##");
      r.Units = "MWh";
      break;
    case Conversion::J_GJ:
      v.Value = Formatted(value * v.Daug / 1000000000.0, "#0.000##");
      r.Units = "GJ";
      break;
    case Conversion::Kg_t:
      v.Value = Formatted(value * v.Daug / 1000.0, "#0.000##");
      r.Units = "t";
      break;
    case Conversion::W_kW:
      v.Value = Formatted(value * v.Daug / 1000.0, "#0.000##");
      r.Units = "kW";
      break;
    case Conversion::Seconds:
      v.Value = Formatted(value / 3600.0, "#0.00");
      r.Units = "h";
      break;
    case Conversion::Minutes:
      v.Value = Formatted(value / 60.0, "#0.00");
      r.Units = "h";
      break;
    case Conversion::Hours:
      r.Units = "h";
      break;
    case Conversion::Days:
      v.Value = Formatted(value * 24.0, "#0.00");
      r.Units = "h";
      break;
    case Conversion::Unchanged:
      break;
    case Conversion::DateG: {
      const auto word = AsInteger(v.Value);
      DateTime date;
      if (word && DecodeTypeGDate(static_cast<std::uint16_t>(*word & 0xFFFF), date))
        v.Value = date;
      else
        v.Value = std::string(kNoValue);
      break;
    }
    case Conversion::DateTimeF: {
      const auto word = AsInteger(v.Value);
      std::optional<DateTime> t;
      if (word) t = DecodeDateTimeF(static_cast<std::uint32_t>(*word & 0xFFFFFFFF));
      if (t)
        v.Value = *t;
      else
        v.Value = std::string(kNoValue);
      break;
    }
    case Conversion::ErrorWord: {
      const auto word = AsInteger(v.Value);
      char text[8];
      std::snprintf(text, sizeof text, "%04X",
                    MapErrorWord(static_cast<std::uint32_t>(word.value_or(0) & 0xFFFFFFFF)));
      v.Value = word ? TVariant(std::string(text)) : TVariant(std::string(kNoValue));
      break;
    }
  }

  // The name is built in place: its buffer is reused from one decoding to the next.
  std::string& name = r.Name;
  if (v.ValUnit > 0) {
    AppendNumber(name, v.ValUnit);
    CutTo(name, kMaxNameLength);
  }
  if (!v.ExtName.empty()) {
    if (v.ExtReik != TReiksmes::rmNone) {
      name.insert(0, 1, ' ');
      name.insert(0, v.ExtName);
    } else {
      name.assign(v.ExtName);
    }
    CutTo(name, kMaxNameLength);
  }
  if (v.ValFunc == 1) {
    name.insert(0, "Max ");
  } else if (v.ValFunc == 2) {
    name.insert(0, "Min ");
  } else if (v.ValFunc == 3 && name.find("Error") == std::string::npos) {
    name.insert(0, "Error ");
  }
  CutTo(name, kMaxNameLength);
  if (v.ValTariff > 0) {
    name += ", T";
    AppendNumber(name, v.ValTariff);
    CutTo(name, kMaxNameLength);
  }
  if (v.ValStorage > 0) {
    name += ", S";
    AppendNumber(name, v.ValStorage);
    CutTo(name, kMaxNameLength);
  }
  CutTo(r.Units, kMaxUnitsLength);
}

}  // namespace

void ConvertValue(T_Value& v) { ConvertValueInto(v, v.FullNames); }

// ---- The list --------------------------------------------------------------------------------

void BuildFullRecord(const tMBUS_RecArray& records, TFullRecord& DR) {
  DR.Count = 0;
  for (int i = 0; i < records.Count && DR.Count < kMaxDecodedEntries; ++i) {
    DR.Rec[DR.Count] = records.Rec[i].Data;
    DR.Rec[DR.Count].Index = DR.Count + 1;
    ++DR.Count;
  }
}

void TraceMeterData(const TFullRecord& DR) {
  const TraceTextHook& trace = TraceHook();
  if (!trace) return;
  const Clock& clock = g_clock ? *g_clock : SystemClock::Instance();
  trace("\r**************** Meter data ***************************", false);
  trace("\rReading time - " + FormatDateAndTime(clock.LocalTime()), false);
  for (int i = 0; i < DR.Count; ++i) {
    const TTableRecord& r = DR.Rec[i];
    trace("\r" + std::to_string(i + 1) + ". " + r.Name + " " + VariantToText(r.Value) + " " +
              r.Units,
          false);
  }
  trace("\r*******************************************************", false);
}

namespace {

void FillDeviceEntry(TTableRecord& d, std::int32_t id) {
  ResetKeepingCapacity(d);
  d.Index = 1;
  d.Name = "DeviceID";
  d.Value = static_cast<std::int64_t>(static_cast<std::uint32_t>(id));
  d.Offset = 7;
  d.Length = 4;
}

// Reads the records after the fixed header into the entries from 1 on; `slot(i)` gives the
// working state and the list entry of entry i (the entries are filled in order). Gives the number
// of entries, the identification entry included.
template <typename Slot>
int ReadRecords(std::span<const std::uint8_t> frame, int limit, Slot&& slot) {
  const Bytes b(frame, limit);
  int count = 1;
  int cursor = kFixedHeaderEnd;
  while (cursor < b.Limit() && count < kMaxDecodedEntries) {
    if (b[cursor] == 0x2F) {  // idle filler
      ++cursor;
      continue;
    }
    const int start = cursor;
    auto [v, data] = slot(count);
    v.Index = cursor;
    int length = 0;
    if (ReadDataRecord(v, frame, b.Limit(), length) != RecordStatus::Decoded) break;
    cursor = v.Index + length;
    const TVariant raw = v.Value;  // a number: ConvertValue replaces it with the displayed value
    ConvertValueInto(v, data);
    data.Value = v.Value;
    data.iValue = raw;
    data.iDIF = v.DIF;
    data.iMul = v.Daug;
    data.Index = count + 1;
    data.Offset = start;
    data.Length = cursor - start;
    ++count;
  }
  return count;
}

bool ReadHeader(std::span<const std::uint8_t> frame, std::int32_t& id, std::int32_t& mbus_a) {
  id = 0;
  mbus_a = 0;
  if (frame.size() < 11) return false;
  id = static_cast<std::int32_t>(DecodeBCD(frame.data() + 7, 4));
  mbus_a = frame[5];
  return true;
}

// The list of one decoding and the working state of its records: kept from call to call, so that
// the list (about 30 KB) is not zero-filled again and the buffers of its texts are reused. A
// decoding started while one is running (from a handler or the trace hook) takes a fresh one.
struct Workspace {
  TFullRecord list;
  T_Value value;
  bool busy = false;
};

// The kept workspace, or a fresh one in `own` when the kept one is in use.
Workspace& AcquireWorkspace(std::unique_ptr<Workspace>& own) {
  thread_local std::unique_ptr<Workspace> kept;
  if (!kept) kept = std::make_unique<Workspace>();
  if (!kept->busy) return *kept;
  own = std::make_unique<Workspace>();
  return *own;
}

class WorkspaceLease {
 public:
  explicit WorkspaceLease(Workspace& w) : w_(w) { w_.busy = true; }
  ~WorkspaceLease() { w_.busy = false; }
  WorkspaceLease(const WorkspaceLease&) = delete;
  WorkspaceLease& operator=(const WorkspaceLease&) = delete;

 private:
  Workspace& w_;
};

}  // namespace

bool DecodeMBusRecords(std::span<const std::uint8_t> Frame, int Limit, tMBUS_RecArray& Records,
                       std::int32_t& ID, std::int32_t& MBusA) {
  Records.Count = 0;
  if (!ReadHeader(Frame, ID, MBusA)) return false;
  tMBUS_Record& first = Records.Rec[0];
  first.Conf = T_Value{};
  FillDeviceEntry(first.Data, ID);
  // The names are written into Data first and copied into Conf.FullNames (ConvertValue's place
  // for them) afterwards.
  Records.Count = ReadRecords(Frame, Limit, [&Records](int i) {
    tMBUS_Record& entry = Records.Rec[static_cast<std::size_t>(i)];
    return std::pair<T_Value&, TTableRecord&>(entry.Conf, entry.Data);
  });
  for (int i = 1; i < Records.Count; ++i) {
    const TTableRecord& data = Records.Rec[static_cast<std::size_t>(i)].Data;
    TTableRecord& names = Records.Rec[static_cast<std::size_t>(i)].Conf.FullNames;
    ResetKeepingCapacity(names);
    names.Name = data.Name;
    names.Units = data.Units;
    names.AccType = data.AccType;
    names.MS_Parm = data.MS_Parm;
    names.MS_Show = data.MS_Show;
    names.MS_Pic = data.MS_Pic;
    names.MS_Report = data.MS_Report;
  }
  return true;
}

bool DecodeMBusData(std::span<const std::uint8_t> Frame, int Limit, bool UseSystemDecimalSeparator,
                    const DecodedDataHandler& Handler) {
  SeparatorScope separator(UseSystemDecimalSeparator ? g_system_separator : '.');
  // The one place where a failure of the decoding or of the consumer is swallowed: the caller
  // ignores the result, and nothing of a bad telegram may reach the window.
  try {
    std::unique_ptr<Workspace> own;
    Workspace& w = AcquireWorkspace(own);
    WorkspaceLease lease(w);
    std::int32_t id = 0;
    std::int32_t mbus_a = 0;
    if (!ReadHeader(Frame, id, mbus_a)) return true;
    // The list is filled directly: the same entries BuildFullRecord would copy from the records.
    FillDeviceEntry(w.list.Rec[0], id);
    w.list.Count = ReadRecords(Frame, Limit, [&w](int i) {
      return std::pair<T_Value&, TTableRecord&>(w.value, w.list.Rec[static_cast<std::size_t>(i)]);
    });
    TraceMeterData(w.list);
    if (!Handler) return false;
    return Handler(id, mbus_a, w.list);
  } catch (const std::exception&) {
    return true;
  }
}

}  // namespace nord5
