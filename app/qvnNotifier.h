// TqvnNotifier: which new messages become desktop notifications, and how often they go out.
//
// The window offers it each new message that the user is not looking at. Worth drops the ones
// nobody needs telling about: outgoing ones, those of a muted chat, those already read on another
// device, and those older than kFreshFor (after a long time offline, TDLib's catch-up shows in
// the unread count, not as a wall of popups). Add gathers the rest per chat; what is gathered goes
// to the sink at the next turn of the event loop, and from then on at most once per kQuietTime.
// Each chat gets one notification showing its latest message (and how many came, when several
// did), which replaces the chat's previous one; more than kMostChats chats at once share one
// notification instead (chat 0). So a burst of a thousand messages opens a handful of popups.
//
// Owned by the window, on the GUI thread. The sink is the window's to give (SetSink); the
// notifier sets its OnActivated and clears it again when the sink is replaced or the notifier
// goes.
#ifndef QVN_APP_QVNNOTIFIER_H
#define QVN_APP_QVNNOTIFIER_H

#include <QElapsedTimer>
#include <QTimer>
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <string>

#include "app/qvnChatTypes.h"
#include "app/qvnNotificationSink.h"

namespace qvn {

class TqvnNotifier {
 public:
  static constexpr std::chrono::milliseconds kQuietTime{1000};
  static constexpr size_t kMostChats = 3;
  static constexpr int64_t kFreshFor = 3600;  // seconds before now

  TqvnNotifier();
  ~TqvnNotifier();
  TqvnNotifier(const TqvnNotifier&) = delete;
  TqvnNotifier& operator=(const TqvnNotifier&) = delete;

  // aSink (null for none) receives the notifications from now on; its activations call
  // aOnActivated with the chat (0: several chats).
  void SetSink(IqvnNotificationSink* aSink, std::function<void(int64_t aChatId)> aOnActivated);
  // Turned off, nothing more goes out, and what was gathered is dropped.
  void SetEnabled(bool aEnabled);
  bool Enabled() const { return FEnabled; }

  // True when aMessage, new in aChat, is one to tell the user about (aNow: Unix time).
  static bool Worth(const TqvnChat& aChat, const TqvnMessage& aMessage, int64_t aNow);
  // Gathers a notification for aChatId titled aSummary (the chat's title) saying aBody (the
  // message in one line). False, gathering nothing, while notifications are off.
  bool Add(int64_t aChatId, const std::string& aSummary, std::string aBody);

 private:
  struct TGathered {
    std::string Summary;
    std::string Body;
    int Count = 0;
  };
  void Flush();

  IqvnNotificationSink* FSink = nullptr;
  bool FEnabled = true;
  std::map<int64_t, TGathered> FGathered;
  QTimer FFlushTimer;
  QElapsedTimer FSinceFlush;  // invalid until the first flush
};

}  // namespace qvn

#endif  // QVN_APP_QVNNOTIFIER_H
