#include "app/qvnTelegramReader.h"

#include <algorithm>
#include <string>
#include <string_view>

#include "json/qvnBase_Helpers.h"

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

// aType without aPrefix ("textEntityTypeBold" → "Bold").
std::string WithoutPrefix(std::string aType, std::string_view aPrefix) {
  if (std::string_view(aType).substr(0, aPrefix.size()) == aPrefix) aType.erase(0, aPrefix.size());
  return aType;
}

// Base64 as TDLib writes bytes: the standard alphabet, "=" fill only at the end, whole groups.
bool IsCleanBase64(std::string_view aText) {
  if (aText.empty() || aText.size() % 4 != 0) return false;
  size_t fill = 0;
  while (fill < aText.size() && aText[aText.size() - 1 - fill] == '=') ++fill;
  if (fill > 2) return false;
  for (char c : aText.substr(0, aText.size() - fill)) {
    const bool inAlphabet = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                            (c >= '0' && c <= '9') || c == '+' || c == '/';
    if (!inAlphabet) return false;
  }
  return true;
}

// The "entities" of a "formattedText".
std::vector<TqvnTextEntity> ReadEntities(const TqvnTDLibObject& aText) {
  std::vector<TqvnTextEntity> entities;
  for (const TqvnTDLibObject& item : aText.Items("entities")) {
    TqvnTextEntity entity;
    entity.Offset = item.Get<int32_t>("offset");
    entity.Length = item.Get<int32_t>("length");
    entity.Type = WithoutPrefix(item.Text("type", "@type"), "textEntityType");
    entity.Url = item.Text("type", "url");
    entity.UserId = item.Get<int64_t>("type", "user_id");
    entities.push_back(std::move(entity));
  }
  return entities;
}

// A formattedText into Text and Entities together, so they always belong to each other.
void TakeText(const TqvnTDLibObject& aText, TqvnMessage& aMessage) {
  aMessage.Text = aText.Text("text");
  aMessage.Entities = ReadEntities(aText);
}

void TakePicture(const TqvnTDLibObject& aFileNode, int32_t aWidth, int32_t aHeight,
                 TqvnMessage& aMessage, std::optional<TqvnFile>* aPicture) {
  if (!aFileNode) return;
  TqvnFile file = ReadFile(aFileNode);
  aMessage.PictureFileId = file.Id;
  aMessage.PictureWidth = aWidth;
  aMessage.PictureHeight = aHeight;
  if (aPicture != nullptr) *aPicture = std::move(file);
}

// The photo size that fits a view 320–800 px wide: the smallest whose longer side reaches 320,
// else the largest.
void TakePhotoPicture(const TqvnTDLibObject& aPhoto, TqvnMessage& aMessage,
                      std::optional<TqvnFile>* aPicture) {
  constexpr int32_t kFitSide = 320;
  std::optional<TqvnTDLibObject> fitting, largest;
  int64_t fittingArea = 0, largestArea = -1;
  for (const TqvnTDLibObject& size : aPhoto.Items("sizes")) {
    const int32_t width = size.Get<int32_t>("width"), height = size.Get<int32_t>("height");
    const int64_t area = int64_t{width} * height;
    if (area >= largestArea) largestArea = area, largest = size;
    if (std::max(width, height) >= kFitSide && (!fitting || area < fittingArea)) {
      fittingArea = area, fitting = size;
    }
  }
  const std::optional<TqvnTDLibObject>& chosen = fitting ? fitting : largest;
  if (!chosen) return;
  TakePicture(chosen->Object("photo"), chosen->Get<int32_t>("width"),
              chosen->Get<int32_t>("height"), aMessage, aPicture);
}

// A "thumbnail" in a format Qt draws.
void TakeThumbnailPicture(const TqvnTDLibObject& aThumbnail, TqvnMessage& aMessage,
                          std::optional<TqvnFile>* aPicture) {
  const std::string format = aThumbnail.Text("format", "@type");
  if (format != "thumbnailFormatJpeg" && format != "thumbnailFormatPng" &&
      format != "thumbnailFormatWebp") {
    return;
  }
  TakePicture(aThumbnail.Object("file"), aThumbnail.Get<int32_t>("width"),
              aThumbnail.Get<int32_t>("height"), aMessage, aPicture);
}

