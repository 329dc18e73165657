#include "client/qvnTelegram_PendingRequests.h"

#include <charconv>
#include <stdexcept>
#include <utility>

namespace qvn {
namespace {

constexpr std::string_view kTagStart = "\"qvn#";

// Counted up across the process, so no two requests of any clients share a tag.
std::atomic<std::uint64_t> gLastTag{0};

// The number of a tag "\"qvn#<n>\"", or nothing when aExtra is no tag.
std::optional<std::uint64_t> TagNumber(std::string_view aExtra) {
  if (aExtra.size() < kTagStart.size() + 2 || !aExtra.starts_with(kTagStart) ||
      aExtra.back() != '"') {
    return std::nullopt;
  }
  const char* begin = aExtra.data() + kTagStart.size();
  const char* end = aExtra.data() + aExtra.size() - 1;
  std::uint64_t number = 0;
  const auto [stop, error] = std::from_chars(begin, end, number);
  if (error != std::errc() || stop != end) return std::nullopt;
  return number;
}

}  // namespace

std::string TqvnTelegramPendingRequests::NewTag() {
  const std::uint64_t number = gLastTag.fetch_add(1, std::memory_order_relaxed) + 1;
  return std::string(kTagStart) + std::to_string(number) + "\"";
}

void TqvnTelegramPendingRequests::Add(std::string_view aTag, TRequest aRequest) {
  const std::optional<std::uint64_t> number = TagNumber(aTag);
  if (!number) throw std::invalid_argument("Not a request tag: " + std::string(aTag));
  TqvnLock lock(FLock);
  FRequests.insert_or_assign(*number, std::move(aRequest));
  UpdateExpecting();
}

std::optional<TqvnTelegramPendingRequests::TRequest> TqvnTelegramPendingRequests::Take(
    std::string_view aExtra) {
  const std::optional<std::uint64_t> number = TagNumber(aExtra);
  if (!number) return std::nullopt;
  TqvnLock lock(FLock);
  const auto found = FRequests.find(*number);
  if (found == FRequests.end()) return std::nullopt;
  TRequest request = std::move(found->second);
  FRequests.erase(found);
  UpdateExpecting();
  return request;
}

std::vector<TqvnTelegramPendingRequests::TRequest> TqvnTelegramPendingRequests::TakeExpired(
    TClock::time_point aNow) {
  std::vector<TRequest> expired;
  TqvnLock lock(FLock);
  for (auto it = FRequests.begin(); it != FRequests.end();) {
    if (it->second.Deadline < aNow) {
      expired.push_back(std::move(it->second));
      it = FRequests.erase(it);
    } else {
      ++it;
    }
  }
  if (!expired.empty()) FExpired = true;
  UpdateExpecting();
  return expired;
}

std::vector<TqvnTelegramPendingRequests::TRequest> TqvnTelegramPendingRequests::TakeAll() {
  std::vector<TRequest> all;
  TqvnLock lock(FLock);
  all.reserve(FRequests.size());
  for (auto& [number, request] : FRequests) all.push_back(std::move(request));
  FRequests.clear();
  FExpired = false;
  UpdateExpecting();
  return all;
}

bool TqvnTelegramPendingRequests::IsTag(std::string_view aExtra) {
  return TagNumber(aExtra).has_value();
}

void TqvnTelegramPendingRequests::UpdateExpecting() {
  FExpecting.store(FExpired || !FRequests.empty(), std::memory_order_release);
}

}  // namespace qvn
