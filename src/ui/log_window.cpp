#include "ui/log_window.h"

#include <QCheckBox>
#include <QDialog>
#include <QFile>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QShortcut>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>
#include <algorithm>

#include "foundation/atomic_file.h"
#include "foundation/settings.h"
#include "mbus/decoder.h"
#include "transport/trace_hook.h"
#include "ui/qt_seams.h"
#include "ui/widgets.h"

namespace nord5::ui {
namespace {

TfmLogWindow*& OpenWindow() {
  static TfmLogWindow* window = nullptr;
  return window;
}

const QColor kSentColour(0, 0, 255);      // blue
const QColor kReceivedColour(255, 0, 0);  // red

QString NotShownText(std::uint64_t bytes) {
  return QString::fromUtf8("\u2026 %1 bytes not shown").arg(bytes);
}

}  // namespace

// ---- the queue -----------------------------------------------------------------------------

void TLogQueue::MakeRoom(std::size_t incoming) {
  // The oldest items go, their size noted in one gap item at the front.
  while (bytes_ + incoming > limit_ && !items_.empty()) {
    std::size_t victim = 0;
    if (items_.front().kind == LogItem::Kind::Gap) {
      if (items_.size() < 2) break;
      victim = 1;
    }
    LogItem& old = items_[victim];
    const std::size_t n = old.payload.size();
    bytes_ -= n;
    if (victim == 1) {
      items_.erase(items_.begin() + 1);
      items_.front().dropped += n;
    } else {
      LogItem gap;
      gap.kind = LogItem::Kind::Gap;
      gap.dropped = n;
      items_.front() = std::move(gap);
    }
  }
}

void TLogQueue::AddRecord(int direction, const std::uint8_t* data, std::size_t count) {
  if (count == 0 || data == nullptr) return;
  try {
    std::lock_guard<std::mutex> lock(mutex_);
    if (count > limit_) {  // only the newest bytes of an enormous block fit
      const std::size_t skip = count - limit_;
      data += skip;
      count = limit_;
    }
    MakeRoom(count);
    const auto dir = static_cast<std::uint8_t>(direction == kTraceSent ? 0 : 1);
    if (!items_.empty()) {
      LogItem& last = items_.back();
      if (last.kind == LogItem::Kind::Data && last.direction == dir &&
          last.payload.size() + count <= kMaxItem) {
        last.payload.append(reinterpret_cast<const char*>(data), count);
        bytes_ += count;
        return;
      }
    }
    LogItem item;
    item.kind = LogItem::Kind::Data;
    item.direction = dir;
    item.payload.assign(reinterpret_cast<const char*>(data), count);
    items_.push_back(std::move(item));
    bytes_ += count;
  } catch (const std::exception&) {
    // Tracing never disturbs the caller; the bytes are lost.
  }
}

void TLogQueue::AddText(const std::string& text, bool cr) {
  try {
    std::lock_guard<std::mutex> lock(mutex_);
    const std::size_t n = std::min(text.size(), limit_);
    MakeRoom(n);
    LogItem item;
    item.kind = LogItem::Kind::Text;
    item.cr = cr;
    item.payload = text.substr(0, n);
    items_.push_back(std::move(item));
    bytes_ += n;
  } catch (const std::exception&) {
  }
}

std::vector<LogItem> TLogQueue::Take(std::size_t budget) {
  std::vector<LogItem> out;
  std::lock_guard<std::mutex> lock(mutex_);
  std::size_t taken = 0;
  while (!items_.empty()) {
    const std::size_t n = items_.front().payload.size();
    if (!out.empty() && taken + n > budget) break;
    taken += n;
    bytes_ -= n;
    out.push_back(std::move(items_.front()));
    items_.pop_front();
  }
  return out;
}

bool TLogQueue::Empty() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return items_.empty();
}

std::size_t TLogQueue::Items() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return items_.size();
}

std::size_t TLogQueue::QueuedBytes() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return bytes_;
}

// ---- the window ----------------------------------------------------------------------------

