#include "app/qvnDesktopNotifications.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QIcon>
#include <QStringList>
#include <QSystemTrayIcon>
#include <QVariantMap>

namespace qvn {

namespace {

const char kService[] = "org.freedesktop.Notifications";
const char kPath[] = "/org/freedesktop/Notifications";
const char kInterface[] = "org.freedesktop.Notifications";

QDBusMessage ServiceCall(const char* aMethod) {
  return QDBusMessage::createMethodCall(QString::fromLatin1(kService), QString::fromLatin1(kPath),
                                        QString::fromLatin1(kInterface),
                                        QString::fromLatin1(aMethod));
}

}  // namespace

TqvnDesktopNotifications::TqvnDesktopNotifications(const QDBusConnection& aBus, QObject* aParent)
    : QObject(aParent), FBus(aBus) {
  FBus.connect(QString::fromLatin1(kService), QString::fromLatin1(kPath),
               QString::fromLatin1(kInterface), QStringLiteral("ActionInvoked"), this,
               SLOT(ActionInvoked(uint, QString)));
  FBus.connect(QString::fromLatin1(kService), QString::fromLatin1(kPath),
               QString::fromLatin1(kInterface), QStringLiteral("NotificationClosed"), this,
               SLOT(NotificationClosed(uint, uint)));
  auto* watcher =
      new QDBusPendingCallWatcher(FBus.asyncCall(ServiceCall("GetCapabilities")), this);
  connect(watcher, &QDBusPendingCallWatcher::finished, this,
          [this](QDBusPendingCallWatcher* aWatcher) {
            aWatcher->deleteLater();
            const QDBusPendingReply<QStringList> reply = *aWatcher;
            if (reply.isValid()) {
              FBodyMarkup = reply.value().contains(QStringLiteral("body-markup"));
            }
          });
}

void TqvnDesktopNotifications::Show(int64_t aChatId, const std::string& aSummary,
                                    const std::string& aBody) {
  const QString summary = QString::fromStdString(aSummary);
  const QString body = QString::fromStdString(aBody);
  auto shown = FShown.find(aChatId);
  const uint replaces = shown != FShown.end() ? shown->second : 0;
  QDBusMessage call = ServiceCall("Notify");
  const QVariantMap hints{{QStringLiteral("desktop-entry"), QStringLiteral("velune-telegram")},
                          {QStringLiteral("category"), QStringLiteral("im.received")}};
  call << QStringLiteral("Velune") << replaces << QStringLiteral("velune-telegram") << summary
       << (FBodyMarkup ? body.toHtmlEscaped() : body)
       << QStringList{QStringLiteral("default"), QStringLiteral("Open")} << hints << -1;
  auto* watcher = new QDBusPendingCallWatcher(FBus.asyncCall(call), this);
  connect(watcher, &QDBusPendingCallWatcher::finished, this,
          [this, aChatId, summary, body](QDBusPendingCallWatcher* aWatcher) {
            aWatcher->deleteLater();
            const QDBusPendingReply<uint> reply = *aWatcher;
            if (reply.isValid()) {
              FShown[aChatId] = reply.value();
            } else {
              ShowInTray(aChatId, summary, body);
            }
          });
}

void TqvnDesktopNotifications::ActionInvoked(uint aId, const QString& aAction) {
  if (aAction != QLatin1String("default")) return;
  for (const auto& [chatId, id] : FShown) {
    if (id == aId) {
      if (OnActivated) OnActivated(chatId);
      return;
    }
  }
}

void TqvnDesktopNotifications::NotificationClosed(uint aId, uint /*aReason*/) {
  for (auto shown = FShown.begin(); shown != FShown.end(); ++shown) {
    if (shown->second == aId) {
      FShown.erase(shown);
      return;
    }
  }
}

void TqvnDesktopNotifications::ShowInTray(int64_t aChatId, const QString& aSummary,
                                          const QString& aBody) {
  if (!QSystemTrayIcon::isSystemTrayAvailable() || !QSystemTrayIcon::supportsMessages()) return;
  if (FTray == nullptr) {
    FTray = new QSystemTrayIcon(QIcon(QStringLiteral(":/velune/velune-telegram.png")), this);
    connect(FTray, &QSystemTrayIcon::messageClicked, this, [this] {
      if (OnActivated) OnActivated(FTrayChat);
    });
    FTray->show();
  }
  FTrayChat = aChatId;
  FTray->showMessage(aSummary, aBody);
}

}  // namespace qvn
