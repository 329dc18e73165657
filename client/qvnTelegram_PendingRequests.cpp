#include "client/qvnTelegram_PendingRequests.h"

#include <iterator>
#include <random>
#include <stdexcept>
#include <utility>

namespace qvn {
namespace {

// The digits of tags: the random part and the number, most significant digit first.
constexpr std::string_view kDigits =
    "0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ-_";
constexpr size_t kRandomDigits = 6;

// "\"qvn#" and kRandomDigits digits drawn once per process (36 bits).
const std::string& TagStart() {
  static const std::string kTagStart = [] {
    std::random_device device;
    std::uint64_t drawn = (static_cast<std::uint64_t>(device()) << 32) ^ device();
    std::string start = "\"qvn#";
    for (size_t i = 0; i < kRandomDigits; ++i, drawn /= kDigits.size()) {
      start += kDigits[drawn % kDigits.size()];
    }
    return start;
  }();
  return kTagStart;
}

// Counted up across the process, so no two requests of any clients share a tag; 0 is the
// wake-up tag.
std::atomic<std::uint64_t> gLastTag{0};

std::string TagOf(std::uint64_t aNumber) {
  char digits[16];
  char* first = std::end(digits);
  do {
    *--first = kDigits[aNumber % kDigits.size()];
    aNumber /= kDigits.size();
  } while (aNumber != 0);
  std::string tag = TagStart();
  tag.append(first, std::end(digits));
  tag += '"';
  return tag;
}

// The number of a tag of this process, or nothing when aExtra is no such tag.
std::optional<std::uint64_t> TagNumber(std::string_view aExtra) {
  const std::string& start = TagStart();
  if (aExtra.size() < start.size() + 2 || !aExtra.starts_with(start) || aExtra.back() != '"') {
    return std::nullopt;
  }
  const std::string_view digits = aExtra.substr(start.size(), aExtra.size() - start.size() - 1);
  // Written as TagOf writes it: no leading zeros, and no more digits than a number has.
  if (digits.size() > 11 || (digits.size() > 1 && digits.front() == '0')) return std::nullopt;
  std::uint64_t number = 0;
  for (const char digit : digits) {
    const size_t value = kDigits.find(digit);
    if (value == std::string_view::npos) return std::nullopt;
    number = number * kDigits.size() + value;
  }
  return number;
}

}  // namespace

std::string TqvnTelegramPendingRequests::NewTag() {
  return TagOf(gLastTag.fetch_add(1, std::memory_order_relaxed) + 1);
}

const std::string& TqvnTelegramPendingRequests::WakeTag() {
  static const std::string kWakeTag = TagOf(0);
  return kWakeTag;
}

bool TqvnTelegramPendingRequests::IsTag(std::string_view aExtra) {
  const std::optional<std::uint64_t> number = TagNumber(aExtra);
  return number && *number > 0;
}

void TqvnTelegramPendingRequests::Add(std::string_view aTag, TRequest aRequest) {
  const std::optional<std::uint64_t> number = TagNumber(aTag);
  if (!number || *number == 0)
    throw std::invalid_argument("Not a request tag: " + std::string(aTag));
  const TClock::time_point deadline = aRequest.Deadline;
  {
    TqvnLock lock(FLock);
    TEntry& entry = FRequests[*number];
    if (!entry.Arrived) ForgetDeadline(*number, entry.Request.Deadline);
    entry = TEntry{std::move(aRequest)};
    if (deadline != TClock::time_point::max()) FDeadlines.emplace(deadline, *number);
    UpdateState();
  }
  if (deadline == TClock::time_point::max()) return;
  TqvnLock lock(FOnDeadlineLock);
  if (FOnDeadline) FOnDeadline(deadline);
}

void TqvnTelegramPendingRequests::SetOnDeadline(
    std::function<void(TClock::time_point)> aOnDeadline) {
  TqvnLock lock(FOnDeadlineLock);
  FOnDeadline = std::move(aOnDeadline);
}

std::optional<TqvnTelegramPendingRequests::TRequest> TqvnTelegramPendingRequests::Take(
    std::string_view aExtra) {
  const std::optional<std::uint64_t> number = TagNumber(aExtra);
  if (!number) return std::nullopt;
  TqvnLock lock(FLock);
  const auto found = FRequests.find(*number);
  if (found == FRequests.end()) return std::nullopt;
  TRequest request = std::move(found->second.Request);
  if (!found->second.Arrived) ForgetDeadline(*number, request.Deadline);
  FRequests.erase(found);
  UpdateState();
  return request;
}

std::optional<std::string> TqvnTelegramPendingRequests::TakeLate(std::string_view aExtra) {
  const std::optional<std::uint64_t> number = TagNumber(aExtra);
  if (!number) return std::nullopt;
  TqvnLock lock(FLock);
  const auto found = FExpired.find(*number);
  if (found == FExpired.end()) return std::nullopt;
  std::string callerExtra = std::move(found->second);
  FExpired.erase(found);
  UpdateState();
  return callerExtra;
}

void TqvnTelegramPendingRequests::NoteWakeSent() {
  TqvnLock lock(FLock);
  ++FWakesSent;
  UpdateState();
}

bool TqvnTelegramPendingRequests::TakeWake(std::string_view aExtra) {
  if (aExtra != WakeTag()) return false;
  TqvnLock lock(FLock);
  if (FWakesSent == 0) return false;
  --FWakesSent;
  UpdateState();
  return true;
}

void TqvnTelegramPendingRequests::NoteArrived(std::string_view aExtra) {
  const std::optional<std::uint64_t> number = TagNumber(aExtra);
  if (!number) return;
  TqvnLock lock(FLock);
  const auto found = FRequests.find(*number);
  if (found == FRequests.end() || found->second.Arrived) return;
  found->second.Arrived = true;
  ForgetDeadline(*number, found->second.Request.Deadline);
  UpdateState();
}

TqvnTelegramPendingRequests::TClock::time_point TqvnTelegramPendingRequests::NextDeadlineAfter(
    TClock::time_point aTime) const {
  TqvnLock lock(FLock);
  const auto next = FDeadlines.upper_bound(aTime);
  return next != FDeadlines.end() ? next->first : TClock::time_point::max();
}

std::vector<TqvnTelegramPendingRequests::TRequest> TqvnTelegramPendingRequests::TakeExpired(
    TClock::time_point aTakenUpTo) {
  std::vector<TRequest> expired;
  TqvnLock lock(FLock);
  for (auto it = FRequests.begin(); it != FRequests.end();) {
    if (!it->second.Arrived && it->second.Request.Deadline <= aTakenUpTo) {
      ForgetDeadline(it->first, it->second.Request.Deadline);
      if (it->second.Request.AwaitsTDLib) FExpired.emplace(it->first, it->second.Request.CallerExtra);
      expired.push_back(std::move(it->second.Request));
      it = FRequests.erase(it);
    } else {
      ++it;
    }
  }
  UpdateState();
  return expired;
}

std::vector<TqvnTelegramPendingRequests::TRequest> TqvnTelegramPendingRequests::TakeAll() {
  std::vector<TRequest> all;
  TqvnLock lock(FLock);
  all.reserve(FRequests.size());
  for (auto& [number, entry] : FRequests) all.push_back(std::move(entry.Request));
  FRequests.clear();
  FDeadlines.clear();
  FExpired.clear();
  FWakesSent = 0;
  UpdateState();
  return all;
}

void TqvnTelegramPendingRequests::ForgetDeadline(std::uint64_t aNumber,
                                                 TClock::time_point aDeadline) {
  if (aDeadline == TClock::time_point::max()) return;
  auto [it, end] = FDeadlines.equal_range(aDeadline);
  for (; it != end; ++it) {
    if (it->second == aNumber) {
      FDeadlines.erase(it);
      return;
    }
  }
}

void TqvnTelegramPendingRequests::UpdateState() {
  FExpecting.store(!FRequests.empty() || !FExpired.empty() || FWakesSent > 0,
                   std::memory_order_release);
  FNextDeadline.store(FDeadlines.empty() ? TClock::time_point::max() : FDeadlines.begin()->first);
}

}  // namespace qvn
