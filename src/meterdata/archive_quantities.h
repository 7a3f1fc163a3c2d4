// The archive quantities a technician can pick on the "Archive" tab, each with the data-record
// selectors of the readout selection that asks the meter for it, and the kinds of data that
// can be read.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "foundation/vocabulary.h"

namespace nord5 {

// One selector: storage number, tariff and subunit (-1: all ones in that field, "any"), the DIF
// data code (08h instantaneous, 18h maximum, 28h minimum, 38h during error state) and the VIF
// bytes. Example: {-1, 0, 0, 0x08, {0xFE, 0x3B}, 2} asks for any VIF with the VIFE 3Bh (the
// accumulated positive energy) of tariff 0 and subunit 0.
struct ArchiveSelector {
  std::int32_t Storage = -1;
  std::int32_t Tariff = -1;
  std::int32_t Subunit = -1;
  std::uint8_t DataCode = 0x08;
  std::array<std::uint8_t, 3> Vif{};
  std::uint8_t VifCount = 0;
};

struct ArchiveQuantity {
  std::string_view Name;
  std::uint8_t Count = 1;  // selectors used, 1 to 4
  std::array<ArchiveSelector, 4> Data{};
};

namespace archive_detail {
constexpr ArchiveSelector Any(std::uint8_t code, std::uint8_t v0) {
  return {-1, -1, -1, code, {v0}, 1};
}
constexpr ArchiveSelector Any(std::uint8_t code, std::uint8_t v0, std::uint8_t v1) {
  return {-1, -1, -1, code, {v0, v1}, 2};
}
constexpr ArchiveSelector Part(std::int32_t tariff, std::int32_t subunit, std::uint8_t v0) {
  return {-1, tariff, subunit, 0x08, {v0}, 1};
}
constexpr ArchiveQuantity One(std::string_view name, ArchiveSelector s) { return {name, 1, {s}}; }
}  // namespace archive_detail

inline constexpr std::size_t kArchiveQuantityCount = 40;

// In the order of the check list on the tab.
inline constexpr std::array<ArchiveQuantity, kArchiveQuantityCount> kArchiveQuantities = [] {
  using namespace archive_detail;
  return std::array<ArchiveQuantity, kArchiveQuantityCount>{{
      One("Timestamp", Any(0x08, 0x6D)),
      One("Error free time", Any(0x08, 0x24)),
      One("Error code", Any(0x38, 0xFD, 0x17)),
      One("Error date", Any(0x38, 0x6D)),
      {"Heating registers",
       4,
       {ArchiveSelector{-1, 0, 0, 0x08, {0xFE, 0x3B}, 2},
        ArchiveSelector{-1, 0, 0, 0x08, {0xFE, 0xFE, 0x3B}, 3},
        ArchiveSelector{-1, 0, 0, 0x08, {0xFE, 0x3C}, 2},
        ArchiveSelector{-1, 0, 0, 0x08, {0xFE, 0xFE, 0x3C}, 3}}},
      One("Medium register", Any(0x08, 0x13)),
      One("Tarrif 1 registers", Part(1, 0, 0x7E)),
      One("Tarrif 2 registers", Part(2, 0, 0x7E)),
      One("Pulse input 1 registers", Part(-1, 1, 0x7E)),
      One("Pulse input 2 registers", Part(-1, 2, 0x7E)),
      One("Average power", Any(0x08, 0x2E)),
      One("Average flow", Any(0x08, 0x3E)),
      One("Average temperature 1", Any(0x08, 0x5B)),
      One("Average temperature 2", Any(0x08, 0x5F)),
      One("Average temp. diff.", Any(0x08, 0x63)),
      One("Min power", Any(0x28, 0x2E)),
      One("Min power date", Any(0x28, 0xAE, 0x6D)),
      One("Max power", Any(0x18, 0x2E)),
      One("Max power date", Any(0x18, 0xAE, 0x6D)),
      One("Min flow", Any(0x28, 0x3E)),
      One("Min flow date", Any(0x28, 0xBE, 0x6D)),
      One("Max flow", Any(0x18, 0x3E)),
      One("Max flow date", Any(0x18, 0xBE, 0x6D)),
      One("Min temperature 1", Any(0x28, 0x5B)),
      One("Min temperature 1 date", Any(0x28, 0xDB, 0x6D)),
      One("Max temperature 1", Any(0x18, 0x5B)),
      One("Max temperature 1 date", Any(0x18, 0xDB, 0x6D)),
      One("Min temperature 2", Any(0x28, 0x5F)),
      One("Min temperature 2 date", Any(0x28, 0xDF, 0x6D)),
      One("Max temperature 2", Any(0x18, 0x5F)),
      One("Max temperature 2 date", Any(0x18, 0xDF, 0x6D)),
      One("Min temp. diff.", Any(0x28, 0x63)),
      One("Min temp. diff. date", Any(0x28, 0xE3, 0x6D)),
      One("Max temp. diff.", Any(0x18, 0x63)),
      One("Max temp. diff. date", Any(0x18, 0xE3, 0x6D)),
      One("Duration of lower (flow) limit exceed", Any(0x08, 0xBE, 0x50)),
      One("Lower flow limit", Any(0x08, 0xBE, 0x40)),
      One("Duration of upper  (flow) limit exceed", Any(0x08, 0xBE, 0x58)),
      One("Upper flow limit", Any(0x08, 0xBE, 0x48)),
      One("Energy Unit Index", Any(0x08, 0xFF, 0x0C)),
  }};
}();

// The kinds of data of `cbReadData`, by index; the engine turns the index into the subcode of
// the application reset.
inline constexpr std::array<std::string_view, 6> kArchiveKindNames = {
    "Current data",          "Hours statistic data", "Days statistic data",
    "Month  statistic data", "Set day data",         "Sensors"};

// The table as the engine's rows (`ExtCommands` points into them), built once, in table order.
const std::vector<tMTR7ExtParams>& ArchiveQuantityRows();

// The rows whose indexes are given, in list order (0..39; others and repeats are left out).
std::vector<const tMTR7ExtParams*> SelectedArchiveQuantities(std::span<const int> rows);

}  // namespace nord5
