// The communication log window: the merge rule of the queue and its bound, colours and lines,
// "Stop" and resume, "Parse", Find with its repeat question, "Store log", and a configuration
// read of the built-in meter traced in blue and red.
#include "ui/log_window.h"

#include <QCheckBox>
#include <QFile>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextBlock>
#include <QtTest>

#include "foundation/clock.h"
#include "foundation/dialogs.h"
#include "foundation/settings.h"
#include "sim/sim_serial_line.h"
#include "sim/virtual_meter.h"
#include "transport/trace_hook.h"
#include "ui/main_window.h"
#include "ui/window_host.h"
#include "ui_test_env.h"

using namespace nord5;
using nord5::ui::LogItem;
using nord5::ui::TfmLogWindow;
using nord5::ui::TLogQueue;

namespace {

using Bytes = std::vector<std::uint8_t>;

void Trace(int direction, const Bytes& b) { TraceBytes(direction, b.data(), b.size()); }

// Lines of the text with the colour of their first character (-1 when empty).
struct Line {
  QString text;
  QColor colour;
  bool bold = false;
};
std::vector<Line> Lines(const QPlainTextEdit* edit) {
  std::vector<Line> out;
  for (QTextBlock b = edit->document()->begin(); b.isValid(); b = b.next()) {
    Line l;
    l.text = b.text();
    auto it = b.begin();
    if (!it.atEnd()) {
      l.colour = it.fragment().charFormat().foreground().color();
      l.bold = it.fragment().charFormat().fontWeight() >= QFont::Bold;
    }
    out.push_back(l);
  }
  while (!out.empty() && out.back().text.isEmpty()) out.pop_back();
  return out;
}

}  // namespace

class LogWindowTest : public QObject {
  Q_OBJECT
 private slots:
  void init() {
    env_.Reset();
    window_ = new TfmLogWindow;
    window_->SetDialogs(&dialogs_);
    dialogs_ = ScriptedDialogs{};
  }
  void cleanup() {
    delete window_;
    window_ = nullptr;
  }

  void BytesAreMergedPerDirectionAndColoured() {
    Trace(kTraceSent, {0x10, 0x40, 0xFE, 0x3E, 0x16});
    Trace(kTraceReceived, {0xE5});
    // One reply read in two pieces is one item, and one red line.
    Trace(kTraceSent, {0x10, 0x7B, 0xFE, 0x79, 0x16});
    Trace(kTraceReceived, {0x68, 0x1F, 0x1F, 0x68});
    Trace(kTraceReceived, {0x08, 0xFE, 0x72});
    QCOMPARE(window_->Queue().Items(), std::size_t{4});
    window_->Flush();
    const auto lines = Lines(window_->Text());
    QCOMPARE(lines.size(), std::size_t{4});
    QCOMPARE(lines[0].text, QString("10 40 FE 3E 16 "));
    QCOMPARE(lines[0].colour, QColor(0, 0, 255));
    QCOMPARE(lines[1].text, QString("E5 "));
    QCOMPARE(lines[1].colour, QColor(255, 0, 0));
    QCOMPARE(lines[3].text, QString("68 1F 1F 68 08 FE 72 "));
    QVERIFY(!lines[3].bold);
    // A later read of the same direction, after the writer has run, still joins the line.
    Trace(kTraceReceived, {0x16});
    window_->Flush();
    QCOMPARE(Lines(window_->Text()).back().text, QString("68 1F 1F 68 08 FE 72 16 "));
  }

  void CharactersWithoutHex() {
    window_->Hex()->setChecked(false);
    Trace(kTraceReceived, {'O', 'K', 0x0D, 0x0A, 0xE5});
    window_->Flush();
    const auto lines = Lines(window_->Text());
    QCOMPARE(lines.size(), std::size_t{1});
    QCOMPARE(lines[0].text, QString::fromUtf8("OK\u240D\u240A\u00E5"));
  }

  void StopHoldsTheItemsAndResumeShowsThemInOrder() {
    Trace(kTraceSent, {0x01});
    window_->Flush();
    window_->Stop()->setChecked(true);
    Trace(kTraceReceived, {0x02});
    Trace(kTraceSent, {0x03});
    window_->Flush();
    QCOMPARE(Lines(window_->Text()).size(), std::size_t{1});
    QCOMPARE(window_->Queue().Items(), std::size_t{2});
    window_->Stop()->setChecked(false);
    window_->Flush();
    const auto lines = Lines(window_->Text());
    QCOMPARE(lines.size(), std::size_t{3});
    QCOMPARE(lines[1].text, QString("02 "));
    QCOMPARE(lines[2].text, QString("03 "));
  }

