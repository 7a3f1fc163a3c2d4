// The operations the user starts: what each prepares and how it starts its exchange. The chains
// that follow are carried by the receiver.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

#include "engine/engine.h"
#include "engine/texts.h"
#include "foundation/dialogs.h"

namespace nord5 {

using C = TMBUS_Commands;
using M = TMTR07_Commands;
using T = tCommnadType;

std::optional<std::uint32_t> TProtocolEngine::PulseCounts(const std::string& text, int unit_index) {
  const double factor = PulseUnitFactor(unit_index);
  if (factor <= 0) return std::nullopt;
  // The leading run of digits and decimal points: "12.5 m3" reads as 12.5.
  std::size_t n = 0;
  while (n < text.size() && ((text[n] >= '0' && text[n] <= '9') || text[n] == '.')) ++n;
  double v = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + n, v);
  if (ec != std::errc() || end == text.data()) return std::nullopt;
  const double counts = std::nearbyint(v / factor);  // ties to even in the default mode
  if (!(counts >= 0) || counts > std::numeric_limits<std::uint32_t>::max()) return std::nullopt;
  return static_cast<std::uint32_t>(counts);
}

void TProtocolEngine::ReadConfiguration() {
  host_.FocusDataPages();
  host_.ClearConfigurationDisplay();
  state_.NoConfiguration = false;
  state_.DeviceJumper = 0;
  ProgressStart(967);
  StartStep(C::_cmInstallSlave, M::_mtr07_GetVersion);
}

void TProtocolEngine::WriteConfigurationWithModeCheck() { CheckModeThen(T::ct_WriteConfiguration); }

void TProtocolEngine::WriteConfiguration() {
  if (!DoWriteConfiguration() && Running()) StopExchange();
}

bool TProtocolEngine::DoWriteConfiguration() {
  host_.FocusDataPages();
  if (!host_.PrepareImageForWrite()) return false;
  MeterImage& image = CurrentImage();
  Dialogs* dialogs = &host_.GetDialogs();
  CheckTemperatureCrc(image, false, dialogs);
  CheckConstantsCrc(image, false, dialogs);
  CheckFlowCrc(image, false, dialogs);
  state_.NoConfiguration = false;
  ProgressStart(748);
  const EngineInputs in = host_.Inputs();
  if (in.TimeCorrection == 0) return StartStep(C::_cmInstallSlave1, M::_mtr07_R1_max);
  time_mode_ = in.TimeCorrection;
  return StartTransfer(C::_cmSetDateTime, 0, nullptr);
}

// An input that cannot be used ends the operation with "Check parameters" before anything (more)
// is sent.
bool TProtocolEngine::RefuseInput() {
  if (Running()) StopExchange();
  host_.GetDialogs().Error(std::string(kTextCheckParameters));
  return false;
}

void TProtocolEngine::SetIdentification() {
  if (!ParseHex32(host_.Inputs().DeviceIdText)) {
    RefuseInput();
    return;
  }
  CheckModeThen(T::ct_DeviceID);
}

bool TProtocolEngine::SetDeviceID() {
  const auto id = ParseHex32(host_.Inputs().DeviceIdText);
  if (!id) return RefuseInput();
  SetWorkValue(*id);
  return StartTransfer(C::_cmSetDeviceID, 0, nullptr);
}

void TProtocolEngine::SetPulseValue(int channel) {
  const EngineInputs in = host_.Inputs();
  if (!(channel == 2 ? PulseCounts(in.PulseText2, in.PulseUnit2)
                     : PulseCounts(in.PulseText1, in.PulseUnit1))) {
    RefuseInput();
    return;
  }
  CheckModeThen(channel == 2 ? T::ct_SetPulse2Value : T::ct_SetPulse1Value);
}

bool TProtocolEngine::SetPuseValue1() {
  const EngineInputs in = host_.Inputs();
  const auto counts = PulseCounts(in.PulseText1, in.PulseUnit1);
  if (!counts) return RefuseInput();
  SetWorkValue(*counts);
  return StartTransfer(C::_cmSetPulseValue1, 0, nullptr);
}

