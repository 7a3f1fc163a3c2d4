// The VIF tables of EN 13757-3 as this decoder reads them: the primary table and the two
// extension tables behind FBh and FDh, each a list of code ranges in table order.
#pragma once

#include <array>
#include <cstdint>
#include <optional>

#include "mbus/quantities.h"

namespace nord5 {

// One range of codes. The quantity is Reik + ((x - First) & CodeMask) (CodeMask 0: one quantity
// for the whole range; 3: four codes by the low two bits, as in s/min/h/days; FFh: one quantity
// per code). The factor is 10^((x & ExpMask) + ExpBias) when Scaled, else Fixed.
struct VifRange {
  std::uint8_t First;
  std::uint8_t Last;
  TReiksmes Reik;
  std::uint8_t CodeMask;
  bool Scaled;
  std::uint8_t ExpMask;
  std::int8_t ExpBias;
  double Fixed;
};

struct VifMeaning {
  TReiksmes Reik;
  double Daug;
};

namespace vif {
using R = TReiksmes;
constexpr VifRange Pow(std::uint8_t first, std::uint8_t last, R reik, std::uint8_t mask,
                       std::int8_t bias) {
  return {first, last, reik, 0, true, mask, bias, 1.0};
}
constexpr VifRange Fix(std::uint8_t first, std::uint8_t last, R reik, std::uint8_t code_mask = 0,
                       double factor = 1.0) {
  return {first, last, reik, code_mask, false, 0, 0, factor};
}
}  // namespace vif

// Primary VIF, bit 7 ignored (n = x & 7, nn = x & 3).
inline constexpr auto kPrimaryVif = std::to_array<VifRange>({
    vif::Pow(0x00, 0x07, TReiksmes::rmEnergy_Wh, 7, -3),
    vif::Pow(0x08, 0x0F, TReiksmes::rmEnergy_J, 7, 0),
    vif::Pow(0x10, 0x17, TReiksmes::rmVolume_m3, 7, -6),
    vif::Pow(0x18, 0x1F, TReiksmes::rmMass_kg, 7, -3),
    vif::Fix(0x20, 0x23, TReiksmes::rmTime_ss, 3),
    vif::Fix(0x24, 0x27, TReiksmes::rmOper_ss, 3),
    vif::Pow(0x28, 0x2F, TReiksmes::rmPower_W, 7, -3),
    vif::Pow(0x30, 0x37, TReiksmes::rmPower_J_h, 7, 0),
    vif::Pow(0x38, 0x3F, TReiksmes::rmVolumeFlow_m3_h, 7, -6),
    vif::Pow(0x40, 0x47, TReiksmes::rmVolumeFlowExt_m3_min, 7, -7),
    vif::Pow(0x48, 0x4F, TReiksmes::rmVolumeFlowExt_m3_s, 7, -9),
    vif::Pow(0x50, 0x57, TReiksmes::rmMassFlow_kg_h, 7, -3),
    vif::Pow(0x58, 0x5B, TReiksmes::rmFlowTemper_C, 3, -3),
    vif::Pow(0x5C, 0x5F, TReiksmes::rmRetTemper_C, 3, -3),
    vif::Pow(0x60, 0x63, TReiksmes::rmTemperDiff_K, 3, -3),
    vif::Pow(0x64, 0x67, TReiksmes::rmExtTemper_C, 3, -3),
    vif::Pow(0x68, 0x6B, TReiksmes::rmPressure_bar, 3, -3),
    vif::Fix(0x6C, 0x6C, TReiksmes::rmTimePoint_0),
    vif::Fix(0x6D, 0x6D, TReiksmes::rmTimePoint_1),
    vif::Fix(0x6E, 0x6F, TReiksmes::rmH_C_A),
    vif::Fix(0x70, 0x73, TReiksmes::rmAver_ss, 3),
    vif::Fix(0x74, 0x77, TReiksmes::rmActualy_ss, 3),
    vif::Fix(0x78, 0x78, TReiksmes::rmFabricationNo),
    vif::Fix(0x79, 0x79, TReiksmes::rmEnhanced),
    vif::Fix(0x7A, 0x7A, TReiksmes::rmBusAddress),
    vif::Fix(0x7B, 0x7B, TReiksmes::rmNone),  // extension table FBh follows
    vif::Fix(0x7C, 0x7C, TReiksmes::rmSpecValue),  // plain text VIF: length byte and text follow
    vif::Fix(0x7D, 0x7D, TReiksmes::rmNone),  // extension table FDh follows
    vif::Fix(0x7E, 0x7E, TReiksmes::rmSpecValue),
    vif::Fix(0x7F, 0x7F, TReiksmes::rmSpecValue),
});

// Extension table behind FBh. EN 13757-3 reserves some codes beside the energy, volume, mass and
// power entries (02h-07h, 0Ah-0Fh, ...); this meter family reads them as that quantity with the
// exponent of bit 0. 17h is the meter's error word.
inline constexpr auto kExtensionFB = std::to_array<VifRange>({
    vif::Pow(0x00, 0x07, TReiksmes::rmEnergy_MWh, 1, -1),
    vif::Pow(0x08, 0x0F, TReiksmes::rmEnergy_GJ, 1, -1),
    vif::Pow(0x10, 0x13, TReiksmes::rmVolume_m3_100, 1, 2),
    vif::Fix(0x17, 0x17, TReiksmes::rmError),
    vif::Pow(0x18, 0x1F, TReiksmes::rmMass_t, 1, 2),
    vif::Fix(0x21, 0x21, TReiksmes::rmVolume_feet3, 0, 0.1),
    vif::Fix(0x22, 0x22, TReiksmes::rmVolume_amgallon_01, 0, 0.1),
    vif::Fix(0x23, 0x23, TReiksmes::rmVolume_amgallon_1),
    vif::Fix(0x24, 0x24, TReiksmes::rmVolumeGallon_min0001, 0, 0.001),
    vif::Fix(0x25, 0x25, TReiksmes::rmVolumeGallon_min1),
    vif::Fix(0x26, 0x26, TReiksmes::rmVolumeGallon_h1),
    vif::Pow(0x28, 0x2F, TReiksmes::rmPower_MW, 1, -1),
    vif::Pow(0x30, 0x37, TReiksmes::rmPower_GJ_h, 1, -1),
    vif::Pow(0x58, 0x5B, TReiksmes::rmFlowTemper_F, 3, -3),
    vif::Pow(0x5C, 0x5F, TReiksmes::rmRetTemper_F, 3, -3),
    vif::Pow(0x60, 0x63, TReiksmes::rmTemperDiff_F, 3, -3),
    vif::Pow(0x64, 0x67, TReiksmes::rmExtTemper_F, 3, -3),
    vif::Pow(0x70, 0x73, TReiksmes::rmTemperLimit_F, 3, -3),
    vif::Pow(0x74, 0x77, TReiksmes::rmTemperLimit_C, 3, -3),
    vif::Pow(0x78, 0x7F, TReiksmes::rmMaxPower_W, 7, -3),
});

// Extension table behind FDh (x = code & 7Fh), EN 13757-3 from 00h to 70h. Only volts and
// amperes are scaled; credits, debits and the durations keep factor 1.
inline constexpr auto kExtensionFD = std::to_array<VifRange>({
    vif::Fix(0x00, 0x03, TReiksmes::rmCredits),
    vif::Fix(0x04, 0x07, TReiksmes::rmDebit),
    vif::Fix(0x08, 0x18, TReiksmes::rmAccessNumber, 0xFF),  // access number .. error mask
    vif::Fix(0x19, 0x19, TReiksmes::rmR14),
    vif::Fix(0x1A, 0x1E, TReiksmes::rmDigitalOutput, 0xFF),  // digital output .. retry
    vif::Fix(0x1F, 0x1F, TReiksmes::rmR15),
    vif::Fix(0x20, 0x22, TReiksmes::rmFirstStorage, 0xFF),  // first, last, size of storage
    vif::Fix(0x23, 0x23, TReiksmes::rmR16),
    vif::Fix(0x24, 0x27, TReiksmes::rmStorageIntervalSS),
    vif::Fix(0x28, 0x29, TReiksmes::rmStorageIntervalMN, 0xFF),
    vif::Fix(0x2A, 0x2B, TReiksmes::rmR17, 0xFF),
    vif::Fix(0x2C, 0x2F, TReiksmes::rmDurationSince),
    vif::Fix(0x30, 0x30, TReiksmes::rmStartOfTariff),
    vif::Fix(0x31, 0x33, TReiksmes::rmDuationOfTariff),
    vif::Fix(0x34, 0x37, TReiksmes::rmPeriodOfTariffSS),
    vif::Fix(0x38, 0x3A, TReiksmes::rmPeriodOfTariffMN, 0xFF),  // month(s), year(s), dimensionless
    vif::Fix(0x3B, 0x3B, TReiksmes::rmR19),
    vif::Fix(0x3C, 0x3F, TReiksmes::rmR20),
    vif::Pow(0x40, 0x4F, TReiksmes::rmVolts, 0x0F, -9),
    vif::Pow(0x50, 0x5F, TReiksmes::rmAmpers, 0x0F, -12),
    vif::Fix(0x60, 0x67, TReiksmes::rmResetCounter, 0xFF),  // reset counter .. special info
    vif::Fix(0x68, 0x6B, TReiksmes::rmDurationSinsceLast),
    vif::Fix(0x6C, 0x6F, TReiksmes::rmOperatingTimeBatt),
    vif::Fix(0x70, 0x70, TReiksmes::rmDateTimeBattChange),
});

// The meaning of code x in `table`; nothing for a code the table leaves out.
template <std::size_t N>
constexpr std::optional<VifMeaning> LookUpVif(const std::array<VifRange, N>& table,
                                              std::uint8_t x) {
  for (const VifRange& r : table) {
    if (x < r.First || x > r.Last) continue;
    const auto reik = CodeAfter(r.Reik, (x - r.First) & r.CodeMask);
    double daug = r.Fixed;
    if (r.Scaled) {
      const int e = (x & r.ExpMask) + r.ExpBias;
      daug = 1.0;
      for (int i = 0; i < (e < 0 ? -e : e); ++i) daug *= 10.0;
      if (e < 0) daug = 1.0 / daug;
    }
    return VifMeaning{reik, daug};
  }
  return std::nullopt;
}

}  // namespace nord5
