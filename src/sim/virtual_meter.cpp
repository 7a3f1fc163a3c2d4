#include "sim/virtual_meter.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <string>

namespace nord5::sim {
namespace {

namespace chr = std::chrono;
using Q = Quantity;

constexpr double kPi = 3.14159265358979323846;
constexpr std::int64_t kDay = 86400;
constexpr std::size_t kFixedHeader = 12;

std::int64_t ToSeconds(const DateTime& t) {
  const chr::sys_days d = chr::year_month_day{chr::year{t.Year},
                                              chr::month{static_cast<unsigned>(t.Month)},
                                              chr::day{static_cast<unsigned>(t.Day)}};
  return static_cast<std::int64_t>(d.time_since_epoch().count()) * kDay + t.Hour * 3600 +
         t.Minute * 60 + t.Second;
}

std::int64_t FloorDiv(std::int64_t a, std::int64_t b) {
  std::int64_t q = a / b;
  if ((a % b != 0) && ((a < 0) != (b < 0))) --q;
  return q;
}

DateTime FromSeconds(std::int64_t s) {
  const std::int64_t days = FloorDiv(s, kDay);
  const std::int64_t rest = s - days * kDay;
  const chr::year_month_day ymd{chr::sys_days{chr::days{days}}};
  return DateTime{static_cast<int>(ymd.year()), static_cast<int>(unsigned(ymd.month())),
                  static_cast<int>(unsigned(ymd.day())), static_cast<int>(rest / 3600),
                  static_cast<int>(rest / 60 % 60), static_cast<int>(rest % 60), 0};
}

std::int64_t DaysFromCivil(int y, unsigned m, unsigned d) {
  return chr::sys_days{chr::year{y} / chr::month{m} / chr::day{d}}.time_since_epoch().count();
}

// Unit of a pulse VIF: volume 10^(n-6) m3, energy 10^(n-3) Wh.
double VifFactor(std::uint8_t vif) {
  const int n = vif & 7;
  return (vif & 0x78) == 0x10 ? std::pow(10.0, n - 6) : std::pow(10.0, n - 3);
}
bool IsPulseVif(std::uint8_t vif) { return (vif & 0x78) == 0x10 || (vif & 0x78) == 0x00; }

// The telegrams and archive records the meter sends when no readout selection is in force.
const std::vector<Q> kCurrentCounters = {
    Q::Timestamp, Q::HeatEnergy, Q::CoolEnergy, Q::Tariff1Energy, Q::Tariff2Energy, Q::Volume,
    Q::Pulse1,    Q::Pulse2,     Q::OnTime,     Q::ErrorFreeTime, Q::ErrorDate,     Q::ErrorCode};
const std::vector<Q> kCurrentSensors = {Q::Timestamp, Q::HeatEnergy, Q::FlowTemp, Q::ReturnTemp,
                                        Q::TempDiff,  Q::Flow,       Q::Power};
const std::vector<Q> kBillingRecord = {
    Q::Timestamp, Q::HeatEnergy,    Q::CoolEnergy, Q::Tariff1Energy, Q::Tariff2Energy,
    Q::Volume,    Q::Pulse1,        Q::Pulse2,     Q::ErrorFreeTime, Q::ErrorCode,
    Q::Power,     Q::Flow,          Q::FlowTemp,   Q::ReturnTemp,    Q::TempDiff};
const std::vector<Q> kSensorRecord = {Q::Timestamp, Q::FlowTemp, Q::ReturnTemp,
                                      Q::TempDiff,  Q::Flow,     Q::Power};

}  // namespace

// Everything one data record set reports, for one moment (current data) or one archive period.
struct VirtualMeter::Snapshot {
  std::int64_t time_s = 0;   // meter time of the values (the archive's storing moment)
  std::int64_t from_s = 0;   // start of the period the averages, minima and maxima cover
  double heat_kwh = 0, cool_kwh = 0, tariff1_kwh = 0, tariff2_kwh = 0, volume_l = 0;
  std::int64_t pulse[2] = {0, 0};
  std::int64_t on_time_s = 0, error_free_s = 0;
  std::int64_t error_s = 0;
  std::uint32_t error_flags = 0;
  double power = 0, flow = 0, t1 = 0, t2 = 0, dt = 0;
  double min_power = 0, max_power = 0, min_flow = 0, max_flow = 0;
  double min_t1 = 0, max_t1 = 0, min_t2 = 0, max_t2 = 0, min_dt = 0, max_dt = 0;
  std::int64_t min_at_s = 0, max_at_s = 0;
  std::int64_t low_flow_s = 0, high_flow_s = 0;
  float low_limit = 0, high_limit = 0;
  std::uint8_t energy_unit = 0;
  std::int32_t tof_sum = 0, tof_diff = 0;
};

VirtualMeter::VirtualMeter(MeterOptions options, const Clock& clock)
    : options_(std::move(options)), clock_(clock) {
  image_ = DefaultMeterImage(options_.firmware);
  if (options_.image) {
    std::memcpy(image_.bytes.data() + kCfgOffset, options_.image->bytes.data() + kCfgOffset,
                kCfgSize + kCoefSize);
  }
  image_.SetFirmwareVersion(options_.firmware);
  if (options_.id) image_.SetCfg<std::uint32_t>(kCfgIdentification, *options_.id);
  if (options_.address) image_.SetCfg<std::uint8_t>(kCfgPrimaryAddress, *options_.address);
  SetModeByte(options_.mode);
  mode_before_test_ = options_.mode;
  SetCredits(123456, 1000000);

  time_base_s_ = ToSeconds(clock_.LocalTime());
  time_base_ms_ = clock_.NowMs();
  start_ms_ = time_base_ms_;
  pulses_[0] = PulseCounter{1234.567, 0.0, 0.020};
  pulses_[1] = PulseCounter{89.012, 0.0, 0.005};
}

// ---------------------------------------------------------------------------------------------
// Memory

namespace {
struct Area {
  std::uint32_t address;
  std::size_t size;
};
constexpr Area kCfgArea{kCfgAddress, kCfgSize};
constexpr Area kCoefArea{kCoefAddress, kCoefSize};
constexpr Area kRamArea{kRamAddress, kRamSize};
bool Inside(const Area& a, std::uint32_t address, std::size_t n) {
  return n > 0 && address >= a.address && address - a.address + n <= a.size;
}
}  // namespace

bool VirtualMeter::ReadMemory(std::uint32_t address, std::size_t n, std::uint8_t* out) const {
  if (Inside(kCfgArea, address, n)) {
    std::memcpy(out, image_.CfgBlock() + (address - kCfgAddress), n);
  } else if (Inside(kCoefArea, address, n)) {
    std::memcpy(out, image_.CoefBlock() + (address - kCoefAddress), n);
  } else if (Inside(kRamArea, address, n)) {
    std::memcpy(out, ram_.data() + (address - kRamAddress), n);
  } else {
    return false;
  }
  return true;
}

bool VirtualMeter::WriteMemory(std::uint32_t address, const std::uint8_t* data, std::size_t n) {
  if (Inside(kCfgArea, address, n)) {
    std::memcpy(image_.CfgBlock() + (address - kCfgAddress), data, n);
  } else if (Inside(kCoefArea, address, n)) {
    std::memcpy(image_.CoefBlock() + (address - kCoefAddress), data, n);
  } else if (Inside(kRamArea, address, n)) {
    std::memcpy(ram_.data() + (address - kRamAddress), data, n);
  } else {
    return false;
  }
  return true;
}

MeterImage VirtualMeter::Image() const {
  MeterImage m = image_;
  m.Set<std::uint16_t>(kImageCrcOffset, ImageCrc(m));
  return m;
}

std::uint8_t VirtualMeter::Ram(std::uint32_t address) const {
  return Inside(kRamArea, address, 1) ? ram_[address - kRamAddress] : 0;
}

void VirtualMeter::SetRam(std::uint32_t address, std::uint8_t value) {
  if (Inside(kRamArea, address, 1)) ram_[address - kRamAddress] = value;
}

std::uint32_t VirtualMeter::OpticalCredits() const {
  return GetU32(ram_.data() + (kCreditsAddress - kRamAddress));
}

std::uint32_t VirtualMeter::MbusCredits() const {
  return GetU32(ram_.data() + (kCreditsAddress - kRamAddress) + 4);
}

void VirtualMeter::SetCredits(std::uint32_t optical, std::uint32_t mbus) {
  Bytes b;
  PutU32(b, optical);
  PutU32(b, mbus);
  std::memcpy(ram_.data() + (kCreditsAddress - kRamAddress), b.data(), b.size());
}

// ---------------------------------------------------------------------------------------------
// Time and the measured values

std::int64_t VirtualMeter::MeterSeconds() const {
  return time_base_s_ + FloorDiv(clock_.NowMs() - time_base_ms_, 1000);
}

double VirtualMeter::RunningSeconds() const {
  return static_cast<double>(clock_.NowMs() - start_ms_) / 1000.0;
}

DateTime VirtualMeter::Time() const { return FromSeconds(MeterSeconds()); }

void VirtualMeter::SetTime(const DateTime& t) {
  time_base_s_ = ToSeconds(t);
  time_base_ms_ = clock_.NowMs();
}

std::uint8_t VirtualMeter::PulseVif(int channel) const {
  const auto vif = static_cast<std::uint8_t>(
      image_.Cfg<std::uint32_t>(channel == 1 ? kCfgPulse1Vif : kCfgPulse2Vif) & 0x7F);
  return IsPulseVif(vif) ? vif : 0x13;
}

double VirtualMeter::PulseBase(int channel, double running_s) const {
  const PulseCounter& p = pulses_[channel == 1 ? 0 : 1];
  // Also before the start value was set: the archives look back in time.
  return std::max(0.0, p.base + p.rate_per_hour * (running_s - p.at_running_s) / 3600.0);
}

std::int64_t VirtualMeter::PulseValue(int channel) const {
  return std::llround(PulseBase(channel, RunningSeconds()) / VifFactor(PulseVif(channel)));
}

std::uint32_t VirtualMeter::ArchiveDepth(DataStream kind) {
  switch (kind) {
    case DataStream::Hours: return 1488;   // 62 days
    case DataStream::Days: return 400;
    case DataStream::Months: return 36;
    case DataStream::SetDay: return 10;
    case DataStream::Sensors: return 672;  // a week of 15-minute samples
    default: return 0;
  }
}

// Values at meter time `t` (seconds) over the period [from, t). Counters grow with the running
// time; the sensors swing slowly around a heating load of about 2.5 kW.
VirtualMeter::Snapshot VirtualMeter::ValuesAt(std::int64_t t, std::int64_t from,
                                              bool instantaneous) const {
  Snapshot s;
  s.time_s = t;
  s.from_s = from;
  const double run = RunningSeconds() - static_cast<double>(MeterSeconds() - t);
  const double hours = run / 3600.0;
  s.heat_kwh = std::max(0.0, 456789.0 + 2.5 * hours);
  s.cool_kwh = std::max(0.0, 1234.0 + 0.01 * hours);
  s.tariff1_kwh = std::max(0.0, 23456.0 + 0.8 * hours);
  s.tariff2_kwh = std::max(0.0, 3456.0 + 0.2 * hours);
  s.volume_l = std::max(0.0, 9876543.0 + 100.0 * hours);
  for (int ch = 1; ch <= 2; ++ch)
    s.pulse[ch - 1] = std::llround(PulseBase(ch, run) / VifFactor(PulseVif(ch)));
  s.on_time_s = std::max<std::int64_t>(0, 71234567 + static_cast<std::int64_t>(run));
  s.error_free_s = std::max<std::int64_t>(0, s.on_time_s - 3 * kDay - 1234);
  s.error_s = (MeterSeconds() - static_cast<std::int64_t>(RunningSeconds())) - 9 * kDay - 20700;
  s.error_flags = (s.error_s >= from && s.error_s < t) || instantaneous ? 0x00000400 : 0;

  const double x = static_cast<double>(t);
  if (instantaneous) {
    s.t1 = 62.0 + 1.0 * std::sin(2 * kPi * x / 900.0);
    s.t2 = 40.5 + 0.8 * std::sin(2 * kPi * x / 1300.0 + 1.0);
    s.flow = 0.100 + 0.010 * std::sin(2 * kPi * x / 600.0 + 2.0);
  } else {
    s.t1 = 62.0 + 0.6 * std::sin(x / 7200.0);
    s.t2 = 40.5 + 0.4 * std::sin(x / 9000.0);
    s.flow = 0.100 + 0.005 * std::sin(x / 5400.0);
  }
  s.dt = s.t1 - s.t2;
  s.power = 1.163 * s.flow * s.dt;  // kW: water carries about 1.163 kWh per m3 and kelvin
  s.max_t1 = s.t1 + 1.0;
  s.min_t1 = s.t1 - 1.0;
  s.max_t2 = s.t2 + 0.8;
  s.min_t2 = s.t2 - 0.8;
  s.max_dt = s.max_t1 - s.min_t2;
  s.min_dt = s.min_t1 - s.max_t2;
  s.max_flow = s.flow + 0.010;
  s.min_flow = s.flow - 0.010;
  s.max_power = 1.163 * s.max_flow * s.max_dt;
  s.min_power = 1.163 * s.min_flow * s.min_dt;
  const std::int64_t len = std::max<std::int64_t>(60, t - from);
  s.max_at_s = from + len * 37 / 100;
  s.min_at_s = from + len * 81 / 100;
  s.low_flow_s = std::max<std::int64_t>(0, 7200 + static_cast<std::int64_t>(run / 500.0));
  s.high_flow_s = 360;
  if (image_.NewCoefLayout()) {
    s.low_limit = image_.Coef<float>(414);
    s.high_limit = image_.Coef<float>(422);
  } else {
    s.low_limit = 0.003f;
    s.high_limit = 3.6f;
  }
  s.energy_unit = image_.Cfg<std::uint8_t>(230);
  s.tof_sum = 134500 + static_cast<std::int32_t>(std::lround(20.0 * std::sin(x / 60.0)));
  s.tof_diff = static_cast<std::int32_t>(std::lround(s.flow * 1200.0));
  return s;
}

VirtualMeter::Snapshot VirtualMeter::Now() const {
  const std::int64_t t = MeterSeconds();
  return ValuesAt(t, FloorDiv(t, kDay) * kDay, true);
}

VirtualMeter::Snapshot VirtualMeter::ArchivePoint(DataStream kind, std::uint32_t index) const {
  const std::int64_t now = MeterSeconds();
  const auto k = static_cast<std::int64_t>(index);
  std::int64_t end = now, begin = now;
  switch (kind) {
    case DataStream::Hours:
      end = FloorDiv(now, 3600) * 3600 - k * 3600;
      begin = end - 3600;
      break;
    case DataStream::Sensors:
      end = FloorDiv(now, 900) * 900 - k * 900;
      begin = end - 900;
      break;
    case DataStream::Days:
      end = FloorDiv(now, kDay) * kDay - k * kDay;
      begin = end - kDay;
      break;
    case DataStream::Months: {
      const DateTime d = FromSeconds(now);
      const chr::year_month first =
          chr::year_month{chr::year{d.Year}, chr::month{static_cast<unsigned>(d.Month)}} -
          chr::months{k};
      const chr::year_month before = first - chr::months{1};
      end = DaysFromCivil(int(first.year()), unsigned(first.month()), 1) * kDay;
      begin = DaysFromCivil(int(before.year()), unsigned(before.month()), 1) * kDay;
      break;
    }
    case DataStream::SetDay: {
      // The yearly reporting day of the configuration (type G: E0h + day, F0h + month).
      const auto g = image_.Cfg<std::uint16_t>(kCfgReportingYear);
      unsigned day = (g & 0xFF) >= 0xE1 ? (g & 0xFF) - 0xE0 : 1;
      unsigned month = (g >> 8) >= 0xF1 && (g >> 8) <= 0xFC ? (g >> 8) - 0xF0 : 6;
      const DateTime d = FromSeconds(now);
      auto on = [&](int year) {
        const chr::year_month_day_last last{chr::year{year} / chr::month{month} / chr::last};
        const unsigned dd = std::min(day, unsigned(last.day()));
        return DaysFromCivil(year, month, dd) * kDay;
      };
      int year = d.Year;
      if (on(year) > now) --year;
      end = on(year - static_cast<int>(k));
      begin = on(year - static_cast<int>(k) - 1);
      break;
    }
    default:
      break;
  }
  return ValuesAt(end, begin, false);
}

// ---------------------------------------------------------------------------------------------
// Telegrams

Bytes VirtualMeter::Handle(const std::uint8_t* telegram, std::size_t n) {
  if (options_.mute || telegram == nullptr) return {};
  Frame f;
  if (!ParseFrame(telegram, n, f)) return {};
  Bytes answer = f.is_long ? HandleLong(f) : HandleShort(f);
  if (f.a == 0xFF) return {};  // broadcast without answer
  return Finish(std::move(answer));
}

bool VirtualMeter::ForUs(std::uint8_t a) const {
  return a == PrimaryAddress() || a == 0xFE || a == 0xFF || (a == 0xFD && selected_);
}

Bytes VirtualMeter::HandleShort(const Frame& f) {
  if (!ForUs(f.a)) return {};
  if (f.c == 0x40) {  // SND_NKE
    RestartStream(DataStream::Current, 0);
    selection_.clear();
    if (f.a == 0xFD) selected_ = false;
    return {kAck};
  }
  if ((f.c & 0xDF) == 0x5B) return DataRequest((f.c & 0x20) != 0);  // REQ_UD2
  return {};
}

Bytes VirtualMeter::HandleLong(const Frame& f) {
  if ((f.c & 0xDF) != 0x53) return {};  // SND_UD only
  if (f.ci == 0x52) return f.a == 0xFD ? Select(f.data) : Bytes{};
  if (!ForUs(f.a)) return {};
  switch (f.ci) {
    case 0x50: return Reset(f.data);
    case 0x51: return Records(f.data);
    case 0xA1: return MemoryRead(f.data);
    case 0xA2: return MemoryWrite(f.data);
    default: return {};
  }
}

void VirtualMeter::RestartStream(DataStream stream, std::uint32_t first) {
  stream_ = stream;
  cursor_ = first;
  fcb_valid_ = false;
  last_answer_.clear();
}

// EN 13757-2: the first request after a reset or a selection is answered with new data; then a
// request whose frame count bit did not toggle repeats the last answer, a toggled one gets the
// next.
Bytes VirtualMeter::DataRequest(bool fcb) {
  if (options_.ack_data) return {kAck};
  if (fcb_valid_ && fcb == last_fcb_) return last_answer_;
  if (fcb_valid_) ++cursor_;
  fcb_valid_ = true;
  last_fcb_ = fcb;
  last_answer_ = BuildDataTelegram();
  return last_answer_;
}

Bytes VirtualMeter::Reset(const Bytes& data) {
  selection_.clear();
  if (data.empty()) {
    RestartStream(DataStream::Current, 0);
    return {kAck};
  }
  // Subcode (EN 13757-3, upper nibble): 2 simple billing, 3 enhanced billing, 4 multi-tariff
  // billing, 5 instantaneous values, 6 load management, 0 all; the meter keeps its set-day,
  // daily, monthly and hourly archives and a log of its sensors behind them.
  switch (data[0] >> 4) {
    case 0x0: RestartStream(DataStream::Sensors, 0); break;
    case 0x2: RestartStream(DataStream::SetDay, 0); break;
    case 0x3: RestartStream(DataStream::Days, 0); break;
    case 0x4: RestartStream(DataStream::Months, 0); break;
    case 0x5: RestartStream(DataStream::Current, 1); break;  // the sensor telegram first
    case 0x6: RestartStream(DataStream::Hours, 0); break;
    default: RestartStream(DataStream::Current, 0); break;
  }
  return {kAck};
}

Bytes VirtualMeter::Select(const Bytes& d) {
  if (d.size() < 8) return {};
  const std::uint32_t want = GetU32(d.data());
  const std::uint32_t id = Identification();
  bool match = true;
  for (int i = 0; i < 8; ++i) {
    const std::uint32_t w = (want >> (4 * i)) & 0xF;
    if (w != 0xF && w != ((id >> (4 * i)) & 0xF)) match = false;
  }
  const std::uint16_t man = static_cast<std::uint16_t>(d[4] | d[5] << 8);
  if (man != 0xFFFF && man != Manufacturer()) match = false;
  if (d[6] != 0xFF && d[6] != options_.version_byte) match = false;
  if (d[7] != 0xFF && d[7] != Medium()) match = false;
  selected_ = match;  // a selection that does not match deselects
  if (!match) return {};
  RestartStream(stream_, 0);
  return {kAck};
}

Bytes VirtualMeter::Records(const Bytes& data) {
  std::vector<DataRecord> records;
  if (!ParseRecords(data, records)) return {};
  const bool selections = std::all_of(records.begin(), records.end(),
                                      [](const DataRecord& r) { return r.IsSelection(); });
  if (selections && !records.empty()) {
    std::vector<Selector> sel;
    bool version = false;
    for (const DataRecord& r : records) {
      sel.push_back(r.AsSelector());
      if (r.vif.size() == 2 && r.vif[0] == 0xFF && (r.vif[1] & 0x7F) == 0x0E) version = true;
    }
    if (version) {
      RestartStream(DataStream::Version, 0);
    } else {
      selection_ = std::move(sel);
      RestartStream(stream_ == DataStream::Version ? DataStream::Current : stream_, 0);
    }
    return {kAck};
  }
  // Write records: every one must be known and allowed in this mode, else none is applied.
  enum class W { Id, Fabrication, Address, Time, Pulse };
  struct Planned {
    W what;
    const DataRecord* r;
    DateTime time;
  };
  std::vector<Planned> plan;
  const std::uint8_t pulse_bits =
      options_.firmware >= kFirmware17042702 ? kBitsManufacturerOrTest : kBitsManufacturer;
  for (const DataRecord& r : records) {
    if (r.IsSelection()) return {};
    const bool plain = r.difes == 0;
    const std::uint8_t vif = r.vif.size() == 1 ? r.vif[0] : 0xFF;
    if (plain && r.dif == 0x0C && vif == 0x79) {
      if (!ModeAllows(kBitsManufacturerOrTest)) return {};
      plan.push_back({W::Id, &r, {}});
    } else if (plain && r.dif == 0x0C && vif == 0x78) {
      if (!ModeAllows(kBitsManufacturer)) return {};
      plan.push_back({W::Fabrication, &r, {}});
    } else if (plain && r.dif == 0x01 && vif == 0x7A) {
      if (r.data[0] > 250) return {};  // 251..255 are not station addresses
      plan.push_back({W::Address, &r, {}});
    } else if (plain && r.dif == 0x04 && vif == 0x6D) {
      DateTime t;
      if (!DecodeTypeF(GetU32(r.data.data()), t)) return {};
      plan.push_back({W::Time, &r, t});
    } else if ((r.dif & 0x3F) == 0x04 && r.function == 0 && r.storage == 0 && r.tariff == 0 &&
               (r.subunit == 1 || r.subunit == 2) && IsPulseVif(vif)) {
      if (!ModeAllows(pulse_bits)) return {};
      if (static_cast<std::int32_t>(GetU32(r.data.data())) < 0) return {};
      plan.push_back({W::Pulse, &r, {}});
    } else {
      return {};
    }
  }
  for (const Planned& p : plan) {
    const std::uint32_t v = p.r->data.size() >= 4 ? GetU32(p.r->data.data()) : p.r->data[0];
    switch (p.what) {
      case W::Id: image_.SetCfg<std::uint32_t>(kCfgIdentification, v); break;
      case W::Fabrication:
        image_.SetCfg<std::uint32_t>(kCfgFabrication, v);
        CheckConstantsCrc(image_, false, nullptr);
        break;
      case W::Address: image_.SetCfg<std::uint8_t>(kCfgPrimaryAddress, p.r->data[0]); break;
      case W::Time: SetTime(p.time); break;
      case W::Pulse: {
        PulseCounter& c = pulses_[p.r->subunit - 1];
        c.base = static_cast<double>(v) * VifFactor(p.r->vif[0]);
        c.at_running_s = RunningSeconds();
        break;
      }
    }
  }
  RestartStream(stream_, 0);
  return {kAck};
}

namespace {
// The bytes the user configuration writes may change (rows 8 to 20 of the region table): in test
// mode the meter takes these, everything else of the configuration block needs the manufacturer.
bool UserConfigurationOnly(std::uint32_t address, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i) {
    const std::uint32_t a = address + static_cast<std::uint32_t>(i);
    bool in = false;
    for (int row = kRegionUserConfig1; row <= kRegionUserMenu && !in; ++row) {
      const MemoryRegion& r = Region(row);
      in = a >= r.StartMemory && a < r.StartMemory + r.MemorySize;
    }
    if (!in) return false;
  }
  return true;
}
}  // namespace

