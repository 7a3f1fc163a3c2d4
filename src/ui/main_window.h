// The main window `TfmTermuloConfig`: tool bar with the address panel, six tabs, menus, actions
// and the four-panel status bar. The window only lays out and binds controls; operations live in
// the core (engine, model, files) and reach the controls through the form view.
#pragma once

#include <QAction>
#include <QMainWindow>
#include <QMap>
#include <QTabWidget>
#include <functional>
#include <memory>

#include "ui/state_rules.h"

class QLineEdit;
class QRadioButton;

namespace nord5 {
class FormView;
}

namespace nord5::ui {

class QtFormView;
class StatusPanels;
class TfmFindMeters;

class TfmTermuloConfig : public QMainWindow {
  Q_OBJECT
 public:
  explicit TfmTermuloConfig(QWidget* parent = nullptr);
  ~TfmTermuloConfig() override;

  // "VARMELINOX NORD5 User configurator [v1.0.0.0]"
  static QString Title();
  void RebuildTitle();

  FormView& Form();
  QtFormView& QtForm() { return *form_; }
  QAction* Action(const QString& name) const;
  StatusPanels& Status() { return *status_; }
  QTabWidget& Pages() { return *pages_; }

  // Restores the window from minimised state and brings it to the front (second instance).
  void BringToFront();

  // The state the rules read that the window does not hold itself (port, logging, exchange,
  // meter mode ...); filled by the engine host. Without one the window is idle.
  std::function<void(WindowState&)> state_source;
  // Asked before the window closes; by default the rules' "device communicates" question.
  std::function<bool()> close_guard;
  // Set by the program's update wiring: whether an update check runs, and the last state rule
  // (the program ends once an update installer is ready).
  std::function<bool()> update_running;
  std::function<void()> last_state_rule;
  // Runs the state rules now (the window runs them whenever the event queue runs empty).
  void RunStateRules();
  // The state as the rules see it now.
  WindowState CurrentState() const;

  // Shows every help item whose file exists (after an update check downloaded help files).
  void RevealHelpItems();
  QAction* HelpItem(int tag) const { return help_items_.value(tag); }

  // Address box: "MBus addr.:" (true) or "Device ID  :" (false) chosen.
  bool AddressModeMBus() const;
  QString AddressText() const;
  // Chooses "MBus addr.:" (primary) or "Device ID  :" and puts `text` into the address box.
  void UseAddress(bool primary, const QString& text);
  // "Find meters": the bus scan dialog on the program's serial driver.
  void FindMeters();
  TfmFindMeters* FindMetersDialog() const { return find_meters_; }

 protected:
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BuildActions();
  void BuildMenus();
  void BuildToolBar();
  void BuildTabs();
  QWidget* BuildActualTab();
  QWidget* BuildMenuTab();
  QWidget* BuildConfigurationTab();
  QWidget* BuildManufactureTab();
  QWidget* BuildVarmeTab();
  QWidget* BuildArchiveTab();
  void ApplyDesignState();
  void InstallInputFilters();
  void SetupAddressBox();
  void SetupHelpMenu();
  void SetupTimeCorrection();
  void ApplyFixedClientSize();
  QAction* AddAction(const QString& name, const QString& caption, const QKeySequence& key = {});
  void BindButton(const QString& button, const QString& action);

  QMap<QString, QAction*> actions_;
  QTabWidget* pages_ = nullptr;
  StatusPanels* status_ = nullptr;
  std::unique_ptr<QtFormView> form_;
  QRadioButton* rb_mbus_ = nullptr;
  QRadioButton* rb_device_id_ = nullptr;
  QLineEdit* address_ = nullptr;
  QMenu* languages_ = nullptr;
  QMap<int, QAction*> help_items_;
  bool rules_pending_ = false;
  TfmFindMeters* find_meters_ = nullptr;
};

}  // namespace nord5::ui
