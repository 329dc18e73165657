// TqvnUpdateWaits: a client's subscriptions to updates by type, and its waits for the next
// update that passes a filter.
//
// The client's dispatcher hands each text it reads to Deliver, with the document it read: the
// subscriptions of that "@type" (and those of every type) are called with it, and the waits it
// satisfies are taken out and their tags given back, for the client to resolve them through its
// pending requests, where each wait is filed under its tag with its deadline (so timeouts,
// deactivation and destruction end a wait exactly as they end a request).
//
// Thread-safe: subscriptions and waits are added and removed on any thread; Deliver runs where
// the client's events run. Handlers and filters are called outside the table's lock, so they may
// subscribe, unsubscribe and wait themselves; a subscription removed on another thread while a
// text is being delivered may still get that text.
#ifndef QVN_CLIENT_QVNTELEGRAM_UPDATEWAITS_H
#define QVN_CLIENT_QVNTELEGRAM_UPDATEWAITS_H

#include <atomic>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/qvnThreadSafety.h"
#include "client/qvnTelegram_AnswerHandle.h"
#include "client/qvnTelegram_Updates.h"

namespace qvn {

class TqvnUpdateWaits {
 public:
  // aType: an update's "@type" ("updateNewMessage"), or "" for every text read. Returns the
  // subscription's id.
  std::uint64_t Subscribe(std::string aType, TqvnUpdateHandler aHandler);
  void Unsubscribe(std::uint64_t aId);
  // A wait for the next text of aType that aFilter (when set) accepts, resolved through aTag.
  // Waits whose handle has resolved otherwise (timed out, cancelled) are dropped here and in
  // Deliver.
  void AddWait(std::string aType, TqvnUpdateFilter aFilter, std::string aTag,
               TqvnAnswerHandle aHandle);
  struct TDelivered {
    std::vector<std::string> Satisfied;  // the tags of the waits the update ends, in filing order
    std::exception_ptr Failure;          // the first exception a handler or filter threw
  };
  // Calls the subscriptions of aType and of every type with aUpdate, then takes out the waits
  // aUpdate satisfies. A handler or filter that throws stops nothing else (a wait whose filter
  // threw stays); the caller resolves the satisfied waits, then reports the failure.
  TDelivered Deliver(TqvnTDLib_Telegram_Client* aSender, std::string_view aType,
                     const TqvnTDLibObject& aUpdate);
  // True when nothing is subscribed or awaited. Lock-free.
  bool Empty() const { return FEmpty.load(std::memory_order_acquire); }

 private:
  struct TSubscription {
    std::uint64_t Id;
    std::string Type;
    std::shared_ptr<TqvnUpdateHandler> Handler;
  };
  struct TWait {
    std::string Type;
    TqvnUpdateFilter Filter;
    std::string Tag;
    TqvnAnswerHandle Handle;
  };
  void UpdateEmpty() QVN_REQUIRES(FLock);

  mutable TqvnMutex FLock;
  std::vector<TSubscription> FSubscriptions QVN_GUARDED_BY(FLock);
  std::vector<TWait> FWaits QVN_GUARDED_BY(FLock);
  std::uint64_t FLastId QVN_GUARDED_BY(FLock) = 0;
  std::atomic<bool> FEmpty{true};
};

}  // namespace qvn

#endif  // QVN_CLIENT_QVNTELEGRAM_UPDATEWAITS_H