TfmLogWindow::TfmLogWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
  setObjectName("TfmLogWindow");
  setWindowTitle("Log window");
  setAttribute(Qt::WA_DeleteOnClose);

  auto* bar = new QToolBar(this);
  bar->setObjectName("ToolBar1");
  btClear = MakeButton(bar, "btClear", "Clear");
  cbHEX = MakeCheck(bar, "cbHEX", "HEX", true);
  cbAutoscroll = MakeCheck(bar, "cbAutoscroll", "Autoscroll", true);
  cbParse = MakeCheck(bar, "cbParse", "Parse", false);
  cbStop1 = MakeCheck(bar, "cbStop1", "Stop", false);
  btStoreLog = MakeButton(bar, "btStoreLog", "Store log");
  btFindInLog = MakeButton(bar, "btFindInLog", "Find");
  for (QWidget* w : std::initializer_list<QWidget*>{btClear, cbHEX, cbAutoscroll, cbParse, cbStop1,
                                                     btStoreLog, btFindInLog})
    bar->addWidget(w);

  RichEdit = new QPlainTextEdit(this);
  RichEdit->setObjectName("RichEdit");
  RichEdit->setReadOnly(true);
  RichEdit->setUndoRedoEnabled(false);  // an undo stack would keep every line ever shown
  RichEdit->setMaximumBlockCount(kMaxLines);
  RichEdit->setLineWrapMode(QPlainTextEdit::NoWrap);
  RichEdit->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  QFont mono("Courier New");
  mono.setStyleHint(QFont::Monospace);
  mono.setPointSize(10);
  RichEdit->setFont(mono);

  auto* lay = new QVBoxLayout(this);
  lay->setContentsMargins(0, 0, 0, 0);
  lay->setSpacing(0);
  lay->addWidget(bar);
  lay->addWidget(RichEdit, 1);

  ScaleFormTo96(this);
  OpenWindow() = this;

  // "Clear" is the window's cancel button: Esc clears as well.
  connect(btClear, &QPushButton::clicked, this, [this] {
    RichEdit->clear();
    LastDirection = -1;
  });
  auto* esc = new QShortcut(QKeySequence(Qt::Key_Escape), this);
  esc->setContext(Qt::WindowShortcut);
  connect(esc, &QShortcut::activated, btClear, &QPushButton::click);

  cbHEX->setChecked(SettingsValue(SettingsMode::Read, "HEX", cbHEX->isChecked()).AsBool());
  cbParse->setChecked(SettingsValue(SettingsMode::Read, "Parse", false).AsBool());
  connect(cbHEX, &QCheckBox::clicked, this,
          [](bool on) { SettingsValue(SettingsMode::Write, "HEX", on); });
  connect(cbParse, &QCheckBox::clicked, this,
          [](bool on) { SettingsValue(SettingsMode::Write, "Parse", on); });
  connect(btStoreLog, &QPushButton::clicked, this, [this] { StoreLogClicked(); });
  connect(btFindInLog, &QPushButton::clicked, this, [this] { FindClicked(); });

  // The find dialog: down only, match case and whole word.
  find_dialog_ = new QDialog(this);
  find_dialog_->setObjectName("FindDialog");
  find_dialog_->setWindowTitle("Find");
  auto* fl = new QVBoxLayout(find_dialog_);
  auto* row = new QHBoxLayout;
  row->addWidget(new QLabel("Find what:", find_dialog_));
  find_text_ = MakeEdit(find_dialog_, "edFindText", "");
  row->addWidget(find_text_, 1);
  auto* next = MakeButton(find_dialog_, "btFindNext", "Find Next");
  next->setDefault(true);
  row->addWidget(next);
  fl->addLayout(row);
  auto* opts = new QHBoxLayout;
  find_case_ = MakeCheck(find_dialog_, "cbMatchCase", "Match case");
  find_word_ = MakeCheck(find_dialog_, "cbWholeWord", "Match whole word only");
  opts->addWidget(find_word_);
  opts->addWidget(find_case_);
  auto* cancel = MakeButton(find_dialog_, "btFindCancel", "Cancel");
  opts->addStretch(1);
  opts->addWidget(cancel);
  fl->addLayout(opts);
  connect(next, &QPushButton::clicked, this, [this] {
    FindNext(find_text_->text(), find_case_->isChecked(), find_word_->isChecked());
  });
  connect(cancel, &QPushButton::clicked, find_dialog_, &QDialog::hide);

  own_dialogs_ = std::make_unique<QtDialogs>(this);
  dialogs_ = own_dialogs_.get();

  // Top left corner, half the work area wide, its height less 100 pixels.
  if (QScreen* scr = QGuiApplication::primaryScreen()) {
    const QRect avail = scr->availableGeometry();
    move(avail.topLeft());
    resize(avail.width() / 2, std::max(200, avail.height() - 100));
  }

  writer_ = new QTimer(this);
  writer_->setInterval(kWriterIntervalMs);
  connect(writer_, &QTimer::timeout, this, [this] { Flush(); });
  writer_->start();

  SetTraceBytesHook([this](int direction, const std::uint8_t* bytes, std::size_t count) {
    queue_.AddRecord(direction, bytes, count);
  });
  SetTraceTextHook([](const std::string& text, bool cr) { TraceText(text, cr); });
}

