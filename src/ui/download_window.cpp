#include "ui/download_window.h"

#include <QLabel>
#include <QProgressBar>
#include <QScreen>

#include "ui/about_window.h"

namespace nord5::ui {
namespace {

TfmDownloadingForm* g_downloading = nullptr;

}  // namespace

TfmDownloadingForm::TfmDownloadingForm(QWidget* main_window) : QDialog(main_window) {
  setObjectName("TfmDownloadingForm");
  setWindowTitle("Downloading");
  setWindowFlags(Qt::Tool | Qt::WindowStaysOnTopHint | Qt::WindowTitleHint);
  setAttribute(Qt::WA_DeleteOnClose);
  setFixedSize(396, 85);
  auto* caption = new QLabel("Downloading...", this);
  caption->setObjectName("lbDownloading1");
  caption->setGeometry(12, 10, 200, 18);
  percent_ = new QLabel("0", this);
  percent_->setObjectName("lbDownloading2");
  percent_->setGeometry(296, 10, 88, 18);
  percent_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  bar_ = new QProgressBar(this);
  bar_->setObjectName("pbDownloadingBAR1");
  bar_->setGeometry(12, 38, 372, 22);
  bar_->setRange(0, 100);
  bar_->setValue(0);
  bar_->setTextVisible(false);
  const QRect around = main_window ? main_window->frameGeometry()
                                   : (screen() ? screen()->availableGeometry() : QRect());
  move(around.center() - QPoint(width() / 2, height() / 2));
  g_downloading = this;
  show();
}

TfmDownloadingForm::~TfmDownloadingForm() {
  if (g_downloading == this) g_downloading = nullptr;
}

TfmDownloadingForm* TfmDownloadingForm::Instance() {
  // A closed window is on its way out (deleted later).
  return g_downloading && g_downloading->isVisible() ? g_downloading : nullptr;
}

void TfmDownloadingForm::Show(std::int64_t done, std::int64_t max) {
  // The bar counts in kilobytes above 2 GB so that it stays within int.
  const int shift = max > 0x7FFFFFFF ? 10 : 0;
  bar_->setMaximum(static_cast<int>(max >> shift));
  bar_->setValue(static_cast<int>(std::min(done, max) >> shift));
  const double percent = max > 0 ? static_cast<double>(done) / static_cast<double>(max) * 100 : 0;
  percent_->setText(QString::asprintf("%6.2f%%", percent));
}

void TfmDownloadingForm::FileServerProgress(std::int64_t done, std::int64_t max) {
  if (max <= 0) return;  // the server gave no size
  Show(done, max);
}

void TfmDownloadingForm::WebProgress(std::int64_t done, std::int64_t total) {
  if (total <= 0) return;
  Show(done, total);
}

QString TfmDownloadingForm::PercentText() const { return percent_->text(); }
int TfmDownloadingForm::Position() const { return bar_->value(); }
int TfmDownloadingForm::Maximum() const { return bar_->maximum(); }

void QtUpdateWindows::CreateDownloadingWindow() {
  if (!TfmDownloadingForm::Instance())
    new TfmDownloadingForm(main_window_ ? main_window_() : nullptr);
}

void QtUpdateWindows::CloseDownloadingWindow() {
  if (auto* w = TfmDownloadingForm::Instance()) w->close();
}

void QtUpdateWindows::DownloadProgress(std::int64_t done, std::int64_t total, bool web) {
  auto* w = TfmDownloadingForm::Instance();
  if (!w) return;
  if (web)
    w->WebProgress(done, total);
  else
    w->FileServerProgress(done, total);
}

void QtUpdateWindows::CloseAboutWindow() {
  if (auto* about = TfmUpdata::Instance()) about->reject();
}

void QtUpdateWindows::ShowHelpItem(int tag) {
  if (show_help_) show_help_(tag);
}

}  // namespace nord5::ui
