// Reads TDLib's user, chat, message, file and error objects, in the layout of TDLib 1.8.67,
// into the plain values of qvnChatTypes.h. Called by the chat model with the objects of one
// event document, the one the engine's dispatcher read (OnEventDocument).
//
// Each function takes the object: a node of the document or, for an answer that is the object
// itself ("user", "message", ...), the whole document (TqvnTDLibObject, client/
// qvnTelegram_Reading.h, whose helpers read every member here; an empty handle reads as an
// object with no members). The document is only read, never changed. Members that are absent
// keep their zero values; texts are unescaped. A member whose value does not convert (a word
// where a number belongs, a bad escape) raises the JSON library's error. Pure functions: any
// thread, one document per thread.
#ifndef QVN_APP_QVNTELEGRAMREADER_H
#define QVN_APP_QVNTELEGRAMREADER_H

#include <optional>

#include "app/qvnChatTypes.h"
#include "client/qvnTelegram_Reading.h"

namespace qvn {

TqvnUser ReadUser(const TqvnTDLibObject& aUser);

// A "chatPosition"; MainList only for the main chat list.
TqvnChatPosition ReadChatPosition(const TqvnTDLibObject& aPosition);

// A "chat", with its main-list position (if any) in Order and IsPinned.
TqvnChat ReadChat(const TqvnTDLibObject& aChat);

// A "message". The file its content carries (the one Message.FileId names) is returned in
// aFile when it is given.
TqvnMessage ReadMessage(const TqvnTDLibObject& aMessage,
                        std::optional<TqvnFile>* aFile = nullptr);

// A "messageContent" into aMessage's content fields (type, text or caption, file facts).
void ReadMessageContent(const TqvnTDLibObject& aContent, TqvnMessage& aMessage,
                        std::optional<TqvnFile>* aFile = nullptr);

TqvnFile ReadFile(const TqvnTDLibObject& aFile);

// The can_be_edited, can_be_deleted_only_for_self and can_be_deleted_for_all_users members of a
// "messageProperties" answer or of an older release's "message"; nothing when it has none.
std::optional<TqvnMessageRights> ReadMessageRights(const TqvnTDLibObject& aObject);

// The text of a "draftMessage": its draftMessageContentText's, or an older release's
// inputMessageText's; "" for an empty handle or another kind of draft.
std::string ReadDraftText(const TqvnTDLibObject& aDraft);

// An "error" object held by a member (a failed message's sending state, a failed send).
TqvnError ReadError(const TqvnTDLibObject& aError);

}  // namespace qvn

#endif  // QVN_APP_QVNTELEGRAMREADER_H