TfmLogWindow::~TfmLogWindow() {
  SetTraceBytesHook({});
  SetTraceTextHook({});
  if (OpenWindow() == this) OpenWindow() = nullptr;
}

TfmLogWindow* TfmLogWindow::Instance() { return OpenWindow(); }

void TfmLogWindow::Toggle(QWidget* parent) {
  if (TfmLogWindow* w = Instance()) {
    w->close();
    return;
  }
  auto* w = new TfmLogWindow(parent);
  w->show();
}

void TfmLogWindow::TraceText(const std::string& text, bool cr) {
  TfmLogWindow* w = Instance();
  if (!w || !w->cbParse->isChecked()) return;
  w->queue_.AddText(text, cr);
}

void TfmLogWindow::StartLineIfNeeded() {
  // A run of bytes goes on its own line; an empty last line is used as it is.
  QTextDocument* doc = RichEdit->document();
  if (doc->lastBlock().length() <= 1) return;
  QTextCursor c(doc);
  c.movePosition(QTextCursor::End);
  c.insertBlock();
}

void TfmLogWindow::DebugingInput(int direction, const std::uint8_t* bytes, std::size_t size) {
  if (cbStop1->isChecked() || bytes == nullptr || size == 0) return;
  if (RichEdit->document()->isEmpty() || direction != LastDirection) StartLineIfNeeded();
  QString text;
  if (cbHEX->isChecked()) {
    static const char kDigits[] = "0123456789ABCDEF";
    text.reserve(static_cast<qsizetype>(size * 3));
    for (std::size_t i = 0; i < size; ++i) {
      text += QChar(kDigits[bytes[i] >> 4]);
      text += QChar(kDigits[bytes[i] & 0xF]);
      text += QChar(' ');
    }
  } else {
    // Each byte as the character of its code; control codes as their pictures (U+2400..), so a
    // CR or LF in the bytes cannot break the line structure.
    text.reserve(static_cast<qsizetype>(size));
    for (std::size_t i = 0; i < size; ++i) {
      const std::uint8_t b = bytes[i];
      if (b < 0x20)
        text += QChar(0x2400 + b);
      else if (b == 0x7F)
        text += QChar(0x2421);
      else
        text += QChar(b);
    }
  }
  QTextCharFormat fmt;
  fmt.setForeground(direction == kTraceSent ? kSentColour : kReceivedColour);
  fmt.setFontWeight(QFont::Normal);
  QTextCursor c(RichEdit->document());
  c.movePosition(QTextCursor::End);
  c.insertText(text, fmt);
  LastDirection = direction;
}

void TfmLogWindow::AddText(const std::string& text, bool cr) {
  QString t = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
  t.replace(QChar('\r'), QChar('\n'));
  if (cr) t += QChar('\n');
  QTextCharFormat fmt;
  fmt.setForeground(QColor(Qt::black));
  fmt.setFontWeight(QFont::Bold);
  QTextCursor c(RichEdit->document());
  c.movePosition(QTextCursor::End);
  c.insertText(t, fmt);
  // After a text the bytes go on a new line whatever their direction.
  LastDirection = -1;
}

void TfmLogWindow::SetMaxLines(int lines) { RichEdit->setMaximumBlockCount(lines); }

void TfmLogWindow::ScrollToEnd() {
  QScrollBar* v = RichEdit->verticalScrollBar();
  v->setValue(v->maximum());
}

void TfmLogWindow::Flush() {
  if (cbStop1->isChecked() || queue_.Empty()) return;
  const std::vector<LogItem> items = queue_.Take(kBatchBytes);
  bool bytes = false;
  bool text = false;
  QTextCursor batch(RichEdit->document());
  batch.beginEditBlock();  // one layout pass for the whole batch
  for (const LogItem& item : items) {
    try {
      switch (item.kind) {
        case LogItem::Kind::Data:
          DebugingInput(item.direction, reinterpret_cast<const std::uint8_t*>(item.payload.data()),
                        item.payload.size());
          bytes = true;
          break;
        case LogItem::Kind::Text:
          AddText(item.payload, item.cr);
          text = true;
          break;
        case LogItem::Kind::Gap:
          StartLineIfNeeded();
          AddText(NotShownText(item.dropped).toStdString(), true);
          text = true;
          break;
      }
    } catch (const std::exception&) {
      // An item that cannot be shown is lost.
    }
  }
  batch.endEditBlock();
  if (text || (bytes && cbAutoscroll->isChecked())) ScrollToEnd();
}

