#include "app/qvnRequestTags.h"

namespace qvn {

std::string TqvnRequestTags::Add(TqvnPendingRequest aRequest) {
  std::string tag = "velune:" + std::to_string(++FIssued);
  FWaiting.emplace(tag, std::move(aRequest));
  return tag;
}

std::optional<TqvnPendingRequest> TqvnRequestTags::Take(std::string_view aTag) {
  auto found = FWaiting.find(std::string(aTag));
  if (found == FWaiting.end()) return std::nullopt;
  TqvnPendingRequest request = std::move(found->second);
  FWaiting.erase(found);
  return request;
}

}  // namespace qvn
