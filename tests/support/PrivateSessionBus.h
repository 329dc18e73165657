// TPrivateSessionBus: a D-Bus bus of the test's own, so that tests of D-Bus clients and services
// never reach the desktop's session bus (nor pop up real notifications).
//
// Starts `dbus-daemon` with a minimal configuration (no service activation: a name is there
// only while a test owns it) listening in a temporary folder, and stops it when destroyed,
// closing the connections made through Connect first. Running() is false when no daemon could
// be started (dbus-daemon missing); tests then skip. Qt tests only, on the test's main thread.
#ifndef QVN_TESTS_SUPPORT_PRIVATESESSIONBUS_H
#define QVN_TESTS_SUPPORT_PRIVATESESSIONBUS_H

#include <QDBusConnection>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <string>

#include "tests/support/TempDir.h"

namespace qvn::test {

class TPrivateSessionBus {
 public:
  TPrivateSessionBus() {
    const std::string config = FDir.File("bus.conf");
    WriteText(config,
              "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
              " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
              "<busconfig>\n"
              "  <type>session</type>\n"
              "  <listen>unix:dir=" + FDir.File("") + "</listen>\n"
              "  <auth>EXTERNAL</auth>\n"
              "  <policy context=\"default\">\n"
              "    <allow send_destination=\"*\" eavesdrop=\"true\"/>\n"
              "    <allow eavesdrop=\"true\"/>\n"
              "    <allow own=\"*\"/>\n"
              "  </policy>\n"
              "</busconfig>\n");
    FDaemon.start(QStringLiteral("dbus-daemon"),
                  {QStringLiteral("--nofork"), QStringLiteral("--print-address"),
                   QStringLiteral("--config-file=") + QString::fromStdString(config)});
    if (!FDaemon.waitForStarted()) return;
    while (!FDaemon.canReadLine() && FDaemon.state() == QProcess::Running) {
      FDaemon.waitForReadyRead(1000);
    }
    FAddress = QString::fromUtf8(FDaemon.readLine()).trimmed();
  }
  ~TPrivateSessionBus() {
    for (const QString& name : FConnections) QDBusConnection::disconnectFromBus(name);
    FDaemon.terminate();
    FDaemon.waitForFinished();
  }
  TPrivateSessionBus(const TPrivateSessionBus&) = delete;
  TPrivateSessionBus& operator=(const TPrivateSessionBus&) = delete;

  bool Running() const { return !FAddress.isEmpty(); }
  const QString& Address() const { return FAddress; }

  // A connection of its own to the bus (one unique bus name per aName).
  QDBusConnection Connect(const QString& aName) {
    const QString name = aName + QLatin1Char('@') + FAddress;
    FConnections << name;
    return QDBusConnection::connectToBus(FAddress, name);
  }

 private:
  TTempDir FDir;
  QProcess FDaemon;
  QString FAddress;
  QStringList FConnections;
};

}  // namespace qvn::test

#endif  // QVN_TESTS_SUPPORT_PRIVATESESSIONBUS_H