// 0F, memory type, n, address(4) -> 68 L L 68 08 A A1 0F data(n) CS 16
Bytes VirtualMeter::MemoryRead(const Bytes& d) {
  if (d.size() != 7 || d[0] != 0x0F || d[1] != 0) return {};
  const std::size_t n = d[2];
  const std::uint32_t address = GetU32(d.data() + 3);
  if (n < 1 || n > 64) return {};
  Bytes out(n + 1);
  out[0] = 0x0F;
  // Reading the test-mode byte switches the test mode without changes on or off; the byte then
  // tells the new state. A read repeated within a few seconds is the master asking again for a
  // lost answer and switches nothing.
  const std::int64_t now = clock_.NowMs();
  if (Inside(Area{address, n}, kTestModeAddress, 1) && Inside(kRamArea, address, n) &&
      !(toggled_ && now - toggled_ms_ < kToggleRepeatMs)) {
    toggled_ = true;
    toggled_ms_ = now;
    if (ModeByte() == kModeTestNoChange) {
      SetModeByte(mode_before_test_);
      SetRam(kTestModeAddress, 0);
    } else {
      mode_before_test_ = ModeByte();
      SetModeByte(kModeTestNoChange);
      SetRam(kTestModeAddress, 1);
    }
  }
  if (!ReadMemory(address, n, out.data() + 1)) return {};
  return LongFrame(0x08, PrimaryAddress(), 0xA1, out);
}

