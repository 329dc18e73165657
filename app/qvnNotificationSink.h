// IqvnNotificationSink: where the window's desktop notifications go, one per chat.
//
// The notifier (qvnNotifier.h) decides which messages are worth a notification and hands them
// here; the desktop's notification service (qvnDesktopNotifications.h) is the one the program
// uses. Show puts up the notification of a chat, replacing the chat's previous one while that is
// still on screen; the user activating one calls OnActivated with its chat. GUI thread only;
// whoever sets OnActivated clears it before going away.
#ifndef QVN_APP_QVNNOTIFICATIONSINK_H
#define QVN_APP_QVNNOTIFICATIONSINK_H

#include <cstdint>
#include <functional>
#include <string>

namespace qvn {

class IqvnNotificationSink {
 public:
  virtual ~IqvnNotificationSink() = default;
  // aChatId 0 stands for several chats at once. aSummary and aBody are plain UTF-8 text.
  virtual void Show(int64_t aChatId, const std::string& aSummary, const std::string& aBody) = 0;

  std::function<void(int64_t aChatId)> OnActivated;
};

}  // namespace qvn

#endif  // QVN_APP_QVNNOTIFICATIONSINK_H
