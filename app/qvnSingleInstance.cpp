#include "app/qvnSingleInstance.h"

#include <unistd.h>

#include <QCryptographicHash>
#include <QDataStream>
#include <QLocalSocket>
#include <filesystem>
#include <system_error>

namespace qvn {

namespace {

// What the running instance answers once it has the arguments.
constexpr char kTaken = 'k';
constexpr QDataStream::Version kStreamVersion = QDataStream::Qt_6_0;

}  // namespace

TqvnSingleInstance::TqvnSingleInstance(const std::string& aSettingsPath)
    : FName(ServerName(aSettingsPath)) {
  FServer.setSocketOptions(QLocalServer::UserAccessOption);
  QObject::connect(&FServer, &QLocalServer::newConnection, &FServer, [this] { Accept(); });
}

QString TqvnSingleInstance::ServerName(const std::string& aSettingsPath) {
  std::error_code ignored;
  std::filesystem::path path = std::filesystem::weakly_canonical(
      std::filesystem::absolute(aSettingsPath, ignored), ignored);
  if (path.empty()) path = aSettingsPath;
  const QByteArray digest =
      QCryptographicHash::hash(QByteArray::fromStdString(path.string()), QCryptographicHash::Sha256);
  return QStringLiteral("velune-telegram-%1-%2")
      .arg(getuid())
      .arg(QString::fromLatin1(digest.toHex().left(16)));
}

TqvnSingleInstance::THandOver TqvnSingleInstance::HandOver(const QStringList& aArguments,
                                                           int aTimeoutMs) const {
  QLocalSocket socket;
  socket.connectToServer(FName);
  if (!socket.waitForConnected(aTimeoutMs)) {
    const bool nobody = socket.error() == QLocalSocket::ServerNotFoundError ||
                        socket.error() == QLocalSocket::ConnectionRefusedError;
    return nobody ? THandOver::noneRunning : THandOver::notAnswering;
  }
  QByteArray message;
  QDataStream out(&message, QIODevice::WriteOnly);
  out.setVersion(kStreamVersion);
  out << aArguments;
  socket.write(message);
  if (!socket.waitForBytesWritten(aTimeoutMs)) return THandOver::notAnswering;
  while (socket.bytesAvailable() == 0) {
    if (!socket.waitForReadyRead(aTimeoutMs)) return THandOver::notAnswering;
  }
  char answer = 0;
  socket.getChar(&answer);
  return answer == kTaken ? THandOver::handedOver : THandOver::notAnswering;
}

bool TqvnSingleInstance::Listen() {
  // Qt puts a new socket in place of whatever is at the path, so a live instance must be asked
  // first; only a path where nobody answers is taken over.
  QLocalSocket probe;
  probe.connectToServer(FName);
  const bool nobody = !probe.waitForConnected(kTimeoutMs) &&
                      (probe.error() == QLocalSocket::ServerNotFoundError ||
                       probe.error() == QLocalSocket::ConnectionRefusedError);
  if (!nobody) {
    FError = QStringLiteral("another instance listens at %1").arg(FName);
    return false;
  }
  QLocalServer::removeServer(FName);  // the socket of an instance that is gone
  if (FServer.listen(FName)) return true;
  FError = FServer.errorString();
  return false;
}

void TqvnSingleInstance::Accept() {
  while (QLocalSocket* socket = FServer.nextPendingConnection()) {
    QObject::connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    QObject::connect(socket, &QLocalSocket::readyRead, socket, [this, socket] {
      QDataStream in(socket);
      in.setVersion(kStreamVersion);
      in.startTransaction();
      QStringList arguments;
      in >> arguments;
      if (!in.commitTransaction()) return;  // the rest is still on its way
      socket->putChar(kTaken);
      socket->flush();
      socket->disconnectFromServer();
      if (OnArguments) OnArguments(arguments);
    });
  }
}

}  // namespace qvn
