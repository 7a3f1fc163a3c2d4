// Runs every registered test class; `nord5_ui_tests ClassName [QtTest options]` runs one class
// (CTest runs each class as an entry of its own), `nord5_ui_tests ClassName --shard=I/N` only its
// test functions I, I+N, I+2N ... (from 0, in declaration order) for a class split into N
// entries. `nord5_ui_tests --check-classes A B ...` fails when a registered class is not among
// the names given.
#include <QApplication>
#include <QMetaMethod>
#include <QtTest>
#include <cstdio>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "ui_test_env.h"

namespace {

int CheckClasses(int argc, char** argv) {
  const std::set<std::string> listed(argv + 2, argv + argc);
  int missing = 0;
  for (const auto& make : UiTestRegistry()) {
    std::unique_ptr<QObject> test(make());
    const std::string name = test->metaObject()->className();
    if (listed.count(name)) continue;
    std::fprintf(stderr, "test class %s has no CTest entry: configure again (cmake)\n",
                 name.c_str());
    ++missing;
  }
  return missing == 0 ? 0 : 1;
}

// The test functions of shard `shard` of `count`: private slots without arguments, apart from
// the init and cleanup functions and the data functions.
std::vector<QByteArray> ShardFunctions(const QObject& test, int shard, int count) {
  std::vector<QByteArray> names;
  const QMetaObject* meta = test.metaObject();
  int index = 0;
  for (int i = meta->methodOffset(); i < meta->methodCount(); ++i) {
    const QMetaMethod m = meta->method(i);
    const QByteArray name = m.name();
    if (m.methodType() != QMetaMethod::Slot || m.access() != QMetaMethod::Private ||
        m.parameterCount() != 0 || name.endsWith("_data") || name == "init" ||
        name == "cleanup" || name == "initTestCase" || name == "cleanupTestCase")
      continue;
    if (index++ % count == shard) names.push_back(name);
  }
  return names;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc > 1 && QByteArray(argv[1]) == "--check-classes") return CheckClasses(argc, argv);
  QString only;
  std::vector<char*> args(argv, argv + argc);
  if (argc > 1 && argv[1][0] != '-') {
    only = argv[1];
    args.erase(args.begin() + 1);
  }
  int shard = 0;
  int shards = 1;
  if (args.size() > 1 && std::sscanf(args[1], "--shard=%d/%d", &shard, &shards) == 2) {
    args.erase(args.begin() + 1);
    if (only.isEmpty() || shards < 1 || shard < 0 || shard >= shards) {
      std::fprintf(stderr, "--shard=I/N needs a class name and 0 <= I < N\n");
      return 1;
    }
  }
  int failed = 0;
  bool found = false;
  for (const auto& make : UiTestRegistry()) {
    std::unique_ptr<QObject> test(make());
    if (!only.isEmpty() && only != test->metaObject()->className()) continue;
    found = true;
    std::vector<QByteArray> functions;
    std::vector<char*> run_args = args;
    if (shards > 1) {
      functions = ShardFunctions(*test, shard, shards);
      if (functions.empty()) continue;
      for (QByteArray& f : functions) run_args.push_back(f.data());
    }
    failed += QTest::qExec(test.get(), static_cast<int>(run_args.size()), run_args.data());
  }
  if (!found) {
    std::fprintf(stderr, "no test class %s\n", qPrintable(only));
    return 1;
  }
  return failed == 0 ? 0 : 1;
}
