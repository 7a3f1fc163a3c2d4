// The telegrams the configurator sends, built from the exchange state and a few plain inputs.
//
// Frames (EN 13757-2), all numbers little-endian:
//   short frame  10 C A CS 16                      e.g. SND_NKE to 5:   10 40 05 45 16
//   long frame   68 L L 68 C A CI data.. CS 16     e.g. reset to 254:   68 03 03 68 73 FE 50 C1 16
// CS is the 8-bit sum from C to the last data byte; L counts C, A, CI and the data.
//
// Besides EN 13757-3 telegrams the meter understands two manufacturer telegrams:
//   memory read   CI A1: 0F type n addr(4)             (n = 1..64 bytes asked for)
//   memory write  CI A2: 0F type addr(4) data(n)
#pragma once

#include "foundation/number_format.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "foundation/clock.h"
#include "foundation/exchange_state.h"

namespace nord5 {

// Largest piece of one memory telegram.
inline constexpr std::uint32_t kMemoryChunk = 64;

// Wait times of the sequencer, in milliseconds of silence on the line.
inline constexpr std::uint32_t kWaitStep = 100;          // before the next step
inline constexpr std::uint32_t kWaitAnswer = 1000;       // for an answer
inline constexpr std::uint32_t kWaitWriteAnswer = 3000;  // for a memory-write answer
inline constexpr std::uint32_t kWaitAfterWrite = 300;    // after a memory-write acknowledgement

// How the meter is addressed: by its primary address ("MBus addr.:") or by its identification
// number through a selection telegram ("Device ID  :").
enum class AddressMode : std::uint8_t { Primary = 0, Secondary = 1 };

// Archive kinds of the "Read data" list, by index.
inline constexpr int kArchiveKindCount = 6;  // "Current data" .. "Sensors"

// The plain inputs of the builder beside the exchange state.
struct TelegramInputs {
  AddressMode Mode = AddressMode::Primary;
  std::string AddressText;               // address box: decimal primary address or 8 hex digits
  int ArchiveKind = 0;                   // index in the archive kind list
  int PulseUnit1 = 0;                    // unit index of pulse channel 1 (pio_vif1)
  int PulseUnit2 = 0;                    // unit index of pulse channel 2 (pio_vif2)
  int TimeCorrection = 0;                // DeviceTimeCorection: 0 none, 1 local time, 2 CET
  int MBusAddrType = 0;                  // primary-address rule, 0..4
  std::uint8_t CfgMBusAddress = 0;       // primary-address byte of the image (10E5h)
  std::uint8_t CfgFabricationFirst = 0;  // first byte of the fabrication number (10DCh)
  std::uint32_t WorkValue = 0;           // first word of the scratch buffer
};

// What a build produced beside the bytes in OBuffer/OutSize.
struct BuiltTelegram {
  bool Ok = true;                   // false: the secondary address text is not hexadecimal
  std::vector<std::uint8_t> Bytes;  // copy of OBuffer[0 .. OutSize)
  std::uint32_t WaitMs = kWaitAnswer;
  std::optional<std::string> Status;  // first status panel, when the step names one
  bool StatusInSecondPanel = false;   // the same text goes into the second panel too
  std::int32_t ProgressAdvance = 0;   // bytes of a memory chunk sent for the first time
};

// Builds the telegram of state.Command_SEQ into state.OBuffer and updates the state as a send does
// (AskRepeat + 1, SendBytes + OutSize, ReceivedData false). The caller sends the bytes and sets the
// silence time-out to WaitMs. With a secondary address text that is not hexadecimal nothing is
// built (Ok false, OutSize 0) and the state is left as it was apart from the cleared buffers.
BuiltTelegram BuildTelegram(ExchangeState& state, const TelegramInputs& in, const Clock& clock);

// Frame check sum. Write mode stores CS and 16h and sets size to the whole frame; check mode sets
// size to the frame without CS and 16h and returns whether the stored CS matches. `capacity` is the
// size of `buffer`; a frame that would not fit gives false and leaves the buffer alone.
bool FinishFrame(std::uint8_t* buffer, std::size_t capacity, std::int32_t& size, bool write);

// DIF and DIFEs of EN 13757-3 for a readout selection; -1 in storage, tariff or subunit means all
// ones in that field. Writes at most kMaxDifBytes bytes; returns the count.
inline constexpr std::size_t kMaxDifBytes = 11;
std::size_t EncodeDIF(std::int32_t storage, std::int32_t tariff, std::int32_t subunit,
                      std::int32_t data_code, std::uint8_t* out);

// Type F date and time (minute, hour, day/year, month/year); seconds are dropped.
std::array<std::uint8_t, 4> EncodeTypeF(const DateTime& t);

// The time to send: mode 2 gives CET (UTC + 1 h, no summer time), any other mode local time.
DateTime DeviceTime(int mode, const Clock& clock);

// Pulse channel units by list index: the VIF byte sent and the unit factor of one count.
inline constexpr int kPulseUnitCount = 10;
std::uint8_t PulseUnitVIF(int index);  // 0 for an index outside the list
double PulseUnitFactor(int index);     // 0 for an index outside the list

// The primary address sent by _cmSetMBusAddress under rule `mbus_addr_type` (MBusAddrType).
std::uint8_t PrimaryAddressByRule(int mbus_addr_type, std::uint8_t cfg_mbus_address,
                                  std::uint8_t cfg_fabrication_first);

// The primary address of an exchange from the address box: 0..255 as typed (251..255 keep their
// M-Bus meaning, 253 secondary, 254 and 255 broadcast), 254 for a text that is no number, and
// nothing for a number outside 0..255, which would otherwise reach another meter (300 is 44
// modulo 256).
std::optional<std::uint32_t> PrimaryAddressOf(const std::string& text);

// Reads a decimal text as the window's number boxes do: an unsigned 32-bit number, surrounding
// blanks ignored. Hexadecimal texts go through ParseHex32 of foundation/number_format.h.
std::optional<std::uint32_t> ParseDec32(const std::string& text);

}  // namespace nord5
