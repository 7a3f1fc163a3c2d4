// "Read data" of the "Archive" tab as plain code: the grid is emptied, the chosen quantities go to
// the engine, and every answer of the reading becomes a grid row. The engine's reply dispatcher
// counts the records and ends the exchange (after N records, or after the answer that follows
// Stop).
#pragma once

#include <cstdint>
#include <functional>
#include <span>

#include "engine/engine.h"
#include "meterdata/archive_grid.h"

namespace nord5 {

class ArchiveReading {
 public:
  ArchiveReading(TProtocolEngine& engine, ArchiveGrid& grid) : engine_(engine), grid_(grid) {}

  // Starts a reading of the quantities with these list rows (0..39; none: whatever the meter
  // reports by itself). The kind of data and the record count are read by the engine from its
  // host's inputs.
  void Start(std::span<const int> rows);
  // Ends the reading after the next answer.
  void Stop() { engine_.StopArchiveReading(); }
  bool Reading() const { return engine_.State().ReadingArchives; }

  // The host's DecodeArchiveRecord: decodes the answer with the system's decimal separator into
  // the grid. An answer that does not decode adds no row.
  void TakeAnswer(const std::uint8_t* frame, int limit);

  // After a row was appended (row index, from 1).
  std::function<void(int row)> on_row;

 private:
  TProtocolEngine& engine_;
  ArchiveGrid& grid_;
};

}  // namespace nord5