// A WEBP sticker is drawn itself; any other by its thumbnail when Qt can draw that.
void TakeStickerPicture(const TqvnTDLibObject& aSticker, TqvnMessage& aMessage,
                        std::optional<TqvnFile>* aPicture) {
  if (aSticker.Text("format", "@type") == "stickerFormatWebp") {
    TakePicture(aSticker.Object("sticker"), aSticker.Get<int32_t>("width"),
                aSticker.Get<int32_t>("height"), aMessage, aPicture);
  } else {
    TakeThumbnailPicture(aSticker.Object("thumbnail"), aMessage, aPicture);
  }
}

std::vector<int64_t> ReadIds(const TqvnTDLibObject& aList) {
  std::vector<int64_t> ids;
  for (const TqvnTDLibObject& item : aList.Items()) ids.push_back(item.Get<int64_t>());
  return ids;
}

// The facts of contents that are neither a text nor a file into aMessage.Details (and Text,
// Emoji, Duration where those hold them).
void ReadDetails(const TqvnTDLibObject& aContent, TqvnMessage& aMessage,
                 std::optional<TqvnFile>* aPicture) {
  const std::string& type = aMessage.ContentType;
  TqvnMessageDetails& details = aMessage.Details;
  const auto takeLocation = [&details](const TqvnTDLibObject& aLocation) {
    details.Latitude = aLocation.Get<double>("latitude");
    details.Longitude = aLocation.Get<double>("longitude");
  };
  if (type == "messagePoll") {
    const TqvnTDLibObject poll = aContent.Object("poll");
    details.Title = poll.Text("question", "text");
    for (const TqvnTDLibObject& option : poll.Items("options")) {
      details.PollOptions.push_back({option.Text("text", "text"),
                                     option.Get<int32_t>("voter_count"),
                                     option.Get<bool>("is_chosen")});
    }
    details.PollVoterCount = poll.Get<int32_t>("total_voter_count");
    details.IsQuiz = poll.Text("type", "@type") == "pollTypeQuiz";
    details.PollClosed = poll.Get<bool>("is_closed");
  } else if (type == "messageLocation") {
    takeLocation(aContent.Object("location"));
  } else if (type == "messageVenue") {
    takeLocation(aContent.Object("venue", "location"));
    details.Title = aContent.Text("venue", "title");
    details.Address = aContent.Text("venue", "address");
  } else if (type == "messageContact") {
    const TqvnTDLibObject contact = aContent.Object("contact");
    details.Title = contact.Text("first_name");
    const std::string last = contact.Text("last_name");
    if (!last.empty()) details.Title += (details.Title.empty() ? "" : " ") + last;
    details.PhoneNumber = contact.Text("phone_number");
    if (const int64_t user = contact.Get<int64_t>("user_id")) details.UserIds.push_back(user);
  } else if (type == "messageCall") {
    details.IsVideoCall = aContent.Get<bool>("is_video");
    details.CallEnd = WithoutPrefix(aContent.Text("discard_reason", "@type"), "callDiscardReason");
    aMessage.Duration = aContent.Get<int32_t>("duration");
  } else if (type == "messageDice") {
    aMessage.Emoji = aContent.Text("emoji");
    details.DiceValue = aContent.Get<int32_t>("value");
  } else if (type == "messageAnimatedEmoji") {
    aMessage.Emoji = aContent.Text("emoji");
    TakeStickerPicture(aContent.Object("animated_emoji", "sticker"), aMessage, aPicture);
  } else if (type == "messageChatAddMembers" || type == "messageBasicGroupChatCreate") {
    details.Title = aContent.Text("title");
    details.UserIds = ReadIds(aContent.Object("member_user_ids"));
  } else if (type == "messageChatDeleteMember") {
    details.UserIds.push_back(aContent.Get<int64_t>("user_id"));
  } else if (type == "messageChatChangeTitle" || type == "messageSupergroupChatCreate") {
    details.Title = aContent.Text("title");
  } else if (type == "messagePinMessage") {
    details.PinnedMessageId = aContent.Get<int64_t>("message_id");
  } else if (type == "messageCustomServiceAction") {
    aMessage.Text = aContent.Text("text");
  }
}

}  // namespace

