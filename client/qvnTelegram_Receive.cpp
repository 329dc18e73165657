// Receiving: the tick of the ticking worker (WaitForEvents off) and the waiting worker with its
// deliveries (WaitForEvents on), and the dispatch of each text both hand on.
#include <chrono>
#include <stdexcept>
#include <string>
#include <vector>

#include "base/qvnWebSocket_Helpers.h"
#include "client/qvnLib_Telegram_Client.h"

namespace qvn {
namespace {

// Most texts the waiting worker takes from TDLib in one go before handing them on.
constexpr size_t kMostTextsPerReceive = 256;

}  // namespace

void TqvnTDLib_Telegram_Client::DoThreadTimer(TqvnTimer* aSender) {
  try {
    TPumpingLock lock(FTickLock);
    ExpirePendingRequests();
    const int limit = EventsPerTick();
    const auto budget = TickTimeBudget();
    const auto start = std::chrono::steady_clock::now();
    for (int taken = 0; taken < limit; ++taken) {
      // A handler may have deactivated the client during the previous event.
      const std::shared_ptr<TqvnTDLibConnection> connection = Connection();
      const char* received = connection != nullptr ? connection->Receive(0.0) : nullptr;
      if (received == nullptr) break;
      // The text belongs to TDLib until its next receive: copy it before anything else.
      DispatchReceived(std::string(received));
      // Stopped by the limit or the budget, not by an empty TDLib: the next tick comes at once.
      const bool full = taken + 1 == limit || std::chrono::steady_clock::now() - start >= budget;
      if (full) {
        if (aSender != nullptr && limit > 1) aSender->FireNow();
        break;
      }
    }
  } catch (const std::exception& e) {
    DoException(e);
  } catch (...) {
    DoException(std::runtime_error("Unknown exception in the receive tick"));
  }
}

void TqvnTDLib_Telegram_Client::DispatchReceived(const std::string& aText) {
  try {
    DoReadEvent(aText);
  } catch (const std::exception& e) {
    DoException(e);
  } catch (...) {
    DoException(std::runtime_error("Unknown exception while handling a TDLib event"));
  }
}

void TqvnTDLib_Telegram_Client::DoThreadReceive(TqvnTimer* aSender, TwsNotifyEvent aMode) {
  // Behind a main thread that is catching up, what TDLib has waits there. Deactivation empties
  // the inbox, which ends this wait.
  FInbox.WaitForRoom();
  bool inboxWasEmpty = false;
  {
    std::lock_guard<std::mutex> receiveLock(FReceiveLock);
    const std::shared_ptr<TqvnTDLibConnection> connection = Connection();
    // Deactivation terminates the worker, then wakes this receive and waits for this lock.
    if (connection == nullptr || aSender->Terminated()) return;
    const char* received = connection->Receive(kReceiveWaitSeconds);
    if (aSender->Terminated()) return;
    if (received == nullptr) {
      // Nothing within the wait: a delivery is needed only to fail the requests waiting for an
      // answer whose timeout has passed.
      if (!FPendingRequests.ExpectsAnswers()) return;
    } else {
      // Each text belongs to TDLib until its next receive: copied at once. What else is waiting
      // goes along in the same hand-over.
      std::vector<std::string> texts{std::string(received)};
      while (texts.size() < kMostTextsPerReceive &&
             (received = connection->Receive(0.0)) != nullptr) {
        texts.emplace_back(received);
      }
      inboxWasEmpty = FInbox.Push(std::move(texts));
    }
  }
  switch (aMode) {
    case neAsynchronous:
      // A delivery that is queued or running takes these too; one for timeouts alone is cheap.
      if (inboxWasEmpty || FInbox.Empty()) PostDelivery();
      break;
    case neSynchronous:
      // One wait per delivery, so the main thread serves its own events between them. Each runs
      // as a handler of the worker: a handler that reactivates the client frees this worker
      // without waiting for it.
      do {
        aSender->RunInMainThreadAsHandler([this] { DeliverWaiting(); });
      } while (!aSender->Terminated() && !FInbox.Empty());
      break;
    case neNoSync: {
      TPumpingLock lock(FTickLock);
      ExpirePendingRequests();
      std::string text;
      // A handler that deactivated or reactivated the client terminated this worker.
      while (!aSender->Terminated() && FInbox.Pop(text)) DispatchReceived(text);
      break;
    }
    default:
      break;
  }
}

void TqvnTDLib_Telegram_Client::ReceiveArrival(std::string&& aText) {
  // A delivery that is queued or running takes it too.
  if (FInbox.Push(std::move(aText))) PostDelivery();
}

bool TqvnTDLib_Telegram_Client::DeliverWaiting() {
  TPumpingLock lock(FTickLock);
  ExpirePendingRequests();
  const int limit = EventsPerTick();
  const auto budget = TickTimeBudget();
  const auto start = std::chrono::steady_clock::now();
  std::string text;
  for (int taken = 0; taken < limit && FInbox.Pop(text); ++taken) {
    DispatchReceived(text);
    if (std::chrono::steady_clock::now() - start >= budget) break;
  }
  return !FInbox.Empty();
}

void TqvnTDLib_Telegram_Client::PostDelivery() {
  PostToMainThread(
      [this] {
        if (DeliverWaiting()) PostDelivery();
      },
      &FInbox);
}

}  // namespace qvn
