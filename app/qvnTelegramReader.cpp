#include "app/qvnTelegramReader.h"

#include <initializer_list>
#include <string_view>

#include "client/qvnTelegram_NodeText.h"
#include "json/qvnBase_Helpers.h"

namespace qvn {
namespace {

// The node reached from aNode through aPath, outside in; empty when any member is absent.
IqvnObjectJSON At(IqvnObjectJSON aNode, std::initializer_list<std::string_view> aPath) {
  for (std::string_view name : aPath) {
    if (!aNode) break;
    aNode = aNode->GetNode(name);
  }
  return aNode;
}

std::string Text(const IqvnObjectJSON& aNode) {
  return aNode ? UnescapeJSONString(NodeText(*aNode)) : std::string();
}

std::string TypeOf(const IqvnObjectJSON& aNode) {
  return Text(At(aNode, {"@type"}));
}

int64_t Int64(const IqvnObjectJSON& aNode) {
  return aNode ? aNode->Value().AsInt64() : 0;
}

int32_t Int32(const IqvnObjectJSON& aNode) {
  return aNode ? aNode->Value().AsInteger() : 0;
}

bool Boolean(const IqvnObjectJSON& aNode) {
  return aNode ? aNode->Value().AsBoolean() : false;
}

// The elements of a list node (none for an empty handle).
int Count(const IqvnObjectJSON& aList) {
  return aList ? aList->Count() : 0;
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

// The largest of a photo's sizes (by pixels; TDLib lists them smallest first).
IqvnObjectJSON LargestPhotoSize(const IqvnObjectJSON& aSizes) {
  IqvnObjectJSON largest;
  int64_t largestPixels = -1;
  for (int i = 0; i < Count(aSizes); ++i) {
    IqvnObjectJSON size = aSizes->Item(i);
    const int64_t pixels =
        static_cast<int64_t>(Int32(At(size, {"width"}))) * Int32(At(size, {"height"}));
    if (pixels > largestPixels) {
      largest = size;
      largestPixels = pixels;
    }
  }
  return largest;
}

}  // namespace

TqvnUser ReadUser(const IqvnObjectJSON& aUser) {
  TqvnUser user;
  user.Id = Int64(At(aUser, {"id"}));
  user.FirstName = Text(At(aUser, {"first_name"}));
  user.LastName = Text(At(aUser, {"last_name"}));
  IqvnObjectJSON usernames = At(aUser, {"usernames", "active_usernames"});
  if (Count(usernames) > 0) user.Username = Text(usernames->Item(0));
  user.PhoneNumber = Text(At(aUser, {"phone_number"}));
  user.IsBot = TypeOf(At(aUser, {"type"})) == "userTypeBot";
  return user;
}

TqvnChatPosition ReadChatPosition(const IqvnObjectJSON& aPosition) {
  TqvnChatPosition position;
  position.MainList = TypeOf(At(aPosition, {"list"})) == "chatListMain";
  position.Order = Int64(At(aPosition, {"order"}));
  position.IsPinned = Boolean(At(aPosition, {"is_pinned"}));
  return position;
}

TqvnChat ReadChat(const IqvnObjectJSON& aChat) {
  TqvnChat chat;
  chat.Id = Int64(At(aChat, {"id"}));
  chat.Type = TypeOf(At(aChat, {"type"}));
  chat.UserId = Int64(At(aChat, {"type", "user_id"}));
  chat.Title = Text(At(aChat, {"title"}));
  IqvnObjectJSON positions = At(aChat, {"positions"});
  for (int i = 0; i < Count(positions); ++i) {
    const TqvnChatPosition position = ReadChatPosition(positions->Item(i));
    if (!position.MainList) continue;
    chat.Order = position.Order;
    chat.IsPinned = position.IsPinned;
  }
  chat.UnreadCount = Int32(At(aChat, {"unread_count"}));
  if (IqvnObjectJSON last = At(aChat, {"last_message"})) chat.LastMessage = ReadMessage(last);
  return chat;
}

TqvnMessage ReadMessage(const IqvnObjectJSON& aMessage, std::optional<TqvnFile>* aFile) {
  TqvnMessage message;
  message.Id = Int64(At(aMessage, {"id"}));
  message.ChatId = Int64(At(aMessage, {"chat_id"}));
  IqvnObjectJSON sender = At(aMessage, {"sender_id"});
  const std::string senderType = TypeOf(sender);
  if (senderType == "messageSenderUser") message.SenderUserId = Int64(At(sender, {"user_id"}));
  if (senderType == "messageSenderChat") message.SenderChatId = Int64(At(sender, {"chat_id"}));
  message.Date = Int64(At(aMessage, {"date"}));
  message.Outgoing = Boolean(At(aMessage, {"is_outgoing"}));
  IqvnObjectJSON state = At(aMessage, {"sending_state"});
  const std::string stateType = TypeOf(state);
  if (stateType == "messageSendingStatePending") message.State = TqvnSendState::pending;
  if (stateType == "messageSendingStateFailed") {
    message.State = TqvnSendState::failed;
    const TqvnError error = ReadError(At(state, {"error"}));
    message.ErrorCode = error.Code;
    message.ErrorMessage = error.Message;
    message.CanRetry = Boolean(At(state, {"can_retry"}));
  }
  ReadMessageContent(At(aMessage, {"content"}), message, aFile);
  return message;
}

void ReadMessageContent(const IqvnObjectJSON& aContent, TqvnMessage& aMessage,
                        std::optional<TqvnFile>* aFile) {
  aMessage.ContentType = TypeOf(aContent);
  aMessage.Text = Text(At(aContent, {"caption", "text"}));
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
    aMessage.Text = Text(At(aContent, {"text", "text"}));
  } else if (type == "messagePhoto") {
    IqvnObjectJSON size = LargestPhotoSize(At(aContent, {"photo", "sizes"}));
    aMessage.Width = Int32(At(size, {"width"}));
    aMessage.Height = Int32(At(size, {"height"}));
    TakeFile(At(size, {"photo"}), aMessage, aFile);
  } else if (type == "messageSticker") {
    aMessage.Emoji = Text(At(aContent, {"sticker", "emoji"}));
  } else {
    for (const auto& kind : kMedia) {
      if (type != kind.Content) continue;
      IqvnObjectJSON media = At(aContent, {kind.Media});
      aMessage.FileName = Text(At(media, {"file_name"}));
      aMessage.Duration = Int32(At(media, {"duration"}));
      aMessage.Width = Int32(At(media, {"width"}));
      aMessage.Height = Int32(At(media, {"height"}));
      TakeFile(At(media, {kind.File}), aMessage, aFile);
    }
  }
}

TqvnFile ReadFile(const IqvnObjectJSON& aFile) {
  TqvnFile file;
  file.Id = Int32(At(aFile, {"id"}));
  file.Size = Int64(At(aFile, {"size"}));
  if (file.Size == 0) file.Size = Int64(At(aFile, {"expected_size"}));
  IqvnObjectJSON local = At(aFile, {"local"});
  file.LocalPath = Text(At(local, {"path"}));
  file.CanBeDownloaded = Boolean(At(local, {"can_be_downloaded"}));
  file.Downloading = Boolean(At(local, {"is_downloading_active"}));
  file.Downloaded = Boolean(At(local, {"is_downloading_completed"}));
  file.DownloadedSize = Int64(At(local, {"downloaded_size"}));
  IqvnObjectJSON remote = At(aFile, {"remote"});
  file.Uploading = Boolean(At(remote, {"is_uploading_active"}));
  file.UploadedSize = Int64(At(remote, {"uploaded_size"}));
  return file;
}

TqvnError ReadError(const IqvnObjectJSON& aError) {
  return {Int32(At(aError, {"code"})), Text(At(aError, {"message"}))};
}

}  // namespace qvn
