// Message action request texts, and the client's methods that send them.
#include "client/qvnTelegram_MessageActions.h"

#include "client/qvnLib_Telegram_Client.h"
#include "client/qvnTelegram_RequestText.h"
#include "client/qvnTelegram_Version.h"

namespace qvn {
namespace {

std::string FormattedText(std::string_view aText) {
  return FillTemplate(R"({"@type":"formattedText","text":"%s"})", {aText});
}

std::string DraftMessage(std::string_view aText, std::string_view aTDLibVersion) {
  if (TDLibVersionAtLeast(aTDLibVersion, kTDLibDraftMessageContent)) {
    return FillTemplate(
        R"({"@type":"draftMessage","content":{"@type":"draftMessageContentText","text":%j}})",
        {JSONPiece(FormattedText(aText))});
  }
  return FillTemplate(
      R"({"@type":"draftMessage","input_message_text":{"@type":"inputMessageText","text":%j}})",
      {JSONPiece(FormattedText(aText))});
}

}  // namespace

std::string BuildDeleteMessages(int64_t aChatId, const std::vector<int64_t>& aMessageIds,
                                bool aRevoke) {
  return FillTemplate(R"({"@type":"deleteMessages","chat_id":%d,"message_ids":%j,"revoke":%b})",
                      {aChatId, JSONPiece(IdListText(aMessageIds)), aRevoke});
}

std::string BuildForwardMessages(int64_t aChatId, int64_t aFromChatId,
                                 const std::vector<int64_t>& aMessageIds) {
  return FillTemplate(
      R"({"@type":"forwardMessages","chat_id":%d,"from_chat_id":%d,"message_ids":%j})",
      {aChatId, aFromChatId, JSONPiece(IdListText(aMessageIds))});
}

std::string BuildSetChatDraftMessage(int64_t aChatId, std::string_view aText,
                                     std::string_view aTDLibVersion) {
  if (aText.empty()) return FillTemplate(R"({"@type":"setChatDraftMessage","chat_id":%d})", {aChatId});
  return FillTemplate(R"({"@type":"setChatDraftMessage","chat_id":%d,"draft_message":%j})",
                      {aChatId, JSONPiece(DraftMessage(aText, aTDLibVersion))});
}

std::string BuildGetMessageProperties(int64_t aChatId, int64_t aMessageId) {
  return FillTemplate(R"({"@type":"getMessageProperties","chat_id":%d,"message_id":%d})",
                      {aChatId, aMessageId});
}

// ---- The client's message actions ----

void TqvnTDLib_Telegram_Client::DeleteMessages(int64_t aChatId,
                                               const std::vector<int64_t>& aMessageIds,
                                               bool aRevoke, const TqvnTelegramOnAnswer& aOnAnswer) {
  Send(BuildDeleteMessages(aChatId, aMessageIds, aRevoke), aOnAnswer);
}

void TqvnTDLib_Telegram_Client::ForwardMessages(int64_t aChatId, int64_t aFromChatId,
                                                const std::vector<int64_t>& aMessageIds,
                                                const TqvnTelegramOnAnswer& aOnAnswer) {
  Send(BuildForwardMessages(aChatId, aFromChatId, aMessageIds), aOnAnswer);
}

void TqvnTDLib_Telegram_Client::SetChatDraftMessage(int64_t aChatId, std::string_view aText,
                                                    const TqvnTelegramOnAnswer& aOnAnswer) {
  Send(BuildSetChatDraftMessage(aChatId, aText, TDLibVersion()), aOnAnswer);
}

void TqvnTDLib_Telegram_Client::GetMessageProperties(int64_t aChatId, int64_t aMessageId,
                                                     const TqvnTelegramOnAnswer& aOnAnswer) {
  Send(BuildGetMessageProperties(aChatId, aMessageId), aOnAnswer);
}

}  // namespace qvn