// 0F, memory type, address(4), data(n) -> E5
Bytes VirtualMeter::MemoryWrite(const Bytes& d) {
  if (d.size() < 7 || d[0] != 0x0F || d[1] != 0) return {};
  const std::uint32_t address = GetU32(d.data() + 2);
  const std::size_t n = d.size() - 6;
  if (n > 64) return {};
  if (Inside(kCfgArea, address, n)) {
    const std::uint8_t need =
        UserConfigurationOnly(address, n) ? kBitsManufacturerOrTest : kBitsManufacturer;
    if (!ModeAllows(need)) return {};
  } else if (Inside(kCoefArea, address, n)) {
    if (!ModeAllows(kBitsManufacturer)) return {};
  } else if (!Inside(kRamArea, address, n)) {
    return {};
  }
  WriteMemory(address, d.data() + 6, n);
  return {kAck};
}

Bytes VirtualMeter::Finish(Bytes answer) {
  if (answer.empty()) return answer;
  ++answers_;
  if (options_.drop_every > 0 && answers_ % options_.drop_every == 0) return {};
  if (answer.size() > 1) {
    ++long_answers_;
    if (options_.corrupt_every > 0 && long_answers_ % options_.corrupt_every == 0)
      answer[answer.size() - 2] = static_cast<std::uint8_t>(answer[answer.size() - 2] + 1);
  }
  // The M-Bus credits count down by the bytes the meter sends, unless they are switched off.
  if (image_.Cfg<std::uint16_t>(kCfgMbusCredits) != 0xFFFF) {
    const std::uint32_t c = MbusCredits();
    const auto sent = static_cast<std::uint32_t>(answer.size());
    SetCredits(OpticalCredits(), c > sent ? c - sent : 0);
  }
  return answer;
}

