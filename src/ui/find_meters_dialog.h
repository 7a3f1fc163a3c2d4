// "Find meters": the primary and secondary scans of the bus scanner in a dialog, with a progress
// bar, "Stop" and a table of the meters found. Double-clicking a meter hands its primary address
// (primary scan) or its identification (secondary scan) to the tool bar's address box.
//
// The dialog only starts a scan while the port is closed (no other exchange runs); while a scan
// runs the port is open, so the main window's state rules keep its own operations off.
#pragma once

#include <QDialog>
#include <QString>
#include <memory>

#include "meterdata/bus_scanner.h"

class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QSpinBox;
class QTableWidget;
class QTimer;

namespace nord5 {
class Clock;
class TCommPort;
}  // namespace nord5

namespace nord5::ui {

class TfmFindMeters : public QDialog {
  Q_OBJECT
 public:
  TfmFindMeters(TCommPort& port, const Clock& clock, QWidget* parent = nullptr);
  ~TfmFindMeters() override;

  TBusScanner& Scanner() { return *scanner_; }

 signals:
  // A meter row was double-clicked: `primary` with its primary address as text, otherwise with
  // its identification (eight digits) for "Device ID".
  void meterChosen(bool primary, const QString& text);

 public slots:
  void StartPrimaryScan();
  void StartSecondaryScan();
  void StopScan();

 protected:
  // Closing the dialog (Escape, "Close", a meter chosen) ends a running scan first.
  void done(int result) override;

 private:
  void Started(ScanStart result);
  void AddRow(const ScanEntry& e);
  void Finished(ScanEnd end);
  void RowChosen(int row);
  void UpdateControls();

  TCommPort& port_;
  std::unique_ptr<TBusScanner> scanner_;
  QSpinBox* from_ = nullptr;
  QSpinBox* to_ = nullptr;
  QLineEdit* mask_ = nullptr;
  QPushButton* primary_ = nullptr;
  QPushButton* secondary_ = nullptr;
  QPushButton* stop_ = nullptr;
  QPushButton* close_ = nullptr;
  QProgressBar* progress_ = nullptr;
  QLabel* status_ = nullptr;
  QTableWidget* table_ = nullptr;
  QTimer* watch_ = nullptr;
};

}  // namespace nord5::ui
