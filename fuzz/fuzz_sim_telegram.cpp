// libFuzzer target: the virtual meter's side of the line on arbitrary bytes.
//
// The input is a separator byte, the meter's mode byte, then pieces split at the separator. Every
// piece goes to the frame reassembler as received bytes, and is also wrapped into a frame with a
// right check sum (long when its first byte has bit 7 set: C from the low bits, then A and CI;
// short otherwise: C and A from bytes 1 and 2) so that the meter's handlers see arbitrary user
// data: memory reads and writes of any address and length, selections, records. Checked: the
// reassembler returns only well-formed frames, the same ones however the bytes are chunked, and
// every answer of the meter is nothing, E5h or a well-formed frame.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "foundation/clock.h"
#include "sim/frame_reassembler.h"
#include "sim/telegram.h"
#include "sim/virtual_meter.h"

namespace {

using namespace nord5;
using nord5::sim::Bytes;

void CheckAnswer(const Bytes& answer) {
  if (answer.empty()) return;
  if (answer.size() == 1 && answer[0] == sim::kAck) return;
  sim::Frame f;
  if (answer.size() > sim::kMaxFrame || !sim::ParseFrame(answer.data(), answer.size(), f))
    __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  const std::uint8_t sep = data[0];
  ManualClock clock;
  clock.SetNow(1000000);
  sim::MeterOptions options;
  options.mode = data[1] & 0x66;  // user, test, manufacturer bits in any combination
  sim::VirtualMeter meter(options, clock);
  sim::FrameReassembler chunked;
  std::vector<Bytes> found;

  std::size_t i = 2;
  while (i <= size) {
    std::size_t j = i;
    while (j < size && data[j] != sep) ++j;
    const Bytes piece(data + i, data + j);
    i = j + 1;
    clock.Advance(piece.empty() ? 3500 : 10 * (piece[0] & 0x0F));

    for (auto& frame : chunked.Feed(piece.data(), piece.size())) {
      sim::Frame parsed;
      if (!sim::ParseFrame(frame.data(), frame.size(), parsed)) __builtin_trap();
      CheckAnswer(meter.Handle(frame));
      found.push_back(std::move(frame));
    }
    if (piece.size() >= 3) {
      const bool is_long = (piece[0] & 0x80) != 0;
      const Bytes user_data(piece.begin() + 3, piece.end());
      const Bytes telegram =
          is_long ? sim::LongFrame(static_cast<std::uint8_t>(piece[0] & 0x7F), piece[1], piece[2],
                                   user_data)
                  : sim::ShortFrame(piece[1], piece[2]);
      CheckAnswer(meter.Handle(telegram));
    }
    // Not a frame as it stands: ignored.
    sim::Frame parsed;
    if (!sim::ParseFrame(piece.data(), piece.size(), parsed) && !meter.Handle(piece).empty())
      __builtin_trap();
  }

  // The same bytes in one piece (separators included) give the same frames as the pieces gave
  // when the separators are dropped; so feed the pieces' bytes, without separators, at once.
  Bytes joined;
  for (std::size_t k = 2; k < size; ++k)
    if (data[k] != sep) joined.push_back(data[k]);
  sim::FrameReassembler whole;
  if (whole.Feed(joined.data(), joined.size()) != found) __builtin_trap();
  if (whole.Pending() != chunked.Pending()) __builtin_trap();
  return 0;
}
