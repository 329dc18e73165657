// Updates as a program subscribes to them or waits for one (TqvnTDLib_Telegram_Client's
// Subscribe and NextUpdate).
//
// A handler gets each update of its type where the client's events run, after the client's own
// events for that text, as a view of the dispatcher's document that lives for the call (read it
// with TqvnTDLibObject's Get, Text, Items, or a generated view). A filter picks the update a
// wait is for. A subscription ends when its TqvnUpdateSubscription is destroyed or Reset, also
// after the client is gone.
#ifndef QVN_CLIENT_QVNTELEGRAM_UPDATES_H
#define QVN_CLIENT_QVNTELEGRAM_UPDATES_H

#include <cstdint>
#include <functional>
#include <memory>
#include <utility>

#include "client/qvnTelegram_Reading.h"

namespace qvn {

class TqvnTDLib_Telegram_Client;

// Called with each update of the subscribed type, where events run; the view lives for the call.
using TqvnUpdateHandler =
    std::function<void(TqvnTDLib_Telegram_Client* aSender, const TqvnTDLibObject& aUpdate)>;
// True for the update a wait is for.
using TqvnUpdateFilter = std::function<bool(const TqvnTDLibObject& aUpdate)>;

class TqvnUpdateWaits;

// A subscription that ends when it is destroyed (or Reset), also after its client is gone.
class TqvnUpdateSubscription {
 public:
  TqvnUpdateSubscription() = default;
  TqvnUpdateSubscription(std::weak_ptr<TqvnUpdateWaits> aWaits, std::uint64_t aId)
      : FWaits(std::move(aWaits)), FId(aId) {}
  TqvnUpdateSubscription(TqvnUpdateSubscription&& aOther) noexcept
      : FWaits(std::move(aOther.FWaits)), FId(std::exchange(aOther.FId, 0)) {}
  TqvnUpdateSubscription& operator=(TqvnUpdateSubscription&& aOther) noexcept {
    if (this != &aOther) {
      Reset();
      FWaits = std::move(aOther.FWaits);
      FId = std::exchange(aOther.FId, 0);
    }
    return *this;
  }
  ~TqvnUpdateSubscription() { Reset(); }

  void Reset();

 private:
  std::weak_ptr<TqvnUpdateWaits> FWaits;
  std::uint64_t FId = 0;
};

}  // namespace qvn

#endif  // QVN_CLIENT_QVNTELEGRAM_UPDATES_H
