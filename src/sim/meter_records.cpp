#include "sim/meter_records.h"

#include <array>

namespace nord5::sim {
namespace {

using Q = Quantity;

// In the order of the Quantity enumeration.
constexpr std::array<QuantityInfo, kQuantityCount> kInfo{{
    {Q::Timestamp, 4, 0, 0, 0, {0x6D}, 1},
    {Q::OnTime, 4, 0, 0, 0, {0x20}, 1},
    {Q::ErrorFreeTime, 4, 0, 0, 0, {0x24}, 1},
    {Q::ErrorCode, 4, 3, 0, 0, {0xFD, 0x17}, 2},
    {Q::ErrorDate, 4, 3, 0, 0, {0x6D}, 1},
    {Q::HeatEnergy, 4, 0, 0, 0, {0x86, 0x3B}, 2},  // kWh, accumulated positive
    {Q::CoolEnergy, 4, 0, 0, 0, {0x86, 0x3C}, 2},  // kWh, accumulated negative
    {Q::Tariff1Energy, 4, 0, 1, 0, {0x86, 0x3B}, 2},
    {Q::Tariff2Energy, 4, 0, 2, 0, {0x86, 0x3B}, 2},
    {Q::Volume, 4, 0, 0, 0, {0x13}, 1},  // litres
    {Q::Pulse1, 4, 0, 0, 1, {}, 0},
    {Q::Pulse2, 4, 0, 0, 2, {}, 0},
    {Q::Power, 5, 0, 0, 0, {0x2E}, 1},       // kW
    {Q::Flow, 5, 0, 0, 0, {0x3E}, 1},        // m3/h
    {Q::FlowTemp, 5, 0, 0, 0, {0x5B}, 1},    // degrees C
    {Q::ReturnTemp, 5, 0, 0, 0, {0x5F}, 1},
    {Q::TempDiff, 5, 0, 0, 0, {0x63}, 1},    // K
    {Q::MinPower, 5, 2, 0, 0, {0x2E}, 1},
    {Q::MinPowerDate, 4, 2, 0, 0, {0xAE, 0x6D}, 2},
    {Q::MaxPower, 5, 1, 0, 0, {0x2E}, 1},
    {Q::MaxPowerDate, 4, 1, 0, 0, {0xAE, 0x6D}, 2},
    {Q::MinFlow, 5, 2, 0, 0, {0x3E}, 1},
    {Q::MinFlowDate, 4, 2, 0, 0, {0xBE, 0x6D}, 2},
    {Q::MaxFlow, 5, 1, 0, 0, {0x3E}, 1},
    {Q::MaxFlowDate, 4, 1, 0, 0, {0xBE, 0x6D}, 2},
    {Q::MinFlowTemp, 5, 2, 0, 0, {0x5B}, 1},
    {Q::MinFlowTempDate, 4, 2, 0, 0, {0xDB, 0x6D}, 2},
    {Q::MaxFlowTemp, 5, 1, 0, 0, {0x5B}, 1},
    {Q::MaxFlowTempDate, 4, 1, 0, 0, {0xDB, 0x6D}, 2},
    {Q::MinReturnTemp, 5, 2, 0, 0, {0x5F}, 1},
    {Q::MinReturnTempDate, 4, 2, 0, 0, {0xDF, 0x6D}, 2},
    {Q::MaxReturnTemp, 5, 1, 0, 0, {0x5F}, 1},
    {Q::MaxReturnTempDate, 4, 1, 0, 0, {0xDF, 0x6D}, 2},
    {Q::MinTempDiff, 5, 2, 0, 0, {0x63}, 1},
    {Q::MinTempDiffDate, 4, 2, 0, 0, {0xE3, 0x6D}, 2},
    {Q::MaxTempDiff, 5, 1, 0, 0, {0x63}, 1},
    {Q::MaxTempDiffDate, 4, 1, 0, 0, {0xE3, 0x6D}, 2},
    {Q::LowFlowDuration, 4, 0, 0, 0, {0xBE, 0x50}, 2},  // seconds below the lower limit
    {Q::LowFlowLimit, 5, 0, 0, 0, {0xBE, 0x40}, 2},
    {Q::HighFlowDuration, 4, 0, 0, 0, {0xBE, 0x58}, 2},
    {Q::HighFlowLimit, 5, 0, 0, 0, {0xBE, 0x48}, 2},
    {Q::EnergyUnit, 1, 0, 0, 0, {0xFF, 0x0C}, 2},
    {Q::TimeOfFlightSum, 4, 0, 0, 0, {0xFF, 0x05}, 2},
    {Q::TimeOfFlightDiff, 4, 0, 0, 0, {0xFF, 0x06}, 2},
}};

constexpr bool InfoInOrder() {
  for (std::size_t i = 0; i < kInfo.size(); ++i)
    if (static_cast<std::size_t>(kInfo[i].id) != i) return false;
  return true;
}
static_assert(InfoInOrder());

Bytes VifOf(const QuantityInfo& info, std::uint8_t pulse_vif) {
  if (info.vif_len == 0) return {static_cast<std::uint8_t>(pulse_vif & 0x7F)};
  return Bytes(info.vif, info.vif + info.vif_len);
}

// Data field lengths by the low nibble of the DIF; -1 for variable length, -2 for none allowed.
int DataLength(std::uint8_t field) {
  static constexpr int kLen[16] = {0, 1, 2, 3, 4, 4, 6, 8, 0, 1, 2, 3, 4, -1, 6, -2};
  return kLen[field & 0x0F];
}

}  // namespace

const QuantityInfo& Info(Quantity q) { return kInfo[static_cast<std::size_t>(q)]; }

Bytes QuantityHeader(Quantity q, std::uint32_t storage, std::uint8_t pulse_vif) {
  const QuantityInfo& info = Info(q);
  Bytes h = RecordHeader(info.data_field, info.function, storage, info.tariff, info.subunit);
  const Bytes vif = VifOf(info, pulse_vif);
  h.insert(h.end(), vif.begin(), vif.end());
  return h;
}

bool Matches(const Selector& s, Quantity q, std::uint8_t pulse_vif) {
  const QuantityInfo& info = Info(q);
  if (s.function != info.function) return false;
  if (s.tariff && *s.tariff != info.tariff) return false;
  if (s.subunit && *s.subunit != info.subunit) return false;
  const Bytes vif = VifOf(info, pulse_vif);
  for (std::size_t i = 0; i < s.vif.size(); ++i) {
    const bool any = (s.vif[i] & 0x7F) == 0x7E;
    const bool last = i + 1 == s.vif.size();
    if (i >= vif.size()) return false;
    if (any && last) return true;
    if (!any && (s.vif[i] & 0x7F) != (vif[i] & 0x7F)) return false;
  }
  return s.vif.size() == vif.size();
}

Selector DataRecord::AsSelector() const {
  Selector s;
  s.function = function;
  // All ones over two or more DIFEs means "every tariff" / "every subunit"; with one DIFE a set
  // subunit bit is subunit 1.
  if (!(difes >= 2 && tariff_all_ones)) s.tariff = tariff;
  if (!(difes >= 2 && subunit_all_ones)) s.subunit = subunit;
  s.vif = vif;
  return s;
}

bool ParseRecords(const Bytes& d, std::vector<DataRecord>& out) {
  out.clear();
  std::size_t i = 0;
  while (i < d.size()) {
    if (d[i] == 0x2F) {  // idle filler
      ++i;
      continue;
    }
    DataRecord r;
    const std::size_t start = i;
    r.dif = d[i];
    if ((r.dif & 0x0F) == 0x0F) return false;  // manufacturer data and special functions
    r.function = (r.dif >> 4) & 3;
    r.storage = (r.dif >> 6) & 1;
    bool ext = r.dif & 0x80;
    ++i;
    bool tariff_ones = true, subunit_ones = true;
    while (ext) {
      if (i >= d.size() || r.difes == 10) return false;
      const std::uint8_t e = d[i++];
      // Storage numbers beyond 32 bits (eight and more DIFEs) are not kept.
      const int shift = 4 * r.difes + 1;
      if (shift < 32) r.storage |= static_cast<std::uint32_t>(e & 0x0F) << shift;
      r.tariff |= static_cast<std::uint32_t>((e >> 4) & 3) << (2 * r.difes);
      r.subunit |= static_cast<std::uint32_t>((e >> 6) & 1) << r.difes;
      tariff_ones = tariff_ones && ((e >> 4) & 3) == 3;
      subunit_ones = subunit_ones && (e & 0x40);
      ++r.difes;
      ext = e & 0x80;
    }
    r.tariff_all_ones = r.difes > 0 && tariff_ones;
    r.subunit_all_ones = r.difes > 0 && subunit_ones;
    do {
      if (i >= d.size() || r.vif.size() == 11) return false;
      r.vif.push_back(d[i++]);
    } while (r.vif.back() & 0x80);
    r.header.assign(d.begin() + static_cast<std::ptrdiff_t>(start),
                    d.begin() + static_cast<std::ptrdiff_t>(i));
    int len = DataLength(r.dif);
    if (r.IsSelection()) len = 0;
    if (len == -1) {
      if (i >= d.size()) return false;
      len = d[i++];
    }
    if (len < 0 || i + static_cast<std::size_t>(len) > d.size()) return false;
    r.data.assign(d.begin() + static_cast<std::ptrdiff_t>(i),
                  d.begin() + static_cast<std::ptrdiff_t>(i) + len);
    i += static_cast<std::size_t>(len);
    out.push_back(std::move(r));
  }
  return true;
}

}  // namespace nord5::sim
