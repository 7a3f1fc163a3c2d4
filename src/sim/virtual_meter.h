// A virtual NORD5 heat meter: answers the M-Bus telegrams of the configurator (link
// initialisation, application reset, selection, readout selections, data requests, write records)
// and the manufacturer memory read (CI A1h) and write (CI A2h) over its memory, the way the
// meter does. Time comes from a Clock, so tests run it on the manual clock.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "foundation/clock.h"
#include "foundation/meter_image.h"
#include "sim/meter_memory.h"
#include "sim/meter_records.h"
#include "sim/telegram.h"

namespace nord5::sim {

struct MeterOptions {
  std::uint32_t firmware = kFirmware17042702;  // reported in the version record
  std::uint8_t mode = kModeManufacturer;       // mode byte 10033h: 00h, 04h, 22h or 40h
  std::optional<std::uint32_t> id;             // identification (BCD digits), replaces Cfg 224
  std::optional<std::uint8_t> address;         // primary address, replaces Cfg 229
  std::optional<MeterImage> image;             // memory to start from (bytes 4..745 are used)
  std::uint8_t version_byte = 0x08;            // version field of the data telegram header

  // Misbehaviour on request.
  int drop_every = 0;     // every Nth answer is not sent (0: never)
  int corrupt_every = 0;  // every Nth long-frame answer has a wrong check sum (0: never)
  bool mute = false;      // never answers, and ignores what it hears
  bool ack_data = false;  // answers data requests with E5h only

  // Line behaviour, applied by the lines that carry the meter (SimSerialLine, nord5-meter-sim).
  bool echo = false;         // the telegram comes back first, like a line converter's echo
  int chunks = 1;            // every answer in this many pieces
  bool baud_timing = false;  // bytes at the pace of 2400 baud 8E1 (11 bits per byte)
  int reply_delay_ms = 20;   // from the end of a telegram to the first byte of the answer
  int chunk_gap_ms = 20;     // between two pieces of an answer
};

// What the next data request answers.
enum class DataStream : std::uint8_t {
  Current,  // the two current-data telegrams, one after the other
  Version,  // the version record
  Hours, Days, Months, SetDay, Sensors,  // archive records, newest first
};

class VirtualMeter {
 public:
  explicit VirtualMeter(MeterOptions options = {}, const Clock& clock = SystemClock::Instance());

  // One complete telegram from the master (start to stop byte); returns the answer, empty for
  // none. Anything that is not a well-formed frame is ignored.
  Bytes Handle(const std::uint8_t* telegram, std::size_t n);
  Bytes Handle(const Bytes& telegram) { return Handle(telegram.data(), telegram.size()); }

  const MeterOptions& Options() const { return options_; }

  // Memory, as the memory telegrams see it. Reads and writes of unmapped addresses fail.
  bool ReadMemory(std::uint32_t address, std::size_t n, std::uint8_t* out) const;
  bool WriteMemory(std::uint32_t address, const std::uint8_t* data, std::size_t n);
  const std::uint8_t* ConfigBlock() const { return image_.CfgBlock(); }  // 256 bytes at 1000h
  const std::uint8_t* CalibrationBlock() const { return image_.CoefBlock(); }  // 486 at FC00h
  // Firmware version, both blocks and a fresh image check sum: what "Save configuration" of a
  // complete read would store.
  MeterImage Image() const;
  std::uint8_t Ram(std::uint32_t address) const;  // 10000h..1005Fh
  void SetRam(std::uint32_t address, std::uint8_t value);

  std::uint8_t ModeByte() const { return Ram(kModeByteAddress); }
  void SetModeByte(std::uint8_t mode) { SetRam(kModeByteAddress, mode); }
  std::uint32_t OpticalCredits() const;
  std::uint32_t MbusCredits() const;
  void SetCredits(std::uint32_t optical, std::uint32_t mbus);
  std::uint32_t Identification() const { return image_.Cfg<std::uint32_t>(kCfgIdentification); }
  std::uint8_t PrimaryAddress() const { return image_.Cfg<std::uint8_t>(kCfgPrimaryAddress); }
  std::uint16_t Manufacturer() const { return image_.Cfg<std::uint16_t>(kCfgManufacturer); }
  std::uint8_t Medium() const { return image_.Cfg<std::uint8_t>(kCfgMedium); }
  bool Selected() const { return selected_; }
  DataStream Stream() const { return stream_; }

  // The meter's clock (local time, seconds kept).
  DateTime Time() const;
  void SetTime(const DateTime& t);
  // Pulse input counters (channel 1 or 2) in the unit of the channel's VIF (Cfg 232 / 236).
  std::int64_t PulseValue(int channel) const;

  // How deep each archive is (records of one kind, storage numbers 1..depth).
  static std::uint32_t ArchiveDepth(DataStream kind);

 private:
  struct Snapshot;

  Bytes HandleShort(const Frame& f);
  Bytes HandleLong(const Frame& f);
  Bytes DataRequest(bool fcb);
  Bytes Reset(const Bytes& data);
  Bytes Records(const Bytes& data);
  Bytes MemoryRead(const Bytes& data);
  Bytes MemoryWrite(const Bytes& data);
  Bytes Select(const Bytes& data);
  Bytes Finish(Bytes answer);

  bool ForUs(std::uint8_t a) const;
  bool ModeAllows(std::uint8_t bits) const { return (ModeByte() & bits) != 0; }
  void RestartStream(DataStream stream, std::uint32_t first);

  Bytes BuildDataTelegram();
  Bytes VariableDataTelegram(const Bytes& records);
  void AppendRecords(const std::vector<Quantity>& list, std::uint32_t storage, const Snapshot& s,
                     Bytes& out) const;
  Snapshot ValuesAt(std::int64_t t, std::int64_t from, bool instantaneous) const;
  Snapshot Now() const;
  Snapshot ArchivePoint(DataStream kind, std::uint32_t index) const;
  std::uint8_t PulseVif(int channel) const;

  std::int64_t MeterSeconds() const;   // meter time as seconds since 1970 (local)
  double RunningSeconds() const;       // since the meter was switched on
  double PulseBase(int channel, double running_s) const;  // in m3 or Wh

  MeterOptions options_;
  const Clock& clock_;
  MeterImage image_;
  std::array<std::uint8_t, kRamSize> ram_{};

  // Clock: meter time at `time_base_ms_` of the monotonic clock.
  std::int64_t time_base_s_ = 0;
  std::int64_t time_base_ms_ = 0;
  std::int64_t start_ms_ = 0;  // when the meter was switched on; the counters run from it

  // Pulse inputs: value in base units (m3 or Wh) at a running time.
  struct PulseCounter {
    double base = 0;
    double at_running_s = 0;
    double rate_per_hour = 0;
  };
  std::array<PulseCounter, 2> pulses_{};

  // Link state (EN 13757-2): the frame count bit of the last answered data request.
  bool selected_ = false;
  bool fcb_valid_ = false;
  bool last_fcb_ = false;
  Bytes last_answer_;
  DataStream stream_ = DataStream::Current;
  std::uint32_t cursor_ = 0;  // record (archive) or telegram (current data) to send
  std::vector<Selector> selection_;
  std::uint8_t access_number_ = 0;
  std::uint8_t mode_before_test_ = kModeManufacturer;
  static constexpr std::int64_t kToggleRepeatMs = 3000;
  bool toggled_ = false;
  std::int64_t toggled_ms_ = 0;

  int answers_ = 0;
  int long_answers_ = 0;
};

}  // namespace nord5::sim
