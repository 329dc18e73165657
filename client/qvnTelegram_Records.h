// Typed records handed to the client's record events (OnMessageText, OnMessageDocument,
// OnMessagePhoto, OnMessageVideo, OnMessageSponsored, OnNewChat, OnNewCallbackQuery).
//
// Each record fills itself once, with ReadJSON, from one whole TDLib event text (or with
// ReadDocument from a document that text was read into):
//   TqvnTelegramMessageText       "updateNewMessage" whose content is "messageText"
//   TqvnTelegramMessageDocument   "updateNewMessage" whose content is "messageDocument"
//   TqvnTelegramMessagePhoto      "updateNewMessage" whose content is "messagePhoto"
//   TqvnTelegramMessageVideo      "updateNewMessage" whose content is "messageVideo"
//   TqvnTelegramMessageSponsored  "sponsoredMessage"
//   TqvnTelegramChat              "updateNewChat"
//   TqvnTelegramCallbackQuery     "updateNewCallbackQuery"
//
// Reading rules. A record starts with every field zero (empty texts, 0, false, no sub-objects).
// Every member is looked up before it is used: an absent member leaves its field zero and is no
// error. Texts are UTF-8. Fields documented as "unescaped" hold the plain text (the JSON escapes
// decoded); every other text field holds the member exactly as it stands in the event text,
// escape sequences included (a backslash in a local path stays written as "\\"). Identifiers
// are held as decimal text or as integers, as each field says.
//
// Failures. A member whose value does not convert (a word where an integer or a boolean is
// read) throws EqvnConvertError, and a bad escape sequence in an unescaped text throws
// EqvnUnescapeError; ReadJSON stops at that field. Malformed JSON never throws: the record gets
// what was read before the first error.
//
// Ownership and threads. The client's firer creates a record only when its event has a handler,
// fills it, lends it to the handler for that one call and frees it; a handler that wants to keep
// a value copies it. A record is used on one thread only. SenderChat, SenderUser and PayLoadData
// create their sub-object on first use; the record owns and frees them.
#ifndef QVN_CLIENT_QVNTELEGRAM_RECORDS_H
#define QVN_CLIENT_QVNTELEGRAM_RECORDS_H

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "json/qvnJSON.h"

namespace qvn {

// The sender of a message when it is a chat ("messageSenderChat").
class TqvnTelegramMessageSenderChat {
 public:
  // The chat id as decimal text.
  const std::string& ChatId() const { return FChatId; }
  void SetChatId(std::string aValue) { FChatId = std::move(aValue); }

 private:
  std::string FChatId;
};

// The sender of a message when it is a user ("messageSenderUser").
class TqvnTelegramMessageSenderUser {
 public:
  // The user id as decimal text.
  const std::string& UserId() const { return FUserId; }
  void SetUserId(std::string aValue) { FUserId = std::move(aValue); }

 private:
  std::string FUserId;
};

// What the four message records share, read from the event's "message" object.
class TqvnTelegramMessageBase {
 public:
  TqvnTelegramMessageBase();
  virtual ~TqvnTelegramMessageBase();
  TqvnTelegramMessageBase(const TqvnTelegramMessageBase&) = delete;
  TqvnTelegramMessageBase& operator=(const TqvnTelegramMessageBase&) = delete;

  // Fills the record from an "updateNewMessage" text: message."chat_id", "id",
  // "sender_user_id" (older layout), the sender object (newer layout, see SenderChat and
  // SenderUser), then the content (ReadContent) and its caption.
  virtual void ReadJSON(std::string_view aText);
  // The same from aDocument, into which the whole event text has already been read: the client's
  // firers hand over the dispatcher's document so that each event text is read only once.
  void ReadDocument(const TqvnJSON& aDocument);

