#include "client/qvnTelegram_SharedReceive.h"

#include <utility>

#include "client/qvnLib_Telegram.h"

namespace qvn {
namespace {

// The longest single wait in td_receive. Registering and closing need no wake-up; only the end
// of the process does, and it sends one.
constexpr double kReceiveWaitSeconds = 2.0;

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

void TqvnClientMailbox::Push(std::string&& aText, bool aClosed) {
  TqvnLock lock(FLock);
  if (FOnArrival && !aClosed) {
    FOnArrival(std::move(aText));
    return;
  }
  FTexts.push_back(std::move(aText));
  FClosed = FClosed || aClosed;
  FChanged.notify_all();
}

std::optional<std::string> TqvnClientMailbox::Take(std::chrono::duration<double> aTimeout) {
  const auto deadline = DeadlineAfter(aTimeout);
  TqvnLock lock(FLock);
  while (FTexts.empty() && !FWoken) {
    if (!lock.WaitUntil(FChanged, deadline)) break;
  }
  FWoken = false;
  if (FTexts.empty()) return std::nullopt;
  std::string text = std::move(FTexts.front());
  FTexts.pop_front();
  return text;
}

void TqvnClientMailbox::SetOnArrival(std::function<void(std::string&&)> aOnArrival,
                                     std::deque<std::string>& aFirst) {
  TqvnLock lock(FLock);
  FOnArrival = std::move(aOnArrival);
  if (!FOnArrival) return;
  for (std::string& text : aFirst) FOnArrival(std::move(text));
  aFirst.clear();
  for (std::string& text : FTexts) FOnArrival(std::move(text));
  FTexts.clear();
}

void TqvnClientMailbox::Wake() {
  TqvnLock lock(FLock);
  FWoken = true;
  FChanged.notify_all();
}

bool TqvnClientMailbox::WaitClosed(std::chrono::duration<double> aTimeout) {
  const auto deadline = DeadlineAfter(aTimeout);
  TqvnLock lock(FLock);
  while (!FClosed) {
    if (!lock.WaitUntil(FChanged, deadline)) break;
  }
  return FClosed;
}

TqvnSharedReceive& TqvnSharedReceive::Instance() {
  static TqvnSharedReceive gInstance;
  return gInstance;
}

std::shared_ptr<TqvnClientMailbox> TqvnSharedReceive::Register(int32_t aClientId) {
  auto mailbox = std::make_shared<TqvnClientMailbox>();
  TqvnLock lock(FLock);
  FMailboxes[aClientId] = mailbox;
  if (!FRunning) {
    // A thread that found no mailbox left has ended or is returning: it takes no lock any more.
    if (FThread.joinable()) FThread.join();
    FThread = std::thread([this] { Run(); });
    FRunning = true;
  }
  return mailbox;
}

void TqvnSharedReceive::Unregister(int32_t aClientId) {
  TqvnLock lock(FLock);
  FMailboxes.erase(aClientId);
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
  for (;;) {
    {
      TqvnLock lock(FLock);
      if (FMailboxes.empty() || FStopping) {
        FRunning = false;
        return;
      }
    }
    const char* received = tdjson::td_receive(kReceiveWaitSeconds);
    if (received == nullptr) continue;
    // The text belongs to TDLib until the next td_receive.
    std::string text(received);
    const bool closing = IsClosingText(text);
    TqvnLock lock(FLock);
    const auto found = FMailboxes.find(TakeClientId(text));
    if (found == FMailboxes.end()) continue;
    found->second->Push(std::move(text), closing);
    if (closing) FMailboxes.erase(found);
  }
}

TqvnSharedReceive::~TqvnSharedReceive() {
  TqvnLock lock(FLock);
  if (!FThread.joinable()) return;
  FStopping = true;
  // A client left open at the end of the process: its answer ends the wait in td_receive.
  if (FRunning && !FMailboxes.empty())
    tdjson::td_send(FMailboxes.begin()->first, tdjson::kWakeRequest);
  std::thread thread = std::move(FThread);
  lock.Unlock();
  thread.join();
  lock.Relock();
}

}  // namespace qvn
