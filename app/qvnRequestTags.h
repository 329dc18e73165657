// TqvnRequestTags: the window's requests that wait for TDLib's answer, by the tag each carries
// as "@extra" (qvnWindowRequests.h). TDLib copies the tag into the answer, or into the error
// that takes its place, so the window knows which chat, page, message or file an answer is for.
//
// Tags are "velune:<n>", never reused; answers that carry another "@extra" (the engine's own
// numeric tags) or none are not the window's. Plain C++; one thread (the window's).
#ifndef QVN_APP_QVNREQUESTTAGS_H
#define QVN_APP_QVNREQUESTTAGS_H

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

namespace qvn {

struct TqvnPendingRequest {
  enum TKind { loadChats, openChat, closeChat, history, viewMessages, send, resend, download };
  TqvnPendingRequest(TKind aKind, int64_t aChatId = 0, int64_t aMessageId = 0,
                     int32_t aFileId = 0, std::string aLocalKey = {})
      : Kind(aKind),
        ChatId(aChatId),
        MessageId(aMessageId),
        FileId(aFileId),
        LocalKey(std::move(aLocalKey)) {}
  TKind Kind;
  int64_t ChatId = 0;
  int64_t MessageId = 0;  // Resend: the failed message sent again
  int32_t FileId = 0;     // Download
  std::string LocalKey;   // Send: the local echo standing for the message
};

class TqvnRequestTags {
 public:
  // A fresh tag for aRequest, remembered until its answer is taken.
  std::string Add(TqvnPendingRequest aRequest);
  // The request aTag names, forgotten from then on; nothing for a tag that is not waiting.
  std::optional<TqvnPendingRequest> Take(std::string_view aTag);
  // Forgets every waiting request (their client is gone).
  void Clear() { FWaiting.clear(); }

 private:
  uint64_t FIssued = 0;
  std::unordered_map<std::string, TqvnPendingRequest> FWaiting;
};

}  // namespace qvn

#endif  // QVN_APP_QVNREQUESTTAGS_H
