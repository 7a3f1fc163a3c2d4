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
  // The text as drawn in its panel. The line settings of the last panel, "%s[%d,%s,%s]", are
  // always shown whole: a port name too long for the panel loses its middle instead. The full
  // text is the panel's tool tip.
  QString ShownText(int panel) const;
  void ProgressStart(int max);
  void ProgressSet(int value);
  void ProgressOff();
  bool InProgress() const { return in_progress_; }
  int Progress() const { return progress_; }
  int ProgressMax() const { return progress_max_; }
  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;
  bool event(QEvent* event) override;

 private:
  QRect PanelRect(int panel) const;
  std::array<QString, 4> texts_;
  bool in_progress_ = false;
  int progress_ = 0;
  int progress_max_ = 0;
};

}  // namespace nord5::ui
