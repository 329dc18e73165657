// The client's update subscriptions and waits for one update (qvnTelegram_Updates.h).
#include "client/qvnTelegram_Updates.h"

#include <utility>

#include "client/qvnTelegram_ClientPrivate.h"

namespace qvn {

void TqvnUpdateSubscription::Reset() {
  if (const std::shared_ptr<TqvnUpdateWaits> waits = FWaits.lock(); waits && FId != 0) {
    waits->Unsubscribe(FId);
  }
  FWaits.reset();
  FId = 0;
}

TqvnUpdateSubscription TqvnTDLib_Telegram_Client::Subscribe(std::string aType,
                                                            TqvnUpdateHandler aHandler) {
  const std::shared_ptr<TqvnUpdateWaits>& waits = FPrivate->FUpdateWaits;
  return TqvnUpdateSubscription(waits, waits->Subscribe(std::move(aType), std::move(aHandler)));
}

TqvnAnswerHandle TqvnTDLib_Telegram_Client::NextUpdate(std::string aType, TqvnUpdateFilter aFilter,
                                                       std::chrono::milliseconds aTimeout) {
  TqvnAnswerHandle handle;
  TqvnTelegramPendingRequests::TRequest wait;
  wait.Handler = handle.OnAnswer().Handler;
  wait.AwaitsTDLib = false;
  if (aTimeout.count() > 0) {
    wait.Timeout = aTimeout;
    wait.Deadline = TqvnTelegramPendingRequests::TClock::now() + aTimeout;
    wait.TimeoutReason = "No " + (aType.empty() ? std::string("update") : aType) +
                         " came within " + std::to_string(aTimeout.count()) + " ms";
  }
  const std::string tag = TqvnTelegramPendingRequests::NewTag();
  // Filed first, as a request is: a deactivation from now on ends the wait.
  FPrivate->FPendingRequests.Add(tag, std::move(wait));
  if (!Active()) {
    if (const auto refused = FPrivate->FPendingRequests.Take(tag)) {
      FPrivate->DeliverAnswer(refused->Handler,
                              TqvnTelegramAnswer::Failure(
                                  takNotSent, "The client is not active: no update will come"));
    }
    return handle;
  }
  FPrivate->FUpdateWaits->AddWait(std::move(aType), std::move(aFilter), tag, handle);
  return handle;
}

}  // namespace qvn
