// TqvnTelegramPendingRequests: the requests of one client that wait for TDLib's answer.
//
// The client files each request sent with an answer handler here under a new tag (NewTag), which
// it puts into the request's "@extra"; TDLib copies it into its answer, and the client's dispatcher
// takes the request back out by that tag (Take). A request leaves the table exactly once: by
// its answer, by its deadline (TakeExpired) or when the client ends its TDLib client (TakeAll),
// so whoever takes it out calls its handler exactly once.
//
// Tags are JSON strings "qvn#<n>", with n counted up across the whole process, so a tag names
// one request of one client for the life of the process.
//
// Thread-safe: requests are filed on the sending thread and taken on the tick's thread or by
// deactivation. Handlers are never called here; the caller calls them after taking.
#ifndef QVN_CLIENT_QVNTELEGRAM_PENDINGREQUESTS_H
#define QVN_CLIENT_QVNTELEGRAM_PENDINGREQUESTS_H

#include <atomic>
#include <chrono>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/qvnThreadSafety.h"
#include "client/qvnTelegram_Answer.h"

namespace qvn {

class TqvnTelegramPendingRequests {
 public:
  using TClock = std::chrono::steady_clock;

  struct TRequest {
    TqvnTelegramAnswerHandler Handler;
    // The raw value text of the request's own "@extra", put back into its answer; empty: none.
    std::string CallerExtra;
    // The answer also goes through the ordinary dispatch, as an answer without a handler does.
    bool PassOn = false;
    // No answer is taken after this (TakeExpired); max(): no limit.
    TClock::time_point Deadline = TClock::time_point::max();
    std::chrono::milliseconds Timeout{0};
  };

  // A tag no request of any table had before: the JSON value text to send as an "@extra".
  static std::string NewTag();
  // Files aRequest under aTag, a tag from NewTag.
  void Add(std::string_view aTag, TRequest aRequest);

  // The request whose tag is aExtra (an "@extra" value text), taken out of the table; nothing
  // when no request of this table waits under that tag.
  std::optional<TRequest> Take(std::string_view aExtra);

  // The requests whose deadline is before aNow, and then every request, taken out of the table
  // in the order they were filed.
  std::vector<TRequest> TakeExpired(TClock::time_point aNow);
  std::vector<TRequest> TakeAll();

  // True while a request waits, and after a request expired until the next TakeAll: its answer
  // may still come and is then to be recognised (and dropped) by its tag. Lock-free.
  bool ExpectsAnswers() const { return FExpecting.load(std::memory_order_acquire); }

  // True when aExtra (an "@extra" value text) has the form of a tag Add returns, whatever table
  // filed it.
  static bool IsTag(std::string_view aExtra);

 private:
  void UpdateExpecting() QVN_REQUIRES(FLock);

  mutable TqvnMutex FLock;
  // By tag number.
  std::map<std::uint64_t, TRequest> FRequests QVN_GUARDED_BY(FLock);
  bool FExpired QVN_GUARDED_BY(FLock) = false;
  std::atomic<bool> FExpecting{false};  // written under FLock
};

}  // namespace qvn

#endif  // QVN_CLIENT_QVNTELEGRAM_PENDINGREQUESTS_H