  void QueueKeepsTheNewestAndSaysWhatItDropped() {
    TLogQueue q(100);
    Bytes block(30, 0xAA);
    for (int i = 0; i < 10; ++i) q.AddRecord(i % 2, block.data(), block.size());
    QVERIFY(q.QueuedBytes() <= 100);
    auto items = q.Take(1 << 20);
    QVERIFY(!items.empty());
    QCOMPARE(items.front().kind, LogItem::Kind::Gap);
    QCOMPARE(items.front().dropped, std::uint64_t{7 * 30});
    QCOMPARE(items.size(), std::size_t{4});  // the gap and the three newest blocks
    QCOMPARE(items.back().direction, std::uint8_t{1});

    // In the window: one line says how much is missing.
    window_->Stop()->setChecked(true);
    const Bytes big(TLogQueue::kMaxItem, 0x55);
    const std::size_t blocks = TLogQueue::kDefaultLimit / big.size() + 8;
    for (std::size_t i = 0; i < blocks; ++i) Trace(static_cast<int>(i % 2), big);
    QVERIFY(window_->Queue().QueuedBytes() <= TLogQueue::kDefaultLimit);
    window_->Stop()->setChecked(false);
    window_->Flush();
    const auto lines = Lines(window_->Text());
    QVERIFY(!lines.empty());
    QCOMPARE(lines[0].text, QString::fromUtf8("\u2026 %1 bytes not shown").arg(8 * big.size()));
    QVERIFY(lines[0].bold);
  }

  void ParseDecidesWhetherTextIsShown() {
    TfmLogWindow::TraceText("\rTimeOut", true);
    QVERIFY(window_->Queue().Empty());
    window_->Parse()->click();
    QCOMPARE(SettingsValue(SettingsMode::Read, "Parse", false).AsBool(), true);
    Trace(kTraceSent, {0x10});
    TfmLogWindow::TraceText("\r1. DeviceID 12345678 ", false);
    TfmLogWindow::TraceText("\rTimeOut", true);
    Trace(kTraceSent, {0x10});
    window_->Flush();
    const auto lines = Lines(window_->Text());
    QCOMPARE(lines.size(), std::size_t{4});
    QCOMPARE(lines[1].text, QString("1. DeviceID 12345678 "));
    QVERIFY(lines[1].bold);
    QCOMPARE(lines[1].colour, QColor(Qt::black));
    QCOMPARE(lines[2].text, QString("TimeOut"));
    QCOMPARE(lines[3].text, QString("10 "));
    QCOMPARE(lines[3].colour, QColor(0, 0, 255));
  }

  void FindSelectsOrAsksToRepeat() {
    window_->AddText("alpha beta\rgamma beta", false);
    window_->Text()->moveCursor(QTextCursor::Start);
    QVERIFY(window_->FindNext("beta", false, false));
    QCOMPARE(window_->Text()->textCursor().selectedText(), QString("beta"));
    const int first = window_->Text()->textCursor().selectionStart();
    QVERIFY(window_->FindNext("beta", false, false));
    QVERIFY(window_->Text()->textCursor().selectionStart() > first);
    // Past the last match: the question, Yes starts again at the top.
    dialogs_.QueueAnswer(MsgResult::Yes);
    QVERIFY(window_->FindNext("beta", false, false));
    QCOMPARE(window_->Text()->textCursor().selectionStart(), first);
    QCOMPARE(dialogs_.shown.size(), std::size_t{1});
    QCOMPARE(dialogs_.shown[0].Text, std::string("Search string \"beta\" not found.\rRepeat search?"));
    // A missing text asks again after every Yes.
    dialogs_.shown.clear();
    dialogs_.QueueAnswer(MsgResult::Yes);
    dialogs_.QueueAnswer(MsgResult::Yes);
    dialogs_.QueueAnswer(MsgResult::No);
    QVERIFY(!window_->FindNext("delta", false, false));
    QCOMPARE(dialogs_.shown.size(), std::size_t{3});
    // Case and whole words as chosen.
    dialogs_.QueueAnswer(MsgResult::No);
    QVERIFY(!window_->FindNext("BETA", true, false));
    dialogs_.QueueAnswer(MsgResult::No);
    QVERIFY(!window_->FindNext("bet", false, true));
    dialogs_.QueueAnswer(MsgResult::No);
    QVERIFY(window_->FindNext("BETA", false, true));
  }

