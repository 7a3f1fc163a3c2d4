// Runs every registered test class; `nord5_ui_tests ClassName [QtTest options]` runs one class.
#include <QApplication>
#include <QtTest>
#include <memory>

#include "ui_test_env.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QString only;
  std::vector<char*> args(argv, argv + argc);
  if (argc > 1 && argv[1][0] != '-') {
    only = argv[1];
    args.erase(args.begin() + 1);
  }
  int failed = 0;
  for (const auto& make : UiTestRegistry()) {
    std::unique_ptr<QObject> test(make());
    if (!only.isEmpty() && only != test->metaObject()->className()) continue;
    failed += QTest::qExec(test.get(), static_cast<int>(args.size()), args.data());
  }
  return failed == 0 ? 0 : 1;
}
