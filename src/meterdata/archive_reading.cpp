#include "meterdata/archive_reading.h"

#include "mbus/decoder.h"
#include "meterdata/archive_quantities.h"

namespace nord5 {

void ArchiveReading::Start(std::span<const int> rows) {
  grid_.Clear();
  engine_.ReadArchive(SelectedArchiveQuantities(rows));
}

void ArchiveReading::TakeAnswer(const std::uint8_t* frame, int limit) {
  if (frame == nullptr || limit < 0) return;
  const int before = grid_.RowCount();
  DecodeMBusData(std::span<const std::uint8_t>(frame, static_cast<std::size_t>(limit) + 2), limit,
                 true, [this](std::int32_t id, std::int32_t a, const TFullRecord& dr) {
                   return grid_.ShowArchiveRecord(id, a, dr);
                 });
  if (grid_.RowCount() > before && on_row) on_row(grid_.RowCount() - 1);
}

}  // namespace nord5
