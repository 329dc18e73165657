// TqvnSingleInstance: one running window per settings file.
//
// A start of the program first offers its command-line arguments to the instance already running
// with the same settings file (HandOver). That one takes them, answers, and shows its window; the
// new start then exits. Otherwise the new start becomes the running instance (Listen) and calls
// OnArguments with what later starts hand over. The two meet at a local socket whose name comes
// from the user id and the settings file's absolute path, so two different settings files run
// side by side, and only the user's own processes may connect. A socket file left behind by a
// crashed instance answers nobody: Listen removes it and listens in its place.
//
// Created by main() on the GUI thread; OnArguments runs there from Qt's event loop. HandOver
// blocks (at most its timeout per step) and may run on any thread.
#ifndef QVN_APP_QVNSINGLEINSTANCE_H
#define QVN_APP_QVNSINGLEINSTANCE_H

#include <QLocalServer>
#include <QString>
#include <QStringList>
#include <functional>
#include <string>

namespace qvn {

class TqvnSingleInstance {
 public:
  static constexpr int kTimeoutMs = 3000;

  explicit TqvnSingleInstance(const std::string& aSettingsPath);

  enum class THandOver {
    handedOver,    // the running instance took the arguments: this start is done
    noneRunning,   // nobody listens: this start is the instance
    notAnswering,  // something listens but did not take them in time
  };
  THandOver HandOver(const QStringList& aArguments, int aTimeoutMs = kTimeoutMs) const;

  // Starts taking hand-overs. False when another instance listens already or the socket cannot
  // be made; ErrorText says why.
  bool Listen();
  QString ErrorText() const { return FError; }

  // The local socket's name for aSettingsPath.
  static QString ServerName(const std::string& aSettingsPath);

  std::function<void(const QStringList& aArguments)> OnArguments;

 private:
  void Accept();

  QString FName;
  QLocalServer FServer;
  QString FError;
};

}  // namespace qvn

#endif  // QVN_APP_QVNSINGLEINSTANCE_H
