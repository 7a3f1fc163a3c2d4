// The downloading window `TfmDownloadingForm` and the window side of the update worker: the
// worker's requests (downloading window, progress, closing the about window, help items) are
// carried out here, on the GUI thread.
#pragma once

#include <QDialog>
#include <QPointer>
#include <functional>

#include "update/update_service.h"

class QLabel;
class QProgressBar;

namespace nord5::ui {

class TfmDownloadingForm final : public QDialog {
 public:
  // A small stay-on-top tool window centred on `main_window`; it shows itself.
  explicit TfmDownloadingForm(QWidget* main_window);
  ~TfmDownloadingForm() override;
  // The window while it exists (program-wide reference), else null.
  static TfmDownloadingForm* Instance();

  // File server: the maximum is the file size the server gave.
  void FileServerProgress(std::int64_t done, std::int64_t max);
  // Web: every report carries the total; reports without one are ignored.
  void WebProgress(std::int64_t done, std::int64_t total);

  QString PercentText() const;
  int Position() const;
  int Maximum() const;

 private:
  void Show(std::int64_t done, std::int64_t max);
  QLabel* percent_ = nullptr;
  QProgressBar* bar_ = nullptr;
};

class QtUpdateWindows final : public update::UpdateWindows {
 public:
  // `main_window` gives the window the downloading window is centred on; `show_help` makes a
  // help item of the main window visible.
  QtUpdateWindows(std::function<QWidget*()> main_window, std::function<void(int)> show_help)
      : main_window_(std::move(main_window)), show_help_(std::move(show_help)) {}
  void CreateDownloadingWindow() override;
  void CloseDownloadingWindow() override;
  void DownloadProgress(std::int64_t done, std::int64_t total, bool web) override;
  void CloseAboutWindow() override;
  void ShowHelpItem(int tag) override;

 private:
  std::function<QWidget*()> main_window_;
  std::function<void(int)> show_help_;
};

}  // namespace nord5::ui
