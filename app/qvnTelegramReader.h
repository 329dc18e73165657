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
#include <vector>

#include "app/qvnChatTypes.h"
#include "client/qvnTelegram_Reading.h"

namespace qvn {

TqvnUser ReadUser(const TqvnTDLibObject& aUser);

// A "chatPosition"; MainList only for the main chat list.
TqvnChatPosition ReadChatPosition(const TqvnTDLibObject& aPosition);

// A "chat", with its main-list position (if any) in Order and IsPinned. Muted is the chat's own
// setting, false when it follows its kind's default (ReadOwnMute; the model knows the default).
TqvnChat ReadChat(const TqvnTDLibObject& aChat);

// A "message": its content, reply, forward origin and reactions. The file its content carries
// (the one Message.FileId names) is returned in aFile, and the picture's file (PictureFileId)
// in aPicture, when they are given. A minithumbnail whose data is not clean base64 is left out.
TqvnMessage ReadMessage(const TqvnTDLibObject& aMessage, std::optional<TqvnFile>* aFile = nullptr,
                        std::optional<TqvnFile>* aPicture = nullptr);

// A "messageContent" into aMessage's content fields (type, text or caption with its entities,
// file and picture facts, Details); the other fields are left alone.
void ReadMessageContent(const TqvnTDLibObject& aContent, TqvnMessage& aMessage,
                        std::optional<TqvnFile>* aFile = nullptr,
                        std::optional<TqvnFile>* aPicture = nullptr);

// The "reactions" of a "messageInteractionInfo" (none for an empty handle), in TDLib's order.
std::vector<TqvnReaction> ReadReactions(const TqvnTDLibObject& aInteractionInfo);

// A "chatPhotoInfo" into aChat's PhotoFileId and PhotoMinithumbnail (cleared for an empty one).
void ReadChatPhoto(const TqvnTDLibObject& aPhoto, TqvnChat& aChat);

// A "chatNotificationSettings": whether the chat mutes itself, or nothing when it follows the
// default of its kind (use_default_mute_for).
std::optional<bool> ReadOwnMute(const TqvnTDLibObject& aSettings);

// A "UserStatus" into aUser's Status and StatusTime.
void ReadUserStatus(const TqvnTDLibObject& aStatus, TqvnUser& aUser);

// A "minithumbnail"; empty (no bytes) when its data is not clean base64.
TqvnMinithumbnail ReadMinithumbnail(const TqvnTDLibObject& aMinithumbnail);

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
