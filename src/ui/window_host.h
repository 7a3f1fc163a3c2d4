// The engine host of the main window: owns the serial driver, the protocol engine and the device
// watcher, reads the operations' inputs from the controls, shows status, progress and messages,
// and wires every action and button of the window to its operation.
#pragma once

#include <QObject>
#include <QPointer>
#include <functional>
#include <memory>

#include "engine/engine.h"
#include "engine/engine_host.h"
#include "model/model_context.h"
#include "transport/comm_port.h"
#include "transport/usb_notifier.h"
#include "ui/qt_seams.h"

class QSocketNotifier;

namespace nord5 {
class TDataLogger;
}

namespace nord5::ui {

class TfmTermuloConfig;
class BuiltinMeter;
class ArchiveTab;

class MainWindowHost final : public QObject, public EngineHost {
  Q_OBJECT
 public:
  // `factory` makes the line for a port name; empty: the real serial line for device paths and
  // the built-in virtual meter for "Virtual meter". `clock` and `timers` drive the driver and the
  // engine (tests pass a manual clock); null: the system clock and Qt's timers.
  explicit MainWindowHost(TfmTermuloConfig& window, SerialLineFactory factory = {},
                          std::unique_ptr<TUSBNotifier> watcher = nullptr,
                          Clock* clock = nullptr, Timers* timers = nullptr);
  ~MainWindowHost() override;

  TProtocolEngine& Engine() { return *engine_; }
  TCommPort& Port() { return *port_; }
  TUSBNotifier* Watcher() { return watcher_.get(); }
  ArchiveTab& Archive() { return *archive_; }
  ParameterContext Context();
  void SetDialogs(Dialogs* dialogs) { dialogs_override_ = dialogs; }

  // Whether the close guard lets the window close.
  bool MayClose();
  // The device watcher's reaction (arrival and removal alike).
  void DeviceChanged();
  // Runs the options dialog modally and rebuilds the title.
  void ProgramSettings();

  // EngineHost.
  Dialogs& GetDialogs() override;
  EngineInputs Inputs() override;
  void SetStatusText(int panel, const std::string& text) override;
  void ShowProgress(bool visible, int value, int max) override;
  void ShowDataHeader(const DataHeader& header) override;
  void ShowFirmwareVersion(std::uint32_t version) override;
  void DecodeCurrentData(const std::uint8_t* frame, int limit) override;
  void DecodeArchiveRecord(const std::uint8_t* frame, int limit) override;
  void ShowCredits(const std::string& optical, const std::string& mbus) override;
  void ShowMemoryValue(const std::string& text) override;
  void FocusDataPages() override;
  void ClearConfigurationDisplay() override;
  void ShowMeterImage() override;
  bool CollectUserConfiguration() override;
  void RebuildUserMenuMask() override;
  bool PrepareImageForWrite() override;
  void ExchangeStopped() override;
  // Communication log and periodic data logging.
  void TraceText(const std::string& text) override;
  void LogEvent(const std::string& text) override;
  bool LoggingIdle() override;
  void UncheckLogging() override;
  void StartLoggingTimer() override;
  void DecodeLogRecord(const std::uint8_t* frame, int limit) override;
  TDataLogger& Logger() { return *logger_; }

 private:
  void WireActions();
  void ShowError(const std::string& what);
  void Guarded(const std::function<void()>& fn);
  void WatchLine();
  // Runs a store procedure of the parameter model; false after "Bad parameters".
  bool Store(const std::function<bool()>& store);
  void FillState(struct WindowState& s);
  std::string LineText() const;

  TfmTermuloConfig& window_;
  std::unique_ptr<BuiltinMeter> builtin_meter_;
  QtTimers timers_;
  QtDialogs dialogs_;
  Dialogs* dialogs_override_ = nullptr;
  std::unique_ptr<TCommPort> port_;
  std::unique_ptr<TProtocolEngine> engine_;
  std::unique_ptr<TDataLogger> logger_;
  std::unique_ptr<TUSBNotifier> watcher_;
  std::unique_ptr<ArchiveTab> archive_;
  QPointer<QSocketNotifier> line_notifier_;
  int watched_fd_ = -1;
  QPointer<QSocketNotifier> watcher_notifier_;
  int mbus_addr_type_ = 0;  // "MBusAddrType" as read at start-up
};

}  // namespace nord5::ui
