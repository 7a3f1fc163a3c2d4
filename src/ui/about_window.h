// The about window `TfmUpdata` with the maker's logo and link, the automatic-check switch and
// the update buttons; and `ProgramUpdates`, which runs the update service in the desktop
// program and hooks it into the main window.
#pragma once

#include <QDialog>
#include <QObject>
#include <QPixmap>
#include <functional>
#include <memory>

#include "foundation/dialogs.h"
#include "foundation/shell.h"
#include "update/deployment.h"
#include "update/update_service.h"
#include "update/version_info.h"

class QAction;
class QCheckBox;
class QLabel;

namespace nord5::ui {

class TfmTermuloConfig;
class QtTimers;
class QtDispatcher;
class QtUpdateWindows;

// Our logo: a heat drop over a meter dial beside the word NORD5, drawn at `size`.
QPixmap MakerLogo(const QSize& size);

class TfmUpdata final : public QDialog {
 public:
  TfmUpdata(update::TUpdateService& service, Shell& shell, const std::string& maker_url,
            QWidget* parent = nullptr);
  ~TfmUpdata() override;
  // The window while it exists, else null.
  static TfmUpdata* Instance();
  // The window's own state rule: the update buttons only while no check runs.
  void UpdateActions();

 private:
  void OpenMakerPage();
  update::TUpdateService& service_;
  Shell& shell_;
  std::string maker_url_;
  QAction* check_ = nullptr;
  QLabel* download_ = nullptr;
  QCheckBox* auto_check_ = nullptr;
};

class ProgramUpdates final : public QObject {
 public:
  // Creates the version information and the update service with its timer.
  explicit ProgramUpdates(const update::Deployment& deployment = update::BuiltInDeployment(),
                          QObject* parent = nullptr);
  ~ProgramUpdates() override;

  // Wires "About", "Check update", the help items, the "Checking updates" state, the rule that
  // ends the program once an installer is ready, and the installer's start at the window's end.
  void Attach(TfmTermuloConfig& window);
  // Opens the about window modally.
  void ShowAbout();

  update::TUpdateService& Service() { return *service_; }
  const update::TVersionInfo& VersionInfo() const { return version_; }
  // Starts the prepared installer, if any, and forgets it.
  void StartInstallerIfPrepared();

  // Test seams: message boxes, the shell, and how the program is ended.
  void SetDialogs(Dialogs* dialogs) { dialogs_override_ = dialogs; }
  void SetShell(Shell* shell) { shell_override_ = shell; }
  std::function<void()> terminate;
  // Starting the installer (test seam); returns the process id or -1.
  std::function<long(const std::string&)> start_installer;

 private:
  class ForwardDialogs;
  Dialogs& CurrentDialogs();
  Shell& CurrentShell();

  update::Deployment deployment_;
  update::TVersionInfo version_;
  QWidget* window_ = nullptr;
  TfmTermuloConfig* main_ = nullptr;
  bool detached_ = false;
  Dialogs* dialogs_override_ = nullptr;
  Shell* shell_override_ = nullptr;
  XdgShell xdg_;
  std::unique_ptr<ForwardDialogs> dialogs_;
  std::unique_ptr<QtDispatcher> dispatcher_;
  std::unique_ptr<QtTimers> timers_;
  std::unique_ptr<QtUpdateWindows> windows_;
  std::unique_ptr<update::TUpdateService> service_;
};

}  // namespace nord5::ui
