// A client's update subscriptions and waits.
#include "client/qvnTelegram_UpdateWaits.h"

#include <algorithm>
#include <exception>
#include <utility>

namespace qvn {

std::uint64_t TqvnUpdateWaits::Subscribe(std::string aType, TqvnUpdateHandler aHandler) {
  TqvnLock lock(FLock);
  FSubscriptions.push_back(
      {++FLastId, std::move(aType), std::make_shared<TqvnUpdateHandler>(std::move(aHandler))});
  UpdateEmpty();
  return FLastId;
}

void TqvnUpdateWaits::Unsubscribe(std::uint64_t aId) {
  TqvnLock lock(FLock);
  std::erase_if(FSubscriptions, [aId](const TSubscription& s) { return s.Id == aId; });
  UpdateEmpty();
}

void TqvnUpdateWaits::AddWait(std::string aType, TqvnUpdateFilter aFilter, std::string aTag,
                              TqvnAnswerHandle aHandle) {
  TqvnLock lock(FLock);
  std::erase_if(FWaits, [](const TWait& w) { return w.Handle.Ready(); });
  FWaits.push_back({std::move(aType), std::move(aFilter), std::move(aTag), std::move(aHandle)});
  UpdateEmpty();
}

TqvnUpdateWaits::TDelivered TqvnUpdateWaits::Deliver(TqvnTDLib_Telegram_Client* aSender,
                                                     std::string_view aType,
                                                     const TqvnTDLibObject& aUpdate) {
  std::vector<std::shared_ptr<TqvnUpdateHandler>> handlers;
  std::vector<TWait> candidates;
  {
    TqvnLock lock(FLock);
    for (const TSubscription& s : FSubscriptions) {
      if (s.Type.empty() || s.Type == aType) handlers.push_back(s.Handler);
    }
    std::erase_if(FWaits, [](const TWait& w) { return w.Handle.Ready(); });
    for (auto it = FWaits.begin(); it != FWaits.end();) {
      if (it->Type.empty() || it->Type == aType) {
        candidates.push_back(std::move(*it));
        it = FWaits.erase(it);
      } else {
        ++it;
      }
    }
    UpdateEmpty();
  }
  std::exception_ptr failure;
  const auto guarded = [&failure](const auto& aCall) {
    try {
      return aCall();
    } catch (...) {
      if (!failure) failure = std::current_exception();
      return false;
    }
  };
  for (const auto& handler : handlers) {
    guarded([&] {
      (*handler)(aSender, aUpdate);
      return true;
    });
  }

  std::vector<std::string> satisfied;
  std::vector<TWait> kept;
  for (TWait& wait : candidates) {
    if (!wait.Filter || guarded([&] { return wait.Filter(aUpdate); })) {
      satisfied.push_back(std::move(wait.Tag));
    } else {
      kept.push_back(std::move(wait));
    }
  }
  if (!kept.empty()) {
    TqvnLock lock(FLock);
    FWaits.insert(FWaits.begin(), std::make_move_iterator(kept.begin()),
                  std::make_move_iterator(kept.end()));
    UpdateEmpty();
  }
  return {std::move(satisfied), failure};
}

void TqvnUpdateWaits::UpdateEmpty() {
  FEmpty.store(FSubscriptions.empty() && FWaits.empty(), std::memory_order_release);
}

}  // namespace qvn
