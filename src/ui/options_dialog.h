// "Program options" (`TfmOptions`): the meter's serial port from the port list, the line format
// (only the M-Bus format 2400 8E1 can be chosen) and the DTR and RTS lines.
#pragma once

#include <QDialog>
#include <functional>
#include <memory>

#include "transport/usb_notifier.h"

class QButtonGroup;
class QGridLayout;
class QCheckBox;
class QFileSystemWatcher;
class QListWidget;
class QPushButton;

namespace nord5 {
class TCommPort;
}

namespace nord5::ui {

class TfmOptions : public QDialog {
  Q_OBJECT
 public:
  // `close_port` ends any exchange that uses the port before new settings are applied (default:
  // the driver's Close). `watcher` is the dialog's own device watcher (default: udev).
  TfmOptions(TCommPort& port, QWidget* parent = nullptr, std::function<void()> close_port = {},
             std::unique_ptr<TUSBNotifier> watcher = nullptr);
  ~TfmOptions() override;

  // `SetAplly`: port closed, the selections into the driver's configuration, settings stored.
  void SetAplly();
  bool ApplyEnabled() const;
  // Refills the port list from a fresh search and selects the configured port.
  void RefreshPorts();
  TUSBNotifier* Watcher() { return watcher_.get(); }

  void accept() override;

 private:
  QButtonGroup* RadioGroup(QWidget* parent, const QString& name, const QString& caption,
                           const QStringList& items, int columns, int allowed, int selected,
                           QGridLayout* into, int row, int col, int rowspan);
  void Changed();
  void WatchVirtualPorts();

  TCommPort& port_;
  std::function<void()> close_port_;
  std::unique_ptr<TUSBNotifier> watcher_;
  QButtonGroup* baud_ = nullptr;
  QButtonGroup* bits_ = nullptr;
  QButtonGroup* parity_ = nullptr;
  QButtonGroup* stop_ = nullptr;
  QCheckBox* dtr_ = nullptr;
  QCheckBox* rts_ = nullptr;
  QListWidget* ports_ = nullptr;
  QPushButton* apply_ = nullptr;
  QFileSystemWatcher* folder_watch_ = nullptr;  // the virtual port folder and its parent
};

}  // namespace nord5::ui
