#include "ui/about_window.h"

#include <unistd.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QFileInfo>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QScreen>
#include <QTimer>

#include "foundation/settings.h"
#include "ui/download_window.h"
#include "ui/main_window.h"
#include "ui/qt_seams.h"
#include "ui/widgets.h"
#include "ui/window_texts.h"
#include "update/installer.h"

namespace nord5::ui {
namespace {

TfmUpdata* g_about = nullptr;

// A label that reacts to a click (logos and links).
class ClickLabel final : public QLabel {
 public:
  ClickLabel(QWidget* parent, const QString& name, std::function<void()> on_click)
      : QLabel(parent), on_click_(std::move(on_click)) {
    setObjectName(name);
    setCursor(Qt::PointingHandCursor);
  }

 protected:
  void mouseReleaseEvent(QMouseEvent* e) override {
    if (e->button() == Qt::LeftButton && rect().contains(e->position().toPoint()) && on_click_)
      on_click_();
    QLabel::mouseReleaseEvent(e);
  }

 private:
  std::function<void()> on_click_;
};

QFont StyledFont(const QFont& base, bool bold, bool underline) {
  QFont f = base;
  f.setBold(bold);
  f.setUnderline(underline);
  return f;
}

}  // namespace

QPixmap MakerLogo(const QSize& size) {
  QPixmap pm(size);
  pm.fill(Qt::white);
  QPainter p(&pm);
  p.setRenderHint(QPainter::Antialiasing);
  const qreal h = size.height();
  // A dial: a ring from blue (cold) to red (warm) with a needle.
  const QRectF dial(h * 0.08, h * 0.08, h * 0.84, h * 0.84);
  QConicalGradient ring(dial.center(), 225);
  ring.setColorAt(0.0, QColor(200, 40, 30));
  ring.setColorAt(0.5, QColor(240, 170, 40));
  ring.setColorAt(1.0, QColor(30, 90, 190));
  p.setPen(QPen(QBrush(ring), h * 0.09, Qt::SolidLine, Qt::RoundCap));
  p.drawArc(dial, -45 * 16, 270 * 16);
  // A heat drop inside the dial.
  const QPointF c = dial.center();
  QPainterPath drop;
  drop.moveTo(c.x(), c.y() - h * 0.26);
  drop.cubicTo(c.x() + h * 0.05, c.y() - h * 0.12, c.x() + h * 0.18, c.y() + h * 0.02, c.x(),
               c.y() + h * 0.2);
  drop.cubicTo(c.x() - h * 0.18, c.y() + h * 0.02, c.x() - h * 0.05, c.y() - h * 0.12, c.x(),
               c.y() - h * 0.26);
  QLinearGradient fill(c.x(), c.y() - h * 0.26, c.x(), c.y() + h * 0.2);
  fill.setColorAt(0, QColor(245, 150, 40));
  fill.setColorAt(1, QColor(200, 40, 30));
  p.setPen(Qt::NoPen);
  p.setBrush(fill);
  p.drawPath(drop);
  // The name.
  QFont f("DejaVu Sans");
  f.setBold(true);
  f.setPixelSize(static_cast<int>(h * 0.42));
  p.setFont(f);
  p.setPen(QColor(30, 60, 120));
  const QRectF text(h * 1.05, 0, size.width() - h * 1.1, h * 0.62);
  p.drawText(text, Qt::AlignLeft | Qt::AlignBottom, "NORD5");
  QFont small("DejaVu Sans");
  small.setPixelSize(static_cast<int>(h * 0.16));
  small.setLetterSpacing(QFont::AbsoluteSpacing, h * 0.02);
  p.setFont(small);
  p.setPen(QColor(110, 110, 110));
  p.drawText(QRectF(h * 1.08, h * 0.62, size.width() - h * 1.1, h * 0.3),
             Qt::AlignLeft | Qt::AlignTop, "VARMELINOX HEAT METERS");
  return pm;
}

TfmUpdata::TfmUpdata(update::TUpdateService& service, Shell& shell, const std::string& maker_url,
                     QWidget* parent)
    : QDialog(parent), service_(service), shell_(shell), maker_url_(maker_url) {
  setObjectName("TfmUpdata");
  setWindowTitle("Update program");
  setWindowFlags(Qt::Tool | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
  QFont::insertSubstitution("MS Sans Serif", "DejaVu Sans");
  QFont font("MS Sans Serif");
  font.setPixelSize(14);
  setFont(font);
  setFixedSize(445, 270);

  // The maker's logo and room for four partner logos; only the maker's is shown.
  const QString logos[] = {"imMakerLogo", "imPartnerLogo1", "imPartnerLogo2", "imPartnerLogo3",
                           "imPartnerLogo4"};
  for (int i = 0; i < 5; ++i) {
    auto* logo = new ClickLabel(this, logos[i], [this] { OpenMakerPage(); });
    logo->setGeometry(i == 0 ? 20 : 20 + 85 * (i - 1), 12, i == 0 ? 405 : 80, 84);
    if (i == 0) logo->setPixmap(MakerLogo(QSize(405, 84)));
    logo->setVisible(i == 0);
  }
  auto* version = new QLabel(QString("%1 v%2")
                                 .arg(kProgramTitle)
                                 .arg(QString::fromStdString(update::ProgramFileVersion())),
                             this);
  version->setObjectName("lbVersion");
  version->setGeometry(20, 102, 405, 20);

  auto* about_us = new QLabel("About us: ", this);
  about_us->setObjectName("lbAboutUs");
  about_us->setFont(StyledFont(font, true, false));
  about_us->setGeometry(20, 132, 80, 20);
  auto* link = new ClickLabel(this, "lbLink", [this] { OpenMakerPage(); });
  link->setText(QString::fromStdString(maker_url_));
  link->setFont(StyledFont(font, true, true));
  link->setStyleSheet("color: blue;");
  link->setGeometry(100, 132, 325, 20);
  link->setEnabled(!maker_url_.empty());

  auto_check_ = MakeCheck(this, "cbAutoCheckVersion1", "Auto check new version");
  auto_check_->setGeometry(20, 164, 300, 22);

  download_ = new ClickLabel(this, "lbDownloadProgram1",
                             [this] { service_.StartCheck(update::kDownloadProgram); });
  download_->setText("Download program");
  download_->setFont(StyledFont(font, true, true));
  download_->setStyleSheet("QLabel { color: red; } QLabel:disabled { color: gray; }");
  download_->setGeometry(20, 196, 200, 20);

  check_ = new QAction("Check new version", this);
  check_->setObjectName("caCheckNewVersion1");
  connect(check_, &QAction::triggered, this, [this] { service_.StartCheck(update::kManualCheck); });
  auto* check_button = MakeButton(this, "btCheckNewVersion", check_->text());
  check_button->setGeometry(20, 232, 150, 26);
  connect(check_button, &QPushButton::clicked, check_, &QAction::trigger);
  connect(check_, &QAction::changed, check_button,
          [this, check_button] { check_button->setEnabled(check_->isEnabled()); });
  auto* close_button = MakeButton(this, "btClose", "&Close");
  close_button->setGeometry(340, 232, 85, 26);
  connect(close_button, &QPushButton::clicked, this, &QDialog::reject);

  ScaleFormTo96(this);
  if (QScreen* s = screen()) move(s->availableGeometry().center() - rect().center());

  g_about = this;
  service_.AboutWindowOpened();
  auto_check_->setChecked(update::AutoupdateSetting());
  service_.SetReleaseNotesName(
      SettingsValue(SettingsMode::Read, "UpdateDescriptionFile", "").Text());
  connect(auto_check_, &QCheckBox::clicked, this, [this](bool on) {
    SettingsValue(SettingsMode::Write, "Autoupdate", SettingsDefault(on));
    service_.Timer().SetInterval(update::kCheckIntervalMs);
  });
  service_.AddStateListener(this, [this] { UpdateActions(); });
  UpdateActions();
}

TfmUpdata::~TfmUpdata() {
  service_.RemoveStateListener(this);
  service_.AboutWindowClosed();
  if (g_about == this) g_about = nullptr;
}

TfmUpdata* TfmUpdata::Instance() { return g_about; }

void TfmUpdata::UpdateActions() {
  const bool idle = !service_.Running();
  check_->setEnabled(idle);
  download_->setEnabled(idle);
}

void TfmUpdata::OpenMakerPage() {
  if (!maker_url_.empty()) shell_.Open(maker_url_);
}

// ---- the desktop program's updates

// Message boxes go to the test's dialogs when set, else to Qt boxes over the main window.
class ProgramUpdates::ForwardDialogs final : public Dialogs {
 public:
  explicit ForwardDialogs(ProgramUpdates& owner) : owner_(owner) {}
  MsgResult Message(const std::string& text, MsgIcon icon, MsgButtons buttons,
                    bool default_no) override {
    if (owner_.dialogs_override_)
      return owner_.dialogs_override_->Message(text, icon, buttons, default_no);
    return QtDialogs(Parent()).Message(text, icon, buttons, default_no);
  }
  std::optional<FileDialogResult> FileDialog(const FileDialogRequest& request) override {
    if (owner_.dialogs_override_) return owner_.dialogs_override_->FileDialog(request);
    return QtDialogs(Parent()).FileDialog(request);
  }

 private:
  QWidget* Parent() const {
    if (TfmUpdata* about = TfmUpdata::Instance()) return about;
    return owner_.window_;
  }
  ProgramUpdates& owner_;
};

ProgramUpdates::ProgramUpdates(const update::Deployment& deployment, QObject* parent)
    : QObject(parent), deployment_(deployment), version_(update::RunningProgramPath()) {
  dialogs_ = std::make_unique<ForwardDialogs>(*this);
  dispatcher_ = std::make_unique<QtDispatcher>();
  timers_ = std::make_unique<QtTimers>();
  windows_ = std::make_unique<QtUpdateWindows>([this] { return window_; },
                                               [this](int tag) {
                                                 if (main_ && main_->HelpItem(tag))
                                                   main_->HelpItem(tag)->setVisible(true);
                                               });
  update::UpdateEnvironment env;
  env.dispatcher = dispatcher_.get();
  env.dialogs = dialogs_.get();
  env.windows = windows_.get();
  env.timers = timers_.get();
  env.deployment = deployment_;
  env.program_path = update::RunningProgramPath();
  env.file_version = version_.FileVersion();
  env.pid = static_cast<long>(::getpid());
  service_ = std::make_unique<update::TUpdateService>(std::move(env));
  terminate = [] { QCoreApplication::exit(0); };
  start_installer = [](const std::string& path) { return update::StartInstaller(path); };
}

ProgramUpdates::~ProgramUpdates() {
  if (main_) {
    main_->update_running = nullptr;
    main_->last_state_rule = nullptr;
  }
  service_.reset();
}

Dialogs& ProgramUpdates::CurrentDialogs() { return *dialogs_; }
Shell& ProgramUpdates::CurrentShell() { return shell_override_ ? *shell_override_ : xdg_; }

void ProgramUpdates::ShowAbout() {
  TfmUpdata about(*service_, CurrentShell(), deployment_.MakerUrl, window_);
  about.exec();
}

void ProgramUpdates::Attach(TfmTermuloConfig& window) {
  window_ = &window;
  main_ = &window;
  if (auto* about = window.findChild<QAction*>("About1"))
    connect(about, &QAction::triggered, this, [this] { ShowAbout(); });
  if (auto* check = window.findChild<QAction*>("Chackupdate1"))
    connect(check, &QAction::triggered, this,
            [this] { service_->StartCheck(update::kManualCheck); });
  window.update_running = [this] { return service_->Running(); };
  // The last state rule: an installer is ready, so the program ends and lets it run.
  window.last_state_rule = [this] {
    if (detached_) return;
    const std::string script = service_->InstallerFileName();
    if (script.empty() || !QFileInfo::exists(QString::fromStdString(script))) return;
    detached_ = true;
    if (terminate) terminate();
  };
  service_->AddStateListener(this, [this] {
    if (main_) main_->RunStateRules();
  });
  // For the documentation only: NORD5_SCREENSHOT_ABOUT=<png> saves a picture of the about
  // window once it is up and ends the program.
  const QString shot = qEnvironmentVariable("NORD5_SCREENSHOT_ABOUT");
  if (!shot.isEmpty()) {
    QTimer::singleShot(300, this, [this, shot] {
      auto* about = new TfmUpdata(*service_, CurrentShell(), deployment_.MakerUrl, window_);
      about->setAttribute(Qt::WA_DeleteOnClose);
      about->show();
      QTimer::singleShot(300, about, [about, shot] {
        about->grab().save(shot);
        QCoreApplication::exit(0);
      });
    });
  }
  connect(&window, &QObject::destroyed, this, [this] {
    main_ = nullptr;
    window_ = nullptr;
    service_->RemoveStateListener(this);
    StartInstallerIfPrepared();
  });
}

void ProgramUpdates::StartInstallerIfPrepared() {
  const std::string script = service_->InstallerFileName();
  if (script.empty() || !QFileInfo::exists(QString::fromStdString(script))) return;
  service_->ForgetInstaller();
  if (start_installer) start_installer(script);
}

}  // namespace nord5::ui
