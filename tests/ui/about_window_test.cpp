// The about window, the downloading window and the update hooks of the main window.
#include "ui/about_window.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>
#include <fstream>

#include "foundation/settings.h"
#include "ui/download_window.h"
#include "ui/main_window.h"
#include "ui/status_panels.h"
#include "ui_test_env.h"

using namespace nord5;
using namespace nord5::ui;

namespace {

update::Deployment Maker(const std::string& url) {
  update::Deployment d;
  d.MakerUrl = url;
  return d;
}

std::string Autoupdate() { return SettingsValue(SettingsMode::Read, "Autoupdate", "").Text(); }

}  // namespace

class AboutWindowTest : public QObject {
  Q_OBJECT
 private slots:
  void init() { env_.Reset(); }
  void AutoCheckBoxDrivesAutoupdateAndTheTimer();
  void LogoAndLinkOpenTheMakerPage();
  void UpdateButtonsAreOffWhileACheckRuns();
  void DownloadingWindowShowsPercentages();
  void ReadyInstallerEndsTheProgramAndStartsAtTheEnd();

 private:
  UiTestEnv env_;
};

void AboutWindowTest::AutoCheckBoxDrivesAutoupdateAndTheTimer() {
  ProgramUpdates updates(Maker(""));
  RecordingShell shell;
  update::TUpdataTimer& timer = updates.Service().Timer();
  QVERIFY(timer.Enabled());
  {
    TfmUpdata about(updates.Service(), shell, "");
    QCOMPARE(about.windowTitle(), QString("Update program"));
    QVERIFY(!timer.Enabled());  // off while the window is open
    auto* cb = about.findChild<QCheckBox*>("cbAutoCheckVersion1");
    QVERIFY(cb->isChecked());
    cb->click();
    QCOMPARE(Autoupdate(), std::string("False"));
    QCOMPARE(timer.Interval(), update::kCheckIntervalMs);
    QVERIFY(!timer.Enabled());
  }
  QVERIFY(!timer.Enabled());  // closed with the box unchecked: stays off
  {
    TfmUpdata about(updates.Service(), shell, "");
    auto* cb = about.findChild<QCheckBox*>("cbAutoCheckVersion1");
    QVERIFY(!cb->isChecked());
    cb->click();
    QCOMPARE(Autoupdate(), std::string("True"));
    QVERIFY(!timer.Enabled());
  }
  QVERIFY(timer.Enabled());
  QCOMPARE(timer.Interval(), update::kCheckIntervalMs);
}

void AboutWindowTest::LogoAndLinkOpenTheMakerPage() {
  ProgramUpdates updates(Maker(""));
  RecordingShell shell;
  {
    TfmUpdata about(updates.Service(), shell, "https://maker.example/");
    auto* link = about.findChild<QLabel*>("lbLink");
    QCOMPARE(link->text(), QString("https://maker.example/"));
    QTest::mouseClick(link, Qt::LeftButton);
    QTest::mouseClick(about.findChild<QLabel*>("imMakerLogo"), Qt::LeftButton);
    QCOMPARE(shell.opened,
             (std::vector<std::string>{"https://maker.example/", "https://maker.example/"}));
    QVERIFY(about.findChild<QLabel*>("imMakerLogo")->isVisibleTo(&about));
    QVERIFY(!about.findChild<QLabel*>("imPartnerLogo1")->isVisibleTo(&about));
  }
  shell.opened.clear();
  TfmUpdata about(updates.Service(), shell, "");
  auto* link = about.findChild<QLabel*>("lbLink");
  QVERIFY(!link->isEnabled());
  QTest::mouseClick(about.findChild<QLabel*>("imMakerLogo"), Qt::LeftButton);
  QVERIFY(shell.opened.empty());
}

void AboutWindowTest::UpdateButtonsAreOffWhileACheckRuns() {
  ProgramUpdates updates(Maker(""));  // no description address: every check ends at once
  ScriptedDialogs dialogs;
  updates.SetDialogs(&dialogs);
  TfmTermuloConfig window;
  updates.Attach(window);
  RecordingShell shell;
  TfmUpdata about(updates.Service(), shell, "", &window);
  auto* check = about.findChild<QPushButton*>("btCheckNewVersion");
  auto* download = about.findChild<QLabel*>("lbDownloadProgram1");
  QVERIFY(check->isEnabled());
  check->click();
  QVERIFY(updates.Service().Running());
  QVERIFY(!check->isEnabled());
  QVERIFY(!download->isEnabled());
  QVERIFY(!window.findChild<QAction*>("Chackupdate1")->isEnabled());
  QCOMPARE(window.Status().Text(2), QString("Checking updates"));
  QTRY_VERIFY_WITH_TIMEOUT(!updates.Service().Running(), 10000);
  QCOMPARE(dialogs.Texts(), std::vector<std::string>{"New program version not detected"});
  QVERIFY(check->isEnabled());
  QVERIFY(download->isEnabled());
  QVERIFY(window.findChild<QAction*>("Chackupdate1")->isEnabled());
  QCOMPARE(window.Status().Text(2), QString());

  // "Download program" starts a check of its own kind, which also reports an empty result.
  QTest::mouseClick(download, Qt::LeftButton);
  QVERIFY(updates.Service().Running());
  QVERIFY(!download->isEnabled());
  QTRY_VERIFY_WITH_TIMEOUT(!updates.Service().Running(), 10000);
  QCOMPARE(dialogs.Texts().size(), 2u);
}

void AboutWindowTest::DownloadingWindowShowsPercentages() {
  auto* w = new TfmDownloadingForm(nullptr);
  QCOMPARE(TfmDownloadingForm::Instance(), w);
  QCOMPARE(w->PercentText(), QString("0"));
  w->FileServerProgress(512, 2048);
  QCOMPARE(w->PercentText(), QString(" 25.00%"));
  QCOMPARE(w->Position(), 512);
  QCOMPARE(w->Maximum(), 2048);
  w->WebProgress(100, 0);  // no total: ignored
  QCOMPARE(w->Position(), 512);
  w->WebProgress(1, 3);
  QCOMPARE(w->PercentText(), QString(" 33.33%"));
  QCOMPARE(w->Maximum(), 3);
  w->close();
  QVERIFY(!TfmDownloadingForm::Instance());
}

void AboutWindowTest::ReadyInstallerEndsTheProgramAndStartsAtTheEnd() {
  ProgramUpdates updates(Maker(""));
  int ended = 0;
  std::vector<std::string> started;
  updates.terminate = [&] { ++ended; };
  updates.start_installer = [&](const std::string& p) {
    started.push_back(p);
    return 1L;
  };
  QTemporaryDir dir;
  const std::string script = dir.filePath("nord5-config.sh").toStdString();
  {
    TfmTermuloConfig window;
    updates.Attach(window);
    window.RunStateRules();
    QCOMPARE(ended, 0);
    updates.Service().SetInstallerFileName(script);
    window.RunStateRules();
    QCOMPARE(ended, 0);  // named but not written
    std::ofstream(script) << "#!/bin/sh\n";
    window.RunStateRules();
    window.RunStateRules();
    QCOMPARE(ended, 1);  // once: the rule detaches itself
    QVERIFY(started.empty());
  }
  QCOMPARE(started, std::vector<std::string>{script});
  QCOMPARE(updates.Service().InstallerFileName(), std::string());
}

NORD5_UI_TEST(AboutWindowTest);
#include "about_window_test.moc"
