// The exchange state: plain fields that carry one exchange with the meter from telegram to telegram.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "foundation/vocabulary.h"

namespace nord5 {

inline constexpr std::size_t kBufferSize = 1001;

struct ExchangeState {
  TMBUS_Commands Command_SEQ = TMBUS_Commands::_cmInstallSlave;
  TMBUS_Commands Select_SEQ = TMBUS_Commands::_cmInstallSlave;
  TMTR07_Commands Start_Command = TMTR07_Commands::_mtr07_None;
  tCommnadType CommnadType = tCommnadType::ct_WriteConfiguration;
  std::int32_t MemoryType = 0;
  std::uint32_t StartMemory = 0;
  std::uint32_t MemorySize = 0;
  std::uint8_t* MemPointer = nullptr;
  std::uint32_t MemoryIndex = 0;
  std::uint32_t StartMBusAddr = 254;
  std::uint32_t SelectedDeviceID = 0;
  std::int32_t DataIdx = 0;
  std::int32_t AskRepeat = 0;
  std::int32_t MAXRepeat = 10;
  bool ReceivedData = false;
  std::array<std::uint8_t, kBufferSize> OBuffer{};
  std::int32_t OutSize = 0;
  std::array<std::uint8_t, kBufferSize> IBuffer{};
  std::int32_t RecIndex = 0;
  std::int32_t RecSize = 0;
  std::int32_t SendBytes = 0;
  std::int32_t ReceivedBytes = 0;
  std::int32_t progress = 0;
  std::int32_t progress_max = 0;
  std::int32_t DeviceJumper = 0;
  std::vector<const tMTR7ExtParams*> ExtCommands;
  bool ReadingArchives = false;
  std::int32_t RecordCount = 0;
  bool NoConfiguration = false;
  std::int32_t DeviceMedium = 0;
};

}  // namespace nord5
