// The user configuration: tariffs and their thresholds, pulse width, reporting days, the two pulse
// channels, M-Bus credits and the identity fields, between the configuration block and the
// "Configuration" and "Actual" tabs.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "model/model_context.h"

namespace nord5 {

// Configuration block offsets of the fields used here.
inline constexpr std::size_t kCfgManufacturerCode = 93;
inline constexpr std::size_t kCfgMBusCredits = 132;
inline constexpr std::size_t kCfgTariffConfig = 134;
inline constexpr std::size_t kCfgThreshold1 = 136;
inline constexpr std::size_t kCfgThreshold2 = 140;
inline constexpr std::size_t kCfgYearlyDay = 144;
inline constexpr std::size_t kCfgMonthlyDay = 146;
inline constexpr std::size_t kCfgPioConfig = 184;
inline constexpr std::size_t kCfgPio1Inc = 186;
inline constexpr std::size_t kCfgPio2Inc = 188;
inline constexpr std::size_t kCfgPulseWidth = 190;
inline constexpr std::size_t kCfgFabricationNumber = 220;
inline constexpr std::size_t kCfgDeviceId = 224;
inline constexpr std::size_t kCfgPrimaryAddress = 229;
inline constexpr std::size_t kCfgPio1Vif = 232;
inline constexpr std::size_t kCfgPio2Vif = 236;

inline constexpr std::uint16_t kCreditsOff = 0xFFFF;
inline constexpr std::uint16_t kCreditsOn = 6187;
inline constexpr double kPulseTickMs = 0.0305;
inline constexpr int kTriggerTimeInterval = 5;

const std::vector<std::string>& TriggerItems();  // "act. power, kW" .. "pulse 2"
const std::vector<std::string>& CounterItems();  // "heating energy", "cooling energy"
// The VIF lists: the decade of the VIF (bits 0-2) is the item index.
const std::vector<std::string>& EnergyVifItems();  // "0.001 Wh" .. "0.01 MWh"
const std::vector<std::string>& VolumeVifItems();  // "0.000001 m3" .. "10 m3"
const std::array<double, 8>& EnergyVifFactors();
const std::array<double, 8>& VolumeVifFactors();
// What a VIF list holds until a show or a source click fills it.
const std::vector<std::string>& DesignTimeVifItems();

// Component names of one pulse channel (1 or 2).
struct PulseChannelNames {
  std::string in, out;
  std::array<std::string, 7> sources;  // heating, cooling, volume, tariff 1, tariff 2, L1, L2
  std::string vif, value;              // "pio_vif1", "PulseValuetextBox1"
  std::string vif_label, value_label;  // "lbpio_vif1", "lbPulseValuetextBox1"
  std::string set_button, start_value; // "btSetPulse1", "edPulseInput1"
};
const PulseChannelNames& PulseChannel(int channel);
// Source codes of the seven source buttons, in their order.
inline constexpr std::array<int, 7> kPulseSourceCodes{0, 1, 2, 3, 4, 14, 15};

// Show rules, steps 7 to 11 of the show procedure: each fills its controls from `shown`.
// Return false when a value cannot be shown (the show then ends).
bool ShowTariffs(FormView& form, const MeterImage& shown);
bool ShowPulseWidth(FormView& form, const MeterImage& shown);
void ShowReportingDays(FormView& form, const MeterImage& shown);
bool ShowPulseChannels(FormView& form, const MeterImage& shown);
void ShowCredits(FormView& form, const MeterImage& shown);
// Identity fields (step 2).
void ShowIdentity(FormView& form, const MeterImage& shown);

// The manufacturer code field `edManufacture1` and its hidden companion `edManufacture`, which the
// store packs into Cfg 93. A shown code goes into both, the visible field with its change handler
// detached (the code was read, not typed); the placeholder "XXX" of the display reset leaves the
// companion empty, so that no code is stored until one was shown or typed.
void ShowManufacturerCode(FormView& form, const std::string& code);
void ClearManufacturerCode(FormView& form);
// The change handler of `edManufacture1`: a typed code goes into the companion and into the
// settings key "edManufacture".
void InstallManufacturerCodeHandler(FormView& form);

// Attaches the source, VIF and pulse value handlers of both channels (step 12); they act on
// `ctx.form` and `ctx.image`.
void AttachPulseChannelHandlers(const ParameterContext& ctx);
// The design-time handlers of the trigger lists.
void InstallTariffHandlers(const ParameterContext& ctx);

// User reactions, also callable directly.
void TriggerChange(FormView& form, const MeterImage& image, int trigger);  // 1 or 2
void PulseSourceClick(FormView& form, MeterImage& image, int channel);
void PulseVifChange(FormView& form, const MeterImage& image, int channel);
void PulseValueChange(const FormView& form, MeterImage& image, int channel);

// Controls to image, in the fixed order; false after "Bad parameters".
bool StoreUserConfiguration(ParameterContext& ctx);

}  // namespace nord5
