// TqvnDesktopNotifications: the notification sink of the desktop (freedesktop.org's
// org.freedesktop.Notifications service on the session bus, through QtDBus).
//
// Show calls the service's Notify: app name "Velune", the program's icon and desktop entry,
// category "im.received", an "Open" default action and the service's own timeout. The id the
// service answers is kept per chat, so the chat's next notification replaces it (replaces_id)
// until the service reports it closed. ActionInvoked with "default" on one of them calls
// OnActivated with its chat. The body is escaped as markup when the service reads markup
// (GetCapabilities "body-markup"; assumed until it answers). When the call fails (no service
// answers) the message goes to a tray icon's balloon instead, where the desktop has a tray, and
// otherwise nowhere.
//
// Created by main() on the session bus, by tests on a private bus; calls go out asynchronously,
// so Show never waits for the service. GUI thread only.
#ifndef QVN_APP_QVNDESKTOPNOTIFICATIONS_H
#define QVN_APP_QVNDESKTOPNOTIFICATIONS_H

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <map>

#include "app/qvnNotificationSink.h"

class QSystemTrayIcon;

namespace qvn {

class TqvnDesktopNotifications : public QObject, public IqvnNotificationSink {
  Q_OBJECT

 public:
  explicit TqvnDesktopNotifications(const QDBusConnection& aBus, QObject* aParent = nullptr);

  void Show(int64_t aChatId, const std::string& aSummary, const std::string& aBody) override;

 private slots:
  // The service's signals.
  void ActionInvoked(uint aId, const QString& aAction);
  void NotificationClosed(uint aId, uint aReason);

 private:
  void ShowInTray(int64_t aChatId, const QString& aSummary, const QString& aBody);

  QDBusConnection FBus;
  bool FBodyMarkup = true;
  std::map<int64_t, uint> FShown;  // the service's id of each chat's notification on screen
  QSystemTrayIcon* FTray = nullptr;  // created at the first fallback
  int64_t FTrayChat = 0;             // the chat of the tray's last balloon
};

}  // namespace qvn

#endif  // QVN_APP_QVNDESKTOPNOTIFICATIONS_H
