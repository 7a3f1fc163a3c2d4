// One running configurator per user: the first process listens on a local socket named after
// the program; a later one connects, asks the first to come to the front and exits.
#pragma once

#include <QLocalServer>
#include <QObject>
#include <QString>

namespace nord5::ui {

class SingleInstance : public QObject {
  Q_OBJECT
 public:
  // "VARMELINOX_NORD5_User_config-<uid>" unless a name is given (tests use their own).
  explicit SingleInstance(QString name = {}, QObject* parent = nullptr);
  static QString DefaultName();
  // True when another instance answered and was asked to come to the front.
  bool SignalRunningInstance(int timeout_ms = 1000);
  // Starts listening as the first instance (a stale socket of a crashed run is removed).
  bool Listen();
  const QString& Name() const { return name_; }

 signals:
  void activationRequested();

 private:
  QString name_;
  QLocalServer server_;
};

}  // namespace nord5::ui
