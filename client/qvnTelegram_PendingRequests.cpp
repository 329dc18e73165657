#include "client/qvnTelegram_PendingRequests.h"

#include <charconv>
#include <cstdio>
#include <random>
#include <stdexcept>
#include <utility>

namespace qvn {
namespace {

// "\"qvn#<16 hex digits>#", drawn once per process.
const std::string& TagStart() {
  static const std::string kTagStart = [] {
    std::random_device device;
    const std::uint64_t drawn = (static_cast<std::uint64_t>(device()) << 32) ^ device();
    char hex[17];
    std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(drawn));
    return "\"qvn#" + std::string(hex) + "#";
  }();
  return kTagStart;
}

// Counted up across the process, so no two requests of any clients share a tag; 0 is the
// wake-up tag.
std::atomic<std::uint64_t> gLastTag{0};

// The number of a tag of this process, or nothing when aExtra is no such tag.
std::optional<std::uint64_t> TagNumber(std::string_view aExtra) {
  const std::string& start = TagStart();
  if (aExtra.size() < start.size() + 2 || !aExtra.starts_with(start) || aExtra.back() != '"') {
    return std::nullopt;
  }
  const char* begin = aExtra.data() + start.size();
  const char* end = aExtra.data() + aExtra.size() - 1;
  std::uint64_t number = 0;
  const auto [stop, error] = std::from_chars(begin, end, number);
  // Written as NewTag writes it: no leading zeros.
  if (error != std::errc() || stop != end || (*begin == '0' && end - begin > 1))
    return std::nullopt;
  return number;
}

}  // namespace

std::string TqvnTelegramPendingRequests::NewTag() {
  const std::uint64_t number = gLastTag.fetch_add(1, std::memory_order_relaxed) + 1;
  return TagStart() + std::to_string(number) + "\"";
}

const std::string& TqvnTelegramPendingRequests::WakeTag() {
  static const std::string kWakeTag = TagStart() + "0\"";
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
      FExpired.emplace(it->first, it->second.Request.CallerExtra);
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
