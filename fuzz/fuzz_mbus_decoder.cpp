// libFuzzer target: arbitrary bytes as a received data telegram, and as hexadecimal text.
// The decoder must never read outside the frame, whatever the limit and the bytes.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string_view>
#include <vector>

#include "mbus/decoder.h"
#include "mbus/long_frame.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace nord5;
  // An exact-size copy, so that AddressSanitizer sees every read past the received bytes.
  const std::vector<std::uint8_t> bytes(data, data + size);
  const std::span<const std::uint8_t> frame(bytes);

  // The engine's path: the limit from the length byte, with the list and a consumer.
  DecodeMBusData(frame, RecordLimit(frame), size % 2 == 0,
                 [](std::int32_t, std::int32_t, const TFullRecord& dr) {
                   std::size_t total = 0;
                   for (int i = 0; i < dr.Count; ++i)
                     total += VariantToText(dr.Rec[i].Value).size();
                   return total > 0;
                 });
  // A limit past the received bytes (a length byte that promises more than arrived).
  static auto records = std::make_unique<tMBUS_RecArray>();
  std::int32_t id = 0;
  std::int32_t address = 0;
  if (DecodeMBusRecords(frame, static_cast<int>(size) + 7, *records, id, address)) {
    if (records->Count > kMaxDecodedEntries) __builtin_trap();
    for (int i = 1; i < records->Count; ++i) {
      const TTableRecord& r = records->Rec[i].Data;
      if (r.Offset < 19 || r.Offset + r.Length > static_cast<int>(size)) __builtin_trap();
    }
  }

  const LongFrameError e = CheckLongFrame(frame);
  (void)DescribeLongFrameError(e, frame);
  (void)ParseHexText(std::string_view(reinterpret_cast<const char*>(data), size));
  return 0;
}
