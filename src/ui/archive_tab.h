// The "Archive" tab bound to the archive reading: "Read data" starts a reading of the checked
// quantities, each answer becomes a row of `sgArchive` (header, widths and auto scroll as the
// grid model says), and "Make report" saves the grid as a report and opens it.
#pragma once

#include <QObject>
#include <QStyledItemDelegate>
#include <memory>

#include "foundation/shell.h"
#include "meterdata/archive_grid.h"
#include "meterdata/archive_reading.h"
#include "meterdata/report.h"

namespace nord5 {
class Dialogs;
class Clock;
}  // namespace nord5

namespace nord5::ui {

class TfmTermuloConfig;
class StringGrid;

// Cells of the archive grid once it holds data: the selected cell silver with bold red text,
// the rest of its row and column aqua, the others on the grid colour; the text 2 pixels left of
// the cell's edge and 2 below its top. Fixed cells, and everything while only the header exists,
// are drawn the standard way.
class ArchiveCellDelegate final : public QStyledItemDelegate {
 public:
  explicit ArchiveCellDelegate(StringGrid* grid);
  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override;

 private:
  StringGrid* grid_;
};

class ArchiveTab final : public QObject {
  Q_OBJECT
 public:
  // `dialogs` is asked for the message boxes each time (tests replace them).
  ArchiveTab(TfmTermuloConfig& window, TProtocolEngine& engine, std::function<Dialogs&()> dialogs);
  ~ArchiveTab() override;

  // "Read data": empties the grid and starts a reading of the checked quantities.
  void ReadData();
  // "Make report": save dialog, report, settings "FileTypeIndex" and "ReportFilePath".
  void MakeReportClicked();
  // One answer of the reading (the engine host's DecodeArchiveRecord).
  void TakeAnswer(const std::uint8_t* frame, int limit);

  const ArchiveGrid& Grid() const { return grid_; }
  // How reports are opened; the desktop's programs unless replaced (tests).
  void SetReportOpener(ReportOpener* opener) { opener_ = opener ? opener : default_opener_.get(); }
  void SetClock(const Clock* clock);

 signals:
  // The grid was emptied for a new reading or got a row (charts over the grid follow it).
  void GridChanged();

 private:
  void ShowRow(int row);
  void ApplyWidths();

  TfmTermuloConfig& window_;
  std::function<Dialogs&()> dialogs_;
  StringGrid* view_ = nullptr;
  ArchiveGrid grid_;
  ArchiveReading reading_;
  XdgShell shell_;
  std::unique_ptr<ReportOpener> default_opener_;
  ReportOpener* opener_ = nullptr;
  const Clock* clock_ = nullptr;
};

}  // namespace nord5::ui
