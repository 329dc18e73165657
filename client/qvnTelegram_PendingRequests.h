// TqvnTelegramPendingRequests: the requests of one client that wait for TDLib's answer.
//
// The client files each request sent with an answer handler here under a new tag (NewTag), which
// it puts into the request's "@extra"; TDLib copies it into its answer, and the client's dispatcher
// takes the request back out by that tag (Take). A request leaves the table exactly once: by
// its answer, by its deadline (TakeExpired) or when the client ends its TDLib client (TakeAll),
// so whoever takes it out calls its handler exactly once.
//
// Tags are JSON strings "qvn#<p><n>": p is 6 digits of base 64 (0-9, a-z, A-Z, "-", "_") drawn
// at random once per process, n is counted up across the process, in the same digits. No
// program can write a tag by chance or by counting, and the client takes tags out of answers
// before any handler sees them, so a caller's own "@extra", of whatever shape ("qvn#1" too), is
// never taken for a tag, and a copy of a tag no request of this table waits for (another
// client's, or one already answered) is not either: such answers go to the events as TDLib sent
// them. n = 0 (WakeTag) marks the client's own wake-up requests. Up to a billion requests a tag
// has at most 15 characters, short enough that neither the engine's strings nor TDLib's, which
// keeps each request's "@extra", allocate for it.
//
// Timeouts. A request's deadline counts until its answer arrives, not until it is dispatched:
// whoever takes texts from TDLib for the client notes each answer among them (NoteArrived) before
// the text waits for dispatch, and TakeExpired fails only requests whose answer was not noted and
// whose deadline is at or before the moment up to which everything TDLib had ready was taken.
// So an answer that was waiting when the deadline passed is never reported as timed out. The
// answer of a request that timed out may still come: the table keeps its tag (and its caller's
// "@extra") until then (TakeLate), or until TakeAll. A wait filed for an update rather than an
// answer (AwaitsTDLib false) shares the tags, deadlines and endings, and leaves nothing behind.
//
// Thread-safe: requests are filed on the sending thread, noted on the receiving thread, taken on
// the tick's or delivery's thread or by deactivation. Handlers are never called here; the caller
// calls them after taking. The deadline callback runs on the filing thread.
#ifndef QVN_CLIENT_QVNTELEGRAM_PENDINGREQUESTS_H
#define QVN_CLIENT_QVNTELEGRAM_PENDINGREQUESTS_H

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
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
    // Why the request failed when its deadline passed; empty: TDLib did not answer in time.
    std::string TimeoutReason;
    // False for a wait filed without a request to TDLib (an update awaited): no answer can come
    // late, so nothing of it is kept after its deadline.
    bool AwaitsTDLib = true;
  };

  // A tag no request of any table had before: the JSON value text to send as an "@extra".
  static std::string NewTag();
  // The tag of the client's own wake-up requests, whose answers nobody waits for.
  static const std::string& WakeTag();
  // True when aExtra (an "@extra" value text) has the form of a tag NewTag returns in this
  // process, whatever table filed it.
  static bool IsTag(std::string_view aExtra);

  // Files aRequest under aTag, a tag from NewTag; then, when it has a deadline, calls the
  // deadline callback with it.
  void Add(std::string_view aTag, TRequest aRequest);
  // Called by Add, on the filing thread and outside the table's lock, with the deadline of each
  // request filed with one, so the worker can end its wait by then. Setting or clearing waits for
  // a call in progress, so the callback may use what its setter clears it before freeing.
  void SetOnDeadline(std::function<void(TClock::time_point)> aOnDeadline);

  // The request whose tag is aExtra (an "@extra" value text), taken out of the table; nothing
  // when no request of this table waits under that tag.
  std::optional<TRequest> Take(std::string_view aExtra);
  // aExtra is the tag of a request of this table that timed out: its late answer has come. Gives
  // that request's CallerExtra and forgets the tag; nothing for any other value.
  std::optional<std::string> TakeLate(std::string_view aExtra);
  // The client sent a wake-up request (WakeTag); its answer is expected until TakeWake or TakeAll.
  void NoteWakeSent();
  // True, once per wake-up sent, when aExtra is WakeTag.
  bool TakeWake(std::string_view aExtra);

  // The answer to the request tagged aExtra has been taken from TDLib and waits for dispatch: its
  // deadline no longer counts. Nothing for any other value.
  void NoteArrived(std::string_view aExtra);
  // The earliest deadline of the requests whose answer has not arrived; max() when none.
  // Lock-free.
  TClock::time_point NextDeadline() const { return FNextDeadline.load(); }
  // The earliest such deadline after aTime; max() when none.
  TClock::time_point NextDeadlineAfter(TClock::time_point aTime) const;

  // The requests whose answer has not arrived and whose deadline is at or before aTakenUpTo (the
  // moment up to which every text TDLib had ready has been taken and noted), and then every
  // request, taken out of the table in the order they were filed.
  std::vector<TRequest> TakeExpired(TClock::time_point aTakenUpTo);
  std::vector<TRequest> TakeAll();

  // True while a request waits, and while the answer of a request that timed out or of a wake-up
  // may still come. Lock-free.
  bool ExpectsAnswers() const { return FExpecting.load(std::memory_order_acquire); }

 private:
  struct TEntry {
    TRequest Request;
    bool Arrived = false;
  };
  // Drops aNumber's deadline from FDeadlines (when it has one there).
  void ForgetDeadline(std::uint64_t aNumber, TClock::time_point aDeadline) QVN_REQUIRES(FLock);
  void UpdateState() QVN_REQUIRES(FLock);

  mutable TqvnMutex FLock;
  // By tag number.
  std::map<std::uint64_t, TEntry> FRequests QVN_GUARDED_BY(FLock);
  // The deadlines of the requests whose answer has not arrived, each with its tag number.
  std::multimap<TClock::time_point, std::uint64_t> FDeadlines QVN_GUARDED_BY(FLock);
  // Requests that timed out and whose answer has not come: tag number, CallerExtra.
  std::map<std::uint64_t, std::string> FExpired QVN_GUARDED_BY(FLock);
  std::size_t FWakesSent QVN_GUARDED_BY(FLock) = 0;
  // Written under FLock, read anywhere.
  std::atomic<bool> FExpecting{false};
  std::atomic<TClock::time_point> FNextDeadline{TClock::time_point::max()};

  TqvnMutex FOnDeadlineLock;
  std::function<void(TClock::time_point)> FOnDeadline QVN_GUARDED_BY(FOnDeadlineLock);
};

}  // namespace qvn

#endif  // QVN_CLIENT_QVNTELEGRAM_PENDINGREQUESTS_H
