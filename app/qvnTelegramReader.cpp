#include "app/qvnTelegramReader.h"

#include <string>

namespace qvn {
namespace {

std::string TypeOf(const TqvnTDLibObject& aObject) {
  return PlainText(NodeAt(aObject, {"@type"}));
}

// The elements of a list node (none for an empty handle).
int Count(const IqvnObjectJSON& aList) {
  return aList && aList->JSONType() == qvnJSONList ? aList->Count() : 0;
}

// The file of a media content, with the message's copy of its id and size.
void TakeFile(const IqvnObjectJSON& aFileNode, TqvnMessage& aMessage,
              std::optional<TqvnFile>* aFile) {
  if (!aFileNode) return;
  TqvnFile file = ReadFile(aFileNode);
  aMessage.FileId = file.Id;
  aMessage.FileSize = file.Size;
  if (aFile != nullptr) *aFile = std::move(file);
}

}  // namespace

TqvnUser ReadUser(const TqvnTDLibObject& aUser) {
  TqvnUser user;
  user.Id = Int64Of(NodeAt(aUser, {"id"}));
  user.FirstName = PlainText(NodeAt(aUser, {"first_name"}));
  user.LastName = PlainText(NodeAt(aUser, {"last_name"}));
  IqvnObjectJSON usernames = NodeAt(aUser, {"usernames", "active_usernames"});
  if (Count(usernames) > 0) user.Username = PlainText(usernames->Item(0));
  user.PhoneNumber = PlainText(NodeAt(aUser, {"phone_number"}));
  user.IsBot = TypeOf(NodeAt(aUser, {"type"})) == "userTypeBot";
  return user;
}

TqvnChatPosition ReadChatPosition(const TqvnTDLibObject& aPosition) {
  TqvnChatPosition position;
  position.MainList = TypeOf(NodeAt(aPosition, {"list"})) == "chatListMain";
  position.Order = Int64Of(NodeAt(aPosition, {"order"}));
  position.IsPinned = BooleanOf(NodeAt(aPosition, {"is_pinned"}));
  return position;
}

TqvnChat ReadChat(const TqvnTDLibObject& aChat) {
  TqvnChat chat;
  chat.Id = Int64Of(NodeAt(aChat, {"id"}));
  chat.Type = TypeOf(NodeAt(aChat, {"type"}));
  chat.UserId = Int64Of(NodeAt(aChat, {"type", "user_id"}));
  chat.Title = PlainText(NodeAt(aChat, {"title"}));
  IqvnObjectJSON positions = NodeAt(aChat, {"positions"});
  for (int i = 0; i < Count(positions); ++i) {
    const TqvnChatPosition position = ReadChatPosition(positions->Item(i));
    if (!position.MainList) continue;
    chat.Order = position.Order;
    chat.IsPinned = position.IsPinned;
  }
  chat.UnreadCount = Int32Of(NodeAt(aChat, {"unread_count"}));
  if (IqvnObjectJSON last = NodeAt(aChat, {"last_message"})) chat.LastMessage = ReadMessage(last);
  chat.DraftText = ReadDraftText(NodeAt(aChat, {"draft_message"}));
  return chat;
}

TqvnMessage ReadMessage(const TqvnTDLibObject& aMessage, std::optional<TqvnFile>* aFile) {
  TqvnMessage message;
  message.Id = Int64Of(NodeAt(aMessage, {"id"}));
  message.ChatId = Int64Of(NodeAt(aMessage, {"chat_id"}));
  IqvnObjectJSON sender = NodeAt(aMessage, {"sender_id"});
  const std::string senderType = TypeOf(sender);
  if (senderType == "messageSenderUser") message.SenderUserId = Int64Of(NodeAt(sender, {"user_id"}));
  if (senderType == "messageSenderChat") message.SenderChatId = Int64Of(NodeAt(sender, {"chat_id"}));
  message.Date = Int64Of(NodeAt(aMessage, {"date"}));
  message.Outgoing = BooleanOf(NodeAt(aMessage, {"is_outgoing"}));
  IqvnObjectJSON state = NodeAt(aMessage, {"sending_state"});
  const std::string stateType = TypeOf(state);
  if (stateType == "messageSendingStatePending") message.State = TqvnSendState::pending;
  if (stateType == "messageSendingStateFailed") {
    message.State = TqvnSendState::failed;
    const TqvnError error = ReadError(NodeAt(state, {"error"}));
    message.ErrorCode = error.Code;
    message.ErrorMessage = error.Message;
    message.CanRetry = BooleanOf(NodeAt(state, {"can_retry"}));
  }
  message.Edited = Int64Of(NodeAt(aMessage, {"edit_date"})) != 0;
  message.Rights = ReadMessageRights(aMessage);
  ReadMessageContent(NodeAt(aMessage, {"content"}), message, aFile);
  return message;
}

std::optional<TqvnMessageRights> ReadMessageRights(const TqvnTDLibObject& aObject) {
  IqvnObjectJSON canBeEdited = NodeAt(aObject, {"can_be_edited"});
  if (!canBeEdited) return std::nullopt;
  TqvnMessageRights rights;
  rights.CanBeEdited = BooleanOf(canBeEdited);
  rights.CanBeDeletedOnlyForSelf = BooleanOf(NodeAt(aObject, {"can_be_deleted_only_for_self"}));
  rights.CanBeDeletedForAllUsers = BooleanOf(NodeAt(aObject, {"can_be_deleted_for_all_users"}));
  return rights;
}

std::string ReadDraftText(const TqvnTDLibObject& aDraft) {
  if (IqvnObjectJSON text = NodeAt(aDraft, {"content", "text", "text"})) return PlainText(text);
  return PlainText(NodeAt(aDraft, {"input_message_text", "text", "text"}));
}

void ReadMessageContent(const TqvnTDLibObject& aContent, TqvnMessage& aMessage,
                        std::optional<TqvnFile>* aFile) {
  aMessage.ContentType = TypeOf(aContent);
  aMessage.Text = PlainText(NodeAt(aContent, {"caption", "text"}));
  aMessage.FileName.clear();
  aMessage.Emoji.clear();
  aMessage.Width = aMessage.Height = aMessage.Duration = 0;
  aMessage.FileId = 0;
  aMessage.FileSize = 0;
  const std::string& type = aMessage.ContentType;
  // The media object of the content and, inside it, the member holding its file.
  const struct {
    const char* Content;
    const char* Media;
    const char* File;
  } kMedia[] = {
      {"messageDocument", "document", "document"}, {"messageVideo", "video", "video"},
      {"messageAnimation", "animation", "animation"}, {"messageAudio", "audio", "audio"},
      {"messageVoiceNote", "voice_note", "voice"},   {"messageVideoNote", "video_note", "video"},
  };
  if (type == "messageText") {
    aMessage.Text = PlainText(NodeAt(aContent, {"text", "text"}));
  } else if (type == "messagePhoto") {
    IqvnObjectJSON size = LargestPhotoSize(NodeAt(aContent, {"photo", "sizes"}));
    aMessage.Width = Int32Of(NodeAt(size, {"width"}));
    aMessage.Height = Int32Of(NodeAt(size, {"height"}));
    TakeFile(NodeAt(size, {"photo"}), aMessage, aFile);
  } else if (type == "messageSticker") {
    aMessage.Emoji = PlainText(NodeAt(aContent, {"sticker", "emoji"}));
  } else {
    for (const auto& kind : kMedia) {
      if (type != kind.Content) continue;
      IqvnObjectJSON media = NodeAt(aContent, {kind.Media});
      aMessage.FileName = PlainText(NodeAt(media, {"file_name"}));
      aMessage.Duration = Int32Of(NodeAt(media, {"duration"}));
      aMessage.Width = Int32Of(NodeAt(media, {"width"}));
      aMessage.Height = Int32Of(NodeAt(media, {"height"}));
      TakeFile(NodeAt(media, {kind.File}), aMessage, aFile);
    }
  }
}

TqvnFile ReadFile(const TqvnTDLibObject& aFile) {
  TqvnFile file;
  file.Id = Int32Of(NodeAt(aFile, {"id"}));
  file.Size = Int64Of(NodeAt(aFile, {"size"}));
  if (file.Size == 0) file.Size = Int64Of(NodeAt(aFile, {"expected_size"}));
  IqvnObjectJSON local = NodeAt(aFile, {"local"});
  file.LocalPath = PlainText(NodeAt(local, {"path"}));
  file.CanBeDownloaded = BooleanOf(NodeAt(local, {"can_be_downloaded"}));
  file.Downloading = BooleanOf(NodeAt(local, {"is_downloading_active"}));
  file.Downloaded = BooleanOf(NodeAt(local, {"is_downloading_completed"}));
  file.DownloadedSize = Int64Of(NodeAt(local, {"downloaded_size"}));
  IqvnObjectJSON remote = NodeAt(aFile, {"remote"});
  file.Uploading = BooleanOf(NodeAt(remote, {"is_uploading_active"}));
  file.UploadedSize = Int64Of(NodeAt(remote, {"uploaded_size"}));
  return file;
}

TqvnError ReadError(const TqvnTDLibObject& aError) {
  return {Int32Of(NodeAt(aError, {"code"})), PlainText(NodeAt(aError, {"message"}))};
}

}  // namespace qvn
