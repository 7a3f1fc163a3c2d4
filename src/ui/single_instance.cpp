#include "ui/single_instance.h"

#include <unistd.h>

#include <QLocalSocket>

#include "ui/window_texts.h"

namespace nord5::ui {
namespace {
constexpr const char kActivate[] = "activate\n";
}

SingleInstance::SingleInstance(QString name, QObject* parent)
    : QObject(parent), name_(name.isEmpty() ? DefaultName() : std::move(name)) {
  connect(&server_, &QLocalServer::newConnection, this, [this] {
    while (QLocalSocket* s = server_.nextPendingConnection()) {
      connect(s, &QLocalSocket::readyRead, this, [this, s] {
        if (s->readAll().contains("activate")) emit activationRequested();
        s->disconnectFromServer();
      });
      connect(s, &QLocalSocket::disconnected, s, &QObject::deleteLater);
    }
  });
}

QString SingleInstance::DefaultName() {
  return QString("%1-%2").arg(kAppName).arg(static_cast<unsigned>(getuid()));
}

bool SingleInstance::SignalRunningInstance(int timeout_ms) {
  QLocalSocket s;
  s.connectToServer(name_);
  if (!s.waitForConnected(timeout_ms)) return false;
  s.write(kActivate);
  s.waitForBytesWritten(timeout_ms);
  s.waitForDisconnected(timeout_ms);
  return true;
}

bool SingleInstance::Listen() {
  server_.setSocketOptions(QLocalServer::UserAccessOption);
  if (server_.listen(name_)) return true;
  QLocalServer::removeServer(name_);
  return server_.listen(name_);
}

}  // namespace nord5::ui
