// Message requests: the request texts that send, edit, mark as read and fetch messages.
//
// Each Build* function returns one complete TDLib request text; the client's methods of the same
// names (without "Build") hand that text to the single send path. The texts follow fixed
// templates (qvnTelegram_RequestText.h), spacing included: the content object, its text and its
// file are whole values of their own, placed by the template of the request around them. Every
// value placed between quotes is JSON-escaped exactly once (EscapeJSONString): chat and message
// ids, message texts, file paths, and, through the invoice's Write, every invoice text. Button
// texts, URLs and callback data arrive escaped from the markups. A "%" inside any value is copied
// like any other character.
//
// Keyboards may be null; a null keyboard or one without buttons adds nothing. A message carries
// one reply markup: TDLib reads the first "reply_markup" member and drops any other, so two
// keyboards with buttons are refused (EqvnTelegramRequestError) rather than sent half. The
// builders never keep or free a keyboard or invoice; they may create a missing inner object of
// the invoice (its price object).
//
// Refusals. A builder throws EqvnTelegramRequestError (qvnTelegram_RequestText.h), making no
// text, for arguments TDLib cannot take: both keyboards, or a video duration outside TDLib's
// 32-bit range (TDLib would fail the whole request on it).
//
// Requests whose layout changed between TDLib releases take aTDLibVersion (the client's
// TDLibVersion) and choose the layout with one numeric comparison (qvnTelegram_Version.h):
// before the release named here the older layout, at or after it the current one.
//   - document, photo, video: from 1.8.65 the file is wrapped in inputDocument / inputPhoto /
//     inputVideo (width, height and duration move into the wrapper);
//   - sponsored messages: from 1.8.8 getChatSponsoredMessages (answered with
//     sponsoredMessages) replaces getChatSponsoredMessage;
//   - BuildViewMessages: from 1.8.8 viewMessages reads where the messages were seen ("source",
//     here messageSourceChatHistory); before, it has no such member.
//   - BuildSendRichTextReply: from 1.8.58 the replied message is sendMessage's "reply_to", an
//     inputMessageReplyToMessage; before, "reply_to_message_id". 1.8.14 is the last release here
//     that reads the id, 1.8.58 the first that reads the object; the releases between, not
//     here to prove it, take the id (one that reads neither sends the message without the reply
//     rather than fail it).
//
// The requests that take TDLib's numeric ids (BuildViewMessages, the numeric BuildGetChatHistory,
// BuildResendMessages) are written compact, ids as numbers and lists of ids as "[1,2]".
//
// Pure functions without state: callable from any thread, provided no other thread changes a
// keyboard or invoice while a request is built from it.
#ifndef QVN_CLIENT_QVNTELEGRAM_MESSAGEREQUESTS_H
#define QVN_CLIENT_QVNTELEGRAM_MESSAGEREQUESTS_H

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "client/qvnTelegram_Invoice.h"
#include "client/qvnTelegram_ReplyMarkup.h"
#include "client/qvnTelegram_RichText.h"

