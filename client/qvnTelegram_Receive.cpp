// Receiving: the tick of the ticking worker (WaitForEvents off) and the waiting worker with its
// deliveries (WaitForEvents on), the dispatch of each text both hand on, and the watch over the
// answers' deadlines.
#include <algorithm>
#include <chrono>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "base/qvnWebSocket_Helpers.h"
#include "client/qvnTelegram_ClientPrivate.h"
#include "client/qvnTelegram_RequestExtra.h"
#include "client/qvnTelegram_SharedReceive.h"

namespace qvn {
namespace {

using TClock = std::chrono::steady_clock;

// Most texts the waiting worker takes from TDLib in one go before handing them on.
constexpr size_t kMostTextsPerReceive = 256;
// How long the waiting worker waits at a time for the process's receive to catch up with TDLib
// before a deadline is judged; it looks whether it was terminated in between.
constexpr std::chrono::milliseconds kCatchUpWait{10};

// Seconds from now until aTime: none once it has passed, at most aLongest.
double SecondsUntil(TClock::time_point aTime, double aLongest) {
  if (aTime == TClock::time_point::max()) return aLongest;
  return std::clamp(std::chrono::duration<double>(aTime - TClock::now()).count(), 0.0, aLongest);
}

// The wake-up sent to end a wait in td_json_client_receive, answered by TDLib at once.
const std::string& WakeRequest() {
  static const std::string kWakeRequest =
      "{\"@type\": \"testCallEmpty\", \"@extra\": " + TqvnTelegramPendingRequests::WakeTag() + "}";
  return kWakeRequest;
}

}  // namespace

void TqvnTDLib_Telegram_Client::DoThreadTimer(TqvnTimer* aSender) {
  FPrivate->Tick(aSender);
}

void TqvnTDLib_Telegram_Client::TPrivate::Tick(TqvnTimer* aSender) {
  try {
    TPumpingLock lock(FClient.FTickLock);
    if (FPendingRequests.NextDeadline() <= TClock::now()) {
      // What TDLib already has may answer a request whose deadline has passed: it is taken
      // first, and waits in FInbox ahead of what comes later.
      const std::shared_ptr<TqvnTDLibConnection> connection = Connection();
      const std::optional<TClock::time_point> takenUpTo =
          connection != nullptr ? TakeReadyTexts(connection.get()) : std::nullopt;
      if (takenUpTo) ExpirePendingRequests(*takenUpTo);
    }
    const int limit = FEventsPerTick.load();
    const auto budget = FTickTimeBudget.load();
    const auto start = TClock::now();
    bool full = false;
    std::string text;
    for (int taken = 0; taken < limit; ++taken) {
      if (!FInbox.Pop(text)) {
        // A handler may have deactivated the client during the previous event.
        const std::shared_ptr<TqvnTDLibConnection> connection = Connection();
        const char* received = connection != nullptr ? connection->Receive(0.0) : nullptr;
        if (received == nullptr) break;
        // The text belongs to TDLib until its next receive: copy it before anything else.
        text = received;
      }
      DispatchReceived(text);
      // Stopped by the limit or the budget, not by an empty TDLib: the next tick comes at once.
      full = taken + 1 == limit || TClock::now() - start >= budget;
      if (full) break;
    }
    if (aSender == nullptr) return;
    if (full) {
      aSender->FireNow();
      return;
    }
    // A deadline that passed but could not be judged yet (TDLib's texts were not all taken) is
    // judged again at the next ordinary tick.
    const TClock::time_point now = TClock::now();
    const TClock::time_point next = FPendingRequests.NextDeadline();
    aSender->FireBy(next > now ? next : FPendingRequests.NextDeadlineAfter(now));
  } catch (const std::exception& e) {
    FClient.DoException(e);
  } catch (...) {
    FClient.DoException(std::runtime_error("Unknown exception in the receive tick"));
  }
}

void TqvnTDLib_Telegram_Client::TPrivate::DispatchReceived(const std::string& aText) {
  try {
    FClient.DoReadEvent(aText);
  } catch (const std::exception& e) {
    FClient.DoException(e);
  } catch (...) {
    FClient.DoException(std::runtime_error("Unknown exception while handling a TDLib event"));
  }
}

void TqvnTDLib_Telegram_Client::TPrivate::DoThreadReceive(TqvnTimer* aSender,
                                                          TwsNotifyEvent aMode) {
  // The wait ends at the first deadline not handled yet. Published before the deadline is
  // looked up, so a request filed meanwhile with an earlier one wakes this wait (WatchDeadlines).
  FWaitingUntil = TClock::time_point::max();
  const TClock::time_point deadline = FPendingRequests.NextDeadlineAfter(FTakenUpTo.load());
  FWaitingUntil = deadline;
  // Behind a main thread that is catching up, what TDLib has waits there, and a deadline with it:
  // the answer may be among those texts. Deactivation empties the inbox, which ends this wait.
  FInbox.WaitForRoom();
  bool inboxWasEmpty = false;
  bool received = false;
  bool deadlinePassed = false;
  bool catchingUp = false;
  {
    std::lock_guard<std::mutex> receiveLock(FReceiveLock);
    const std::shared_ptr<TqvnTDLibConnection> connection = Connection();
    // Deactivation terminates the worker, then wakes this receive and waits for this lock.
    if (connection == nullptr || aSender->Terminated()) return;
    const char* text = connection->Receive(SecondsUntil(deadline, kReceiveWaitSeconds));
    if (aSender->Terminated()) return;
    if (text != nullptr) {
      // Each text belongs to TDLib until its next receive: copied at once. What else is waiting
      // goes along in the same hand-over.
      std::vector<std::string> texts{std::string(text)};
      while (texts.size() < kMostTextsPerReceive && (text = connection->Receive(0.0)) != nullptr) {
        texts.emplace_back(text);
      }
      NoteArrivals(texts);
      inboxWasEmpty = FInbox.Push(std::move(texts));
      received = true;
    }
    if (deadline <= TClock::now()) {
      // Before the requests are failed, everything TDLib had ready is taken, so an answer that
      // was waiting counts as arrived.
      const std::optional<TClock::time_point> takenUpTo = TakeReadyTexts(connection.get());
      if (takenUpTo && *takenUpTo >= deadline) {
        FTakenUpTo = *takenUpTo;
        deadlinePassed = true;
      } else {
        // Behind a full inbox the next round waits for room; behind the process's receive it
        // waits for that to catch up.
        catchingUp = takenUpTo.has_value();
      }
    }
  }
  if (catchingUp) TqvnSharedReceive::Instance().WaitCaughtUp(deadline, kCatchUpWait);
  if (!received && !deadlinePassed) return;
  switch (aMode) {
    case neAsynchronous:
      // A delivery that is queued or running takes these too; one for timeouts alone is cheap.
      if (inboxWasEmpty || deadlinePassed) PostDelivery();
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
      TPumpingLock lock(FClient.FTickLock);
      ExpirePendingRequests(FTakenUpTo.load());
      std::string popped;
      // A handler that deactivated or reactivated the client terminated this worker.
      while (!aSender->Terminated() && FInbox.Pop(popped)) DispatchReceived(popped);
      break;
    }
    default:
      break;
  }
}