  // message.content.caption.text, unescaped; empty for a text message.
  const std::string& CaptionText() const { return FCaptionText; }
  void SetCaptionText(std::string aValue) { FCaptionText = std::move(aValue); }
  // message.chat_id as decimal text.
  const std::string& ChatId() const { return FChatId; }
  void SetChatId(std::string aValue) { FChatId = std::move(aValue); }
  // message.id.
  int64_t MessageId() const { return FMessageId; }
  void SetMessageId(int64_t aValue) { FMessageId = aValue; }
  // Filled when the message's sender object ("sender", or "sender_id" as TDLib 1.8 and later
  // name it) is a "messageSenderChat"; created empty on first use.
  TqvnTelegramMessageSenderChat& SenderChat();
  void SetSenderChat(const TqvnTelegramMessageSenderChat& aValue) { SenderChat() = aValue; }
  // Filled when the message's sender object is a "messageSenderUser"; created empty on first use.
  TqvnTelegramMessageSenderUser& SenderUser();
  void SetSenderUser(const TqvnTelegramMessageSenderUser& aValue) { SenderUser() = aValue; }
  // message.sender_user_id, TDLib's older layout; 0 in the newer one.
  int64_t SenderUserId() const { return FSenderUserId; }
  void SetSenderUserId(int64_t aValue) { FSenderUserId = aValue; }

 protected:
  // Reads the fields of the derived record from the message's "content" node.
  virtual void ReadContent(TqvnObjectJSON& aContent) = 0;

 private:
  std::string FCaptionText;
  std::string FChatId;
  int64_t FMessageId = 0;
  std::unique_ptr<TqvnTelegramMessageSenderChat> FSenderChat;
  std::unique_ptr<TqvnTelegramMessageSenderUser> FSenderUser;
  int64_t FSenderUserId = 0;
};

// A text message ("messageText").
class TqvnTelegramMessageText : public TqvnTelegramMessageBase {
 public:
  // content.text.text, unescaped.
  const std::string& Text() const { return FText; }
  void SetText(std::string aValue) { FText = std::move(aValue); }

 protected:
  void ReadContent(TqvnObjectJSON& aContent) override;

 private:
  std::string FText;
};

// A document message ("messageDocument"); the fields come from content.document.
class TqvnTelegramMessageDocument : public TqvnTelegramMessageBase {
 public:
  // file_name, unescaped.
  const std::string& FileName() const { return FFileName; }
  void SetFileName(std::string aValue) { FFileName = std::move(aValue); }
  // document.id (TDLib's local file id) as text.
  const std::string& DocumentId() const { return FDocumentId; }
  void SetDocumentId(std::string aValue) { FDocumentId = std::move(aValue); }
  // document.local.path, as it stands in the JSON text.
  const std::string& LocalPath() const { return FLocalPath; }
  void SetLocalPath(std::string aValue) { FLocalPath = std::move(aValue); }
  // mime_type.
  const std::string& MimeType() const { return FMimeType; }
  void SetMimeType(std::string aValue) { FMimeType = std::move(aValue); }
  // document.remote.id.
  const std::string& RemoteDocumentId() const { return FRemoteDocumentId; }
  void SetRemoteDocumentId(std::string aValue) { FRemoteDocumentId = std::move(aValue); }
  // document.size in bytes.
  int64_t Size() const { return FSize; }
  void SetSize(int64_t aValue) { FSize = aValue; }

 protected:
  void ReadContent(TqvnObjectJSON& aContent) override;

 private:
  std::string FFileName;
  std::string FDocumentId;
  std::string FLocalPath;
  std::string FMimeType;
  std::string FRemoteDocumentId;
  int64_t FSize = 0;
};

// A photo message ("messagePhoto"). The file fields come from the first entry of
// content.photo.sizes, in TDLib's order, and stay empty when there is none.
class TqvnTelegramMessagePhoto : public TqvnTelegramMessageBase {
 public:
  // sizes[0].photo.local.path, as it stands in the JSON text.
  const std::string& LocalPath() const { return FLocalPath; }
  void SetLocalPath(std::string aValue) { FLocalPath = std::move(aValue); }
  // content.photo.id as text. TDLib 1.8 photos carry no id: then the remote unique id of the
  // largest size (most pixels; the later one of equal sizes), which names the photo for good.
  const std::string& PhotoId() const { return FPhotoId; }
  void SetPhotoId(std::string aValue) { FPhotoId = std::move(aValue); }
  // sizes[0].photo.remote.id.
  const std::string& RemotePhotoId() const { return FRemotePhotoId; }
  void SetRemotePhotoId(std::string aValue) { FRemotePhotoId = std::move(aValue); }
  // sizes[0].photo.size in bytes.
  int64_t Size() const { return FSize; }
  void SetSize(int64_t aValue) { FSize = aValue; }

