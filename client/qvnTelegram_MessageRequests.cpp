// Message request texts.
#include "client/qvnTelegram_MessageRequests.h"

#include <functional>
#include <limits>
#include <stdexcept>

#include "client/qvnLib_Telegram_Client.h"
#include "client/qvnTelegram_RequestText.h"
#include "client/qvnTelegram_RichText.h"
#include "client/qvnTelegram_Version.h"
#include "json/qvnBase_Helpers.h"

namespace qvn {
namespace {

// The message's one reply markup followed by ",", or "" without one. TDLib reads only the first
// "reply_markup" of a request, so a second keyboard would be dropped without a word: refused.
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

// Header of the six send requests, then the reply markup.
std::string SendMessageHead(std::string_view aChatId,
                            const TqvnTelegramReplyMarkupInlineKeyboard* aInlineKeyboard,
                            const TqvnTelegramReplyMarkupShowKeyboard* aShowKeyboard) {
  std::string result =
      FillTemplate("{\"@type\": \"sendMessage\",\"chat_id\": \"%s\",", {EscapeJSONString(aChatId)});
  result += ReplyMarkup(aInlineKeyboard, aShowKeyboard);
  return result;
}

// Content of a text message around an already escaped text (and, for rich text, entities).
std::string TextContent(std::string_view aTextMember) {
  std::string result =
      "\"input_message_content\": {\"@type\": \"inputMessageText\",\"text\": {\"@type\": "
      "\"formattedText\",";
  result += aTextMember;
  result += "}}}";
  return result;
}

bool UsesInputFileWrappers(std::string_view aTDLibVersion) {
  return TDLibVersionAtLeast(aTDLibVersion, kTDLibInputFileWrappers);
}

// "{\"@type\": \"inputFileLocal\",\"path\": \"...\"" without the closing brace.
std::string LocalFile(std::string_view aFilePath) {
  return FillTemplate("{\"@type\": \"inputFileLocal\",\"path\": \"%s\"",
                      {EscapeJSONString(aFilePath)});
}

}  // namespace

std::string BuildSendTextMessage(std::string_view aChatId, std::string_view aText,
                                 const TqvnTelegramReplyMarkupInlineKeyboard* aInlineKeyboard,
                                 const TqvnTelegramReplyMarkupShowKeyboard* aShowKeyboard) {
  return SendMessageHead(aChatId, aInlineKeyboard, aShowKeyboard) +
         TextContent(FillTemplate("\"text\": \"%s\"", {EscapeJSONString(aText)}));
}

std::string BuildSendRichTextMessage(std::string_view aChatId, std::string_view aText,
                                     const TqvnTelegramReplyMarkupInlineKeyboard* aInlineKeyboard,
                                     const TqvnTelegramReplyMarkupShowKeyboard* aShowKeyboard) {
  std::string plainText;
  std::string entities;
  ParseRichText(aText, plainText, entities);
  return SendMessageHead(aChatId, aInlineKeyboard, aShowKeyboard) +
         TextContent(FillTemplate("\"text\": \"%s\", \"entities\": [%s]",
                                  {EscapeJSONString(plainText), entities}));
}

std::string BuildSendDocumentMessage(std::string_view aChatId, std::string_view aFilePath,
                                     const TqvnTelegramReplyMarkupInlineKeyboard* aInlineKeyboard,
                                     const TqvnTelegramReplyMarkupShowKeyboard* aShowKeyboard,
                                     std::string_view aTDLibVersion) {
  std::string result = SendMessageHead(aChatId, aInlineKeyboard, aShowKeyboard);
  result += "\"input_message_content\": {\"@type\": \"inputMessageDocument\",\"document\": ";
  if (UsesInputFileWrappers(aTDLibVersion)) {
    result += "{\"@type\": \"inputDocument\",\"document\": ";
    result += LocalFile(aFilePath);
    result += "}}}}";
  } else {
    result += LocalFile(aFilePath);
    result += "}}}";
  }
  return result;
}

std::string BuildSendPhotoMessage(std::string_view aChatId, std::string_view aFilePath,
                                  int32_t aWidth, int32_t aHeight,
                                  const TqvnTelegramReplyMarkupInlineKeyboard* aInlineKeyboard,
                                  const TqvnTelegramReplyMarkupShowKeyboard* aShowKeyboard,
                                  std::string_view aTDLibVersion) {
  std::string result = SendMessageHead(aChatId, aInlineKeyboard, aShowKeyboard);
  result += "\"input_message_content\": {\"@type\": \"inputMessagePhoto\",";
  if (UsesInputFileWrappers(aTDLibVersion)) {
    result += "\"photo\": {\"@type\": \"inputPhoto\",\"photo\": ";
    result += LocalFile(aFilePath);
    result += FillTemplate("}, \"width\": %d, \"height\": %d}}}",
                           {std::to_string(aWidth), std::to_string(aHeight)});
  } else {
    result += FillTemplate("\"width\": %d, \"height\": %d, \"photo\": ",
                           {std::to_string(aWidth), std::to_string(aHeight)});
    result += LocalFile(aFilePath);
    result += "}}}";
  }
  return result;
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
  std::string result = SendMessageHead(aChatId, aInlineKeyboard, aShowKeyboard);
  result += "\"input_message_content\": {\"@type\": \"inputMessageVideo\",";
  if (UsesInputFileWrappers(aTDLibVersion)) {
    result += "\"video\": {\"@type\": \"inputVideo\",\"video\": ";
    result += LocalFile(aFilePath);
    result +=
        FillTemplate("}, \"duration\": %d, \"width\": %d, \"height\": %d}}}",
                     {std::to_string(aDuration), std::to_string(aWidth), std::to_string(aHeight)});
  } else {
    result +=
        FillTemplate("\"width\": %d, \"height\": %d, \"duration\": %d, \"video\": ",
                     {std::to_string(aWidth), std::to_string(aHeight), std::to_string(aDuration)});
    result += LocalFile(aFilePath);
    result += "}}}";
  }
  return result;
}

std::string BuildSendInvoiceMessage(std::string_view aChatId, TqvnTelegramSendInvoice& aInvoice,
                                    const TqvnTelegramReplyMarkupInlineKeyboard* aInlineKeyboard,
                                    const TqvnTelegramReplyMarkupShowKeyboard* aShowKeyboard) {
  return SendMessageHead(aChatId, aInlineKeyboard, aShowKeyboard) +
         FillTemplate("\"input_message_content\": %s}", {aInvoice.Write()});
}

std::string BuildEditTextMessage(std::string_view aChatId, std::string_view aMessageId,
                                 std::string_view aText,
                                 const TqvnTelegramReplyMarkupInlineKeyboard* aInlineKeyboard,
                                 const TqvnTelegramReplyMarkupShowKeyboard* aShowKeyboard) {
  std::string result =
      FillTemplate("{\"@type\": \"editMessageText\",\"chat_id\": \"%s\",\"message_id\": \"%s\",",
                   {EscapeJSONString(aChatId), EscapeJSONString(aMessageId)});
  result += ReplyMarkup(aInlineKeyboard, aShowKeyboard);
  result += TextContent(FillTemplate("\"text\": \"%s\"", {EscapeJSONString(aText)}));
  return result;
}

std::string BuildViewMessage(std::string_view aChatId, std::string_view aMessageId,
                             bool aForceRead) {
  return FillTemplate(
      "{\"@type\": \"viewMessages\", \"chat_id\": \"%s\", \"message_ids\":[\"%s\"], "
      "\"force_read\": %s}",
      {EscapeJSONString(aChatId), EscapeJSONString(aMessageId), BoolText(aForceRead)});
}

std::string BuildGetChatHistory(std::string_view aChatId, std::string_view aFromMessageId,
                                int32_t aOffset, int32_t aLimit) {
  return FillTemplate(
      "{\"@type\": \"getChatHistory\",\"chat_id\": \"%s\", \"from_message_id\": \"%s\", "
      "\"offset\": %d, \"limit\": %d}",
      {EscapeJSONString(aChatId), EscapeJSONString(aFromMessageId), std::to_string(aOffset),
       std::to_string(aLimit)});
}

std::string BuildGetChatSponsoredMessage(std::string_view aChatId, std::string_view aTDLibVersion) {
  const std::string_view method = TDLibVersionAtLeast(aTDLibVersion, kTDLibSponsoredMessagesList)
                                      ? "getChatSponsoredMessages"
                                      : "getChatSponsoredMessage";
  return FillTemplate("{\"@type\": \"%s\", \"chat_id\": \"%s\"}",
                      {method, EscapeJSONString(aChatId)});
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
  SendBuilt([&] { return BuildSendTextMessage(aChatId, aText, aInlineKeyboard, aShowKeyboard); }, aOnAnswer);
}

void TqvnTDLib_Telegram_Client::SendRichTextMessage(
    std::string_view aChatId, std::string_view aText,
    const TqvnTelegramReplyMarkupInlineKeyboard* aInlineKeyboard,
    const TqvnTelegramReplyMarkupShowKeyboard* aShowKeyboard,
    const TqvnTelegramOnAnswer& aOnAnswer) {
  SendBuilt(
      [&] { return BuildSendRichTextMessage(aChatId, aText, aInlineKeyboard, aShowKeyboard); }, aOnAnswer);
}

void TqvnTDLib_Telegram_Client::SendDocumentMessage(
    std::string_view aChatId, std::string_view aFilePath,
    const TqvnTelegramReplyMarkupInlineKeyboard* aInlineKeyboard,
    const TqvnTelegramReplyMarkupShowKeyboard* aShowKeyboard,
    const TqvnTelegramOnAnswer& aOnAnswer) {
  SendBuilt([&] {
    return BuildSendDocumentMessage(aChatId, aFilePath, aInlineKeyboard, aShowKeyboard,
                                    TDLibVersion());
  }, aOnAnswer);
}

void TqvnTDLib_Telegram_Client::SendPhotoMessage(
    std::string_view aChatId, std::string_view aFilePath, int32_t aWidth, int32_t aHeight,
    const TqvnTelegramReplyMarkupInlineKeyboard* aInlineKeyboard,
    const TqvnTelegramReplyMarkupShowKeyboard* aShowKeyboard,
    const TqvnTelegramOnAnswer& aOnAnswer) {
  SendBuilt([&] {
    return BuildSendPhotoMessage(aChatId, aFilePath, aWidth, aHeight, aInlineKeyboard,
                                 aShowKeyboard, TDLibVersion());
  }, aOnAnswer);
}

void TqvnTDLib_Telegram_Client::SendVideoMessage(
    std::string_view aChatId, std::string_view aFilePath, int32_t aWidth, int32_t aHeight,
    int64_t aDuration, const TqvnTelegramReplyMarkupInlineKeyboard* aInlineKeyboard,
    const TqvnTelegramReplyMarkupShowKeyboard* aShowKeyboard,
    const TqvnTelegramOnAnswer& aOnAnswer) {
  SendBuilt([&] {
    return BuildSendVideoMessage(aChatId, aFilePath, aWidth, aHeight, aDuration, aInlineKeyboard,
                                 aShowKeyboard, TDLibVersion());
  }, aOnAnswer);
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
      [&] { return BuildSendInvoiceMessage(aChatId, *aInvoice, aInlineKeyboard, aShowKeyboard); }, aOnAnswer);
}

void TqvnTDLib_Telegram_Client::EditTextMessage(
    std::string_view aChatId, std::string_view aMessageId, std::string_view aText,
    const TqvnTelegramReplyMarkupInlineKeyboard* aInlineKeyboard,
    const TqvnTelegramReplyMarkupShowKeyboard* aShowKeyboard,
    const TqvnTelegramOnAnswer& aOnAnswer) {
  SendBuilt([&] {
    return BuildEditTextMessage(aChatId, aMessageId, aText, aInlineKeyboard, aShowKeyboard);
  }, aOnAnswer);
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

void TqvnTDLib_Telegram_Client::GetChatSponsoredMessage(std::string_view aChatId,
                                                        const TqvnTelegramOnAnswer& aOnAnswer) {
  SendRequest(BuildGetChatSponsoredMessage(aChatId, TDLibVersion()), aOnAnswer);
}

}  // namespace qvn
