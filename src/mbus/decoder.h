// Decoder of EN 13757-3 variable data structures: turns the records of an RSP_UD long frame into
// named, scaled and formatted quantities and hands the list to a consumer.
//
// Main thread only: the separator in force, the trace hook and the date formats are program-wide.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>

#include "foundation/clock.h"
#include "mbus/dates.h"
#include "mbus/quantities.h"
#include "mbus/records.h"

namespace nord5 {

// The consumer of a decoded telegram: the identification number of the fixed header (8-digit BCD),
// the A field (primary address, 0..255) and the list, whose first entry is "DeviceID".
using DecodedDataHandler =
    std::function<bool(std::int32_t ID, std::int32_t MBusA, const TFullRecord& DR)>;

// Decodes the frame `Frame` (starting at the first 0x68 of the long frame); records are read from
// offset 19 up to `Limit` (the engine passes L + 4, the offset of the check sum) and never past
// the received bytes. With `UseSystemDecimalSeparator` every number formatted during the call,
// the handler's included, uses the system separator (SetSystemDecimalSeparator); afterwards the
// separator is '.' again, on every path.
// Gives the handler's result; false without a handler; true when the decoding failed (a frame too
// short for its identification number), the handler then not being called.
bool DecodeMBusData(std::span<const std::uint8_t> Frame, int Limit, bool UseSystemDecimalSeparator,
                    const DecodedDataHandler& Handler);

// The decoding without the list and the handler: fills `Records` (entry 0 the identification
// entry) with the separator in force. False when the frame does not reach its identification
// number (fewer than 11 bytes).
bool DecodeMBusRecords(std::span<const std::uint8_t> Frame, int Limit, tMBUS_RecArray& Records,
                       std::int32_t& ID, std::int32_t& MBusA);

// How one record ended.
enum class RecordStatus : std::uint8_t {
  Decoded = 0,
  EndOfRecords = 1,  // DIF 0F, 1F, 7F or another special function; data code 0 or 8
  Truncated = 2,     // header or data field would run past the limit
  TooManyDifes = 3,  // more than the ten DIFEs EN 13757-3 allows
};

// Decodes the record at `v.Index`: header and data field. On Decoded, `v.Index` is past the
// header and `length` is the data length (the next record starts at v.Index + length).
RecordStatus ReadDataRecord(T_Value& v, std::span<const std::uint8_t> frame, int limit,
                            int& length);
// Scales, formats and names the record (v.Value becomes the displayed value).
void ConvertValue(T_Value& v);
// Copies the Data of every entry into `DR`, renumbering from 1.
void BuildFullRecord(const tMBUS_RecArray& records, TFullRecord& DR);
// Writes the readable dump of `DR` through the trace hook (nothing when no hook is set).
void TraceMeterData(const TFullRecord& DR);

// BCD, least significant byte first; a high nibble F in the last byte negates. Nibbles A..E are
// taken at their value. Example: 34 F2 gives -234.
std::int64_t DecodeBCD(const std::uint8_t* bytes, int count);

// The displayed code of an error word (bits 2, 3, 5, 29, 31 give 8000h, bit 10 0001h, ...).
std::uint16_t MapErrorWord(std::uint32_t word);

// The decimal separator numbers are formatted with right now ('.' outside DecodeMBusData with
// the system separator requested).
char DecimalSeparatorInForce();
// The operating system's decimal separator; '.' unless the desktop program sets the locale's.
void SetSystemDecimalSeparator(char separator);
char SystemDecimalSeparator();

// Trace hook of the communication log: a text and its line-break flag. Inert when empty.
using TraceTextHook = std::function<void(const std::string& text, bool cr)>;
void SetTraceTextHook(TraceTextHook hook);
// The clock the dump takes its reading time from (the system clock when null).
void SetDecoderClock(const Clock* clock);

}  // namespace nord5