TqvnMinithumbnail ReadMinithumbnail(const TqvnTDLibObject& aMinithumbnail) {
  TqvnMinithumbnail minithumbnail;
  const std::string data = aMinithumbnail.Text("data");
  if (!IsCleanBase64(data)) return minithumbnail;
  minithumbnail.Width = aMinithumbnail.Get<int32_t>("width");
  minithumbnail.Height = aMinithumbnail.Get<int32_t>("height");
  minithumbnail.Jpeg = DecodeBase64(data);
  return minithumbnail;
}

std::vector<TqvnReaction> ReadReactions(const TqvnTDLibObject& aInteractionInfo) {
  std::vector<TqvnReaction> reactions;
  for (const TqvnTDLibObject& item : aInteractionInfo.Items("reactions", "reactions")) {
    TqvnReaction reaction;
    const std::string type = item.Text("type", "@type");
    if (type == "reactionTypeEmoji") reaction.Emoji = item.Text("type", "emoji");
    if (type == "reactionTypeCustomEmoji") reaction.Label = "custom";
    if (type == "reactionTypePaid") reaction.Label = "★";
    reaction.Count = item.Get<int32_t>("total_count");
    reaction.Chosen = item.Get<bool>("is_chosen");
    reactions.push_back(std::move(reaction));
  }
  return reactions;
}

void ReadChatPhoto(const TqvnTDLibObject& aPhoto, TqvnChat& aChat) {
  aChat.PhotoFileId = aPhoto.Get<int32_t>("small", "id");
  aChat.PhotoMinithumbnail = ReadMinithumbnail(aPhoto.Object("minithumbnail"));
}

std::optional<bool> ReadOwnMute(const TqvnTDLibObject& aSettings) {
  if (!aSettings || aSettings.Get<bool>("use_default_mute_for")) return std::nullopt;
  return aSettings.Get<int32_t>("mute_for") > 0;
}

void ReadUserStatus(const TqvnTDLibObject& aStatus, TqvnUser& aUser) {
  aUser.Status = WithoutPrefix(aStatus.Type(), "userStatus");
  if (aUser.Status.empty()) aUser.Status = "Empty";
  aUser.StatusTime = aStatus.Has("expires") ? aStatus.Get<int64_t>("expires")
                                            : aStatus.Get<int64_t>("was_online");
}

TqvnUser ReadUser(const TqvnTDLibObject& aUser) {
  TqvnUser user;
  user.Id = Int64Of(NodeAt(aUser, {"id"}));
  user.FirstName = PlainText(NodeAt(aUser, {"first_name"}));
  user.LastName = PlainText(NodeAt(aUser, {"last_name"}));
  IqvnObjectJSON usernames = NodeAt(aUser, {"usernames", "active_usernames"});
  if (Count(usernames) > 0) user.Username = PlainText(usernames->Item(0));
  user.PhoneNumber = PlainText(NodeAt(aUser, {"phone_number"}));
  user.IsBot = TypeOf(NodeAt(aUser, {"type"})) == "userTypeBot";
  ReadUserStatus(NodeAt(aUser, {"status"}), user);
  user.PhotoFileId = Int32Of(NodeAt(aUser, {"profile_photo", "small", "id"}));
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
  chat.LastReadInboxMessageId = Int64Of(NodeAt(aChat, {"last_read_inbox_message_id"}));
  chat.LastReadOutboxMessageId = Int64Of(NodeAt(aChat, {"last_read_outbox_message_id"}));
  ReadChatPhoto(NodeAt(aChat, {"photo"}), chat);
  chat.Muted = ReadOwnMute(NodeAt(aChat, {"notification_settings"})).value_or(false);
  chat.SupergroupId = Int64Of(NodeAt(aChat, {"type", "supergroup_id"}));
  chat.BasicGroupId = Int64Of(NodeAt(aChat, {"type", "basic_group_id"}));
  chat.IsChannel = BooleanOf(NodeAt(aChat, {"type", "is_channel"}));
  return chat;
}