Bytes VirtualMeter::BuildDataTelegram() {
  Bytes records;
  if (stream_ == DataStream::Version) {
    // 0D FF 0E LVAR: the firmware digits and a closing zero byte.
    const std::string digits = std::to_string(options_.firmware);
    records = {0x0D, 0xFF, 0x0E, static_cast<std::uint8_t>(digits.size() + 1)};
    records.insert(records.end(), digits.begin(), digits.end());
    records.push_back(0x00);
    return VariableDataTelegram(records);
  }
  // A readout selection picks quantities, each once. Archive records keep the meter's own record
  // order however the selectors were ordered or overlap; the live telegram (the data log's
  // selection) follows the order of the selectors.
  std::vector<Q> list;
  if (!selection_.empty()) {
    auto vif_of = [this](Q q) { return q == Q::Pulse1 ? PulseVif(1) : PulseVif(2); };
    if (stream_ == DataStream::Current) {
      for (const Selector& s : selection_) {
        for (std::size_t i = 0; i < kQuantityCount; ++i) {
          const auto q = static_cast<Q>(i);
          if (Matches(s, q, vif_of(q)) && std::find(list.begin(), list.end(), q) == list.end())
            list.push_back(q);
        }
      }
    } else {
      for (std::size_t i = 0; i < kQuantityCount; ++i) {
        const auto q = static_cast<Q>(i);
        if (std::any_of(selection_.begin(), selection_.end(),
                        [&](const Selector& s) { return Matches(s, q, vif_of(q)); }))
          list.push_back(q);
      }
    }
  }
  if (stream_ == DataStream::Current) {
    if (selection_.empty()) list = cursor_ % 2 == 0 ? kCurrentCounters : kCurrentSensors;
    AppendRecords(list, 0, Now(), records);
    return VariableDataTelegram(records);
  }
  if (cursor_ >= ArchiveDepth(stream_)) return {kAck};  // no older records
  if (selection_.empty()) list = stream_ == DataStream::Sensors ? kSensorRecord : kBillingRecord;
  AppendRecords(list, cursor_ + 1, ArchivePoint(stream_, cursor_), records);
  return VariableDataTelegram(records);
}