void TqvnTDLib_Telegram_Client::TPrivate::TakeArrivals(TqvnTDLibConnection& aConnection) {
  aConnection.HandArrivals(
      [this](std::vector<std::string>&& aTexts) { return ReceiveArrival(std::move(aTexts)); });
}

bool TqvnTDLib_Telegram_Client::TPrivate::ReceiveArrival(std::vector<std::string>&& aTexts) {
  NoteArrivals(aTexts);
  // A delivery that is queued or running takes them too.
  if (!aTexts.empty() && FInbox.Push(std::move(aTexts))) PostDelivery();
  return FInbox.AwaitRoom();
}

void TqvnTDLib_Telegram_Client::TPrivate::NoteArrivals(const std::vector<std::string>& aTexts) {
  // Only answers carry "@extra", and only a request with a deadline needs to know.
  if (FPendingRequests.NextDeadline() == TClock::time_point::max()) return;
  for (const std::string& text : aTexts) FPendingRequests.NoteArrived(ExtraValueOf(text));
}

std::optional<TClock::time_point> TqvnTDLib_Telegram_Client::TPrivate::TakeReadyTexts(
    TqvnTDLibConnection* aConnection) {
  // On TDLib's current interface the texts reach this client through the process's receive:
  // what it had not handed over by then has not arrived here yet.
  const TClock::time_point start =
      aConnection->ClientId() != 0 ? TqvnSharedReceive::Instance().CaughtUpTo() : TClock::now();
  const size_t waiting = FInbox.Size();
  const size_t room = waiting < TqvnEventInbox::kRoom ? TqvnEventInbox::kRoom - waiting : 0;
  std::vector<std::string> texts;
  bool all = false;
  while (!all && texts.size() < room) {
    const char* text = aConnection->Receive(0.0);
    all = text == nullptr;
    if (!all) texts.emplace_back(text);
  }
  if (!texts.empty()) {
    NoteArrivals(texts);
    FInbox.Push(std::move(texts));
  }
  if (!all) return std::nullopt;
  return std::min(start, TClock::now());
}

