#include "ui/application.h"

#include <QApplication>
#include <QFont>
#include <QScreen>
#include <QTimer>

#include "foundation/settings.h"
#include "foundation/utils.h"
#include "ui/about_window.h"
#include "ui/main_window.h"
#include "ui/single_instance.h"
#include "ui/widgets.h"
#include "ui/window_host.h"
#include "ui/window_texts.h"

namespace nord5::ui {

// For the documentation script and the tests only, never in normal use: NORD5_SCREENSHOT=<png>
// saves a picture of the window once it is up and ends the program. NORD5_SCREENSHOT_TAB picks
// the page shown, NORD5_SCREENSHOT_ADVANCED=1 switches advanced mode on, and
// NORD5_SCREENSHOT_READ=1 first reads the full configuration from the built-in virtual meter.
void InstallScreenshotHook(TfmTermuloConfig& window, MainWindowHost& host) {
  const QString path = qEnvironmentVariable("NORD5_SCREENSHOT");
  if (path.isEmpty()) return;
  if (qEnvironmentVariableIntValue("NORD5_SCREENSHOT_ADVANCED") == 1)
    window.Action("caAdvaced")->trigger();
  const bool read = qEnvironmentVariableIntValue("NORD5_SCREENSHOT_READ") == 1;
  auto shoot = [&window, path] {
    bool ok = false;
    const int tab = qEnvironmentVariableIntValue("NORD5_SCREENSHOT_TAB", &ok);
    if (ok) window.Pages().setCurrentIndex(tab);
    QTimer::singleShot(300, &window, [&window, path] {
      window.RunStateRules();
      window.grab().save(path);
      QApplication::exit(0);
    });
  };
  QTimer::singleShot(200, &window, [&window, &host, read, shoot] {
    if (!read) {
      shoot();
      return;
    }
    host.Port().SetPort(kVirtualMeterPort);
    window.Action("caReadConfiguration")->trigger();
    auto* poll = new QTimer(&window);
    QObject::connect(poll, &QTimer::timeout, &window, [&host, poll, shoot] {
      if (host.Engine().Running()) return;
      poll->stop();
      shoot();
    });
    poll->start(100);
  });
}

int RunApplication(int argc, char** argv) {
  // Shared start-up: data folder, settings file and the values read before any window exists.
  InitDataFolder();
  SettingsValue(SettingsMode::Read, "DeviceTimeCorection", 0);
  SettingsValue(SettingsMode::Read, "MBusAddrType", 0);
  for (const char* key : {"HelpFileVersionLT", "HelpFileVersionEN", "HelpFileVersionRU"})
    SettingsValue(SettingsMode::Read, key, 0);
  for (const char* key : {"HelpFileLT", "HelpFileEN", "HelpFileRU"})
    SettingsValue(SettingsMode::Read, key, "");

  QApplication app(argc, argv);
  // Version information and the update timer, before any window.
  ProgramUpdates updates;
  QApplication::setApplicationName(kAppName);
  QApplication::setApplicationDisplayName(kProgramTitle);

  SingleInstance instance;
  if (instance.SignalRunningInstance()) return 0;
  instance.Listen();

  QFont::insertSubstitution("Tahoma", "DejaVu Sans Condensed");
  QFont font("Tahoma");
  font.setPointSize(8);
  QApplication::setFont(font);

  TfmTermuloConfig window;
  ScaleFormTo96(&window);
  MainWindowHost host(window);
  updates.Attach(window);
  QObject::connect(&instance, &SingleInstance::activationRequested, &window,
                   &TfmTermuloConfig::BringToFront);
  // Shown minimised, then restored after the pending events ran, so the window comes up in front.
  window.showMinimized();
  QApplication::processEvents();
  window.BringToFront();
  InstallScreenshotHook(window, host);
  return app.exec();
}

}  // namespace nord5::ui