 protected:
  void ReadContent(TqvnObjectJSON& aContent) override;

 private:
  std::string FLocalPath;
  std::string FPhotoId;
  std::string FRemotePhotoId;
  int64_t FSize = 0;
};

// A video message ("messageVideo"); the fields come from content.video.
class TqvnTelegramMessageVideo : public TqvnTelegramMessageBase {
 public:
  // video.local.path, as it stands in the JSON text.
  const std::string& LocalPath() const { return FLocalPath; }
  void SetLocalPath(std::string aValue) { FLocalPath = std::move(aValue); }
  // video.remote.id.
  const std::string& RemoteVideoId() const { return FRemoteVideoId; }
  void SetRemoteVideoId(std::string aValue) { FRemoteVideoId = std::move(aValue); }
  // duration, as TDLib gives it (seconds).
  int64_t Duration() const { return FDuration; }
  void SetDuration(int64_t aValue) { FDuration = aValue; }
  int32_t Height() const { return FHeight; }
  void SetHeight(int32_t aValue) { FHeight = aValue; }
  // video.size in bytes.
  int64_t Size() const { return FSize; }
  void SetSize(int64_t aValue) { FSize = aValue; }
  // video.id (TDLib's local file id) as text.
  const std::string& VideoId() const { return FVideoId; }
  void SetVideoId(std::string aValue) { FVideoId = std::move(aValue); }
  int32_t Width() const { return FWidth; }
  void SetWidth(int32_t aValue) { FWidth = aValue; }

 protected:
  void ReadContent(TqvnObjectJSON& aContent) override;

 private:
  std::string FLocalPath;
  std::string FRemoteVideoId;
  int64_t FDuration = 0;
  int32_t FHeight = 0;
  int64_t FSize = 0;
  std::string FVideoId;
  int32_t FWidth = 0;
};

// A sponsored message: TDLib's "sponsoredMessage" answer, read at the top level of the text, or
// one element of the "sponsoredMessages" list that newer TDLib versions answer with instead.
class TqvnTelegramMessageSponsored {
 public:
  virtual ~TqvnTelegramMessageSponsored() = default;

  virtual void ReadJSON(std::string_view aText);
  // The same from aDocument, into which the whole event text has already been read: the client's
  // firers hand over the dispatcher's document so that each event text is read only once.
  void ReadDocument(const TqvnJSON& aDocument);
  // The same from one "sponsoredMessage" object inside a larger event (an element of the
  // "messages" list of "sponsoredMessages"). Members that are absent leave their field empty.
  void ReadMessage(const IqvnObjectJSON& aMessage);

  // message_id as text.
  const std::string& MessageId() const { return FMessageId; }
  void SetMessageId(std::string aValue) { FMessageId = std::move(aValue); }
  // sponsor_chat_id as text.
  const std::string& SponsorChatId() const { return FSponsorChatId; }
  void SetSponsorChatId(std::string aValue) { FSponsorChatId = std::move(aValue); }
  // content.text.text, unescaped.
  const std::string& Text() const { return FText; }
  void SetText(std::string aValue) { FText = std::move(aValue); }

 private:
  std::string FMessageId;
  std::string FSponsorChatId;
  std::string FText;
};

// A chat announced by "updateNewChat", read from its "chat" object.
class TqvnTelegramChat {
 public:
  virtual ~TqvnTelegramChat() = default;

  virtual void ReadJSON(std::string_view aText);
  // The same from aDocument, into which the whole event text has already been read: the client's
  // firers hand over the dispatcher's document so that each event text is read only once.
  void ReadDocument(const TqvnJSON& aDocument);

