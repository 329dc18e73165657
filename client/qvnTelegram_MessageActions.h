// Message actions: the request texts that delete and forward messages, keep a chat's draft and
// ask what may be done with a message.
//
// Each Build* function returns one complete TDLib request text, compact, with TDLib's numeric
// ids as numbers and lists of ids as "[1,2]"; the client's methods of the same names (without
// "Build") send it through the client's public Send (qvnLib_Telegram_Client.h), so the answer
// goes to the handler given, and a text TDLib could not read is refused before it is sent. The
// draft's text is JSON-escaped exactly once.
//
// Layouts by TDLib release (the client's TDLibVersion, compared with qvnTelegram_Version.h):
//   - setChatDraftMessage: the draftMessage holds its text as "input_message_text" (an
//     inputMessageText) before 1.8.65, as "content" (a draftMessageContentText) from 1.8.65 on.
//     Its reply member (reply_to_message_id, later reply_to) and the chat's thread or topic
//     changed too; the drafts here carry neither, so no release reads a member it lacks.
// deleteMessages, forwardMessages and getMessageProperties read the same members in every
// release that has them; getMessageProperties came after 1.8.14 (older releases put the
// answers on the message itself: can_be_edited and the like).
//
// Pure functions without state: callable from any thread.
#ifndef QVN_CLIENT_QVNTELEGRAM_MESSAGEACTIONS_H
#define QVN_CLIENT_QVNTELEGRAM_MESSAGEACTIONS_H

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qvn {

// The first TDLib release whose draftMessage holds a DraftMessageContent.
inline constexpr std::string_view kTDLibDraftMessageContent = "1.8.65";

// deleteMessages: aRevoke deletes them for every member of the chat where TDLib allows it
// (can_be_deleted_for_all_users), otherwise only for the account.
std::string BuildDeleteMessages(int64_t aChatId, const std::vector<int64_t>& aMessageIds,
                                bool aRevoke);

// forwardMessages of aMessageIds of aFromChatId to aChatId; TDLib answers with the new messages
// (null for each that cannot be forwarded).
std::string BuildForwardMessages(int64_t aChatId, int64_t aFromChatId,
                                 const std::vector<int64_t>& aMessageIds);

// setChatDraftMessage with aText, plain, as the chat's draft; an empty aText removes the draft.
std::string BuildSetChatDraftMessage(int64_t aChatId, std::string_view aText,
                                     std::string_view aTDLibVersion);

// getMessageProperties: TDLib answers with messageProperties (can_be_edited, can_be_deleted_...).
std::string BuildGetMessageProperties(int64_t aChatId, int64_t aMessageId);

}  // namespace qvn

#endif  // QVN_CLIENT_QVNTELEGRAM_MESSAGEACTIONS_H