void TqvnTDLib_Telegram_Client::TPrivate::WatchDeadlines() {
  const std::shared_ptr<TqvnTDLibConnection> current = Connection();
  if (FThread == nullptr || current == nullptr) return;
  if (!FReceiveWaits) {
    TqvnTimer* worker = FThread.get();
    worker->FireBy(FPendingRequests.NextDeadline());
    FPendingRequests.SetOnDeadline(
        [worker](TClock::time_point aDeadline) { worker->FireBy(aDeadline); });
    return;
  }
  // A request filed on another thread may call this while the client is being deactivated:
  // the connection is held only for the call, and a closed one sends nothing.
  const std::weak_ptr<TqvnTDLibConnection> weakConnection = current;
  FPendingRequests.SetOnDeadline([this, weakConnection](TClock::time_point aDeadline) {
    if (aDeadline >= FWaitingUntil.load()) return;
    const std::shared_ptr<TqvnTDLibConnection> connection = weakConnection.lock();
    if (connection == nullptr) return;
    // With TDLib's current interface the wait is the engine's own; td_json_client_receive ends
    // only when a text comes, so TDLib is asked for one that nobody awaits.
    if (connection->ClientId() != 0) {
      connection->Wake();
      return;
    }
    try {
      FPendingRequests.NoteWakeSent();
      connection->Send(WakeRequest().c_str());
    } catch (const std::exception& e) {
      FClient.DoException(e);
    }
  });
}

bool TqvnTDLib_Telegram_Client::TPrivate::DeliverWaiting() {
  TPumpingLock lock(FClient.FTickLock);
  ExpirePendingRequests(FTakenUpTo.load());
  const int limit = FEventsPerTick.load();
  const auto budget = FTickTimeBudget.load();
  const auto start = TClock::now();
  std::string text;
  bool roomMade = false;
  for (int taken = 0; taken < limit && FInbox.Pop(text, &roomMade); ++taken) {
    // The process's receive holds back while this inbox is full: handed the arrivals again at
    // once, it refills the inbox while this delivery goes on.
    if (roomMade) {
      roomMade = false;
      if (const std::shared_ptr<TqvnTDLibConnection> connection = Connection()) {
        TakeArrivals(*connection);
      }
    }
    DispatchReceived(text);
    if (TClock::now() - start >= budget) break;
  }
  return !FInbox.Empty();
}

void TqvnTDLib_Telegram_Client::TPrivate::PostDelivery() {
  PostToMainThread(
      [this] {
        if (DeliverWaiting()) PostDelivery();
      },
      &FInbox);
}

}  // namespace qvn
