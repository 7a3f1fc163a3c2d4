// The live values of the "Actual" tab: picks the records of a current-data telegram by their
// header bytes and writes their values into the tab's text fields.
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "foundation/form_view.h"
#include "mbus/decoder.h"

namespace nord5 {

// A header prefix of up to four bytes.
struct HeaderPattern {
  std::uint8_t Size;
  std::array<std::uint8_t, 4> Bytes;
  std::span<const std::uint8_t> View() const { return {Bytes.data(), Size}; }
};

// One matching rule: a record whose header begins with one of the patterns fills `Field` with its
// value, followed by ", " and its unit when `WithUnits`.
struct CurrentDataRule {
  HeaderPattern First;
  HeaderPattern Second;  // Size 0 when there is no alternative
  const char* Field;
  bool WithUnits;
};

// In the order they are tried; the first rule that matches takes the record.
inline constexpr std::array<CurrentDataRule, 17> kCurrentDataRules = {{
    {{2, {0x04, 0x6D}}, {}, "edDeviceTime", false},
    {{3, {0x04, 0x86, 0x3B}}, {}, "edHeatingEnergy", true},
    {{3, {0x04, 0x86, 0x3C}}, {}, "edCoolingEnergy", true},
    {{4, {0x84, 0x10, 0x86, 0x3B}}, {4, {0x84, 0x10, 0x86, 0x3C}}, "edTariff1", true},
    {{4, {0x84, 0x20, 0x86, 0x3B}}, {4, {0x84, 0x20, 0x86, 0x3C}}, "edTariff2", true},
    {{2, {0x04, 0x13}}, {}, "edVolume", true},
    {{2, {0x84, 0x40}}, {}, "edPulseInput1", true},       // any record of subunit 1
    {{3, {0x84, 0x80, 0x40}}, {}, "edPulseInput2", true}, // any record of subunit 2
    {{2, {0x04, 0x20}}, {}, "edWorkingTime", true},
    {{2, {0x04, 0x24}}, {}, "edErrorFreeTime", false},
    {{2, {0x34, 0x6D}}, {}, "edErrorDateAndTime", false},
    {{3, {0x34, 0xFD, 0x17}}, {}, "edErrorCode", false},
    {{2, {0x05, 0x5B}}, {2, {0x02, 0x59}}, "edTemperature1flow", true},
    {{2, {0x05, 0x5F}}, {2, {0x02, 0x5D}}, "edTemperature2return", true},
    {{2, {0x05, 0x63}}, {2, {0x02, 0x61}}, "edTemperatureDiff", true},
    {{2, {0x05, 0x3E}}, {2, {0x04, 0x3B}}, "edFlow", true},
    {{2, {0x05, 0x2E}}, {2, {0x04, 0x2B}}, "edPower", true},
}};

// True when `header` begins with every byte of `pattern`; an empty header or pattern never
// matches.
bool HeaderMatches(std::span<const std::uint8_t> header, const HeaderPattern& pattern);

// The first rule that takes a record with this header; nullptr when none does.
const CurrentDataRule* MatchCurrentDataRule(std::span<const std::uint8_t> header);

// The handler of both current-data telegrams: device ID ("%08u") and M-Bus address, then every
// matching record into its field. Fields of records the telegram lacks keep their text. Gives true.
bool DecodingCurrentMeterData(FormView& form, std::int32_t ID, std::int32_t MBusA,
                              const TFullRecord& DR);

// DecodingCurrentMeterData bound to `form`, in the form DecodeMBusData takes.
DecodedDataHandler CurrentMeterDataHandler(FormView& form);

}  // namespace nord5
