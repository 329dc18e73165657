#include "app/qvnWindowRequests.h"

#include <stdexcept>

#include "client/qvnTelegram_RequestText.h"
#include "json/qvnBase_Helpers.h"
#include "json/qvnJSON.h"

namespace qvn {
namespace {

// A request document with its "@type" and, last, its tag.
class TRequest {
 public:
  explicit TRequest(std::string_view aType) {
    FDocument.SetEscapeStrings(true);
    FDocument.AddPair("@type", aType);
  }
  TRequest& Add(std::string_view aName, int64_t aValue) {
    FDocument.AddPair(aName, aValue);
    return *this;
  }
  TRequest& Add(std::string_view aName, int32_t aValue) {
    FDocument.AddPair(aName, aValue);
    return *this;
  }
  TRequest& Add(std::string_view aName, bool aValue) {
    FDocument.AddPair(aName, aValue);
    return *this;
  }
  TRequest& AddObject(std::string_view aName, std::string_view aJSON) {
    FDocument.AddObject(aName, aJSON);
    return *this;
  }
  TRequest& AddIds(std::string_view aName, const std::vector<int64_t>& aIds) {
    FDocument.AddArray(aName, IdListText(aIds));
    return *this;
  }
  std::string Text(std::string_view aTag) {
    FDocument.AddPair("@extra", aTag);
    return FDocument.Text();
  }

 private:
  TqvnJSON FDocument;
};

}  // namespace

std::string BuildLoadChats(int32_t aLimit, std::string_view aTag) {
  return TRequest("loadChats")
      .AddObject("chat_list", R"({"@type":"chatListMain"})")
      .Add("limit", aLimit)
      .Text(aTag);
}

std::string BuildOpenChat(int64_t aChatId, std::string_view aTag) {
  return TRequest("openChat").Add("chat_id", aChatId).Text(aTag);
}

std::string BuildCloseChat(int64_t aChatId, std::string_view aTag) {
  return TRequest("closeChat").Add("chat_id", aChatId).Text(aTag);
}

std::string BuildChatHistory(int64_t aChatId, int64_t aFromMessageId, int32_t aLimit,
                             std::string_view aTag) {
  return TRequest("getChatHistory")
      .Add("chat_id", aChatId)
      .Add("from_message_id", aFromMessageId)
      .Add("offset", int32_t{0})
      .Add("limit", aLimit)
      .Add("only_local", false)
      .Text(aTag);
}

std::string BuildViewMessages(int64_t aChatId, const std::vector<int64_t>& aMessageIds,
                              std::string_view aTag) {
  return TRequest("viewMessages")
      .Add("chat_id", aChatId)
      .AddIds("message_ids", aMessageIds)
      .AddObject("source", R"({"@type":"messageSourceChatHistory"})")
      .Add("force_read", true)
      .Text(aTag);
}

std::string BuildDownloadFile(int32_t aFileId, std::string_view aTag) {
  return TRequest("downloadFile")
      .Add("file_id", aFileId)
      .Add("priority", int32_t{1})
      .Add("offset", int64_t{0})
      .Add("limit", int64_t{0})
      .Add("synchronous", false)
      .Text(aTag);
}

std::string BuildResendMessages(int64_t aChatId, const std::vector<int64_t>& aMessageIds,
                                std::string_view aTag) {
  return TRequest("resendMessages")
      .Add("chat_id", aChatId)
      .AddIds("message_ids", aMessageIds)
      .Text(aTag);
}

std::string WithTag(std::string_view aRequest, std::string_view aTag) {
  if (aRequest.empty() || aRequest.front() != '{') {
    throw std::invalid_argument("a request text must begin with \"{\"");
  }
  const bool onlyMember = aRequest.find_first_not_of(" \t\r\n", 1) == aRequest.find('}');
  return "{\"@extra\": \"" + EscapeJSONString(aTag) + "\"" + (onlyMember ? "" : ", ") +
         std::string(aRequest.substr(1));
}

}  // namespace qvn
