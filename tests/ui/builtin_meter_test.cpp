// The built-in meter's line wakes the driver when an answer byte has arrived, and only then.
#include "ui/builtin_meter.h"

#include <poll.h>

#include <QtTest>

#include "ui_test_env.h"

namespace {

bool Readable(int fd, int timeout_ms) {
  pollfd p{fd, POLLIN, 0};
  return poll(&p, 1, timeout_ms) == 1 && (p.revents & POLLIN);
}

}  // namespace

class BuiltinMeterTest : public QObject {
  Q_OBJECT
 private slots:
  void LineWakesWhenAnAnswerArrives();
};

void BuiltinMeterTest::LineWakesWhenAnAnswerArrives() {
  nord5::ui::BuiltinMeter meter;
  auto line = meter.CreateLine();
  QCOMPARE(line->PollFd(), -1);  // closed
  QVERIFY(line->Open("Virtual meter"));
  QVERIFY(line->Apply(nord5::LineSettings{}));
  const int fd = line->PollFd();
  QVERIFY(fd >= 0);
  QVERIFY(!Readable(fd, 0));  // nothing on its way: the driver may sleep
  const std::uint8_t init[] = {0x10, 0x40, 0xFE, 0x3E, 0x16};
  QVERIFY(line->Write(init, sizeof init));
  // The answer E5h comes after the telegram has gone out at 2400 baud and the reply delay.
  QVERIFY(Readable(fd, 5000));
  QVERIFY(line->InQueue() > 0);
  std::uint8_t got[8] = {};
  QCOMPARE(line->Read(got, sizeof got), 1L);
  QCOMPARE(int(got[0]), 0xE5);
  QVERIFY(!Readable(fd, 50));  // taken: asleep again
  line->Close();
  QCOMPARE(line->PollFd(), -1);
}

NORD5_UI_TEST(BuiltinMeterTest);
#include "builtin_meter_test.moc"
