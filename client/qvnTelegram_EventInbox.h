// TqvnEventInbox: the event texts a client's waiting receive has taken from TDLib and not yet
// dispatched, oldest first.
//
// The worker, or on TDLib's current interface the process's receive thread, pushes what each
// receive brought, a batch at a time under one lock; whoever dispatches (the main thread, or the
// worker itself in neNoSync mode) pops one text at a time. Push says when the inbox was empty
// before, so the pusher knows that no delivery is pending and hands one over. A burst stays in
// TDLib rather than piling up here while the main thread catches up: WaitForRoom holds the worker
// back while kRoom texts wait (Pop below kRoom and Clear end that wait); the process's receive
// thread, which must not wait here, asks AwaitRoom after each push
// and waits on its own until whoever pops learns from Pop that it is to be woken.
// Thread-safe; texts are moved in and out, never shared.
#ifndef QVN_CLIENT_QVNTELEGRAM_EVENTINBOX_H
#define QVN_CLIENT_QVNTELEGRAM_EVENTINBOX_H

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <string>
#include <vector>

#include "base/qvnThreadSafety.h"

namespace qvn {

class TqvnEventInbox {
 public:
  // Texts that may wait before WaitForRoom holds the worker back.
  static constexpr size_t kRoom = 1024;

  // Appends aTexts in order; true when the inbox was empty before.
  bool Push(std::vector<std::string>&& aTexts) {
    TqvnLock lock(FLock);
    const bool wasEmpty = FTexts.empty();
    for (std::string& text : aTexts) FTexts.push_back(std::move(text));
    return wasEmpty;
  }
  // Takes the oldest text into aText; false when there is none. With aRoomMade, sets it when
  // this pop left fewer than kRoom texts while a pusher awaits room (AwaitRoom): the caller is to
  // tell that pusher, once.
  bool Pop(std::string& aText, bool* aRoomMade = nullptr) {
    TqvnLock lock(FLock);
    if (FTexts.empty()) return false;
    aText = std::move(FTexts.front());
    FTexts.pop_front();
    if (FTexts.size() + 1 == kRoom) FRoomMade.notify_all();
    if (aRoomMade != nullptr && FRoomAwaited && FTexts.size() < kRoom) {
      FRoomAwaited = false;
      *aRoomMade = true;
    }
    return true;
  }
  bool Empty() const {
    TqvnLock lock(FLock);
    return FTexts.empty();
  }
  // True while kRoom texts or more wait: the caller holds back its pushes until a Pop given
  // aRoomMade reports that fewer are left.
  bool AwaitRoom() {
    TqvnLock lock(FLock);
    FRoomAwaited = FTexts.size() >= kRoom;
    return FRoomAwaited;
  }
  size_t Size() const {
    TqvnLock lock(FLock);
    return FTexts.size();
  }
  // Waits while kRoom texts or more wait and no Clear came since the call began.
  void WaitForRoom() {
    TqvnLock lock(FLock);
    const unsigned long clears = FClears;
    while (FTexts.size() >= kRoom && FClears == clears) lock.Wait(FRoomMade);
  }
  void Clear() {
    std::deque<std::string> dropped;
    TqvnLock lock(FLock);
    dropped.swap(FTexts);
    ++FClears;
    FRoomAwaited = false;
    FRoomMade.notify_all();
  }

 private:
  mutable TqvnMutex FLock;
  std::condition_variable FRoomMade;
  std::deque<std::string> FTexts QVN_GUARDED_BY(FLock);
  unsigned long FClears QVN_GUARDED_BY(FLock) = 0;
  bool FRoomAwaited QVN_GUARDED_BY(FLock) = false;
};

}  // namespace qvn

#endif  // QVN_CLIENT_QVNTELEGRAM_EVENTINBOX_H