namespace qvn {

// The first TDLib releases with the current layouts.
inline constexpr std::string_view kTDLibInputFileWrappers = "1.8.65";
inline constexpr std::string_view kTDLibSponsoredMessagesList = "1.8.8";
inline constexpr std::string_view kTDLibViewSource = "1.8.8";
inline constexpr std::string_view kTDLibInputReplyTo = "1.8.58";

std::string BuildSendTextMessage(std::string_view aChatId, std::string_view aText,
                                 const TqvnTelegramReplyMarkupInlineKeyboard* aInlineKeyboard,
                                 const TqvnTelegramReplyMarkupShowKeyboard* aShowKeyboard);

// aText is parsed as rich text (ParseRichText) with the characters of aKeep kept as they are;
// entity offsets refer to the unescaped plain text.
std::string BuildSendRichTextMessage(std::string_view aChatId, std::string_view aText,
                                     const TqvnTelegramReplyMarkupInlineKeyboard* aInlineKeyboard,
                                     const TqvnTelegramReplyMarkupShowKeyboard* aShowKeyboard,
                                     const std::vector<TqvnTextRange>& aKeep = {});

// The same as a reply to the message aReplyToMessageId of the chat, without keyboards.
std::string BuildSendRichTextReply(int64_t aChatId, int64_t aReplyToMessageId,
                                   std::string_view aText, const std::vector<TqvnTextRange>& aKeep,
                                   std::string_view aTDLibVersion);

std::string BuildSendDocumentMessage(std::string_view aChatId, std::string_view aFilePath,
                                     const TqvnTelegramReplyMarkupInlineKeyboard* aInlineKeyboard,
                                     const TqvnTelegramReplyMarkupShowKeyboard* aShowKeyboard,
                                     std::string_view aTDLibVersion);

std::string BuildSendPhotoMessage(std::string_view aChatId, std::string_view aFilePath,
                                  int32_t aWidth, int32_t aHeight,
                                  const TqvnTelegramReplyMarkupInlineKeyboard* aInlineKeyboard,
                                  const TqvnTelegramReplyMarkupShowKeyboard* aShowKeyboard,
                                  std::string_view aTDLibVersion);

// A document or a photo with a caption, the marked-up aCaption formatted as rich text with
// aKeep's characters kept as they are (no caption member when it is empty).
std::string BuildSendDocumentWithCaption(int64_t aChatId, std::string_view aFilePath,
                                         std::string_view aCaption,
                                         const std::vector<TqvnTextRange>& aKeep,
                                         std::string_view aTDLibVersion);
std::string BuildSendPhotoWithCaption(int64_t aChatId, std::string_view aFilePath, int32_t aWidth,
                                      int32_t aHeight, std::string_view aCaption,
                                      const std::vector<TqvnTextRange>& aKeep,
                                      std::string_view aTDLibVersion);

std::string BuildSendVideoMessage(std::string_view aChatId, std::string_view aFilePath,
                                  int32_t aWidth, int32_t aHeight, int64_t aDuration,
                                  const TqvnTelegramReplyMarkupInlineKeyboard* aInlineKeyboard,
                                  const TqvnTelegramReplyMarkupShowKeyboard* aShowKeyboard,
                                  std::string_view aTDLibVersion);

// Reads aInvoice.Invoice(), creating the invoice's price object when it has none.
std::string BuildSendInvoiceMessage(std::string_view aChatId, TqvnTelegramSendInvoice& aInvoice,
                                    const TqvnTelegramReplyMarkupInlineKeyboard* aInlineKeyboard,
                                    const TqvnTelegramReplyMarkupShowKeyboard* aShowKeyboard);

std::string BuildEditTextMessage(std::string_view aChatId, std::string_view aMessageId,
                                 std::string_view aText,
                                 const TqvnTelegramReplyMarkupInlineKeyboard* aInlineKeyboard,
                                 const TqvnTelegramReplyMarkupShowKeyboard* aShowKeyboard);

std::string BuildViewMessage(std::string_view aChatId, std::string_view aMessageId,
                             bool aForceRead);

// viewMessages of several messages seen in the chat's history.
std::string BuildViewMessages(int64_t aChatId, const std::vector<int64_t>& aMessageIds,
                              bool aForceRead, std::string_view aTDLibVersion);

std::string BuildGetChatHistory(std::string_view aChatId, std::string_view aFromMessageId,
                                int32_t aOffset, int32_t aLimit);
// The same with numeric ids, from TDLib's storage and the network alike (only_local false);
// aFromMessageId 0 starts at the newest message.
std::string BuildGetChatHistory(int64_t aChatId, int64_t aFromMessageId, int32_t aOffset,
                                int32_t aLimit);

// resendMessages: sends failed messages again; TDLib answers with the new messages, null for
// each that cannot be sent again.
std::string BuildResendMessages(int64_t aChatId, const std::vector<int64_t>& aMessageIds);

std::string BuildGetChatSponsoredMessage(std::string_view aChatId, std::string_view aTDLibVersion);

}  // namespace qvn

#endif  // QVN_CLIENT_QVNTELEGRAM_MESSAGEREQUESTS_H