// RSP_UD, CI 72h: identification, manufacturer, version, medium, access number, status,
// signature, then the records.
Bytes VirtualMeter::VariableDataTelegram(const Bytes& records) {
  Bytes d;
  PutU32(d, Identification());
  PutU16(d, Manufacturer());
  d.push_back(options_.version_byte);
  d.push_back(Medium());
  d.push_back(++access_number_);
  d.push_back(0x00);  // status
  PutU16(d, 0x0000);  // signature
  d.insert(d.end(), records.begin(), records.end());
  return LongFrame(0x08, PrimaryAddress(), 0x72, d);
}

void VirtualMeter::AppendRecords(const std::vector<Quantity>& list, std::uint32_t storage,
                                 const Snapshot& s, Bytes& out) const {
  for (Q q : list) {
    const std::uint8_t pulse_vif = q == Q::Pulse2 ? PulseVif(2) : PulseVif(1);
    Bytes rec = QuantityHeader(q, storage, pulse_vif);
    auto u32 = [&](std::int64_t v) {
      PutU32(rec, static_cast<std::uint32_t>(std::clamp<std::int64_t>(v, 0, 0x7FFFFFFF)));
    };
    auto date = [&](std::int64_t t) { PutU32(rec, EncodeTypeF(FromSeconds(t))); };
    auto real = [&](double v) { PutF32(rec, static_cast<float>(v)); };
    switch (q) {
      case Q::Timestamp: date(s.time_s); break;
      case Q::OnTime: u32(s.on_time_s); break;
      case Q::ErrorFreeTime: u32(s.error_free_s); break;
      case Q::ErrorCode: PutU32(rec, s.error_flags); break;
      case Q::ErrorDate: date(s.error_s); break;
      case Q::HeatEnergy: u32(static_cast<std::int64_t>(s.heat_kwh)); break;
      case Q::CoolEnergy: u32(static_cast<std::int64_t>(s.cool_kwh)); break;
      case Q::Tariff1Energy: u32(static_cast<std::int64_t>(s.tariff1_kwh)); break;
      case Q::Tariff2Energy: u32(static_cast<std::int64_t>(s.tariff2_kwh)); break;
      case Q::Volume: u32(static_cast<std::int64_t>(s.volume_l)); break;
      case Q::Pulse1: u32(s.pulse[0]); break;
      case Q::Pulse2: u32(s.pulse[1]); break;
      case Q::Power: real(s.power); break;
      case Q::Flow: real(s.flow); break;
      case Q::FlowTemp: real(s.t1); break;
      case Q::ReturnTemp: real(s.t2); break;
      case Q::TempDiff: real(s.dt); break;
      case Q::MinPower: real(s.min_power); break;
      case Q::MaxPower: real(s.max_power); break;
      case Q::MinFlow: real(s.min_flow); break;
      case Q::MaxFlow: real(s.max_flow); break;
      case Q::MinFlowTemp: real(s.min_t1); break;
      case Q::MaxFlowTemp: real(s.max_t1); break;
      case Q::MinReturnTemp: real(s.min_t2); break;
      case Q::MaxReturnTemp: real(s.max_t2); break;
      case Q::MinTempDiff: real(s.min_dt); break;
      case Q::MaxTempDiff: real(s.max_dt); break;
      case Q::MinPowerDate: case Q::MinFlowDate: case Q::MinFlowTempDate:
      case Q::MinReturnTempDate: case Q::MinTempDiffDate:
        date(s.min_at_s);
        break;
      case Q::MaxPowerDate: case Q::MaxFlowDate: case Q::MaxFlowTempDate:
      case Q::MaxReturnTempDate: case Q::MaxTempDiffDate:
        date(s.max_at_s);
        break;
      case Q::LowFlowDuration: u32(s.low_flow_s); break;
      case Q::LowFlowLimit: real(s.low_limit); break;
      case Q::HighFlowDuration: u32(s.high_flow_s); break;
      case Q::HighFlowLimit: real(s.high_limit); break;
      case Q::EnergyUnit: rec.push_back(s.energy_unit); break;
      case Q::TimeOfFlightSum: PutU32(rec, static_cast<std::uint32_t>(s.tof_sum)); break;
      case Q::TimeOfFlightDiff: PutU32(rec, static_cast<std::uint32_t>(s.tof_diff)); break;
    }
    // What does not fit into one long frame is left out.
    if (out.size() + rec.size() > kMaxUserData - kFixedHeader) break;
    out.insert(out.end(), rec.begin(), rec.end());
  }
}

}  // namespace nord5::sim
