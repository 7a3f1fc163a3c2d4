#include "model/user_configuration.h"

#include <algorithm>
#include <cmath>

#include "foundation/settings.h"
#include "foundation/utils.h"
#include "model/detail.h"
#include "model/value_codec.h"

namespace nord5 {
namespace {

using detail::Fmt;

const std::vector<std::string> kTriggers{
    "act. power, kW", "act. flow, m3/h",  "flow temp., \xC2\xB0" "C", "return temp., \xC2\xB0" "C",
    "temp. diff., K", "time interval",    "pulse 1",            "pulse 2"};
const std::vector<std::string> kCounters{"heating energy", "cooling energy"};
const std::vector<std::string> kEnergyVif{"0.001 Wh",  "0.01 Wh",  "0.1 Wh",    "0.001 kWh",
                                          "0.01 kWh",  "0.1 kWh",  "0.001 MWh", "0.01 MWh"};
const std::vector<std::string> kVolumeVif{"0.000001 m3", "0.00001 m3", "0.0001 m3", "0.001 m3",
                                          "0.01 m3",     "0.1 m3",     "1 m3",      "10 m3"};
constexpr std::array<double, 8> kEnergyFactors{0.001, 0.01, 0.1, 0.001, 0.01, 0.1, 0.001, 0.01};
constexpr std::array<double, 8> kVolumeFactors{0.000001, 0.00001, 0.0001, 0.001,
                                               0.01,     0.1,     1,      10};
const std::vector<std::string> kDesignVif{
    "0.001 kWh, heating", "0.001 kWh, cooling", "0.1 m3, volume",
    "0.001 kWh, tariff1", "0.001 kWh, tariff2", "0.01 Wh, nowa1",
    "0.01 m3, nowa2",     "output L1",          "output L2"};

// Counter code in the tariff word <-> item of the counter lists.
constexpr std::array<int, 8> kCounterCodeToItem{0, 1, 2, 7, 7, 5, 6, 7};
constexpr std::array<int, 6> kCounterItemToCode{0, 1, 2, 5, 6, 7};

constexpr const char* kTariffType[6] = {"radioButtonTar1_1", "radioButtonTar1_2",
                                        "radioButtonTar1_3", "radioButtonTar1_4",
                                        "radioButtonTar1_5", "radioButtonTar1_6"};

PulseChannelNames MakeChannel(int ch) {
  const std::string n = std::to_string(ch);
  const std::string p = "PulseCfgRadioButton" + n;
  PulseChannelNames c;
  c.in = p + "in";
  c.out = p + "out";
  c.sources = {p + "out_heating", p + "out_cooling", p + "out_volume", p + "out_tarrif1",
               p + "out_tarrif2", p + "out_L1",      p + "out_L2"};
  c.vif = "pio_vif" + n;
  c.value = "PulseValuetextBox" + n;
  c.vif_label = "lbpio_vif" + n;
  c.value_label = "lbPulseValuetextBox" + n;
  c.set_button = "btSetPulse" + n;
  c.start_value = "edPulseInput" + n;
  return c;
}

// Checks names[index] and unchecks the rest (index -1: none checked).
template <typename Names>
void CheckOneOf(FormView& f, const Names& names, int index) {
  if (index >= 0) f.SetChecked(names[static_cast<std::size_t>(index)], true);
  for (std::size_t i = 0; i < std::size(names); ++i)
    if (static_cast<int>(i) != index) f.SetChecked(names[i], false);
}

int CheckedIndex(const FormView& f, const std::array<std::string, 7>& names) {
  for (std::size_t i = 0; i < names.size(); ++i)
    if (f.Checked(names[i])) return static_cast<int>(i);
  return -1;
}

void ShowThreshold(FormView& f, const MeterImage& image, int trigger_no, bool time_window) {
  const std::string field = trigger_no == 1 ? "textBoxThreshold1" : "textBoxThreshold2";
  const std::size_t cfg = trigger_no == 1 ? kCfgThreshold1 : kCfgThreshold2;
  if (time_window) {
    f.SetEditMask(field, texts::kTimeWindowMask);
    f.SetText(field, FormatTimeWindow(image.Cfg<std::uint32_t>(cfg)));
  } else {
    f.SetEditMask(field, "");
    f.SetText(field, Fmt(image.Cfg<float>(cfg), "0.000"));
  }
}

void ShowCounter(FormView& f, const char* list, unsigned code) {
  const int item = kCounterCodeToItem[code & 7u];
  f.SetItemIndex(list, item < static_cast<int>(f.Items(list).size()) ? item : -1);
}

std::size_t IncOffset(int ch) { return ch == 1 ? kCfgPio1Inc : kCfgPio2Inc; }
std::size_t VifOffset(int ch) { return ch == 1 ? kCfgPio1Vif : kCfgPio2Vif; }

// The factor table of the list a VIF control holds now, or null for any other list.
const std::array<double, 8>* FactorsOf(const std::vector<std::string>& items) {
  if (items == kEnergyVif) return &kEnergyFactors;
  if (items == kVolumeVif) return &kVolumeFactors;
  return nullptr;
}

}  // namespace

const std::vector<std::string>& TriggerItems() { return kTriggers; }
const std::vector<std::string>& CounterItems() { return kCounters; }
const std::vector<std::string>& EnergyVifItems() { return kEnergyVif; }
const std::vector<std::string>& VolumeVifItems() { return kVolumeVif; }
const std::array<double, 8>& EnergyVifFactors() { return kEnergyFactors; }
const std::array<double, 8>& VolumeVifFactors() { return kVolumeFactors; }
const std::vector<std::string>& DesignTimeVifItems() { return kDesignVif; }

const PulseChannelNames& PulseChannel(int channel) {
  static const PulseChannelNames c1 = MakeChannel(1), c2 = MakeChannel(2);
  return channel == 1 ? c1 : c2;
}

bool ShowTariffs(FormView& f, const MeterImage& shown) {
  const unsigned w = shown.Cfg<std::uint16_t>(kCfgTariffConfig);
  f.SetChecked("checkBoxTarEn", (w & 0x200u) != 0);
  if (w & 0x04u) {
    CheckOneOf(f, kTariffType, static_cast<int>(w & 3u));
  } else {
    f.SetChecked(kTariffType[(w & 1u) ? 5 : 4], true);
    f.SetChecked(kTariffType[(w & 1u) ? 4 : 5], false);
    f.SetChecked((w & 2u) ? "radioButtonTar2_2" : "radioButtonTar2_1", true);
    f.SetChecked((w & 2u) ? "radioButtonTar2_1" : "radioButtonTar2_2", false);
  }
  ShowCounter(f, "comboBoxTarSrc1", (w >> 10) & 7u);
  ShowCounter(f, "comboBoxTarSrc2", (w >> 13) & 7u);
  const int trigger1 = static_cast<int>((w >> 3) & 7u);
  f.SetItemIndex("comboBoxTriger1", trigger1);
  ShowThreshold(f, shown, 1, trigger1 == kTriggerTimeInterval);
  const int trigger2 = static_cast<int>((w >> 6) & 7u);
  f.SetItemIndex("comboBoxTriger2", trigger2);
  ShowThreshold(f, shown, 2, trigger2 == kTriggerTimeInterval);
  return true;
}

bool ShowPulseWidth(FormView& f, const MeterImage& shown) {
  f.SetText("textBoxP1D", Fmt(shown.Cfg<std::uint16_t>(kCfgPulseWidth) * kPulseTickMs, "#0.000"));
  return true;
}

void ShowReportingDays(FormView& f, const MeterImage& shown) {
  auto clamp = [](int v, int hi) { return v < 1 ? 1 : (v > hi ? hi : v); };
  const int month = shown.Cfg<std::uint8_t>(kCfgYearlyDay + 1) - 0xF0;
  const int day = shown.Cfg<std::uint8_t>(kCfgYearlyDay) - 0xE0;
  const int mday = shown.Cfg<std::uint8_t>(kCfgMonthlyDay) - 0xE0;
  f.SetText("numericUpDown_yMonth", std::to_string(clamp(month, 12)));
  f.SetText("numericUpDown_yDay", std::to_string(clamp(day, 31)));
  f.SetText("numericUpDown_mDay", std::to_string(clamp(mday, 31)));
}

bool ShowPulseChannels(FormView& f, const MeterImage& shown) {
  const unsigned word = shown.Cfg<std::uint16_t>(kCfgPioConfig);
  for (int ch = 1; ch <= 2; ++ch) {
    const PulseChannelNames& n = PulseChannel(ch);
    const unsigned cfg = ch == 1 ? (word & 0xFFu) : (word >> 8);
    const bool output = (cfg & 0x10u) != 0;
    f.SetChecked(output ? n.out : n.in, true);
    f.SetChecked(output ? n.in : n.out, false);
    int source = -1;
    for (std::size_t i = 0; i < kPulseSourceCodes.size(); ++i)
      if (static_cast<unsigned>(kPulseSourceCodes[i]) == (cfg & 0x0Fu)) source = static_cast<int>(i);
    CheckOneOf(f, n.sources, source);

    const unsigned vif = shown.Cfg<std::uint8_t>(VifOffset(ch));
    const std::vector<std::string>* list = nullptr;
    const std::array<double, 8>* factors = nullptr;
    if ((vif & 0xF8u) == 0x10u) {
      list = &kVolumeVif;
      factors = &kVolumeFactors;
    } else if ((vif & 0xF8u) == 0x00u) {
      list = &kEnergyVif;
      factors = &kEnergyFactors;
    }
    if (list) {
      f.SetItems(n.vif, *list);
      f.SetItemIndex(n.vif, static_cast<int>(vif & 7u));
      const double value = shown.Cfg<std::uint16_t>(IncOffset(ch)) * (*factors)[vif & 7u];
      f.SetText(n.value, Fmt(value, "#0.#######"));
    }
  }
  return true;
}

void ShowCredits(FormView& f, const MeterImage& shown) {
  const bool off = shown.Cfg<std::uint16_t>(kCfgMBusCredits) == kCreditsOff;
  f.SetChecked(off ? "cbMBusCreditsOff" : "cbMBusCreditsOn", true);
  f.SetChecked(off ? "cbMBusCreditsOn" : "cbMBusCreditsOff", false);
}

void ShowIdentity(FormView& f, const MeterImage& shown) {
  f.SetText("edManufactureNumber", FormatIdentity(shown.Cfg<std::uint32_t>(kCfgFabricationNumber)));
  f.SetText("textActDeviceID", FormatIdentity(shown.Cfg<std::uint32_t>(kCfgDeviceId)));
  f.SetText("textActMBusAddr", std::to_string(shown.Cfg<std::uint8_t>(kCfgPrimaryAddress)));
}

void ShowManufacturerCode(FormView& f, const std::string& code) {
  {
    HandlerDetachGuard guard(f, {"edManufacture1"});
    f.SetText("edManufacture1", code);
  }
  f.SetText("edManufacture", code);
}

void ClearManufacturerCode(FormView& f) {
  {
    HandlerDetachGuard guard(f, {"edManufacture1"});
    f.SetText("edManufacture1", "XXX");
  }
  f.SetText("edManufacture", "");
}

void InstallManufacturerCodeHandler(FormView& form) {
  FormView* f = &form;
  form.SetHandler("edManufacture1", [f] {
    f->SetText("edManufacture", f->Text("edManufacture1"));
    SettingsValue(SettingsMode::Write, "edManufacture", f->Text("edManufacture"));
  });
}

void TriggerChange(FormView& f, const MeterImage& image, int trigger) {
  const char* list = trigger == 1 ? "comboBoxTriger1" : "comboBoxTriger2";
  ShowThreshold(f, image, trigger, f.ItemIndex(list) == kTriggerTimeInterval);
}

void PulseVifChange(FormView& f, const MeterImage& image, int ch) {
  const PulseChannelNames& n = PulseChannel(ch);
  const auto* factors = FactorsOf(f.Items(n.vif));
  const int index = f.ItemIndex(n.vif);
  if (!factors || index < 0 || index > 7) return;
  HandlerDetachGuard guard(f, {n.value});
  const double value = image.Cfg<std::uint16_t>(IncOffset(ch)) * (*factors)[static_cast<std::size_t>(index)];
  f.SetText(n.value, Fmt(value, "#0.#######"));
}

void PulseValueChange(const FormView& f, MeterImage& image, int ch) {
  // The typed number is the increment itself; anything but a whole number is ignored.
  const auto v = ParseInt(f.Text(PulseChannel(ch).value));
  if (v) image.SetCfg<std::uint16_t>(IncOffset(ch), static_cast<std::uint16_t>(*v));
}

void PulseSourceClick(FormView& f, MeterImage& image, int ch) {
  const PulseChannelNames& n = PulseChannel(ch);
  {
    // The clicks this reaction makes itself do not start it again.
    std::vector<std::string> radios{n.in, n.out};
    radios.insert(radios.end(), n.sources.begin(), n.sources.end());
    HandlerDetachGuard guard(f, radios);
    if (f.Checked(n.in)) {
      f.SetChecked(n.sources[2], true);
      f.SetItems(n.vif, kVolumeVif);
      f.SetItemIndex(n.vif, 3);
    } else {
      f.SetText(n.value, "1");
      const int source = CheckedIndex(f, n.sources);
      if (source == 0 || source == 1) {
        f.SetItems(n.vif, kEnergyVif);
        f.SetItemIndex(n.vif, 6);
      } else if (source == 2 || source == 5 || source == 6) {
        f.SetItems(n.vif, kVolumeVif);
        f.SetItemIndex(n.vif, 3);
      } else {
        f.SetItems(n.vif, kEnergyVif);
        f.SetItemIndex(n.vif, 3);
      }
    }
  }
  PulseVifChange(f, image, ch);
}

void AttachPulseChannelHandlers(const ParameterContext& ctx) {
  FormView* f = &ctx.form;
  MeterImage* image = &ctx.image;
  for (int ch = 1; ch <= 2; ++ch) {
    const PulseChannelNames& n = PulseChannel(ch);
    std::vector<std::string> radios{n.in, n.out};
    radios.insert(radios.end(), n.sources.begin(), n.sources.end());
    for (const auto& r : radios) {
      f->SetHandler(r, [f, image, ch] { PulseSourceClick(*f, *image, ch); });
      f->AttachHandler(r);
    }
    f->SetHandler(n.vif, [f, image, ch] { PulseVifChange(*f, *image, ch); });
    f->AttachHandler(n.vif);
    f->SetHandler(n.value, [f, image, ch] { PulseValueChange(*f, *image, ch); });
    f->AttachHandler(n.value);
  }
}

void InstallTariffHandlers(const ParameterContext& ctx) {
  FormView* f = &ctx.form;
  MeterImage* image = &ctx.image;
  f->SetHandler("comboBoxTriger1", [f, image] { TriggerChange(*f, *image, 1); });
  f->SetHandler("comboBoxTriger2", [f, image] { TriggerChange(*f, *image, 2); });
}

bool StoreUserConfiguration(ParameterContext& ctx) {
  FormView& f = ctx.form;
  MeterImage& img = ctx.image;

  if (ctx.state.NoConfiguration && (ctx.state.DeviceJumper & kModeManufacturer) != 0) {
    // Only three letters make a code. The code the image already holds keeps its two bytes (bit
    // 15 is no part of the letters), so an unedited field never changes Cfg 93.
    const std::string code = f.Text("edManufacture");
    const bool letters = code.size() == 3 && std::all_of(code.begin(), code.end(), [](char c) {
                           return c >= 'A' && c <= 'Z';
                         });
    if (letters && code != DecodeManufacturer(img.Cfg<std::uint16_t>(kCfgManufacturerCode)))
      img.SetCfg<std::uint16_t>(kCfgManufacturerCode, EncodeManufacturer(code));
  }

  // Tariff word. A list without a selection keeps its bits as they are in the image.
  const unsigned before = img.Cfg<std::uint16_t>(kCfgTariffConfig);
  unsigned w = 0;
  if (f.Checked("checkBoxTarEn")) w |= 0x200u;
  bool four_types = false;
  for (unsigned k = 0; k < 4; ++k)
    if (f.Checked(kTariffType[k])) {
      w |= 0x04u | k;
      four_types = true;
    }
  if (f.Checked(kTariffType[5])) w |= 0x01u;
  // The second tariff type belongs to the two-type layout only; a stale hidden choice must not
  // turn type 1 of the four-type layout into type 3.
  if (!four_types && f.Checked("radioButtonTar2_2")) w |= 0x02u;
  auto counter = [&](const char* list, unsigned shift) {
    const int item = f.ItemIndex(list);
    if (item >= 0 && item < static_cast<int>(kCounterItemToCode.size()))
      w |= static_cast<unsigned>(kCounterItemToCode[static_cast<std::size_t>(item)]) << shift;
    else
      w |= before & (7u << shift);
  };
  counter("comboBoxTarSrc1", 10);
  counter("comboBoxTarSrc2", 13);
  auto trigger = [&](const char* list, unsigned shift) {
    const int item = f.ItemIndex(list);
    if (item >= 0)
      w |= (static_cast<unsigned>(item) & 7u) << shift;
    else
      w |= before & (7u << shift);
  };
  trigger("comboBoxTriger1", 3);
  trigger("comboBoxTriger2", 6);
  img.SetCfg<std::uint16_t>(kCfgTariffConfig, static_cast<std::uint16_t>(w));

  auto threshold = [&](const char* field, std::size_t cfg, unsigned shift) {
    const std::string text = f.Text(field);
    if (((w >> shift) & 7u) == static_cast<unsigned>(kTriggerTimeInterval)) {
      // Windows of 24 hours or more at both ends show as "00:00-00:00"; unedited they stay.
      if (text != FormatTimeWindow(img.Cfg<std::uint32_t>(cfg)))
        img.SetCfg<std::uint32_t>(cfg, ParseTimeWindow(text));
      return true;
    }
    return detail::StoreF32(img, kCfgOffset + cfg, text, "0.000");
  };
  if (!threshold("textBoxThreshold1", kCfgThreshold1, 3)) return detail::BadParameters(ctx.dialogs);
  if (!threshold("textBoxThreshold2", kCfgThreshold2, 6)) return detail::BadParameters(ctx.dialogs);

  unsigned pio = 0;
  for (int ch = 1; ch <= 2; ++ch) {
    const PulseChannelNames& n = PulseChannel(ch);
    const unsigned shift = ch == 1 ? 0 : 8;
    if (f.Checked(n.out)) pio |= 0x10u << shift;
    const int source = CheckedIndex(f, n.sources);
    if (source >= 0) pio |= static_cast<unsigned>(kPulseSourceCodes[static_cast<std::size_t>(source)]) << shift;
    // No VIF without a decade selected from the energy or volume list: the stored one stays
    // (the design-time items are no decades, and a VIF of neither kind never fills the list).
    const int index = f.ItemIndex(n.vif);
    if (index < 0 || index > 7 || !FactorsOf(f.Items(n.vif))) continue;
    const auto decade = static_cast<std::uint32_t>(index);
    if (f.Checked(n.in))
      img.SetCfg<std::uint32_t>(VifOffset(ch), 0x10u + decade);
    else if (source == 0 || source == 1 || source == 3 || source == 4)
      img.SetCfg<std::uint32_t>(VifOffset(ch), 0x00u + decade);
    else if (source == 2)
      img.SetCfg<std::uint32_t>(VifOffset(ch), 0x10u + decade);
  }
  img.SetCfg<std::uint16_t>(kCfgPioConfig, static_cast<std::uint16_t>(pio));

  const auto width = detail::TextNumber(f, "textBoxP1D");
  if (!width) return detail::BadParameters(ctx.dialogs);
  const double ticks = std::nearbyint(*width / kPulseTickMs);  // halves to even
  if (!(std::fabs(ticks) < 9.0e18)) return detail::BadParameters(ctx.dialogs);
  img.SetCfg<std::uint16_t>(kCfgPulseWidth, static_cast<std::uint16_t>(static_cast<long long>(ticks)));

  const auto address = ParseInt(f.Text("textActMBusAddr"));
  if (!address) return detail::BadParameters(ctx.dialogs);
  img.SetCfg<std::uint8_t>(kCfgPrimaryAddress, static_cast<std::uint8_t>(*address));
  const auto id = ParseHex32(f.Text("textActDeviceID"));
  if (!id) return detail::BadParameters(ctx.dialogs);
  img.SetCfg<std::uint32_t>(kCfgDeviceId, static_cast<std::uint32_t>(*id));
  if (ctx.advanced) {
    const auto fab = ParseHex32(f.Text("edManufactureNumber"));
    if (!fab) return detail::BadParameters(ctx.dialogs);
    img.SetCfg<std::uint32_t>(kCfgFabricationNumber, static_cast<std::uint32_t>(*fab));
  }

  const auto month = ParseInt(f.Text("numericUpDown_yMonth"));
  const auto day = ParseInt(f.Text("numericUpDown_yDay"));
  const auto mday = ParseInt(f.Text("numericUpDown_mDay"));
  if (!month || !day || !mday) return detail::BadParameters(ctx.dialogs);
  img.SetCfg<std::uint8_t>(kCfgYearlyDay + 1, static_cast<std::uint8_t>(0xF0 + *month));
  img.SetCfg<std::uint8_t>(kCfgYearlyDay, static_cast<std::uint8_t>(0xE0 + *day));
  img.SetCfg<std::uint16_t>(kCfgMonthlyDay,
                            static_cast<std::uint16_t>(0xFF00u | ((0xE0 + *mday) & 0xFF)));

  img.SetCfg<std::uint16_t>(kCfgMBusCredits,
                            f.Checked("cbMBusCreditsOff") ? kCreditsOff : kCreditsOn);
  return true;
}

}  // namespace nord5
