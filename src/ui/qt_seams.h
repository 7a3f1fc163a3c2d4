// The core's seams on Qt: timers on the GUI thread, modal message boxes and file dialogs, and
// running a function on the GUI thread.
#pragma once

#include <QObject>
#include <QPointer>
#include <map>

#include "foundation/dialogs.h"
#include "foundation/dispatcher.h"
#include "foundation/timers.h"

class QFileDialog;
class QTimer;
class QWidget;

namespace nord5::ui {

class QtTimers final : public QObject, public Timers {
 public:
  explicit QtTimers(QObject* parent = nullptr) : QObject(parent) {}
  ~QtTimers() override;
  TimerId Start(std::int64_t interval_ms, bool periodic, std::function<void()> fn) override;
  void Stop(TimerId id) override;
  std::size_t ActiveCount() const { return timers_.size(); }
  // Runs after every timer function (the window re-checks the line's descriptor).
  std::function<void()> after_fire;

 private:
  TimerId next_ = 1;
  std::map<TimerId, QTimer*> timers_;
};

// Message boxes with the window as parent; "\r" in the program's texts is a line break.
class QtDialogs final : public Dialogs {
 public:
  explicit QtDialogs(QWidget* parent) : parent_(parent) {}
  MsgResult Message(const std::string& text, MsgIcon icon, MsgButtons buttons,
                    bool default_no = false) override;
  // The detail goes into the box's detailed text ("Show Details...").
  MsgResult MessageWithDetail(const std::string& text, const std::string& detail, MsgIcon icon,
                              MsgButtons buttons) override;
  std::optional<FileDialogResult> FileDialog(const FileDialogRequest& request) override;

  // Turns "Config files (*.meterConfig)|*.meterConfig|All files (*.*)|*.*" into Qt's filter list.
  static QStringList QtFilters(const std::string& filter);
  // Size and columns of a file dialog so that names, sizes, types and dates are readable.
  static void FitFileDialog(QFileDialog& dialog);

 private:
  MsgResult Show(const std::string& text, const std::string& detail, MsgIcon icon,
                 MsgButtons buttons, bool default_no);
  QPointer<QWidget> parent_;
};

class QtDispatcher final : public QObject, public Dispatcher {
 public:
  explicit QtDispatcher(QObject* parent = nullptr) : QObject(parent) {}
  void Post(std::function<void()> fn) override;
};

}  // namespace nord5::ui