  void StoreLogAsRichTextOrUtf16() {
    Trace(kTraceSent, {0x10, 0x40});
    Trace(kTraceReceived, {0xE5});
    window_->Parse()->setChecked(true);
    TfmLogWindow::TraceText("\rTimeOut", true);
    window_->Flush();
    const QString rtf = env_.dir->filePath("log.rtf");
    const QString txt = env_.dir->filePath("log.txt");
    dialogs_.QueueFile(rtf.toStdString(), 2);
    QTest::mouseClick(window_->findChild<QPushButton*>("btStoreLog"), Qt::LeftButton);
    QCOMPARE(dialogs_.file_requests.back().Title, std::string("Save log file"));
    QCOMPARE(dialogs_.file_requests.back().FilterIndex, 2);
    QFile r(rtf);
    QVERIFY(r.open(QIODevice::ReadOnly));
    const QByteArray rich = r.readAll();
    QVERIFY(rich.startsWith("{\\rtf1"));
    QVERIFY(rich.contains("\\red0\\green0\\blue255;"));
    QVERIFY(rich.contains("\\red255\\green0\\blue0;"));
    QVERIFY(rich.contains("\\b TimeOut"));
    QVERIFY(rich.contains("10 40 "));

    dialogs_.QueueFile(txt.toStdString(), 1);
    QTest::mouseClick(window_->findChild<QPushButton*>("btStoreLog"), Qt::LeftButton);
    QFile t(txt);
    QVERIFY(t.open(QIODevice::ReadOnly));
    const QByteArray plain = t.readAll();
    QVERIFY(plain.startsWith(QByteArray("\xFF\xFE" "1\0" "0\0" " \0", 8)));
    QVERIFY(plain.contains(QByteArray("\r\0\n\0", 4)));
  }

  void EscClearsAndClosingDropsTheQueue() {
    Trace(kTraceSent, {0x10});
    window_->Flush();
    window_->show();
    QVERIFY(QTest::qWaitForWindowExposed(window_));
    QTest::keyClick(window_, Qt::Key_Escape);
    QVERIFY(window_->Text()->document()->isEmpty());
    Trace(kTraceSent, {0x10});
    delete window_;
    window_ = nullptr;
    QVERIFY(TfmLogWindow::Instance() == nullptr);
    Trace(kTraceSent, {0x10});  // no window: nothing happens
    TfmLogWindow::TraceText("x", true);
  }

  void SettingsAndPlacement() {
    delete window_;
    SettingsValue(SettingsMode::Write, "HEX", false);
    SettingsValue(SettingsMode::Write, "Parse", true);
    window_ = new TfmLogWindow;
    QVERIFY(!window_->Hex()->isChecked());
    QVERIFY(window_->Parse()->isChecked());
    window_->Hex()->click();
    QCOMPARE(SettingsValue(SettingsMode::Read, "HEX", false).AsBool(), true);
    QCOMPARE(window_->pos(), QGuiApplication::primaryScreen()->availableGeometry().topLeft());
  }

  void ConfigurationReadOfTheMeterInBlueAndRed() {
    delete window_;
    window_ = nullptr;
    sim::VirtualMeter meter({}, SystemClock::Instance());
    ui::TfmTermuloConfig main;
    ui::MainWindowHost host(
        main,
        [&meter](const std::string&) -> std::unique_ptr<SerialLine> {
          return std::make_unique<sim::SimSerialLine>(meter, SystemClock::Instance());
        },
        std::make_unique<TUSBNotifier>(std::unique_ptr<DeviceMonitor>{}));
    host.SetDialogs(&dialogs_);
    host.Port().SetPort("Virtual meter");
    main.Action("caLogWindow")->trigger();
    TfmLogWindow* log = TfmLogWindow::Instance();
    QVERIFY(log != nullptr);
    log->Parse()->setChecked(true);
    main.Action("caReadConfiguration")->trigger();
    QVERIFY(QTest::qWaitFor([&] { return !host.Engine().Running(); }, 60000));
    QTest::qWait(50);
    const auto lines = Lines(log->Text());
    int sent = 0, received = 0, dump = 0;
    for (const auto& l : lines) {
      if (l.bold) {
        dump += l.text.contains("DeviceID");
        continue;
      }
      sent += l.colour == QColor(0, 0, 255);
      received += l.colour == QColor(255, 0, 0);
    }
    QVERIFY2(sent >= 15, qPrintable(QString::number(sent)));
    QCOMPARE(received, sent);  // every telegram was answered
    QVERIFY(dump >= 1);       // the data dump with "Parse"
    QCOMPARE(lines.front().text, QString("10 40 FE 3E 16 "));
    // For the README's picture: NORD5_LOG_SCREENSHOT=<png> saves the window as it is now.
    const QString picture = qEnvironmentVariable("NORD5_LOG_SCREENSHOT");
    if (!picture.isEmpty()) {
      log->resize(900, 600);
      log->show();
      QVERIFY(QTest::qWaitForWindowExposed(log));
      log->Text()->moveCursor(QTextCursor::Start);
      QTest::qWait(100);
      QVERIFY(log->grab().save(picture));
    }
    // "Log window" again closes it.
    main.Action("caLogWindow")->trigger();
    QVERIFY(QTest::qWaitFor([] { return TfmLogWindow::Instance() == nullptr; }, 2000));
  }

 private:
  UiTestEnv env_;
  ScriptedDialogs dialogs_;
  TfmLogWindow* window_ = nullptr;
};

NORD5_UI_TEST(LogWindowTest);
#include "log_window_test.moc"
