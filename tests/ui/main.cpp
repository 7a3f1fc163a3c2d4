#include <QApplication>
#include <QtTest>
#include <memory>

#include "ui_test_env.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  int failed = 0;
  for (const auto& make : UiTestRegistry()) {
    std::unique_ptr<QObject> test(make());
    failed += QTest::qExec(test.get(), argc, argv);
  }
  return failed == 0 ? 0 : 1;
}