bool TfmLogWindow::FindNext(const QString& text, bool match_case, bool whole_word) {
  if (text.isEmpty()) return false;
  QTextDocument::FindFlags flags;
  if (match_case) flags |= QTextDocument::FindCaseSensitively;
  if (whole_word) flags |= QTextDocument::FindWholeWords;
  for (;;) {
    const QTextCursor here = RichEdit->textCursor();
    const QTextCursor found = RichEdit->document()->find(text, here.selectionEnd(), flags);
    if (!found.isNull()) {
      activateWindow();
      RichEdit->setFocus();
      RichEdit->setTextCursor(found);
      return true;
    }
    const QString question =
        QString("Search string \"%1\" not found.\rRepeat search?").arg(text);
    if (dialogs_->Message(question.toStdString(), MsgIcon::Information, MsgButtons::YesNo) !=
        MsgResult::Yes)
      return false;
    QTextCursor start(RichEdit->document());
    start.movePosition(QTextCursor::Start);
    RichEdit->setTextCursor(start);
  }
}

void TfmLogWindow::FindClicked() {
  const QString selected = RichEdit->textCursor().selectedText();
  if (!selected.isEmpty()) find_text_->setText(selected);
  find_dialog_->show();
  find_dialog_->raise();
  find_text_->setFocus();
}

void TfmLogWindow::StoreLogClicked() {
  FileDialogRequest req;
  req.Save = true;
  req.Title = "Save log file";
  req.DefaultExt = "txt";
  req.Filter = "TXT files (*.TXT)|*.TXT|RichEdit file (*.rtf)|*.rtf";
  req.FilterIndex = 2;
  req.FileName = "Log file";
  const auto chosen = dialogs_->FileDialog(req);
  if (!chosen) return;
  if (!StoreLog(QString::fromStdString(chosen->Path), chosen->FilterIndex == 2))
    dialogs_->Error("Cannot write \"" + chosen->Path + "\"");
}

QString TfmLogWindow::RtfText() const {
  // Colour table: 1 black, then every other colour in the order met.
  QList<QColor> colours{QColor(Qt::black)};
  QString body;
  auto escape = [](const QString& s) {
    QString out;
    for (const QChar ch : s) {
      const ushort u = ch.unicode();
      if (u == '\\' || u == '{' || u == '}') {
        out += '\\';
        out += ch;
      } else if (u == '\t') {
        out += "\\tab ";
      } else if (u < 0x80) {
        out += ch;
      } else {
        out += QString("\\u%1?").arg(static_cast<short>(u));
      }
    }
    return out;
  };
  for (QTextBlock b = RichEdit->document()->begin(); b.isValid(); b = b.next()) {
    for (auto it = b.begin(); !it.atEnd(); ++it) {
      const QTextFragment f = it.fragment();
      if (!f.isValid()) continue;
      const QTextCharFormat fmt = f.charFormat();
      const QColor c = fmt.foreground().color();
      qsizetype index = colours.indexOf(c);
      if (index < 0) {
        colours.append(c);
        index = colours.size() - 1;
      }
      const bool bold = fmt.fontWeight() >= QFont::Bold;
      body += QString("{\\cf%1%2 ").arg(index + 1).arg(bold ? "\\b" : "");
      body += escape(f.text());
      body += "}";
    }
    body += "\\par\n";
  }
  QString rtf = "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\fmodern Courier New;}}\n{\\colortbl ;";
  for (const QColor& c : colours)
    rtf += QString("\\red%1\\green%2\\blue%3;").arg(c.red()).arg(c.green()).arg(c.blue());
  rtf += "}\n\\f0\\fs20\n" + body + "}\n";
  return rtf;
}

bool TfmLogWindow::StoreLog(const QString& path, bool rich) {
  QByteArray bytes;
  if (rich) {
    bytes = RtfText().toLatin1();
  } else {
    // UTF-16 little-endian with its byte order mark, lines ended by CR LF.
    QString text = RichEdit->toPlainText();
    text.replace(QChar('\n'), QString("\r\n"));
    bytes.append(char(0xFF));
    bytes.append(char(0xFE));
    for (const QChar ch : text) {
      const ushort u = ch.unicode();
      bytes.append(static_cast<char>(u & 0xFF));
      bytes.append(static_cast<char>(u >> 8));
    }
  }
  return WriteFileAtomically(path.toStdString(), bytes.constData(),
                             static_cast<std::size_t>(bytes.size()));
}

}  // namespace nord5::ui
