// Message request texts.
#include "client/qvnTelegram_MessageRequests.h"

#include <functional>
#include <limits>
#include <stdexcept>

#include "client/qvnLib_Telegram_Client.h"
#include "client/qvnTelegram_RequestText.h"
#include "client/qvnTelegram_RichText.h"
#include "client/qvnTelegram_TextEntities.h"
#include "client/qvnTelegram_Version.h"

namespace qvn {
namespace {

// The message's one reply markup member followed by ",", or "" without one. TDLib reads only
// the first "reply_markup" of a request, so a second keyboard would be dropped without a word:
// refused.
std::string ReplyMarkup(const TqvnTelegramReplyMarkupInlineKeyboard* aInlineKeyboard,
                        const TqvnTelegramReplyMarkupShowKeyboard* aShowKeyboard) {
  std::string inlineMarkup = GetInlineKeyboardMarkup(aInlineKeyboard);
  std::string showMarkup = GetShowKeyboardMarkup(aShowKeyboard);
  if (!inlineMarkup.empty() && !showMarkup.empty()) {
    throw EqvnTelegramRequestError(
        "A message takes one keyboard: pass an inline keyboard or a show keyboard, not both");
  }
  return inlineMarkup.empty() ? showMarkup : inlineMarkup;
}

// The sendMessage request around a content object made by one of the content builders below.
std::string SendMessage(std::string_view aChatId,
                        const TqvnTelegramReplyMarkupInlineKeyboard* aInlineKeyboard,
                        const TqvnTelegramReplyMarkupShowKeyboard* aShowKeyboard,
                        std::string_view aContent) {
  return FillTemplate(
      R"({"@type": "sendMessage","chat_id": "%s",%j"input_message_content": %j})",
      {aChatId, JSONPiece(ReplyMarkup(aInlineKeyboard, aShowKeyboard)), JSONPiece(aContent)});
}

// The inputMessageText content holding a formattedText object.
std::string TextContent(std::string_view aFormattedText) {
  return FillTemplate(R"({"@type": "inputMessageText","text": %j})", {JSONPiece(aFormattedText)});
}

std::string PlainFormattedText(std::string_view aText) {
  return FillTemplate(R"({"@type": "formattedText","text": "%s"})", {aText});
}

// The formattedText of the marked-up aText, aKeep's characters kept as they are.
std::string RichFormattedText(std::string_view aText, const std::vector<TqvnTextRange>& aKeep) {
  std::string plainText;
  std::string entities;
  ParseRichText(aText, aKeep, plainText, entities);
  return FillTemplate(R"({"@type": "formattedText","text": "%s", "entities": [%j]})",
                      {plainText, JSONPiece(entities)});
}

bool UsesInputFileWrappers(std::string_view aTDLibVersion) {
  return TDLibVersionAtLeast(aTDLibVersion, kTDLibInputFileWrappers);
}

std::string LocalFile(std::string_view aFilePath) {
  return FillTemplate(R"({"@type": "inputFileLocal","path": "%s"})", {aFilePath});
}

// aContent, a content object, with its "caption" member aCaption (a formattedText) put last;
// aContent itself when aCaption is empty.
std::string WithCaption(std::string aContent, std::string_view aCaption) {
  if (aCaption.empty()) return aContent;
  aContent.pop_back();
  return aContent + FillTemplate(R"(, "caption": %j})", {JSONPiece(aCaption)});
}

std::string DocumentContent(std::string_view aFilePath, std::string_view aTDLibVersion,
                            std::string_view aCaption = {}) {
  const std::string file = LocalFile(aFilePath);
  if (UsesInputFileWrappers(aTDLibVersion)) {
    return WithCaption(FillTemplate(R"({"@type": "inputMessageDocument","document": )"
                                    R"({"@type": "inputDocument","document": %j}})",
                                    {JSONPiece(file)}),
                       aCaption);
  }
  return WithCaption(
      FillTemplate(R"({"@type": "inputMessageDocument","document": %j})", {JSONPiece(file)}),
      aCaption);
}

std::string PhotoContent(std::string_view aFilePath, int32_t aWidth, int32_t aHeight,
                         std::string_view aTDLibVersion, std::string_view aCaption = {}) {
  const std::string file = LocalFile(aFilePath);
  if (UsesInputFileWrappers(aTDLibVersion)) {
    return WithCaption(
        FillTemplate(
            R"({"@type": "inputMessagePhoto","photo": {"@type": "inputPhoto","photo": %j, )"
            R"("width": %d, "height": %d}})",
            {JSONPiece(file), aWidth, aHeight}),
        aCaption);
  }
  return WithCaption(
      FillTemplate(R"({"@type": "inputMessagePhoto","width": %d, "height": %d, "photo": %j})",
                   {aWidth, aHeight, JSONPiece(file)}),
      aCaption);
}

std::string VideoContent(std::string_view aFilePath, int32_t aWidth, int32_t aHeight,
                         int32_t aDuration, std::string_view aTDLibVersion) {
  const std::string file = LocalFile(aFilePath);
  if (UsesInputFileWrappers(aTDLibVersion)) {
    return FillTemplate(
        R"({"@type": "inputMessageVideo","video": {"@type": "inputVideo","video": %j, )"
        R"("duration": %d, "width": %d, "height": %d}})",
        {JSONPiece(file), aDuration, aWidth, aHeight});
  }
  return FillTemplate(
      R"({"@type": "inputMessageVideo","width": %d, "height": %d, "duration": %d, "video": %j})",
      {aWidth, aHeight, aDuration, JSONPiece(file)});
}

}  // namespace

std::string BuildSendTextMessage(std::string_view aChatId, std::string_view aText,
                                 const TqvnTelegramReplyMarkupInlineKeyboard* aInlineKeyboard,
                                 const TqvnTelegramReplyMarkupShowKeyboard* aShowKeyboard) {
  return SendMessage(aChatId, aInlineKeyboard, aShowKeyboard,
                     TextContent(PlainFormattedText(aText)));
}

std::string BuildSendRichTextMessage(std::string_view aChatId, std::string_view aText,
                                     const TqvnTelegramReplyMarkupInlineKeyboard* aInlineKeyboard,
                                     const TqvnTelegramReplyMarkupShowKeyboard* aShowKeyboard,
                                     const std::vector<TqvnTextRange>& aKeep) {
  return SendMessage(aChatId, aInlineKeyboard, aShowKeyboard,
                     TextContent(RichFormattedText(aText, aKeep)));
}

std::string BuildSendRichTextReply(int64_t aChatId, int64_t aReplyToMessageId,
                                   std::string_view aText, const std::vector<TqvnTextRange>& aKeep,
                                   std::string_view aTDLibVersion) {
  const std::string content = TextContent(RichFormattedText(aText, aKeep));
  if (TDLibVersionAtLeast(aTDLibVersion, kTDLibInputReplyTo)) {
    return FillTemplate(R"({"@type":"sendMessage","chat_id":%d,)"
                        R"("reply_to":{"@type":"inputMessageReplyToMessage","message_id":%d},)"
                        R"("input_message_content":%j})",
                        {aChatId, aReplyToMessageId, JSONPiece(content)});
  }
  return FillTemplate(R"({"@type":"sendMessage","chat_id":%d,"reply_to_message_id":%d,)"
                      R"("input_message_content":%j})",
                      {aChatId, aReplyToMessageId, JSONPiece(content)});
}

std::string BuildSendDocumentMessage(std::string_view aChatId, std::string_view aFilePath,
                                     const TqvnTelegramReplyMarkupInlineKeyboard* aInlineKeyboard,
                                     const TqvnTelegramReplyMarkupShowKeyboard* aShowKeyboard,
                                     std::string_view aTDLibVersion) {
  return SendMessage(aChatId, aInlineKeyboard, aShowKeyboard,
                     DocumentContent(aFilePath, aTDLibVersion));
}

std::string BuildSendPhotoMessage(std::string_view aChatId, std::string_view aFilePath,
                                  int32_t aWidth, int32_t aHeight,
                                  const TqvnTelegramReplyMarkupInlineKeyboard* aInlineKeyboard,
                                  const TqvnTelegramReplyMarkupShowKeyboard* aShowKeyboard,
                                  std::string_view aTDLibVersion) {
  return SendMessage(aChatId, aInlineKeyboard, aShowKeyboard,
                     PhotoContent(aFilePath, aWidth, aHeight, aTDLibVersion));
}

std::string BuildSendDocumentWithCaption(int64_t aChatId, std::string_view aFilePath,
                                         std::string_view aCaption,
                                         const std::vector<TqvnTextRange>& aKeep,
                                         std::string_view aTDLibVersion) {
  return SendMessage(std::to_string(aChatId), nullptr, nullptr,
                     DocumentContent(aFilePath, aTDLibVersion,
                                     aCaption.empty() ? "" : RichFormattedText(aCaption, aKeep)));
}

std::string BuildSendPhotoWithCaption(int64_t aChatId, std::string_view aFilePath, int32_t aWidth,
                                      int32_t aHeight, std::string_view aCaption,
                                      const std::vector<TqvnTextRange>& aKeep,
                                      std::string_view aTDLibVersion) {
  return SendMessage(std::to_string(aChatId), nullptr, nullptr,
                     PhotoContent(aFilePath, aWidth, aHeight, aTDLibVersion,
                                  aCaption.empty() ? "" : RichFormattedText(aCaption, aKeep)));
}

std::string BuildSendVideoMessage(std::string_view aChatId, std::string_view aFilePath,
                                  int32_t aWidth, int32_t aHeight, int64_t aDuration,
                                  const TqvnTelegramReplyMarkupInlineKeyboard* aInlineKeyboard,
                                  const TqvnTelegramReplyMarkupShowKeyboard* aShowKeyboard,
                                  std::string_view aTDLibVersion) {
  if (aDuration < std::numeric_limits<int32_t>::min() ||
      aDuration > std::numeric_limits<int32_t>::max()) {
    throw EqvnTelegramRequestError("Video duration " + std::to_string(aDuration) +
                                   " s is beyond TDLib's range (a 32-bit number of seconds)");
  }
  return SendMessage(
      aChatId, aInlineKeyboard, aShowKeyboard,
      VideoContent(aFilePath, aWidth, aHeight, static_cast<int32_t>(aDuration), aTDLibVersion));
}

std::string BuildSendInvoiceMessage(std::string_view aChatId, TqvnTelegramSendInvoice& aInvoice,
                                    const TqvnTelegramReplyMarkupInlineKeyboard* aInlineKeyboard,
                                    const TqvnTelegramReplyMarkupShowKeyboard* aShowKeyboard) {
  return SendMessage(aChatId, aInlineKeyboard, aShowKeyboard, aInvoice.Write());
}

std::string BuildEditTextMessage(std::string_view aChatId, std::string_view aMessageId,
                                 std::string_view aText,
                                 const TqvnTelegramReplyMarkupInlineKeyboard* aInlineKeyboard,
                                 const TqvnTelegramReplyMarkupShowKeyboard* aShowKeyboard) {
  return FillTemplate(R"({"@type": "editMessageText","chat_id": "%s","message_id": "%s",%j)"
                      R"("input_message_content": %j})",
                      {aChatId, aMessageId, JSONPiece(ReplyMarkup(aInlineKeyboard, aShowKeyboard)),
                       JSONPiece(TextContent(PlainFormattedText(aText)))});
}

std::string BuildViewMessage(std::string_view aChatId, std::string_view aMessageId,
                             bool aForceRead) {
  return FillTemplate(R"({"@type": "viewMessages", "chat_id": "%s", "message_ids":["%s"], )"
                      R"("force_read": %b})",
                      {aChatId, aMessageId, aForceRead});
}

std::string BuildGetChatHistory(std::string_view aChatId, std::string_view aFromMessageId,
                                int32_t aOffset, int32_t aLimit) {
  return FillTemplate(R"({"@type": "getChatHistory","chat_id": "%s", "from_message_id": "%s", )"
                      R"("offset": %d, "limit": %d})",
                      {aChatId, aFromMessageId, aOffset, aLimit});
}

std::string BuildViewMessages(int64_t aChatId, const std::vector<int64_t>& aMessageIds,
                              bool aForceRead, std::string_view aTDLibVersion) {
  if (TDLibVersionAtLeast(aTDLibVersion, kTDLibViewSource)) {
    return FillTemplate(R"({"@type":"viewMessages","chat_id":%d,"message_ids":%j,)"
                        R"("source":{"@type":"messageSourceChatHistory"},"force_read":%b})",
                        {aChatId, JSONPiece(IdListText(aMessageIds)), aForceRead});
  }
  return FillTemplate(R"({"@type":"viewMessages","chat_id":%d,"message_ids":%j,"force_read":%b})",
                      {aChatId, JSONPiece(IdListText(aMessageIds)), aForceRead});
}

std::string BuildGetChatHistory(int64_t aChatId, int64_t aFromMessageId, int32_t aOffset,
                                int32_t aLimit) {
  return FillTemplate(R"({"@type":"getChatHistory","chat_id":%d,"from_message_id":%d,)"
                      R"("offset":%d,"limit":%d,"only_local":false})",
                      {aChatId, aFromMessageId, aOffset, aLimit});
}

std::string BuildResendMessages(int64_t aChatId, const std::vector<int64_t>& aMessageIds) {
  return FillTemplate(R"({"@type":"resendMessages","chat_id":%d,"message_ids":%j})",
                      {aChatId, JSONPiece(IdListText(aMessageIds))});
}

std::string BuildGetChatSponsoredMessage(std::string_view aChatId, std::string_view aTDLibVersion) {
  const std::string_view method = TDLibVersionAtLeast(aTDLibVersion, kTDLibSponsoredMessagesList)
                                      ? "getChatSponsoredMessages"
                                      : "getChatSponsoredMessage";
  return FillTemplate(R"({"@type": "%s", "chat_id": "%s"})", {method, aChatId});
}

// ---- The client's message requests ----

void TqvnTDLib_Telegram_Client::SendBuilt(const std::function<std::string()>& aBuild,
                                          const TqvnTelegramOnAnswer& aOnAnswer) {
  std::string request;
  try {
    request = aBuild();
  } catch (const std::exception& e) {
    DoException(e);
    RefuseRequest(aOnAnswer, e.what());
    return;
  }
  SendRequest(request, aOnAnswer);
}

void TqvnTDLib_Telegram_Client::SendTextMessage(
    std::string_view aChatId, std::string_view aText,
    const TqvnTelegramReplyMarkupInlineKeyboard* aInlineKeyboard,
    const TqvnTelegramReplyMarkupShowKeyboard* aShowKeyboard,
    const TqvnTelegramOnAnswer& aOnAnswer) {
  SendBuilt([&] { return BuildSendTextMessage(aChatId, aText, aInlineKeyboard, aShowKeyboard); },
            aOnAnswer);
}

void TqvnTDLib_Telegram_Client::SendRichTextMessage(
    std::string_view aChatId, std::string_view aText,
    const TqvnTelegramReplyMarkupInlineKeyboard* aInlineKeyboard,
    const TqvnTelegramReplyMarkupShowKeyboard* aShowKeyboard,
    const TqvnTelegramOnAnswer& aOnAnswer) {
  const std::vector<TqvnTextRange> keep = RecognizedEntities(aText);
  SendBuilt(
      [&] {
        return BuildSendRichTextMessage(aChatId, aText, aInlineKeyboard, aShowKeyboard, keep);
      },
      aOnAnswer);
}

void TqvnTDLib_Telegram_Client::SendRichTextReply(int64_t aChatId, int64_t aReplyToMessageId,
                                                  std::string_view aText,
                                                  const TqvnTelegramOnAnswer& aOnAnswer) {
  const std::vector<TqvnTextRange> keep = RecognizedEntities(aText);
  SendBuilt(
      [&] {
        return BuildSendRichTextReply(aChatId, aReplyToMessageId, aText, keep, TDLibVersion());
      },
      aOnAnswer);
}

std::vector<TqvnTextRange> TqvnTDLib_Telegram_Client::RecognizedEntities(std::string_view aText) {
  return RecognizedTextRanges(aText, Execute(GetTextEntitiesRequest(aText)));
}

void TqvnTDLib_Telegram_Client::SendDocumentMessage(
    std::string_view aChatId, std::string_view aFilePath,
    const TqvnTelegramReplyMarkupInlineKeyboard* aInlineKeyboard,
    const TqvnTelegramReplyMarkupShowKeyboard* aShowKeyboard,
    const TqvnTelegramOnAnswer& aOnAnswer) {
  SendBuilt(
      [&] {
        return BuildSendDocumentMessage(aChatId, aFilePath, aInlineKeyboard, aShowKeyboard,
                                        TDLibVersion());
      },
      aOnAnswer);
}

void TqvnTDLib_Telegram_Client::SendDocumentWithCaption(int64_t aChatId,
                                                        std::string_view aFilePath,
                                                        std::string_view aCaption,
                                                        const TqvnTelegramOnAnswer& aOnAnswer) {
  const std::vector<TqvnTextRange> keep = RecognizedEntities(aCaption);
  SendBuilt(
      [&] {
        return BuildSendDocumentWithCaption(aChatId, aFilePath, aCaption, keep, TDLibVersion());
      },
      aOnAnswer);
}

void TqvnTDLib_Telegram_Client::SendPhotoWithCaption(int64_t aChatId, std::string_view aFilePath,
                                                     int32_t aWidth, int32_t aHeight,
                                                     std::string_view aCaption,
                                                     const TqvnTelegramOnAnswer& aOnAnswer) {
  const std::vector<TqvnTextRange> keep = RecognizedEntities(aCaption);
  SendBuilt(
      [&] {
        return BuildSendPhotoWithCaption(aChatId, aFilePath, aWidth, aHeight, aCaption, keep,
                                         TDLibVersion());
      },
      aOnAnswer);
}

void TqvnTDLib_Telegram_Client::SendPhotoMessage(
    std::string_view aChatId, std::string_view aFilePath, int32_t aWidth, int32_t aHeight,
    const TqvnTelegramReplyMarkupInlineKeyboard* aInlineKeyboard,
    const TqvnTelegramReplyMarkupShowKeyboard* aShowKeyboard,
    const TqvnTelegramOnAnswer& aOnAnswer) {
  SendBuilt(
      [&] {
        return BuildSendPhotoMessage(aChatId, aFilePath, aWidth, aHeight, aInlineKeyboard,
                                     aShowKeyboard, TDLibVersion());
      },
      aOnAnswer);
}

void TqvnTDLib_Telegram_Client::SendVideoMessage(
    std::string_view aChatId, std::string_view aFilePath, int32_t aWidth, int32_t aHeight,
    int64_t aDuration, const TqvnTelegramReplyMarkupInlineKeyboard* aInlineKeyboard,
    const TqvnTelegramReplyMarkupShowKeyboard* aShowKeyboard,
    const TqvnTelegramOnAnswer& aOnAnswer) {
  SendBuilt(
      [&] {
        return BuildSendVideoMessage(aChatId, aFilePath, aWidth, aHeight, aDuration,
                                     aInlineKeyboard, aShowKeyboard, TDLibVersion());
      },
      aOnAnswer);
}

void TqvnTDLib_Telegram_Client::SendInvoiceMessage(
    std::string_view aChatId, TqvnTelegramSendInvoice* aInvoice,
    const TqvnTelegramReplyMarkupInlineKeyboard* aInlineKeyboard,
    const TqvnTelegramReplyMarkupShowKeyboard* aShowKeyboard,
    const TqvnTelegramOnAnswer& aOnAnswer) {
  if (aInvoice == nullptr) {
    const std::invalid_argument refusal("SendInvoiceMessage: no invoice given; nothing was sent");
    DoException(refusal);
    RefuseRequest(aOnAnswer, refusal.what());
    return;
  }
  SendBuilt(
      [&] { return BuildSendInvoiceMessage(aChatId, *aInvoice, aInlineKeyboard, aShowKeyboard); },
      aOnAnswer);
}

void TqvnTDLib_Telegram_Client::EditTextMessage(
    std::string_view aChatId, std::string_view aMessageId, std::string_view aText,
    const TqvnTelegramReplyMarkupInlineKeyboard* aInlineKeyboard,
    const TqvnTelegramReplyMarkupShowKeyboard* aShowKeyboard,
    const TqvnTelegramOnAnswer& aOnAnswer) {
  SendBuilt(
      [&] {
        return BuildEditTextMessage(aChatId, aMessageId, aText, aInlineKeyboard, aShowKeyboard);
      },
      aOnAnswer);
}

void TqvnTDLib_Telegram_Client::ViewMessage(std::string_view aChatId, std::string_view aMessageId,
                                            bool aForceRead,
                                            const TqvnTelegramOnAnswer& aOnAnswer) {
  SendRequest(BuildViewMessage(aChatId, aMessageId, aForceRead), aOnAnswer);
}

void TqvnTDLib_Telegram_Client::GetChatHistory(std::string_view aChatId,
                                               std::string_view aFromMessageId, int32_t aOffset,
                                               int32_t aLimit,
                                               const TqvnTelegramOnAnswer& aOnAnswer) {
  SendRequest(BuildGetChatHistory(aChatId, aFromMessageId, aOffset, aLimit), aOnAnswer);
}

void TqvnTDLib_Telegram_Client::ViewMessages(int64_t aChatId,
                                             const std::vector<int64_t>& aMessageIds,
                                             bool aForceRead,
                                             const TqvnTelegramOnAnswer& aOnAnswer) {
  SendRequest(BuildViewMessages(aChatId, aMessageIds, aForceRead, TDLibVersion()), aOnAnswer);
}

void TqvnTDLib_Telegram_Client::GetChatHistory(int64_t aChatId, int64_t aFromMessageId,
                                               int32_t aOffset, int32_t aLimit,
                                               const TqvnTelegramOnAnswer& aOnAnswer) {
  SendRequest(BuildGetChatHistory(aChatId, aFromMessageId, aOffset, aLimit), aOnAnswer);
}

void TqvnTDLib_Telegram_Client::ResendMessages(int64_t aChatId,
                                               const std::vector<int64_t>& aMessageIds,
                                               const TqvnTelegramOnAnswer& aOnAnswer) {
  SendRequest(BuildResendMessages(aChatId, aMessageIds), aOnAnswer);
}

void TqvnTDLib_Telegram_Client::GetChatSponsoredMessage(std::string_view aChatId,
                                                        const TqvnTelegramOnAnswer& aOnAnswer) {
  SendRequest(BuildGetChatSponsoredMessage(aChatId, TDLibVersion()), aOnAnswer);
}

}  // namespace qvn
