#include "ui/window_host.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSocketNotifier>
#include <QSpinBox>
#include <QTreeWidget>
#include <span>

#include "files/config_file.h"
#include "files/menu_file.h"
#include "foundation/clock.h"
#include "foundation/meter_image.h"
#include "foundation/settings.h"
#include "foundation/utils.h"
#include "mbus/decoder.h"
#include "meterdata/current_data.h"
#include "meterdata/data_logging.h"
#include "model/engine_hooks.h"
#include "model/flow_coefficients.h"
#include "model/parameter_display.h"
#include "model/user_configuration.h"
#include "transport/platform/posix_serial_line.h"
#include "transport/port_list.h"
#include "transport/usb_notifier.h"
#include "ui/archive_tab.h"
#include "ui/builtin_meter.h"
#include "ui/data_logging_binding.h"
#include "ui/log_window.h"
#include "ui/main_window.h"
#include "ui/options_dialog.h"
#include "ui/qt_form_view.h"
#include "ui/state_rules.h"
#include "ui/status_panels.h"
#include "ui/widgets.h"
#include "ui/window_texts.h"

namespace nord5::ui {
namespace {

const char* ParityName(TParity p) {
  switch (p) {
    case TParity::pr_None:
      return "None";
    case TParity::pr_Odd:
      return "Odd";
    case TParity::pr_Even:
      return "Even";
    case TParity::pr_Mark:
      return "Mark";
    case TParity::pr_Space:
      return "Space";
  }
  return "";
}

int BaudValue(TBaudRate b) {
  static constexpr int kBauds[] = {300, 600, 1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200};
  const auto i = static_cast<std::size_t>(b);
  return i < std::size(kBauds) ? kBauds[i] : 0;
}

const char* StopBitsName(TStopBits s) {
  switch (s) {
    case TStopBits::sb_1:
      return "1";
    case TStopBits::sb_1_5:
      return "1.5";
    case TStopBits::sb_2:
      return "2";
  }
  return "";
}

SerialLineFactory DefaultFactory(BuiltinMeter& meter) {
  return [&meter](const std::string& port) -> std::unique_ptr<SerialLine> {
    if (port == kVirtualMeterPort) return meter.CreateLine();
    return CreatePosixSerialLine();
  };
}

}  // namespace

MainWindowHost::MainWindowHost(TfmTermuloConfig& window, SerialLineFactory factory,
                               std::unique_ptr<TUSBNotifier> watcher, Clock* clock,
                               Timers* timers)
    : QObject(&window), window_(window), timers_(this), dialogs_(&window) {
  // The primary-address rule is read once, at start-up; the builder asks for it at every
  // telegram.
  mbus_addr_type_ = static_cast<int>(SettingsValue(SettingsMode::Read, "MBusAddrType", 0).AsInt());
  builtin_meter_ = std::make_unique<BuiltinMeter>();
  auto list = std::make_unique<TPortList>();
  list->AddExtraPort(kVirtualMeterPort);
  Clock& engine_clock = clock ? *clock : SystemClock::Instance();
  port_ = std::make_unique<TCommPort>(
      engine_clock, timers ? *timers : static_cast<Timers&>(timers_),
      factory ? std::move(factory) : DefaultFactory(*builtin_meter_), std::move(list));
  port_->SetTickMode(TCommPort::TickMode::OnDemand);
  timers_.after_fire = [this] { WatchLine(); };
  engine_ = std::make_unique<TProtocolEngine>(*this, *port_, engine_clock);
  engine_->Install();
  logger_ = std::make_unique<TDataLogger>(*engine_, timers_, SystemClock::Instance());
  archive_ = std::make_unique<ArchiveTab>(window_, *engine_, [this]() -> Dialogs& { return GetDialogs(); });

  watcher_ = watcher ? std::move(watcher) : std::make_unique<TUSBNotifier>();
  watcher_->SetOnUSBArrival([this](TUSBNotifier&) { DeviceChanged(); });
  watcher_->SetOnUSBRemove([this](TUSBNotifier&) { DeviceChanged(); });
  if (watcher_->MonitorFd() >= 0) {
    watcher_notifier_ = new QSocketNotifier(watcher_->MonitorFd(), QSocketNotifier::Read, this);
    connect(watcher_notifier_, &QSocketNotifier::activated, this, [this] { watcher_->Dispatch(); });
  }

  window_.state_source = [this](WindowState& s) { FillState(s); };
  window_.close_guard = [this] { return MayClose(); };
  ParameterContext ctx = Context();
  InstallParameterHandlers(ctx);
  ClearParameterDisplay(ctx);
  WireActions();
  window_.RunStateRules();
}

MainWindowHost::~MainWindowHost() {
  window_.state_source = nullptr;
  window_.close_guard = nullptr;
  timers_.after_fire = nullptr;
  delete line_notifier_;
  logger_.reset();
  archive_.reset();
  engine_.reset();
  port_.reset();
}

ParameterContext MainWindowHost::Context() {
  return ParameterContext{window_.Form(), CurrentImage(), GetDialogs(), engine_->State(),
                          window_.Action("caAdvaced")->isChecked()};
}

Dialogs& MainWindowHost::GetDialogs() {
  return dialogs_override_ ? *dialogs_override_ : static_cast<Dialogs&>(dialogs_);
}

void MainWindowHost::WatchLine() {
  const int fd = port_->PollFd();
  if (fd == watched_fd_) return;
  if (line_notifier_) {
    // May be the notifier whose signal is being handled now.
    line_notifier_->setEnabled(false);
    line_notifier_->deleteLater();
    line_notifier_ = nullptr;
  }
  watched_fd_ = fd;
  if (fd < 0) return;
  line_notifier_ = new QSocketNotifier(fd, QSocketNotifier::Read, this);
  connect(line_notifier_, &QSocketNotifier::activated, this, [this] {
    // Off while the tick runs: a message box inside a handler runs its own event loop, where the
    // still readable descriptor would wake it over and over while the tick cannot be re-entered.
    QPointer<QSocketNotifier> n = line_notifier_;
    n->setEnabled(false);
    port_->Tick();
    if (n) n->setEnabled(true);
    WatchLine();
  });
}

void MainWindowHost::FillState(WindowState& s) {
  const ExchangeState& st = engine_->State();
  s.port_open = engine_->Running();
  s.configuration = st.NoConfiguration;
  s.device_jumper = static_cast<std::uint32_t>(st.DeviceJumper);
  s.reading_archives = st.ReadingArchives;
  s.logging = logger_->Active();
  s.device_medium = st.DeviceMedium;
  const MeterImage& img = CurrentImage();
  s.firmware = img.FirmwareVersion();
  s.pio_cfg = {img.bytes[188], img.bytes[189]};
  for (std::size_t i = 0; i < s.mnf_mask.size(); ++i) s.mnf_mask[i] = img.bytes[172 + i];
  window_.Status().SetText(3, QString::fromStdString(LineText()));
}

std::string MainWindowHost::LineText() const {
  return QString("%1[%2,%3,%4]")
      .arg(QString::fromStdString(port_->Port()))
      .arg(BaudValue(port_->BaudRate()))
      .arg(ParityName(port_->Parity()))
      .arg(StopBitsName(port_->StopBits()))
      .toStdString();
}

EngineInputs MainWindowHost::Inputs() {
  FormView& f = window_.Form();
  EngineInputs in;
  in.Mode = window_.AddressModeMBus() ? AddressMode::Primary : AddressMode::Secondary;
  in.AddressText = window_.AddressText().toStdString();
  in.ArchiveKind = f.ItemIndex("cbReadData");
  in.RecordCountText = f.Text("edRecordCount");
  in.PulseText1 = f.Text("edPulseInput1");
  in.PulseText2 = f.Text("edPulseInput2");
  in.PulseUnit1 = f.ItemIndex("pio_vif1");
  in.PulseUnit2 = f.ItemIndex("pio_vif2");
  in.TimeCorrection = f.ItemIndex("cbTimeCorrection");
  in.MBusAddrType = mbus_addr_type_;
  in.DeviceIdText = f.Text("textActDeviceID");
  in.MBusAddrText = f.Text("textActMBusAddr");
  in.MemAddrText = f.Text("edAddr");
  in.MemAddrHex = f.Checked("cbAddrHEX");
  in.MemBytes = std::atoi(f.Text("spByte").c_str());
  in.MemValueText = f.Text("edValue");
  in.MemDataHex = f.Checked("cbDataHEX");
  in.LoggingChecked = f.Checked("cbLogingData");
  return in;
}

void MainWindowHost::SetStatusText(int panel, const std::string& text) {
  window_.Status().SetText(panel, QString::fromStdString(text));
}

void MainWindowHost::ShowProgress(bool visible, int value, int max) {
  StatusPanels& s = window_.Status();
  if (!visible) {
    s.ProgressOff();
    return;
  }
  if (!s.InProgress() || s.ProgressMax() != max) s.ProgressStart(max);
  s.ProgressSet(value);
}

void MainWindowHost::ShowDataHeader(const DataHeader& header) {
  FormView& f = window_.Form();
  auto hex2 = [](unsigned v) {
    return QString("%1").arg(v, 2, 16, QChar('0')).toUpper().toStdString();
  };
  f.SetText("edMedium", hex2(header.Medium));
  f.SetText("edDevVersion", hex2(header.Version));
  f.SetText("edAccNo", hex2(header.AccessNumber));
  const std::string code = DecodeManufacturer(header.Manufacturer);
  f.SetText("edManufac", code);
  ShowManufacturerCode(f, code);
}

void MainWindowHost::ShowFirmwareVersion(std::uint32_t version) {
  window_.Form().SetText("lbVersija", std::to_string(version));
  window_.Form().SetText("lbDeviceVersion1", std::to_string(version));
}

void MainWindowHost::DecodeCurrentData(const std::uint8_t* frame, int limit) {
  DecodeMBusData(std::span<const std::uint8_t>(frame, static_cast<std::size_t>(limit) + 2), limit,
                 false, CurrentMeterDataHandler(window_.Form()));
}

void MainWindowHost::DecodeArchiveRecord(const std::uint8_t* frame, int limit) {
  archive_->TakeAnswer(frame, limit);
}

void MainWindowHost::ShowCredits(const std::string& optical, const std::string& mbus) {
  window_.Form().SetText("edOpticalCredits", optical);
  window_.Form().SetText("edMBusCredits", mbus);
}

void MainWindowHost::ShowMemoryValue(const std::string& text) {
  window_.Form().SetText("edValue", text);
}

void MainWindowHost::FocusDataPages() { window_.Pages().setFocus(); }

void MainWindowHost::ClearConfigurationDisplay() {
  ParameterContext ctx = Context();
  ClearParameterDisplay(ctx);
}

void MainWindowHost::ShowMeterImage() {
  ParameterContext ctx = Context();
  ShowReadConfiguration(ctx);
  window_.RunStateRules();
}

bool MainWindowHost::Store(const std::function<bool()>& store) {
  LastFailedInput() = {};
  const bool ok = store();
  // After "Bad parameters" the input that could not be read is shown to the user.
  if (const FailedInput& failed = LastFailedInput(); !ok && !failed.control.empty())
    window_.FocusInput(QString::fromStdString(failed.control), failed.col, failed.row);
  return ok;
}

bool MainWindowHost::CollectUserConfiguration() {
  ParameterContext ctx = Context();
  return Store([&ctx] { return nord5::CollectUserConfiguration(ctx); });
}

void MainWindowHost::RebuildUserMenuMask() { RebuildUserMenu(window_.Form(), CurrentImage()); }

bool MainWindowHost::PrepareImageForWrite() {
  ParameterContext ctx = Context();
  return Store([&ctx] { return PrepareConfigurationWrite(ctx); });
}

void MainWindowHost::ExchangeStopped() {
  WatchLine();
  window_.RunStateRules();
}

void MainWindowHost::TraceText(const std::string& text) { TfmLogWindow::TraceText(text, true); }

void MainWindowHost::LogEvent(const std::string& text) {
  if (!logger_->LogEvent(text))
    ShowError("Cannot write to the log file \"" + logger_->FileName() + "\"");
}

bool MainWindowHost::LoggingIdle() { return !logger_->Active(); }

void MainWindowHost::UncheckLogging() { window_.Form().SetChecked("cbLogingData", false); }

void MainWindowHost::StartLoggingTimer() { logger_->StartTimer(); }

void MainWindowHost::DecodeLogRecord(const std::uint8_t* frame, int limit) {
  logger_->DecodeLogRecord(frame, limit);
}

bool MainWindowHost::MayClose() { return engine_->ConfirmClose(); }

void MainWindowHost::DeviceChanged() {
  if (!engine_->Running()) return;
  try {
    engine_->StopExchange();
    QApplication::processEvents();
    port_->PortList().FindPCPorts();
    if (!port_->PortList().Contains(port_->Port()))
      GetDialogs().Message(
          QString(kLostComPort).arg(QString::fromStdString(port_->Port())).toStdString(),
          MsgIcon::Warning, MsgButtons::Ok);
  } catch (const std::exception&) {
    // The watcher's reaction never stops the program.
  }
  WatchLine();
}

void MainWindowHost::ProgramSettings() {
  TfmOptions dlg(*port_, &window_, [this] {
    if (engine_->Running()) {
      engine_->StopExchange();
    } else {
      port_->Close();
    }
  });
  dlg.exec();
  WatchLine();
  window_.RebuildTitle();
}

void MainWindowHost::ShowError(const std::string& what) {
  // The application's general error display.
  GetDialogs().Message(what, MsgIcon::Error, MsgButtons::Ok);
}

void MainWindowHost::Guarded(const std::function<void()>& fn) {
  try {
    fn();
  } catch (const std::exception& e) {
    ShowError(e.what());
  }
}

void MainWindowHost::WireActions() {
  auto on = [this](const char* action, std::function<void()> fn) {
    QAction* a = window_.Action(action);
    connect(a, &QAction::triggered, this, [this, fn = std::move(fn)] {
      Guarded(fn);
      WatchLine();
    });
  };
  auto button = [this](const char* name, std::function<void()> fn) {
    window_.Form().SetHandler(name, [this, fn = std::move(fn)] {
      Guarded(fn);
      WatchLine();
    });
  };
  window_.QtForm().on_handler_error = [this](const std::string& what) { ShowError(what); };
  TProtocolEngine& e = *engine_;
  on("caReadConfiguration", [&e] { e.ReadConfiguration(); });
  on("caWriteConfiguration", [&e] { e.WriteConfiguration(); });
  on("caCheckManufacturerJumper", [&e] { e.WriteConfigurationWithModeCheck(); });
  on("caClosePort", [&e] { e.ClosePort(); });
  on("caSetDeviceID", [&e] { e.SetDeviceID(); });
  on("caSetPuseValue1", [&e] { e.SetPuseValue1(); });
  on("caSetPuseValue2", [&e] { e.SetPuseValue2(); });
  on("caWriteUserConfiguration", [&e] { e.WriteUserConfiguration(); });
  on("caWriteUserMenu", [&e] { e.WriteUserMenu(); });
  on("caTestModeWithoutChanging", [&e] { e.TestModeOnOff(); });
  on("caPortas", [this] { ProgramSettings(); });
  on("caLogWindow", [this] { TfmLogWindow::Toggle(&window_); });
  BindDataLogging(*logger_, window_.Form(), &window_, window_.Status(),
                  [this]() -> Dialogs& { return GetDialogs(); });
  on("caLoadConfiguration", [this] {
    ParameterContext ctx = Context();
    LoadConfigurationAction(ctx);
  });
  on("caSaveConfiguration", [this] {
    ParameterContext ctx = Context();
    Store([&ctx] { return SaveConfigurationAction(ctx); });
  });
  on("caLoadMTR07Menu", [this] { LoadMenuAction(window_.Form(), CurrentImage(), GetDialogs()); });
  on("caStoreMTR07Menu", [this] { StoreMenuAction(window_.Form(), GetDialogs()); });
  // Switching advanced mode off ends any running exchange.
  connect(window_.Action("caAdvaced"), &QAction::toggled, this, [this](bool on_now) {
    if (!on_now && engine_->Running()) engine_->StopExchange();
    WatchLine();
  });

  // Cell editing of the calibration grids: an edited cell is reformatted with its column's
  // pattern (or gets its old text back) when the edit ends, on a click and on leaving the grid.
  for (const char* name : {kGridQ, kGridQt, kGridCor, kGridTemp}) {
    auto* grid = window_.findChild<StringGrid*>(name);
    if (!grid) continue;
    auto memory = std::make_shared<GridEditMemory>();
    grid->edit_started = [memory](int col, int row, const QString& text) {
      GridGetEditText(*memory, col, row, text.toStdString());
    };
    auto reformat = [this, grid, memory, name] {
      GridClick(window_.Form(), name, *memory, grid->Editing());
      grid->viewport()->update();
    };
    connect(grid, &QTableWidget::cellChanged, this, reformat);
    connect(grid, &QTableWidget::cellClicked, this, reformat);
  }

  button("btDeviceID", [&e] { e.SetIdentification(); });
  button("btSetPulse1", [&e] { e.SetPulseValue(1); });
  button("btSetPulse2", [&e] { e.SetPulseValue(2); });
  button("btSetMBusAddress", [&e] { e.SetPrimaryAddress(); });
  button("btSetTime", [&e] { e.SetTime(); });
  button("btCredits", [this, &e] {
    e.ReadCredits();
    window_.Pages().setFocus();
  });
  button("btTestModeWithoutChangingForAll", [&e] { e.TestModeOnOff(); });
  button("btRead", [&e] { e.ReadMemory(); });
  button("btWrite", [&e] { e.WriteMemory(); });
  button("btReadData", [this] { archive_->ReadData(); });
  button("btMakeReport", [this] { archive_->MakeReportClicked(); });
  button("btStop", [this, &e] {
    e.StopArchiveReading();
    window_.Pages().setFocus();
  });
}

}  // namespace nord5::ui
