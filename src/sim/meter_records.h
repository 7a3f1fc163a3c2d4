// The quantities the virtual meter reports, how each is headed in a data record, and the
// readout selections (DIF data field 8) that pick them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "sim/telegram.h"

namespace nord5::sim {

enum class Quantity : std::uint8_t {
  Timestamp, OnTime, ErrorFreeTime, ErrorCode, ErrorDate,
  HeatEnergy, CoolEnergy, Tariff1Energy, Tariff2Energy, Volume, Pulse1, Pulse2,
  Power, Flow, FlowTemp, ReturnTemp, TempDiff,
  MinPower, MinPowerDate, MaxPower, MaxPowerDate,
  MinFlow, MinFlowDate, MaxFlow, MaxFlowDate,
  MinFlowTemp, MinFlowTempDate, MaxFlowTemp, MaxFlowTempDate,
  MinReturnTemp, MinReturnTempDate, MaxReturnTemp, MaxReturnTempDate,
  MinTempDiff, MinTempDiffDate, MaxTempDiff, MaxTempDiffDate,
  LowFlowDuration, LowFlowLimit, HighFlowDuration, HighFlowLimit,
  EnergyUnit, TimeOfFlightSum, TimeOfFlightDiff,
};
inline constexpr std::size_t kQuantityCount = 44;

// How a quantity is headed: data field, function field, tariff, subunit and the VIF bytes
// (VIF and VIFEs with their extension bits). The pulse channels take their VIF from the meter's
// configuration, so `vif_len` is 0 for them.
struct QuantityInfo {
  Quantity id;
  std::uint8_t data_field;  // 1 u8, 4 i32 (also type F dates), 5 real
  std::uint8_t function;    // 0 value, 1 maximum, 2 minimum, 3 during error state
  std::uint8_t tariff;
  std::uint8_t subunit;
  std::uint8_t vif[3];
  std::uint8_t vif_len;
};
const QuantityInfo& Info(Quantity q);

// The record header (DIF, DIFEs, VIF, VIFEs) of `q` at `storage`; `pulse_vif` is used for the
// pulse channels.
Bytes QuantityHeader(Quantity q, std::uint32_t storage, std::uint8_t pulse_vif);

// One record of a readout selection: function field, tariff and subunit (nullopt: all ones,
// that is any), and the VIF bytes; 7Eh/FEh in the VIF bytes stands for any VIF or VIFE, and at
// the end of the bytes for any remaining ones. The storage number is not used: every record the
// meter reports is one storage number.
struct Selector {
  std::uint8_t function = 0;
  std::optional<std::uint32_t> tariff;
  std::optional<std::uint32_t> subunit;
  Bytes vif;
};
bool Matches(const Selector& s, Quantity q, std::uint8_t pulse_vif);

// One data record of a SND_UD (after CI 51h): a selection (data field 8, no data) or a value.
struct DataRecord {
  std::uint8_t dif = 0;        // first DIF byte
  std::uint8_t function = 0;
  std::uint32_t storage = 0;
  std::uint32_t tariff = 0;
  std::uint32_t subunit = 0;
  int difes = 0;               // number of DIFEs
  bool tariff_all_ones = false;
  bool subunit_all_ones = false;
  Bytes vif;                   // VIF and VIFEs
  Bytes header;                // DIF to the last VIFE, as sent
  Bytes data;                  // the data field as sent
  bool IsSelection() const { return (dif & 0x0F) == 0x08; }
  Selector AsSelector() const;
};
// Splits user data into records; false when a record is cut off or malformed (too many DIFEs or
// VIFEs, a data field past the end).
bool ParseRecords(const Bytes& user_data, std::vector<DataRecord>& out);

}  // namespace nord5::sim