bool TProtocolEngine::SetPuseValue2() {
  const EngineInputs in = host_.Inputs();
  const auto counts = PulseCounts(in.PulseText2, in.PulseUnit2);
  if (!counts) return RefuseInput();
  SetWorkValue(*counts);
  return StartTransfer(C::_cmSetPulseValue2, 0, nullptr);
}

void TProtocolEngine::SetPrimaryAddress() {
  const auto address = ParseDec32(host_.Inputs().MBusAddrText);
  if (!address || *address > 255) {
    RefuseInput();
    return;
  }
  CurrentImage().SetCfg<std::uint8_t>(0xE5, static_cast<std::uint8_t>(*address));  // 10E5h
  ProgressStart(1);
  StartTransfer(C::_cmSetMBusAddress, 0, nullptr);
}

void TProtocolEngine::SetTime() {
  const int mode = host_.Inputs().TimeCorrection;
  if (mode == 0) return;
  time_mode_ = mode;
  StartTransfer(C::_cmSetDateTime1, 0, nullptr);
}

void TProtocolEngine::ReadCredits() { ReadCreditsThen(T::ct_GetCredits); }

void TProtocolEngine::WriteUserConfiguration() { CheckModeThen(T::ct_WriteUserConfiguration); }

void TProtocolEngine::WriteUserMenu() { CheckModeThen(T::ct_WriteUserMenu); }

void TProtocolEngine::TestModeOnOff() { StartRegion(C::_cmReadMemory, kRegionChangeMode); }

// The region of a raw memory access from the "Memory menagment" boxes; "Check parameters" when
// a box does not hold a number.
bool TProtocolEngine::RawMemoryRegion(bool write) {
  const EngineInputs in = host_.Inputs();
  const auto address = in.MemAddrHex ? ParseHex32(in.MemAddrText) : ParseDec32(in.MemAddrText);
  const auto value = in.MemDataHex ? ParseHex32(in.MemValueText) : ParseDec32(in.MemValueText);
  if (!address || (write && !value) || in.MemBytes < 1 || in.MemBytes > 4) {
    host_.GetDialogs().Error(std::string(kTextCheckParameters));
    return false;
  }
  raw_region_ = MemoryRegion{M::_mtrChangeMemory, *address, static_cast<std::uint32_t>(in.MemBytes),
                             RegionTarget::Scratch, 0};
  // The value occupies the low bytes of the work value; a read starts from zero so that the
  // bytes not read do not show an earlier value.
  SetWorkValue(write ? *value : 0);
  return true;
}

void TProtocolEngine::ReadMemory() {
  if (RawMemoryRegion(false)) StartTransfer(C::_cmReadMemory, 0, &raw_region_);
}

void TProtocolEngine::WriteMemory() {
  if (RawMemoryRegion(true)) StartTransfer(C::_cmWriteMemory, 0, &raw_region_);
}

void TProtocolEngine::ReadArchive(std::vector<const tMTR7ExtParams*> selected) {
  state_.ExtCommands = std::move(selected);
  // Each archive answer moves the bar to the record count modulo 100.
  ProgressStart(100);
  if (!StartStep(C::_cmInstallSlave4, M::_mtr07_ReadArchive)) return;
  state_.ReadingArchives = true;
  state_.RecordCount = 0;
}

void TProtocolEngine::StopArchiveReading() { state_.ReadingArchives = false; }

void TProtocolEngine::LogCycle(bool select) {
  StartStep(select ? C::_cmInstallSlave5 : C::_cmRequestData, M::_mtr07_LogData);
}

void TProtocolEngine::ClosePort() { StopExchange(); }

bool TProtocolEngine::ConfirmClose() {
  if (!Running() && host_.LoggingIdle()) return true;
  return host_.GetDialogs().Message(std::string(kTextCloseAnyway), MsgIcon::Warning,
                                    MsgButtons::YesNo, true) == MsgResult::Yes;
}

}  // namespace nord5
