#include "ui/qt_seams.h"

#include <QDir>
#include <QFileDialog>
#include <QHeaderView>
#include <QTreeView>
#include <QMessageBox>
#include <QMetaObject>
#include <QTimer>

namespace nord5::ui {

QtTimers::~QtTimers() {
  for (auto& [id, t] : timers_) delete t;
}

TimerId QtTimers::Start(std::int64_t interval_ms, bool periodic, std::function<void()> fn) {
  const TimerId id = next_++;
  auto* t = new QTimer(this);
  t->setTimerType(Qt::PreciseTimer);
  t->setSingleShot(!periodic);
  t->setInterval(static_cast<int>(std::max<std::int64_t>(0, interval_ms)));
  connect(t, &QTimer::timeout, this, [this, id, periodic, fn = std::move(fn)] {
    if (!periodic) Stop(id);  // a single shot is over before it runs (fn may start another)
    fn();
    if (after_fire) after_fire();
  });
  timers_[id] = t;
  t->start();
  return id;
}

void QtTimers::Stop(TimerId id) {
  auto it = timers_.find(id);
  if (it == timers_.end()) return;
  QTimer* t = it->second;
  timers_.erase(it);
  t->stop();
  t->deleteLater();  // may be the timer whose timeout is running now
}

MsgResult QtDialogs::Message(const std::string& text, MsgIcon icon, MsgButtons buttons,
                             bool default_no) {
  return Show(text, {}, icon, buttons, default_no);
}

MsgResult QtDialogs::MessageWithDetail(const std::string& text, const std::string& detail,
                                       MsgIcon icon, MsgButtons buttons) {
  return Show(text, detail, icon, buttons, false);
}

MsgResult QtDialogs::Show(const std::string& text, const std::string& detail, MsgIcon icon,
                          MsgButtons buttons, bool default_no) {
  QMessageBox box(parent_);
  box.setWindowTitle(parent_ ? parent_->window()->windowTitle() : QString());
  box.setText(QString::fromStdString(text).replace("\r\n", "\n").replace('\r', '\n'));
  if (!detail.empty()) box.setDetailedText(QString::fromStdString(detail));
  switch (icon) {
    case MsgIcon::Error:
      box.setIcon(QMessageBox::Critical);
      break;
    case MsgIcon::Warning:
      box.setIcon(QMessageBox::Warning);
      break;
    case MsgIcon::Information:
      box.setIcon(QMessageBox::Information);
      break;
    case MsgIcon::Question:
      box.setIcon(QMessageBox::Question);
      break;
  }
  switch (buttons) {
    case MsgButtons::Ok:
      box.setStandardButtons(QMessageBox::Ok);
      break;
    case MsgButtons::YesNo:
      box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
      box.setDefaultButton(default_no ? QMessageBox::No : QMessageBox::Yes);
      break;
    case MsgButtons::OkCancel:
      box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
      box.setDefaultButton(default_no ? QMessageBox::Cancel : QMessageBox::Ok);
      break;
  }
  switch (box.exec()) {
    case QMessageBox::Yes:
      return MsgResult::Yes;
    case QMessageBox::No:
      return MsgResult::No;
    case QMessageBox::Cancel:
      return MsgResult::Cancel;
    default:
      return buttons == MsgButtons::YesNo ? MsgResult::No : MsgResult::Ok;
  }
}

QStringList QtDialogs::QtFilters(const std::string& filter) {
  const QStringList parts = QString::fromStdString(filter).split('|');
  QStringList out;
  for (int i = 0; i + 1 < parts.size(); i += 2) {
    QString name = parts[i];
    const QString patterns = QString(parts[i + 1]).replace(';', ' ');
    if (!name.contains('(')) name += " (" + patterns + ")";
    out << name;
  }
  if (out.isEmpty() && !filter.empty()) out << QString::fromStdString(filter);
  return out;
}

void QtDialogs::FitFileDialog(QFileDialog& dlg) {
  // Qt's own dialog (no desktop dialog here) opens small, and its detail columns cut the sizes
  // and dates: room for about a hundred characters, the other columns as wide as their contents
  // and the name taking the rest.
  const QFontMetrics fm(dlg.font());
  dlg.resize(std::max(dlg.width(), fm.averageCharWidth() * 100),
             std::max(dlg.height(), fm.height() * 26));
  for (auto* tree : dlg.findChildren<QTreeView*>()) {
    QHeaderView* h = tree->header();
    h->setStretchLastSection(false);
    for (int i = 0; i < h->count(); ++i)
      h->setSectionResizeMode(i, i == 0 ? QHeaderView::Stretch : QHeaderView::ResizeToContents);
  }
}

std::optional<FileDialogResult> QtDialogs::FileDialog(const FileDialogRequest& r) {
  QFileDialog dlg(parent_, QString::fromStdString(r.Title), QString::fromStdString(r.Folder));
  dlg.setAcceptMode(r.Save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  dlg.setFileMode(r.Save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
  // The program asks itself before it replaces a file.
  dlg.setOption(QFileDialog::DontConfirmOverwrite, true);
  const QStringList filters = QtFilters(r.Filter);
  if (!filters.isEmpty()) {
    dlg.setNameFilters(filters);
    if (r.FilterIndex >= 1 && r.FilterIndex <= filters.size())
      dlg.selectNameFilter(filters[r.FilterIndex - 1]);
  }
  QString ext = QString::fromStdString(r.DefaultExt);
  while (ext.startsWith('*') || ext.startsWith('.')) ext.remove(0, 1);
  if (!ext.isEmpty()) dlg.setDefaultSuffix(ext);
  if (!r.FileName.empty()) dlg.selectFile(QString::fromStdString(r.FileName));
  FitFileDialog(dlg);
  if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty()) return std::nullopt;
  FileDialogResult out;
  out.Path = QDir::toNativeSeparators(dlg.selectedFiles().first()).toStdString();
  out.FilterIndex = static_cast<int>(filters.indexOf(dlg.selectedNameFilter())) + 1;
  if (out.FilterIndex < 1) out.FilterIndex = 1;
  return out;
}

void QtDispatcher::Post(std::function<void()> fn) {
  QMetaObject::invokeMethod(this, std::move(fn), Qt::QueuedConnection);
}

}  // namespace nord5::ui
