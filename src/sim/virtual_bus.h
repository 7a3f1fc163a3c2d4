// Several virtual meters on one M-Bus line, as a level converter's master side sees them.
//
// Every meter hears every telegram and keeps its own memory, mode and selection state. When more
// than one answers, the answers go out at the same moment and the line carries them combined bit
// by bit: a space (0) from any meter dominates the mark (1) of the others, so each byte on the
// line is the AND of the bytes sent together, and a longer answer goes on alone after a shorter
// one has ended. Two E5h make one valid E5h; two different RSP_UD make a garbled frame:
//
//   meter 1   68 4D 4D 68 08 03 72 11 00 50 55 ...
//   meter 2   68 4D 4D 68 08 03 72 21 43 65 87 ...
//   line      68 4D 4D 68 08 03 72 01 00 40 05 ...   (wrong check sum)
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "foundation/clock.h"
#include "sim/frame_reassembler.h"
#include "sim/line_model.h"
#include "sim/telegram.h"
#include "sim/timed_bytes.h"
#include "sim/virtual_meter.h"
#include "transport/serial_line.h"

namespace nord5::sim {

// One meter of the bus: its identification (BCD digits, 12345678 is 0x12345678) and primary
// address.
struct BusMeter {
  std::uint32_t id = 0;
  std::uint8_t address = 0;
  friend bool operator==(const BusMeter&, const BusMeter&) = default;
};

inline constexpr std::size_t kMaxBusMeters = 250;

// "ID:ADDRESS[,ID:ADDRESS...]": ID one to eight hexadecimal digits (as --id takes them), ADDRESS
// 0..250. False with a message in `error` for anything else, or more than kMaxBusMeters meters.
bool ParseBusMeters(const std::string& text, std::vector<BusMeter>& out, std::string& error);

// The meter side of a line as nord5-meter-sim drives it: telegrams in, timed answer bytes out.
class SimLine {
 public:
  using Trace = std::function<void(bool incoming, const Bytes& telegram)>;
  virtual ~SimLine() = default;
  // Bytes the master sends, in any chunking.
  virtual void Receive(const std::uint8_t* bytes, std::size_t n) = 0;
  // Bytes that have arrived at the master's side by now, and taking them.
  virtual std::size_t Available() const = 0;
  virtual std::size_t Take(std::uint8_t* out, std::size_t capacity) = 0;
  // When the next byte arrives (monotonic ms of the clock), or nothing when none is on its way.
  virtual std::optional<std::int64_t> NextArrivalMs() const = 0;
  // Drops the bytes that have arrived (those still on the way come later).
  virtual void DropArrived() = 0;
  // Drops everything, also a half-received telegram.
  virtual void Clear() = 0;
  virtual void SetTrace(Trace trace) = 0;
};

// Several meters on one line. The line behaviour (echo, pieces, 2400 baud pace, reply delay)
// comes from `common`; so does everything else each meter starts with, apart from its
// identification and primary address.
class VirtualBus final : public SimLine {
 public:
  VirtualBus(const MeterOptions& common, const std::vector<BusMeter>& meters, const Clock& clock);

  std::size_t Size() const { return meters_.size(); }
  VirtualMeter& Meter(std::size_t i) { return *meters_[i]; }

  // Every meter's answer to one complete telegram, combined as the line carries them; empty when
  // none answers.
  Bytes Handle(const Bytes& telegram);

  void Receive(const std::uint8_t* bytes, std::size_t n) override;
  std::size_t Available() const override { return out_.Available(); }
  std::size_t Take(std::uint8_t* out, std::size_t capacity) override {
    return out_.Take(out, capacity);
  }
  std::optional<std::int64_t> NextArrivalMs() const override { return out_.NextArrivalMs(); }
  void DropArrived() override { out_.DropArrived(); }
  void Clear() override;
  void SetTrace(Trace trace) override { trace_ = std::move(trace); }

 private:
  MeterOptions line_;
  const Clock& clock_;
  std::vector<std::unique_ptr<VirtualMeter>> meters_;
  FrameReassembler rx_;
  TimedBytes out_;
  std::int64_t rx_free_us_ = 0;  // when the master's last byte has fully reached the meters
  std::int64_t last_rx_ms_ = 0;
  Trace trace_;
};

// The answers of several meters sent at once, as the line carries them (bitwise AND, the longest
// one going on alone).
Bytes CombineOnLine(const std::vector<Bytes>& answers);

// The line nord5-meter-sim serves: the single meter of `options`, or the bus of `meters` when
// that list is not empty.
std::unique_ptr<SimLine> MakeSimLine(const MeterOptions& options,
                                     const std::vector<BusMeter>& meters, const Clock& clock);

// An in-memory serial line with a virtual bus at its far end (for tests and the desktop program).
class VirtualBusLine final : public SerialLine {
 public:
  // A line to `bus`, which outlives the line.
  explicit VirtualBusLine(VirtualBus& bus) : bus_(bus) {}

  bool Open(const std::string& path) override;
  bool IsOpen() const override { return open_; }
  void Close() override;
  // The meters understand the master only at 2400 baud 8E1; otherwise what is written is lost.
  bool Apply(const LineSettings& settings) override;
  bool SetDTR(bool) override { return open_; }
  bool SetRTS(bool) override { return open_; }
  bool Purge() override;
  bool PurgeOutput() override { return open_; }
  long InQueue() override;
  long OutQueue() override { return open_ ? 0 : -1; }
  bool Write(const std::uint8_t* data, std::size_t count) override;
  long Read(std::uint8_t* data, std::size_t capacity) override;

 private:
  VirtualBus& bus_;
  bool open_ = false;
  LineSettings settings_;
};

}  // namespace nord5::sim