  // chat.id as decimal text.
  const std::string& ChatId() const { return FChatId; }
  void SetChatId(std::string aValue) { FChatId = std::move(aValue); }
  // TDLib's name of the chat type (type."@type"): "chatTypePrivate", "chatTypeBasicGroup",
  // "chatTypeSupergroup", "chatTypeSecret".
  const std::string& ChatType() const { return FChatType; }
  void SetChatType(std::string aValue) { FChatType = std::move(aValue); }
  // type.is_channel, read only for a type that carries "supergroup_id".
  bool IsChannel() const { return FIsChannel; }
  void SetIsChannel(bool aValue) { FIsChannel = aValue; }
  // type.supergroup_id; 0 for other chat types.
  int64_t SuperGroupId() const { return FSuperGroupId; }
  void SetSuperGroupId(int64_t aValue) { FSuperGroupId = aValue; }
  // chat.title, unescaped.
  const std::string& Title() const { return FTitle; }
  void SetTitle(std::string aValue) { FTitle = std::move(aValue); }

 private:
  std::string FChatId;
  std::string FChatType;
  bool FIsChannel = false;
  int64_t FSuperGroupId = 0;
  std::string FTitle;
};

// The data a pressed inline-keyboard callback button carries.
class TqvnTelegramCallbackQueryPayloadData {
 public:
  // The data exactly as the button's creator gave it: the inline keyboard (qvnTelegram_
  // ReplyMarkup.h) sends it escaped, which is printable ASCII, and that escaping is undone here.
  // Data of any other form (bytes outside printable ASCII, or escapes that do not decode) was
  // not made that way and is handed on as TDLib decoded it, byte for byte.
  const std::string& Data() const { return FData; }
  void SetData(std::string aValue) { FData = std::move(aValue); }

 private:
  std::string FData;
};

// A callback query announced by "updateNewCallbackQuery", read at the top level of the text.
class TqvnTelegramCallbackQuery {
 public:
  TqvnTelegramCallbackQuery();
  virtual ~TqvnTelegramCallbackQuery();
  TqvnTelegramCallbackQuery(const TqvnTelegramCallbackQuery&) = delete;
  TqvnTelegramCallbackQuery& operator=(const TqvnTelegramCallbackQuery&) = delete;

  virtual void ReadJSON(std::string_view aText);
  // The same from aDocument, into which the whole event text has already been read: the client's
  // firers hand over the dispatcher's document so that each event text is read only once.
  void ReadDocument(const TqvnJSON& aDocument);

  // chat_id as decimal text.
  const std::string& ChatId() const { return FChatId; }
  void SetChatId(std::string aValue) { FChatId = std::move(aValue); }
  const std::string& ChatInstance() const { return FChatInstance; }
  void SetChatInstance(std::string aValue) { FChatInstance = std::move(aValue); }
  // The query id, needed to answer the query.
  const std::string& Id() const { return FId; }
  void SetId(std::string aValue) { FId = std::move(aValue); }
  int64_t MessageId() const { return FMessageId; }
  void SetMessageId(int64_t aValue) { FMessageId = aValue; }
  // For a "callbackQueryPayloadData" or "callbackQueryPayloadDataWithPassword" payload: its
  // data with the Base64 decoded and the JSON escapes that the inline keyboard added undone
  // (see TqvnTelegramCallbackQueryPayloadData). Created empty on first use.
  TqvnTelegramCallbackQueryPayloadData& PayLoadData();
  void SetPayLoadData(const TqvnTelegramCallbackQueryPayloadData& aValue) {
    PayLoadData() = aValue;
  }
  int64_t SenderUserId() const { return FSenderUserId; }
  void SetSenderUserId(int64_t aValue) { FSenderUserId = aValue; }

 private:
  std::string FChatId;
  std::string FChatInstance;
  std::string FId;
  int64_t FMessageId = 0;
  std::unique_ptr<TqvnTelegramCallbackQueryPayloadData> FPayLoadData;
  int64_t FSenderUserId = 0;
};

}  // namespace qvn

#endif  // QVN_CLIENT_QVNTELEGRAM_RECORDS_H
