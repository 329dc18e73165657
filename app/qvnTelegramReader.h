// Reads TDLib's user, chat, message, file and error objects, in the layout of TDLib 1.8.67,
// into the plain values of qvnChatTypes.h. Called by the chat model with the nodes of one
// parsed event text.
//
// Each function takes the object's node (a handle from a TqvnJSON document; an empty handle
// reads as an object with no members). Members that are absent keep their zero values; texts
// are unescaped. A member whose value does not convert (a word where a number belongs, a bad
// escape) raises the JSON library's error. Pure functions: any thread, one document per thread.
#ifndef QVN_APP_QVNTELEGRAMREADER_H
#define QVN_APP_QVNTELEGRAMREADER_H

#include <optional>

#include "app/qvnChatTypes.h"
#include "json/qvnJSON.h"

namespace qvn {

TqvnUser ReadUser(const IqvnObjectJSON& aUser);

// A "chatPosition"; MainList only for the main chat list.
TqvnChatPosition ReadChatPosition(const IqvnObjectJSON& aPosition);

// A "chat", with its main-list position (if any) in Order and IsPinned.
TqvnChat ReadChat(const IqvnObjectJSON& aChat);

// A "message". The file its content carries (the one Message.FileId names) is returned in
// aFile when it is given.
TqvnMessage ReadMessage(const IqvnObjectJSON& aMessage, std::optional<TqvnFile>* aFile = nullptr);

// A "messageContent" into aMessage's content fields (type, text or caption, file facts).
void ReadMessageContent(const IqvnObjectJSON& aContent, TqvnMessage& aMessage,
                        std::optional<TqvnFile>* aFile = nullptr);

TqvnFile ReadFile(const IqvnObjectJSON& aFile);

// An "error" object held by a member (a failed message's sending state, a failed send).
TqvnError ReadError(const IqvnObjectJSON& aError);

}  // namespace qvn

#endif  // QVN_APP_QVNTELEGRAMREADER_H
