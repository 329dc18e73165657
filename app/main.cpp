// velune-telegram: the desktop Telegram client's entry point.
//
// Checks that a display is there (Qt would otherwise abort with a terse message) and creates the
// application. When the program already runs with the same settings file, the command-line
// arguments go to that instance, which comes to the front, and this start ends
// (qvnSingleInstance.h). Otherwise it creates the main window with its settings file and TDLib
// database in their places (qvnSettingsPath.h: the XDG folders, or beside the program where an
// earlier version kept them) and its notifications on the session bus, takes the hand-overs of
// later starts, and runs the event loop until the window closes.
#include <sys/stat.h>

#include <QApplication>
#include <QDBusConnection>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/FQVNTelegram.h"
#include "app/qvnDesktopNotifications.h"
#include "app/qvnQtDialogs.h"
#include "app/qvnSettingsPath.h"
#include "app/qvnSingleInstance.h"

namespace {

bool HasEnv(const char* aName) {
  const char* value = std::getenv(aName);
  return value != nullptr && *value != '\0';
}

// True when the local X display named by DISPLAY (":N" or ":N.S") has no socket. Remote or
// unusual display names are left for Qt to try.
bool LocalXDisplayMissing() {
  std::string display = std::getenv("DISPLAY");
  if (display.empty() || display[0] != ':') return false;
  std::string number = display.substr(1, display.find('.') - 1);
  struct stat info;
  return stat(("/tmp/.X11-unix/X" + number).c_str(), &info) != 0;
}

// Explains how to start the window when no display can be reached; false then.
bool DisplayAvailable() {
  const char* platform = std::getenv("QT_QPA_PLATFORM");
  const std::string chosen = platform ? platform : "";
  // Another platform chosen on purpose (offscreen, vnc, ...) needs no display of ours.
  if (!chosen.empty() && chosen.rfind("xcb", 0) != 0 && chosen.rfind("wayland", 0) != 0) {
    return true;
  }
  if (HasEnv("WAYLAND_DISPLAY") && chosen.rfind("xcb", 0) != 0) return true;
  if (HasEnv("DISPLAY") && !LocalXDisplayMissing()) return true;
  std::fprintf(stderr,
               "velune-telegram: no display to open the window on (DISPLAY is %s).\n"
               "Run it from a desktop session, or on a machine without a screen under a virtual\n"
               "X server:\n"
               "    xvfb-run scripts/run\n",
               HasEnv("DISPLAY") ? "not reachable" : "not set");
  return false;
}

}  // namespace

int main(int argc, char* argv[]) {
  if (!DisplayAvailable()) return 2;
  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Velune Telegram Client"));
  QApplication::setDesktopFileName(QStringLiteral("velune-telegram"));

  const std::string program =
      qvn::RunningProgramPath(QCoreApplication::applicationFilePath().toStdString());
  const qvn::TqvnFilePlaces places = qvn::FilePlacesFor(program);
  const QStringList arguments = QCoreApplication::arguments().mid(1);
  qvn::TqvnSingleInstance instance(places.SettingsFile);
  switch (instance.HandOver(arguments)) {
    case qvn::TqvnSingleInstance::THandOver::handedOver:
      return 0;
    case qvn::TqvnSingleInstance::THandOver::notAnswering:
      // Two instances on one TDLib database would only refuse each other.
      std::fprintf(stderr,
                   "velune-telegram: the copy already running with %s does not answer.\n",
                   places.SettingsFile.c_str());
      return 1;
    case qvn::TqvnSingleInstance::THandOver::noneRunning:
      break;
  }
  if (!instance.Listen()) {
    std::fprintf(stderr, "velune-telegram: later starts cannot reach this one: %s\n",
                 instance.ErrorText().toLocal8Bit().constData());
  }

  qvn::TqvnQtDialogs dialogs;
  qvn::TqvnDesktopNotifications notifications(QDBusConnection::sessionBus());
  qvn::MakeFolderFor(places.SettingsFile);  // a failure shows when the settings are saved
  qvn::TFRMQVNTelegram window(dialogs, places.SettingsFile);
  window.QvnTelegram().Telegram().SetDatabaseDirectory(places.DatabaseDirectory);
  window.SetNotificationSink(&notifications);
  instance.OnArguments = [&window](const QStringList& aArguments) {
    window.CommandLineReceived(aArguments);
  };
  window.show();
  if (!arguments.isEmpty()) window.CommandLineReceived(arguments);
  return QApplication::exec();
}
