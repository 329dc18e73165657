// TqvnEventInbox: the event texts a client's waiting receive has taken from TDLib and not yet
// dispatched, oldest first.
//
// The worker pushes what each receive brought; whoever dispatches (the main thread, or the worker
// itself in neNoSync mode) pops one text at a time. Push says when the inbox was empty before, so
// the worker knows that no delivery is pending and hands one over. Thread-safe; texts are moved
// in and out, never shared.
#ifndef QVN_CLIENT_QVNTELEGRAM_EVENTINBOX_H
#define QVN_CLIENT_QVNTELEGRAM_EVENTINBOX_H

#include <deque>
#include <mutex>
#include <string>
#include <vector>

namespace qvn {

class TqvnEventInbox {
 public:
  // Appends aTexts in order; true when the inbox was empty before.
  bool Push(std::vector<std::string>&& aTexts) {
    std::lock_guard<std::mutex> lock(FLock);
    const bool wasEmpty = FTexts.empty();
    for (std::string& text : aTexts) FTexts.push_back(std::move(text));
    return wasEmpty;
  }
  // Takes the oldest text into aText; false when there is none.
  bool Pop(std::string& aText) {
    std::lock_guard<std::mutex> lock(FLock);
    if (FTexts.empty()) return false;
    aText = std::move(FTexts.front());
    FTexts.pop_front();
    return true;
  }
  bool Empty() const {
    std::lock_guard<std::mutex> lock(FLock);
    return FTexts.empty();
  }
  void Clear() {
    std::deque<std::string> dropped;
    std::lock_guard<std::mutex> lock(FLock);
    dropped.swap(FTexts);
  }

 private:
  mutable std::mutex FLock;
  std::deque<std::string> FTexts;  // guarded by FLock
};

}  // namespace qvn

#endif  // QVN_CLIENT_QVNTELEGRAM_EVENTINBOX_H
