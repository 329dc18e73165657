// The requests the window sends on its own, beside the engine's builders: loading the main chat
// list, opening and closing a chat, fetching its history, marking messages read, downloading a
// file and sending failed messages again.
//
// Every text carries "@extra": aTag, which TDLib copies into its answer, so the window can tell
// what an answer (or an error) belongs to; WithTag adds the same to a request the engine built.
// The texts are built as JSON documents (qvnJSON.h): ids are written as numbers, the tag as an
// escaped string. Pure functions: any thread.
#ifndef QVN_APP_QVNWINDOWREQUESTS_H
#define QVN_APP_QVNWINDOWREQUESTS_H

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qvn {

// loadChats for the main chat list; TDLib answers "ok", or error 404 once every chat is loaded.
std::string BuildLoadChats(int32_t aLimit, std::string_view aTag);
std::string BuildOpenChat(int64_t aChatId, std::string_view aTag);
std::string BuildCloseChat(int64_t aChatId, std::string_view aTag);
// getChatHistory: up to aLimit messages older than aFromMessageId (0: from the newest).
std::string BuildChatHistory(int64_t aChatId, int64_t aFromMessageId, int32_t aLimit,
                             std::string_view aTag);
// viewMessages as read from the chat's history, forced so they count as read at once.
std::string BuildViewMessages(int64_t aChatId, const std::vector<int64_t>& aMessageIds,
                              std::string_view aTag);
// downloadFile, whole, at priority 1, answered at once (progress follows in updateFile).
std::string BuildDownloadFile(int32_t aFileId, std::string_view aTag);
std::string BuildResendMessages(int64_t aChatId, const std::vector<int64_t>& aMessageIds,
                                std::string_view aTag);

// aRequest, a request text beginning with "{", with "@extra": aTag as its first member. Throws
// std::invalid_argument for a text that does not begin with "{".
std::string WithTag(std::string_view aRequest, std::string_view aTag);

}  // namespace qvn

#endif  // QVN_APP_QVNWINDOWREQUESTS_H
