// TqvnUnreadTotal: the unread messages the window's title counts, kept as a running total.
//
// Counted is what one chat adds: its unread count while it is in the main chat list and not
// muted (as Telegram's own apps count by default), else nothing. The window sets each chat's
// share as the chat changes, at constant cost however many chats there are, and redraws the
// title once per run of events when the total moved (TakeChanged). Plain C++, GUI thread.
#ifndef QVN_APP_QVNUNREADTOTAL_H
#define QVN_APP_QVNUNREADTOTAL_H

#include <cstdint>
#include <unordered_map>
#include <utility>

#include "app/qvnChatTypes.h"

namespace qvn {

class TqvnUnreadTotal {
 public:
  static int32_t Counted(const TqvnChat& aChat) {
    return aChat.Order != 0 && !aChat.Muted ? aChat.UnreadCount : 0;
  }

  void Set(int64_t aChatId, int32_t aCounted) {
    auto held = FCounted.find(aChatId);
    const int32_t before = held != FCounted.end() ? held->second : 0;
    if (before == aCounted) return;
    FTotal += int64_t{aCounted} - before;
    FChanged = true;
    if (aCounted == 0) {
      FCounted.erase(held);
    } else {
      FCounted[aChatId] = aCounted;
    }
  }
  int64_t Total() const { return FTotal; }
  // True once after the total changed.
  bool TakeChanged() { return std::exchange(FChanged, false); }
  void Clear() {
    FChanged = FTotal != 0;
    FCounted.clear();
    FTotal = 0;
  }

 private:
  std::unordered_map<int64_t, int32_t> FCounted;  // the chats that add something
  int64_t FTotal = 0;
  bool FChanged = false;
};

}  // namespace qvn

#endif  // QVN_APP_QVNUNREADTOTAL_H
