// The main window's status bar: four panels side by side. Panel 1 draws a progress bar with its
// percentage while a transfer runs and shows a text otherwise.
#pragma once

#include <QString>
#include <QWidget>
#include <array>

namespace nord5::ui {

class StatusPanels : public QWidget {
  Q_OBJECT
 public:
  explicit StatusPanels(QWidget* parent = nullptr);
  void SetText(int panel, const QString& text);
  QString Text(int panel) const;
  void ProgressStart(int max);
  void ProgressSet(int value);
  void ProgressOff();
  bool InProgress() const { return in_progress_; }
  int Progress() const { return progress_; }
  int ProgressMax() const { return progress_max_; }
  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QRect PanelRect(int panel) const;
  std::array<QString, 4> texts_;
  bool in_progress_ = false;
  int progress_ = 0;
  int progress_max_ = 0;
};

}  // namespace nord5::ui