TqvnMessage ReadMessage(const TqvnTDLibObject& aMessage, std::optional<TqvnFile>* aFile,
                        std::optional<TqvnFile>* aPicture) {
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
  const TqvnTDLibObject replyTo = aMessage.Object("reply_to");
  if (replyTo.Type() == "messageReplyToMessage") {
    message.ReplyToMessageId = replyTo.Get<int64_t>("message_id");
    message.ReplyToChatId = replyTo.Get<int64_t>("chat_id");
    if (message.ReplyToChatId == 0) message.ReplyToChatId = message.ChatId;
  }
  const TqvnTDLibObject origin = aMessage.Object("forward_info", "origin");
  const std::string originType = origin.Type();
  if (!originType.empty()) {
    TqvnForwardOrigin from;
    from.UserId = origin.Get<int64_t>("sender_user_id");
    from.ChatId = originType == "messageOriginChannel" ? origin.Get<int64_t>("chat_id")
                                                       : origin.Get<int64_t>("sender_chat_id");
    from.SenderName = origin.Text("sender_name");
    message.ForwardedFrom = std::move(from);
  }
  message.Reactions = ReadReactions(aMessage.Object("interaction_info"));
  ReadMessageContent(NodeAt(aMessage, {"content"}), message, aFile, aPicture);
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
                        std::optional<TqvnFile>* aFile, std::optional<TqvnFile>* aPicture) {
  aMessage.ContentType = TypeOf(aContent);
  TakeText(aContent.Object("caption"), aMessage);
  aMessage.PictureFileId = aMessage.PictureWidth = aMessage.PictureHeight = 0;
  aMessage.Minithumbnail = {};
  aMessage.Details = {};
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
    TakeText(aContent.Object("text"), aMessage);
  } else if (type == "messagePhoto") {
    const TqvnTDLibObject photo = aContent.Object("photo");
    IqvnObjectJSON size = LargestPhotoSize(NodeAt(photo, {"sizes"}));
    aMessage.Width = Int32Of(NodeAt(size, {"width"}));
    aMessage.Height = Int32Of(NodeAt(size, {"height"}));
    TakeFile(NodeAt(size, {"photo"}), aMessage, aFile);
    TakePhotoPicture(photo, aMessage, aPicture);
    aMessage.Minithumbnail = ReadMinithumbnail(photo.Object("minithumbnail"));
  } else if (type == "messageSticker") {
    const TqvnTDLibObject sticker = aContent.Object("sticker");
    aMessage.Emoji = sticker.Text("emoji");
    TakeStickerPicture(sticker, aMessage, aPicture);
  } else {
    for (const auto& kind : kMedia) {
      if (type != kind.Content) continue;
      IqvnObjectJSON media = NodeAt(aContent, {kind.Media});
      aMessage.FileName = PlainText(NodeAt(media, {"file_name"}));
      aMessage.Duration = Int32Of(NodeAt(media, {"duration"}));
      aMessage.Width = Int32Of(NodeAt(media, {"width"}));
      aMessage.Height = Int32Of(NodeAt(media, {"height"}));
      TakeFile(NodeAt(media, {kind.File}), aMessage, aFile);
      if (type == "messageVideo" || type == "messageAnimation") {
        const TqvnTDLibObject visual(media);
        TakeThumbnailPicture(visual.Object("thumbnail"), aMessage, aPicture);
        aMessage.Minithumbnail = ReadMinithumbnail(visual.Object("minithumbnail"));
      }
    }
    ReadDetails(aContent, aMessage, aPicture);
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
