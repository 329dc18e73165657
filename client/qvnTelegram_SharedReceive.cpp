#include "client/qvnTelegram_SharedReceive.h"

#include <algorithm>
#include <iterator>
#include <utility>

#include "client/qvnLib_Telegram.h"

namespace qvn {
namespace {

// The longest single wait in td_receive. Registering and closing need no wake-up; only the end
// of the process does, and it sends one.
constexpr double kReceiveWaitSeconds = 3600.0;

std::chrono::steady_clock::time_point DeadlineAfter(std::chrono::duration<double> aTimeout) {
  return std::chrono::steady_clock::now() +
         std::chrono::duration_cast<std::chrono::steady_clock::duration>(aTimeout);
}

}  // namespace

bool IsClosingText(std::string_view aText) {
  // TDLib writes "@type" first and without spaces.
  return aText.rfind("{\"@type\":\"updateAuthorizationState\"", 0) == 0 &&
         aText.find("\"authorization_state\":{\"@type\":\"authorizationStateClosed\"}") !=
             std::string_view::npos;
}

void TqvnClientMailbox::Push(std::vector<std::string>&& aTexts, bool aClosed) {
  TqvnLock lock(FLock);
  if (FOnArrival) {
    std::optional<std::string> closing;
    if (aClosed) {
      closing = std::move(aTexts.back());
      aTexts.pop_back();
    }
    bool full = FOnArrival(std::move(aTexts));
    if (closing) {
      FTexts.push_back(std::move(*closing));
      FClosed = true;
      FChanged.notify_all();
      return;
    }
    while (full && !FReleased) {
      lock.Wait(FRoomMade);
      if (!FOnArrival) return;
      full = FOnArrival({});
    }
    return;
  }
  for (std::string& text : aTexts) FTexts.push_back(std::move(text));
  FClosed = FClosed || aClosed;
  FChanged.notify_all();
  while (FTexts.size() >= kRoom && !FClosed && !FReleased && !FOnArrival) lock.Wait(FRoomMade);
}

std::optional<std::string> TqvnClientMailbox::Take(std::chrono::duration<double> aTimeout) {
  const auto deadline = DeadlineAfter(aTimeout);
  TqvnLock lock(FLock);
  while (FTexts.empty() && !FWoken) {
    if (!lock.WaitUntil(FChanged, deadline)) break;
  }
  // A wake-up is used up only by the take it ends without a text: one that finds a text leaves
  // it for the next, so a wake-up is never lost.
  if (FTexts.empty()) {
    FWoken = false;
    return std::nullopt;
  }
  std::string text = std::move(FTexts.front());
  FTexts.pop_front();
  // A push waiting for room goes on.
  if (FTexts.size() + 1 == kRoom) FRoomMade.notify_all();
  return text;
}

void TqvnClientMailbox::SetOnArrival(TOnArrival aOnArrival, std::deque<std::string>& aFirst) {
  TqvnLock lock(FLock);
  FOnArrival = std::move(aOnArrival);
  FRoomMade.notify_all();
  if (!FOnArrival || (aFirst.empty() && FTexts.empty()) || FClosed) return;
  std::vector<std::string> waiting(std::make_move_iterator(aFirst.begin()),
                                   std::make_move_iterator(aFirst.end()));
  aFirst.clear();
  waiting.insert(waiting.end(), std::make_move_iterator(FTexts.begin()),
                 std::make_move_iterator(FTexts.end()));
  FTexts.clear();
  FOnArrival(std::move(waiting));
}

void TqvnClientMailbox::Wake() {
  TqvnLock lock(FLock);
  FWoken = true;
  FChanged.notify_all();
}

bool TqvnClientMailbox::WaitClosed(std::chrono::duration<double> aTimeout) {
  const auto deadline = DeadlineAfter(aTimeout);
  TqvnLock lock(FLock);
  FReleased = true;
  FRoomMade.notify_all();
  while (!FClosed) {
    if (!lock.WaitUntil(FChanged, deadline)) break;
  }
  return FClosed;
}

void TqvnClientMailbox::Release() {
  TqvnLock lock(FLock);
  FReleased = true;
  FRoomMade.notify_all();
}

TqvnSharedReceive& TqvnSharedReceive::Instance() {
  static TqvnSharedReceive gInstance;
  return gInstance;
}

std::shared_ptr<TqvnClientMailbox> TqvnSharedReceive::Register(int32_t aClientId) {
  auto mailbox = std::make_shared<TqvnClientMailbox>();
  TqvnLock lock(FLock);
  FMailboxes[aClientId] = mailbox;
  FLastClientId = aClientId;
  if (!FRunning) {
    // A thread that found no mailbox left has ended or is returning: it takes no lock any more.
    if (FThread.joinable()) FThread.join();
    FThread = std::thread([this] { Run(); });
    FRunning = true;
  }
  return mailbox;
}

void TqvnSharedReceive::Unregister(int32_t aClientId) {
  std::shared_ptr<TqvnClientMailbox> mailbox;
  {
    TqvnLock lock(FLock);
    const auto found = FMailboxes.find(aClientId);
    if (found == FMailboxes.end()) return;
    mailbox = std::move(found->second);
    FMailboxes.erase(found);
  }
  mailbox->Release();
}

TqvnSharedReceive::TClock::time_point TqvnSharedReceive::CaughtUpTo() const {
  if (FWaitsCaughtUp.load()) return TClock::now();
  return FCaughtUpTo.load();
}

bool TqvnSharedReceive::WaitCaughtUp(TClock::time_point aMoment,
                                     std::chrono::milliseconds aLongest) {
  const TClock::time_point until = TClock::now() + aLongest;
  ++FCaughtUpWaiters;
  bool caughtUp = true;
  {
    TqvnLock lock(FCaughtUpLock);
    while (CaughtUpTo() < aMoment) {
      if (!lock.WaitUntil(FCaughtUp, until)) {
        caughtUp = CaughtUpTo() >= aMoment;
        break;
      }
    }
  }
  --FCaughtUpWaiters;
  return caughtUp;
}

void TqvnSharedReceive::MarkCaughtUp(TClock::time_point aAsked) {
  FCaughtUpTo = aAsked;
  FWaitsCaughtUp = true;
  // A waiter counted itself before it looked, so it either saw these or is told here.
  if (FCaughtUpWaiters.load() == 0) return;
  TqvnLock lock(FCaughtUpLock);
  FCaughtUp.notify_all();
}

int32_t TqvnSharedReceive::TakeClientId(std::string& aText) {
  constexpr std::string_view kMember = "\"@client_id\":";
  const size_t at = aText.rfind(kMember);
  // A member name, not text inside a string value (where quotes are escaped).
  if (at == std::string::npos || at == 0 || (aText[at - 1] != ',' && aText[at - 1] != '{')) {
    return 0;
  }
  size_t end = at + kMember.size();
  int64_t id = 0;
  for (; end < aText.size() && aText[end] >= '0' && aText[end] <= '9'; ++end) {
    id = id * 10 + (aText[end] - '0');
    if (id > INT32_MAX) return 0;
  }
  if (end == at + kMember.size() || end >= aText.size() || aText[end] != '}') return 0;
  // The member and the comma before it; "{"@client_id":1}" keeps its braces.
  const size_t from = aText[at - 1] == ',' ? at - 1 : at;
  aText.erase(from, end - from);
  return static_cast<int32_t>(id);
}

void TqvnSharedReceive::Run() {
  std::vector<std::string> batch;
  // TDLib had nothing more when last asked, at `asked`.
  bool empty = false;
  TClock::time_point asked;
  for (;;) {
    {
      TqvnLock lock(FLock);
      if (FMailboxes.empty() || FStopping) {
        FRunning = false;
        MarkCaughtUp(TClock::now());
        return;
      }
    }
    const char* received = nullptr;
    if (empty) {
      // Everything TDLib had before `asked` has been handed over: wait for more.
      MarkCaughtUp(asked);
      received = tdjson::td_receive(kReceiveWaitSeconds);
      FWaitsCaughtUp = false;
      if (received == nullptr) {
        asked = TClock::now();
        continue;
      }
    } else {
      asked = TClock::now();
      received = tdjson::td_receive(0.0);
      if (received == nullptr) {
        empty = true;
        continue;
      }
    }
    // Each text belongs to TDLib until the next td_receive: copied at once. What else TDLib has
    // ready goes along, up to the batch's size; when that is reached, more may be ready.
    empty = false;
    batch.clear();
    batch.emplace_back(received);
    while (batch.size() < kMostTextsPerBatch) {
      asked = TClock::now();
      received = tdjson::td_receive(0.0);
      if (received == nullptr) {
        empty = true;
        break;
      }
      batch.emplace_back(received);
    }
    HandOver(batch);
  }
}

void TqvnSharedReceive::HandOver(std::vector<std::string>& aBatch) {
  struct TClientTexts {
    int32_t ClientId;
    std::vector<std::string> Texts;
    bool Closed = false;
    std::shared_ptr<TqvnClientMailbox> Mailbox;
  };
  // A batch seldom holds more than a few clients' texts: a list is the quickest to search. The
  // first client's texts stay in aBatch, so the usual batch of one client is handed over as it
  // is, without copying its list.
  std::vector<TClientTexts> others;
  TClientTexts first{0, {}, false, nullptr};
  size_t kept = 0;
  for (std::string& text : aBatch) {
    const bool closing = IsClosingText(text);
    const int32_t clientId = TakeClientId(text);
    if (&text == &aBatch.front()) first.ClientId = clientId;
    TClientTexts* client = &first;
    if (clientId != first.ClientId) {
      auto found = std::find_if(others.begin(), others.end(),
                                [clientId](const TClientTexts& c) { return c.ClientId == clientId; });
      if (found == others.end()) {
        found = others.insert(others.end(), TClientTexts{clientId, {}, false, nullptr});
      }
      client = &*found;
    }
    // Nothing follows a client's closing text.
    if (client->Closed) continue;
    client->Closed = closing;
    if (client == &first) {
      if (&aBatch[kept] != &text) aBatch[kept] = std::move(text);
      ++kept;
    } else {
      client->Texts.push_back(std::move(text));
    }
  }
  aBatch.resize(kept);
  {
    TqvnLock lock(FLock);
    const auto findMailbox = [this](TClientTexts& aClient) QVN_REQUIRES(FLock) {
      const auto found = FMailboxes.find(aClient.ClientId);
      if (found == FMailboxes.end()) return;
      aClient.Mailbox = found->second;
      if (aClient.Closed) FMailboxes.erase(found);
    };
    findMailbox(first);
    for (TClientTexts& client : others) findMailbox(client);
  }
  // Outside the lock: registering and unregistering clients never wait for a hand-over.
  if (first.Mailbox != nullptr) first.Mailbox->Push(std::move(aBatch), first.Closed);
  for (TClientTexts& client : others) {
    if (client.Mailbox != nullptr) client.Mailbox->Push(std::move(client.Texts), client.Closed);
  }
}

TqvnSharedReceive::~TqvnSharedReceive() {
  TqvnLock lock(FLock);
  if (!FThread.joinable()) return;
  FStopping = true;
  // A client left open at the end of the process, or one given up without its closing text: the
  // answer to a request to it ends the wait in td_receive.
  if (FRunning) {
    tdjson::td_send(FMailboxes.empty() ? FLastClientId : FMailboxes.begin()->first,
                    tdjson::kWakeRequest);
  }
  std::thread thread = std::move(FThread);
  lock.Unlock();
  thread.join();
  lock.Relock();
}

}  // namespace qvn
