// The facts the window keeps about an account, as plain values: users, chats, messages and
// files, read from TDLib's objects (qvnTelegramReader.h) and held by the chat model
// (qvnChatModel.h). Texts are UTF-8 with TDLib's JSON escapes already decoded. No Qt, no
// behaviour: copy them freely, on one thread at a time.
#ifndef QVN_APP_QVNCHATTYPES_H
#define QVN_APP_QVNCHATTYPES_H

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace qvn {

// A TDLib file: its size and how far its download or upload has come.
struct TqvnFile {
  int32_t Id = 0;
  int64_t Size = 0;  // the exact size, or TDLib's expected size while the exact one is unknown
  std::string LocalPath;  // where TDLib keeps the local copy, or ""
  bool CanBeDownloaded = false;
  bool Downloading = false;
  bool Downloaded = false;
  int64_t DownloadedSize = 0;
  bool Uploading = false;
  int64_t UploadedSize = 0;
};

// What TDLib allows to be done with a message: the message's own members in older releases,
// the answer to getMessageProperties in newer ones.
struct TqvnMessageRights {
  bool CanBeEdited = false;
  bool CanBeDeletedOnlyForSelf = false;
  bool CanBeDeletedForAllUsers = false;
};

// A range of a message's text that TDLib marks: formatting, a link, a mention. Offset and
// Length count UTF-16 units of the text, as TDLib does.
struct TqvnTextEntity {
  int32_t Offset = 0;
  int32_t Length = 0;
  // TDLib's entity type without its "textEntityType" prefix: "Bold", "Italic", "Underline",
  // "Strikethrough", "Spoiler", "Code", "Pre", "PreCode", "Url", "TextUrl", "EmailAddress",
  // "Mention", "MentionName", "Hashtag", "Cashtag", "BotCommand", "PhoneNumber", ...
  std::string Type;
  std::string Url;      // of a TextUrl
  int64_t UserId = 0;   // of a MentionName
};

// One reaction under a message and how many chose it.
struct TqvnReaction {
  std::string Emoji;  // the emoji; "" for a custom emoji or a paid reaction (then Label says)
  std::string Label;  // "★" for a paid reaction, "custom" for a custom emoji; "" for an emoji
  int32_t Count = 0;
  bool Chosen = false;  // the account chose it
};

// The tiny blurred picture TDLib sends inside a message or chat: shown until the real one is
// downloaded.
struct TqvnMinithumbnail {
  int32_t Width = 0;
  int32_t Height = 0;
  std::string Jpeg;  // the JPEG's bytes (TDLib's base64 undone); "" for none
};

// Who a forwarded message came from first: one of the three is set.
struct TqvnForwardOrigin {
  int64_t UserId = 0;
  int64_t ChatId = 0;      // a chat or channel
  std::string SenderName;  // a user who hides their account
};

// One answer of a poll and its votes.
struct TqvnPollOption {
  std::string Text;
  int32_t VoterCount = 0;
  bool Chosen = false;  // the account voted for it
};

// What a message says that is neither its text nor its file: a poll, a place, a contact, a
// call, a die, or the people and title a service message names. Only its kind's members are set.
struct TqvnMessageDetails {
  // A poll's question, a venue's name, a contact's name, a group's new or first title.
  std::string Title;
  std::string Address;  // of a venue
  double Latitude = 0;  // of a location or venue
  double Longitude = 0;
  std::string PhoneNumber;  // of a contact
  // The users a service message names (added or removed members); a contact's user.
  std::vector<int64_t> UserIds;
  std::vector<TqvnPollOption> PollOptions;
  int32_t PollVoterCount = 0;
  bool IsQuiz = false;
  bool PollClosed = false;
  bool IsVideoCall = false;
  // How a call ended, TDLib's reason without "callDiscardReason": "Missed", "Declined",
  // "Disconnected", "HungUp" or "Empty".
  std::string CallEnd;
  int32_t DiceValue = 0;  // 0 while the die still rolls
  int64_t PinnedMessageId = 0;  // of a pin message
};

// Where a message stands: Sent covers every message TDLib holds as sent (incoming ones too).
enum class TqvnSendState { sent, pending, failed };

struct TqvnMessage {
  // TDLib's id (a temporary one while the message is being sent); 0 for a message the window
  // sent that TDLib has not answered yet (then LocalKey names it).
  int64_t Id = 0;
  int64_t ChatId = 0;
  int64_t SenderUserId = 0;  // exactly one of the two senders is set
  int64_t SenderChatId = 0;
  int64_t Date = 0;  // Unix time
  bool Outgoing = false;
  TqvnSendState State = TqvnSendState::sent;
  // Why a failed message was not sent, and whether TDLib can send it again.
  int32_t ErrorCode = 0;
  std::string ErrorMessage;
  bool CanRetry = false;
  std::string ContentType;  // TDLib's content type, e.g. "messageText", "messagePhoto"
  std::string Text;         // the text, or the caption of a media message
  std::vector<TqvnTextEntity> Entities;  // TDLib's ranges of Text
  std::string FileName;     // of a document, video, audio or animation ("" when TDLib has none)
  std::string Emoji;        // of a sticker
  int32_t Width = 0;        // of a photo (its largest size) or a video
  int32_t Height = 0;
  int32_t Duration = 0;   // seconds, of a video, audio, voice or video note
  int32_t FileId = 0;     // the file a click offers (a photo's largest size); 0 for none
  // The picture shown in the conversation: a photo's size that fits the view, a video's or an
  // animation's thumbnail, a sticker in a format Qt draws (WEBP); 0 for none.
  int32_t PictureFileId = 0;
  int32_t PictureWidth = 0;
  int32_t PictureHeight = 0;
  TqvnMinithumbnail Minithumbnail;  // of a photo, video or animation
  int64_t FileSize = 0;   // that file's size when the message was read
  std::string LocalKey;   // set on the messages the window sent
  bool Edited = false;    // TDLib reports an edit of it
  int64_t ReplyToChatId = 0;     // the message it replies to (its chat may be another one)
  int64_t ReplyToMessageId = 0;  // 0 when it replies to none
  std::optional<TqvnForwardOrigin> ForwardedFrom;  // set on a forwarded message
  std::vector<TqvnReaction> Reactions;             // in TDLib's order
  std::optional<TqvnMessageRights> Rights;  // unknown until TDLib tells
  TqvnMessageDetails Details;
};

struct TqvnUser {
  int64_t Id = 0;
  std::string FirstName;
  std::string LastName;
  std::string Username;  // the first active username, without "@"
  std::string PhoneNumber;
  bool IsBot = false;
  // TDLib's status without its "userStatus" prefix ("Online", "Offline", "Recently",
  // "LastWeek", "LastMonth", "Empty") and its time: until when online, or when last seen.
  std::string Status = "Empty";
  int64_t StatusTime = 0;
  int32_t PhotoFileId = 0;  // the small profile photo; 0 for none
};

// A chat's place in one of TDLib's chat lists; Order 0 means it is not in that list.
struct TqvnChatPosition {
  bool MainList = false;  // chatListMain (otherwise the archive or a folder)
  int64_t Order = 0;
  bool IsPinned = false;
};

struct TqvnChat {
  int64_t Id = 0;
  std::string Type;  // TDLib's chat type, e.g. "chatTypePrivate"
  int64_t UserId = 0;  // the other user of a private or secret chat
  std::string Title;
  int64_t Order = 0;  // position in the main list; 0 while it is not in it
  bool IsPinned = false;
  int32_t UnreadCount = 0;
  std::optional<TqvnMessage> LastMessage;
  std::string DraftText;  // the unsent text kept as TDLib's draft; "" for none
  int64_t LastReadInboxMessageId = 0;
  int64_t LastReadOutboxMessageId = 0;  // outgoing messages up to this one were read
  bool Muted = false;  // its notifications are muted (its own setting or its kind's default)
  int32_t PhotoFileId = 0;  // the small chat photo; 0 for none
  TqvnMinithumbnail PhotoMinithumbnail;
  int64_t SupergroupId = 0;  // of a supergroup or channel
  int64_t BasicGroupId = 0;  // of a basic group
  bool IsChannel = false;
};

// An "error" object: TDLib's code and message.
struct TqvnError {
  int32_t Code = 0;
  std::string Message;
};

}  // namespace qvn

#endif  // QVN_APP_QVNCHATTYPES_H
