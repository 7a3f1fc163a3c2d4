// The reply receiver: collects the chunks the driver delivers, finds the meter's answer behind a
// possible echo of the own telegram, checks it and decides the next move of the exchange.
#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>

#include "engine/engine.h"
#include "engine/texts.h"
#include "foundation/dialogs.h"

namespace nord5 {

using C = TMBUS_Commands;
using M = TMTR07_Commands;
using T = tCommnadType;

namespace {

// The receive buffer keeps at most this many bytes of one answer.
constexpr std::int32_t kCollectLimit = 1000;

std::string Hex(std::uint32_t v, int digits) {
  char text[16];
  std::snprintf(text, sizeof text, "%0*X", digits, v);
  return text;
}

std::uint32_t Le32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
         static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

}  // namespace

std::int32_t TProtocolEngine::OnData(const std::uint8_t* bytes, std::int32_t count) {
  if (count <= 0 || bytes == nullptr) return 0;
  ExchangeState& s = state_;
  s.ReceivedBytes += count;
  if (s.RecSize + count > kCollectLimit) s.RecSize = 0;
  const auto room = static_cast<std::int32_t>(kBufferSize) - s.RecSize;
  const std::int32_t n = std::min(count, room);
  std::memcpy(s.IBuffer.data() + s.RecSize, bytes, static_cast<std::size_t>(n));
  s.RecSize += n;
  // One answer per telegram: what comes after it is collected, not dispatched again.
  if (answer_taken_) return 0;

  // A line converter may return the own telegram before the answer.
  s.RecIndex = 0;
  if (s.OutSize > 0 && s.RecSize >= s.OutSize &&
      std::equal(s.OBuffer.begin(), s.OBuffer.begin() + s.OutSize, s.IBuffer.begin()))
    s.RecIndex = s.OutSize;
  // The first bytes of that echo are no answer yet: a data request to address 229 begins
  // 10 7B E5, and its E5h is not the meter's.
  else if (s.OutSize > 0 && s.RecSize < s.OutSize &&
           std::equal(s.IBuffer.begin(), s.IBuffer.begin() + s.RecSize, s.OBuffer.begin()))
    return 0;

  // A long frame whose header is in but not its last byte is still arriving. At 2400 baud the
  // driver hands over its bytes one or two at a time, so the last byte received is often one of
  // its data bytes; an E5h there is not the meter's acknowledgement.
  bool frame_arriving = false;
  for (std::int32_t i = s.RecIndex; i < s.RecSize; ++i) {
    const std::uint8_t* b = s.IBuffer.data();
    if (b[i] == 0x68 && i + 3 < s.RecSize && b[i + 3] == 0x68 && b[i + 1] == b[i + 2]) {
      const std::int32_t L = b[i + 1];
      if (i + L + 6 > s.RecSize) {
        frame_arriving = true;
        continue;
      }
      if (b[i + L + 5] != 0x16) continue;
      std::int32_t size = 0;
      const bool sum_ok =
          FinishFrame(s.IBuffer.data() + i, kBufferSize - static_cast<std::size_t>(i), size, false);
      // A wrong check sum leaves the bytes; the time-out repeats the telegram.
      if (!sum_ok) return 0;
      // A memory-read answer needs data bytes after C, A, CI and the byte at offset 7; without
      // them nothing was read and the chunk must count as unanswered.
      if (s.Command_SEQ == C::_cmReadMemory && L <= 4) return 0;
      // Only data requests and memory reads are answered by a long frame. Taken for any other
      // step it would move nothing forward but reset the repeat count, and the same telegram
      // would go out for ever; left untaken, the repeat limit ends the exchange.
      if (s.Command_SEQ != C::_cmRequestData && s.Command_SEQ != C::_cmReadMemory) return 0;
      TakeLongFrame(i, L);
      return 0;
    }
    if ((b[i] == 0xE5 || b[0] == 0xFF) && s.RecSize - i < 2 && !frame_arriving) {
      // E5h does not answer a memory read: taking it would ask for the same chunk for ever.
      if (s.Command_SEQ == C::_cmReadMemory) return 0;
      return TakeAcknowledgement();
    }
  }
  return 0;
}

void TProtocolEngine::TakeLongFrame(std::int32_t at, std::int32_t L) {
  ExchangeState& s = state_;
  answer_taken_ = true;
  s.AskRepeat = 0;
  s.ReceivedData = true;
  s.DataIdx ^= 0x20;
  SetWaitTime(kWaitStep);
  // A private copy, zero beyond the frame, so that no field read goes past it.
  std::array<std::uint8_t, 256 + 6 + 32> frame{};
  std::memcpy(frame.data(), s.IBuffer.data() + at, static_cast<std::size_t>(L) + 6);
  if (s.Command_SEQ == C::_cmRequestData)
    DataTelegram(frame.data(), L);
  else if (s.Command_SEQ == C::_cmReadMemory)
    MemoryReadAnswer(frame.data(), L);
}

void TProtocolEngine::DataTelegram(const std::uint8_t* F, std::int32_t L) {
  ExchangeState& s = state_;
  DataHeader header;
  header.Manufacturer = static_cast<std::uint16_t>(F[11] | F[12] << 8);
  header.Version = F[13];
  header.Medium = F[14];
  header.AccessNumber = F[15];
  host_.ShowDataHeader(header);
  s.DeviceMedium = F[13] & 0x0F;
  const int limit = L + 4;

  switch (s.Start_Command) {
    case M::_mtr07_GetVersion: {
      ProgressSet(s.progress + 27);
      if (F[19] == 0x0D && F[20] == 0xFF && F[21] == 0x0E) {
        // The version text, without its last byte: 0D FF 0E 09 "16051017" x -> 16051017.
        const std::int32_t lvar = F[22];
        const std::int32_t end = std::min(22 + lvar, limit);
        std::string text;
        for (std::int32_t k = 23; k < end && F[k] != 0; ++k)
          text.push_back(static_cast<char>(F[k]));
        const auto version = ParseDec32(text);
        const bool digits = version && text.find_first_not_of("0123456789") == std::string::npos;
        CurrentImage().SetFirmwareVersion(digits ? *version : 0);
        if (digits) host_.ShowFirmwareVersion(*version);
      }
      s.Select_SEQ = C::_cmApplicReset1;
      break;
    }
    case M::_mtr07_ReadArchive: {
      host_.DecodeArchiveRecord(F, limit);
      ProgressSet(s.progress);
      const EngineInputs in = host_.Inputs();
      if (s.ReadingArchives && in.ArchiveKind != 0) {
        s.RecordCount += 1;
        ProgressSet(s.RecordCount % 100);
        const auto wanted = ParseDec32(in.RecordCountText);
        if (wanted && *wanted > 0 && static_cast<std::uint32_t>(s.RecordCount) >= *wanted)
          StopExchange();
      } else {
        StopExchange();
      }
      break;
    }
    case M::_mtr07_LogData:
      host_.DecodeLogRecord(F, limit);
      host_.StartLoggingTimer();
      StopExchange();
      break;
    case M::_mtr07_GetActual:
      host_.DecodeCurrentData(F, limit);
      StartStep(C::_cmApplicReset3, M::_mtr07_GetActual1);
      break;
    case M::_mtr07_GetActual1:
      host_.DecodeCurrentData(F, limit);
      CheckModeThen(T::ct_CheckJumper);
      break;
    default: break;
  }
}

void TProtocolEngine::MemoryReadAnswer(const std::uint8_t* F, std::int32_t L) {
  ExchangeState& s = state_;
  const auto n = static_cast<std::uint32_t>(L - 4);
  if (s.MemPointer != nullptr && s.MemoryIndex < s.MemorySize) {
    // Only up to the region's end: a meter that sends more than asked cannot write past it.
    const std::uint32_t end = std::min(s.MemorySize, mem_capacity_);
    const std::uint32_t take = s.MemoryIndex < end ? std::min(n, end - s.MemoryIndex) : 0;
    std::memcpy(s.MemPointer + s.MemoryIndex, F + 8, take);
  }
  s.MemoryIndex = std::min(s.MemoryIndex + n, s.MemorySize);
  if (s.MemoryIndex < s.MemorySize) return;  // the next chunk follows after 100 ms

  switch (s.Start_Command) {
    case M::_mtrManufacturerJumper:
      s.DeviceJumper = static_cast<std::int32_t>(WorkValue());
      ModeCheck();
      break;
    case M::_mtrGetCredits: {
      StopExchange();
      const auto& scratch = ScratchBuffer();
      host_.ShowCredits(Hex(Le32(scratch.data() + 4), 8), Hex(Le32(scratch.data() + 8), 8));
      break;
    }
    case M::_mtrChangeMode: CheckModeThen(T::ct_Stop); break;
    case M::_mtrChangeMemory: {
      const EngineInputs in = host_.Inputs();
      const std::uint32_t v = WorkValue();
      host_.ShowMemoryValue(in.MemDataHex ? Hex(v, static_cast<int>(s.MemorySize) * 2)
                                          : std::to_string(v));
      SetWorkValue(0);
      StopExchange();
      break;
    }
    case M::_mtr07_R1_max: StartRegion(C::_cmReadMemory, kRegionCoef); break;
    case M::_mtr07_Qx: ConfigurationComplete(); break;
    default: StopExchange(); break;
  }
}

void TProtocolEngine::ConfigurationComplete() {
  MeterImage& image = CurrentImage();
  Dialogs* dialogs = &host_.GetDialogs();
  const bool report = image.FirmwareVersion() >= kFirmwareNewCoefLayout;
  CheckTemperatureCrc(image, report, dialogs);
  CheckConstantsCrc(image, report, dialogs);
  CheckFlowCrc(image, report, dialogs);
  host_.ShowMeterImage();
  state_.NoConfiguration = true;
  StopExchange();
}

std::int32_t TProtocolEngine::TakeAcknowledgement() {
  ExchangeState& s = state_;
  answer_taken_ = true;
  s.AskRepeat = 0;
  SetWaitTime(kWaitStep);
  switch (s.Command_SEQ) {
    case C::_cmInstallSlave:
    case C::_cmSelectDeviceID1: s.Select_SEQ = C::_cmApplicReset; break;
    case C::_cmInstallSlave1: StartRegion(C::_cmWriteMemory, kRegionConfig); break;
    case C::_cmInstallSlave4: s.Select_SEQ = C::_cmApplicReset4; break;
    case C::_cmInstallSlave5: s.Select_SEQ = C::_cmReadLog; break;
    case C::_cmApplicReset: s.Select_SEQ = C::_cmGetVersion; break;
    case C::_cmApplicReset1: StartStep(C::_cmApplicReset2, M::_mtr07_GetActual); break;
    case C::_cmApplicReset2:
    case C::_cmApplicReset3:
    case C::_cmGetVersion:
    case C::_cmReadLog:
    case C::_cmReadArchive: s.Select_SEQ = C::_cmRequestData; break;
    case C::_cmApplicReset4: s.Select_SEQ = C::_cmReadArchive; break;
    case C::_cmRequestData:
      // E5h alone, with or without the echo of our request in front: the meter has no data for
      // us. (Counting the echo too would send the request again for ever behind a converter.)
      if (s.RecSize - s.RecIndex < 6) StopExchange();
      break;
    case C::_cmSetDeviceID:
    case C::_cmSetPulseValue1:
    case C::_cmSetPulseValue2:
      SetWorkValue(0);
      StopExchange();
      break;
    case C::_cmSetDateTime: StartStep(C::_cmInstallSlave1, M::_mtr07_R1_max); break;
    case C::_cmSetDateTime1: ReadConfiguration(); break;
    case C::_cmSetMBusAddress: StopExchange(); break;
    case C::_cmWriteMemory: MemoryWriteProgress(); break;
    default: break;
  }
  return 1;
}

void TProtocolEngine::MemoryWriteProgress() {
  ExchangeState& s = state_;
  SetWaitTime(kWaitAfterWrite);
  if (s.ReceivedData) return;
  s.ReceivedData = true;
  const std::uint32_t rest = s.MemorySize > s.MemoryIndex ? s.MemorySize - s.MemoryIndex : 0;
  s.MemoryIndex += std::min(kMemoryChunk, rest);
  if (s.MemoryIndex < s.MemorySize) return;  // the next chunk follows after 300 ms

  const auto tag = s.Start_Command;
  if (tag >= M::_mtr07_UserConfig1 && tag <= M::_mtr07_UserConfig11) {
    const int row = kRegionUserConfig1 + (Ord(tag) - Ord(M::_mtr07_UserConfig1)) + 1;
    StartRegion(C::_cmWriteMemory, row);
    return;
  }
  switch (tag) {
    case M::_mtrChangeMemory:
      SetWorkValue(0);
      StopExchange();
      break;
    case M::_mtr07_UserConfig12:
    case M::_mtr07_UserMeniu:
    case M::_mtr07_Qx: ReadConfiguration(); break;
    case M::_mtr07_R1_max: StartRegion(C::_cmWriteMemory, kRegionCoef); break;
    default: break;
  }
}

void TProtocolEngine::ModeCheck() {
  ExchangeState& s = state_;
  std::int32_t required = 0;
  switch (s.CommnadType) {
    case T::ct_WriteConfiguration: required = 0x22; break;
    case T::ct_DeviceID:
    case T::ct_WriteUserConfiguration:
    case T::ct_WriteUserMenu: required = 0x26; break;
    case T::ct_SetPulse1Value:
    case T::ct_SetPulse2Value:
      required = CurrentImage().FirmwareVersion() >= kFirmware17042702 ? 0x26 : 0x22;
      break;
    default: break;
  }
  if (required != 0 && (s.DeviceJumper & required) == 0) {
    StopExchange();
    const auto text =
        required == 0x22 ? kTextCheckManufacturerJumper : kTextCheckManufacturerOrTestJumper;
    const MsgResult answer =
        host_.GetDialogs().Message(std::string(text), MsgIcon::Warning, MsgButtons::YesNo);
    if (answer == MsgResult::No) return;
    CheckModeThen(s.CommnadType);  // the user has set the jumper and tries again
    return;
  }
  SetWorkValue(0);
  if (!RunCheckedAction() && Running()) StopExchange();
}

// The action after a passed mode check; false when it could not start its follow-up.
bool TProtocolEngine::RunCheckedAction() {
  switch (state_.CommnadType) {
    case T::ct_WriteConfiguration: return DoWriteConfiguration();
    case T::ct_DeviceID: return SetDeviceID();
    case T::ct_SetPulse1Value: return SetPuseValue1();
    case T::ct_SetPulse2Value: return SetPuseValue2();
    case T::ct_WriteUserConfiguration:
      if (!host_.CollectUserConfiguration()) return false;
      ProgressStart(32);
      return StartRegion(C::_cmWriteMemory, kRegionUserConfig1);
    case T::ct_WriteUserMenu: {
      MeterImage& image = CurrentImage();
      std::fill_n(image.bytes.begin() + kCfgOffset + 192, 16, std::uint8_t{0});
      host_.RebuildUserMenuMask();
      ProgressStart(15);
      return StartRegion(C::_cmWriteMemory, kRegionUserMenu);
    }
    case T::ct_CheckJumper: ProgressStart(748); return StartRegion(C::_cmReadMemory, kRegionConfig);
    default:  // ct_GetCredits, ct_Stop and the values no operation uses
      StopExchange();
      return true;
  }
}

}  // namespace nord5
