// The communication log window `TfmLogWindow`: every byte to and from the meter, sent bytes blue
// and received bytes red, as hexadecimal pairs or as characters, and with "Parse" the readable
// text of the decoder's dump and the engine's time-out notes in bold black.
//
// Producers (the serial driver through TraceBytes, the decoder through its trace hook, the
// engine through TfmLogWindow::TraceText) never touch the text: they queue items, and a 10 ms
// timer of the window moves them into the document on the GUI thread. While the window is
// closed no hook is installed and tracing is one test of an empty function.
//
// Both the queue and the document are bounded, so a window left open for days (or with "Stop"
// checked for hours) keeps its memory: the queue keeps the newest items and puts one line
// "... N bytes not shown" where it dropped older ones, the document drops its oldest lines.
#pragma once

#include <QPointer>
#include <QWidget>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "foundation/dialogs.h"

class QCheckBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QDialog;
class QTimer;

namespace nord5::ui {

// One queued item: bytes of one direction, a text, or the note of dropped items.
struct LogItem {
  enum class Kind : std::uint8_t { Data = 0, Text = 1, Gap = 2 };
  Kind kind = Kind::Data;
  std::uint8_t direction = 0;  // 0 sent, 1 received (Data)
  bool cr = false;             // a line break follows (Text)
  std::string payload;         // the bytes (Data) or UTF-8 text (Text)
  std::uint64_t dropped = 0;   // bytes not shown (Gap)
};

// The queue between the producers and the window. All members are safe from any thread.
class TLogQueue {
 public:
  // Payload kept at most; beyond it the oldest items are dropped.
  static constexpr std::size_t kDefaultLimit = 1 << 20;
  // A run of one direction is merged into one item up to this size, then a new item begins
  // (shown on the same line), so that dropping old items never cuts into the newest bytes.
  static constexpr std::size_t kMaxItem = 4096;

  explicit TLogQueue(std::size_t limit = kDefaultLimit) : limit_(limit) {}

  // Queues bytes (nothing for count 0); consecutive blocks of one direction become one item.
  void AddRecord(int direction, const std::uint8_t* data, std::size_t count);
  // Queues a text; texts are never merged.
  void AddText(const std::string& text, bool cr);
  // Takes items from the front, at least one and then while their payload stays within
  // `budget` bytes.
  std::vector<LogItem> Take(std::size_t budget);
  bool Empty() const;
  std::size_t Items() const;
  std::size_t QueuedBytes() const;

 private:
  void MakeRoom(std::size_t incoming);  // with the lock held

  const std::size_t limit_;
  mutable std::mutex mutex_;
  std::deque<LogItem> items_;
  std::size_t bytes_ = 0;
};

class TfmLogWindow final : public QWidget {
  Q_OBJECT
 public:
  // Lines kept in the text; the oldest go first.
  static constexpr int kMaxLines = 20000;
  // Payload moved into the text per writer tick, so a long backlog never stalls the window.
  static constexpr std::size_t kBatchBytes = 16 * 1024;
  static constexpr int kWriterIntervalMs = 10;

  explicit TfmLogWindow(QWidget* parent = nullptr);
  ~TfmLogWindow() override;

  // The open window, or nullptr.
  static TfmLogWindow* Instance();
  // "Log window" (Ctrl+D): closes the open window, or opens one with `parent`.
  static void Toggle(QWidget* parent);
  // The engine's and decoder's text entry point: queued only while the window is open and
  // "Parse" is checked.
  static void TraceText(const std::string& text, bool cr);

  // Message boxes and file dialogs (tests script them).
  void SetDialogs(Dialogs* dialogs) { dialogs_ = dialogs; }

  // Shows one data item (`DebugingInput`) or one text item at the end of the text.
  void DebugingInput(int direction, const std::uint8_t* bytes, std::size_t size);
  void AddText(const std::string& text, bool cr);
  // One pass of the writer: unless "Stop" is checked, moves up to kBatchBytes of queued items
  // into the text. The window's timer calls it every 10 ms.
  void Flush();
  // "Find": searches down from the end of the selection; at the end asks whether to start again
  // from the top. True when found (and selected).
  bool FindNext(const QString& text, bool match_case, bool whole_word);
  // "Store log" into `path`: rich text with colours and bold (rtf) or UTF-16LE plain text with
  // a byte order mark.
  bool StoreLog(const QString& path, bool rich);

  // Lines kept (kMaxLines unless changed, for measurements).
  void SetMaxLines(int lines);
  TLogQueue& Queue() { return queue_; }
  QPlainTextEdit* Text() const { return RichEdit; }
  QCheckBox* Hex() const { return cbHEX; }
  QCheckBox* Parse() const { return cbParse; }
  QCheckBox* Stop() const { return cbStop1; }
  QCheckBox* Autoscroll() const { return cbAutoscroll; }
  QDialog* FindDialog() const { return find_dialog_; }

 private:
  void StoreLogClicked();
  void FindClicked();
  void ScrollToEnd();
  void StartLineIfNeeded();
  QString RtfText() const;

  QPlainTextEdit* RichEdit = nullptr;
  QPushButton* btClear = nullptr;
  QCheckBox* cbHEX = nullptr;
  QCheckBox* cbAutoscroll = nullptr;
  QCheckBox* cbParse = nullptr;
  QCheckBox* cbStop1 = nullptr;
  QPushButton* btStoreLog = nullptr;
  QPushButton* btFindInLog = nullptr;
  QDialog* find_dialog_ = nullptr;
  QLineEdit* find_text_ = nullptr;
  QCheckBox* find_case_ = nullptr;
  QCheckBox* find_word_ = nullptr;
  QTimer* writer_ = nullptr;

  TLogQueue queue_;
  int LastDirection = -1;
  Dialogs* dialogs_ = nullptr;
  std::unique_ptr<Dialogs> own_dialogs_;
};

}  // namespace nord5::ui
