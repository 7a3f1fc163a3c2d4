// A private data folder and settings file for each test, so the tests never touch the user's.
#pragma once

#include <QTemporaryDir>
#include <memory>

#include "foundation/settings.h"

struct UiTestEnv {
  std::unique_ptr<QTemporaryDir> dir;
  void Reset() {
    dir = std::make_unique<QTemporaryDir>();
    qputenv("XDG_DATA_HOME", dir->path().toUtf8());
    nord5::SetSettingsFileForTesting(dir->filePath("settings.ini").toStdString());
  }
};

#include <QObject>
#include <functional>
#include <vector>

// Test classes register themselves; main.cpp runs them all with QTest::qExec.
inline std::vector<std::function<QObject*()>>& UiTestRegistry() {
  static std::vector<std::function<QObject*()>> r;
  return r;
}
struct UiTestRegistration {
  explicit UiTestRegistration(std::function<QObject*()> make) {
    UiTestRegistry().push_back(std::move(make));
  }
};
#define NORD5_UI_TEST(Class) \
  static const UiTestRegistration registration_##Class([] { return new Class; })
