#include "app/qvnChatModel.h"

#include <algorithm>
#include <iterator>
#include <tuple>

#include "app/qvnTelegramReader.h"
#include "client/qvnTelegram_Reading.h"

namespace qvn {
namespace {

// Conversations sort by TDLib's ids; local echoes (id 0) stay last, in the order they were sent.
bool Earlier(const TqvnMessage& aLeft, const TqvnMessage& aRight) {
  if (aLeft.Id == 0 || aRight.Id == 0) return aLeft.Id != 0 && aRight.Id == 0;
  return aLeft.Id < aRight.Id;
}

// Applies the main-list entry of a "positions" list: a list without one means the chat left it.
void ApplyPositions(const IqvnObjectJSON& aPositions, TqvnChat& aChat) {
  aChat.Order = 0;
  aChat.IsPinned = false;
  for (int i = 0; aPositions && i < aPositions->Count(); ++i) {
    const TqvnChatPosition position = ReadChatPosition(aPositions->Item(i));
    if (!position.MainList) continue;
    aChat.Order = position.Order;
    aChat.IsPinned = position.IsPinned;
  }
}

}  // namespace

bool TqvnChatModel::TOrderKey::operator<(const TOrderKey& aOther) const {
  if (InMainList != aOther.InMainList) return !InMainList;
  if (InMainList) return std::tie(Order, Id) < std::tie(aOther.Order, aOther.Id);
  return Arrival > aOther.Arrival;  // known earlier: greater, so it comes first
}

TqvnModelChange TqvnChatModel::Apply(std::string_view aText) {
  TqvnJSON event;
  event.Read(aText);
  return Apply(event);
}

TqvnModelChange TqvnChatModel::Apply(const TqvnJSON& aEvent) {
  TqvnModelChange change;
  const auto member = [&aEvent](std::string_view aName) { return aEvent.GetNode(aName); };
  change.Type = PlainText(member("@type"));
  if (IqvnObjectJSON extra = member("@extra")) change.Extra = PlainText(extra);
  const std::string& type = change.Type;

  if (type == "updateOption") {
    const std::string name = PlainText(member("name"));
    if (name == "message_text_length_max" || name == "message_caption_length_max") {
      const int64_t limit = Int64Of(NodeAt(aEvent, {"value", "value"}));
      if (limit > 0) {
        (name == "message_text_length_max" ? FMessageTextLengthMax : FMessageCaptionLengthMax) =
            limit;
      }
      return change;
    }
    if (name != "my_id") return change;
    FMyId = Int64Of(NodeAt(aEvent, {"value", "value"}));
    change.Kind = TqvnModelChange::myId;
  } else if (type == "updateUser" || type == "user") {
    TqvnUser user = ReadUser(type == "user" ? TqvnTDLibObject(aEvent) : member("user"));
    change.Kind = TqvnModelChange::user;
    change.UserId = user.Id;
    FUsers[user.Id] = std::move(user);
  } else if (type == "updateUserStatus") {
    auto user = FUsers.find(Int64Of(member("user_id")));
    if (user == FUsers.end()) return change;
    ReadUserStatus(member("status"), user->second);
    change.Kind = TqvnModelChange::user;
    change.UserId = user->first;
  } else if (type == "updateNewChat" || type == "chat") {
    const TqvnTDLibObject object = type == "chat" ? TqvnTDLibObject(aEvent) : member("chat");
    TqvnChat chat = ReadChat(object);
    change.Kind = TqvnModelChange::chat;
    change.ChatId = chat.Id;
    if (chat.SupergroupId != 0) FSupergroupChats[chat.SupergroupId] = chat.Id;
    if (chat.BasicGroupId != 0) FBasicGroupChats[chat.BasicGroupId] = chat.Id;
    auto [entry, added] = FChats.try_emplace(chat.Id);
    if (added) entry->second.Arrival = ++FArrivals;
    entry->second.Chat = std::move(chat);
    ApplyNotificationSettings(object.Member("notification_settings"), entry->second);
  } else if (type == "updateScopeNotificationSettings") {
    const std::string scopeType = TqvnTDLibObject(member("scope")).Type();
    const TScope scope = scopeType == "notificationSettingsScopePrivateChats" ? privateChats
                         : scopeType == "notificationSettingsScopeGroupChats" ? groupChats
                         : scopeType == "notificationSettingsScopeChannelChats" ? channelChats
                                                                                 : scopeCount;
    if (scope == scopeCount) return change;
    FScopeMuted[scope] = Int64Of(NodeAt(aEvent, {"notification_settings", "mute_for"})) > 0;
    // Rare (a settings change): worth a look at every chat.
    for (auto& [id, entry] : FChats) {
      if (!entry.FollowsScopeMute || ScopeOf(entry.Chat) != scope ||
          entry.Chat.Muted == FScopeMuted[scope]) {
        continue;
      }
      entry.Chat.Muted = FScopeMuted[scope];
      change.ChatIds.push_back(id);
    }
    if (!change.ChatIds.empty()) change.Kind = TqvnModelChange::chat;
  } else if (type == "updateSupergroup" || type == "supergroup") {
    const TqvnTDLibObject group = type == "supergroup" ? TqvnTDLibObject(aEvent)
                                                       : member("supergroup");
    SetGroupMembers(FSupergroupMembers, FSupergroupChats, group.Get<int64_t>("id"),
                    group.Get<int32_t>("member_count"), change);
  } else if (type == "updateBasicGroup" || type == "basicGroup") {
    const TqvnTDLibObject group = type == "basicGroup" ? TqvnTDLibObject(aEvent)
                                                       : member("basic_group");
    SetGroupMembers(FBasicGroupMembers, FBasicGroupChats, group.Get<int64_t>("id"),
                    group.Get<int32_t>("member_count"), change);
  } else if (type == "updateSupergroupFullInfo") {
    SetGroupMembers(FSupergroupMembers, FSupergroupChats, Int64Of(member("supergroup_id")),
                    Int32Of(NodeAt(aEvent, {"supergroup_full_info", "member_count"})), change);
  } else if (type == "updateBasicGroupFullInfo") {
    IqvnObjectJSON members = NodeAt(aEvent, {"basic_group_full_info", "members"});
    SetGroupMembers(FBasicGroupMembers, FBasicGroupChats, Int64Of(member("basic_group_id")),
                    members && members->JSONType() == qvnJSONList ? members->Count() : 0, change);
  } else if (type == "updateChatAction") {
    change.ChatId = Int64Of(member("chat_id"));
    const TqvnTDLibObject sender = member("sender_id");
    TChatAction action;
    action.SenderUserId = sender.Get<int64_t>("user_id");
    action.SenderChatId = sender.Get<int64_t>("chat_id");
    action.Action = TqvnTDLibObject(member("action")).Type();
    if (action.Action.rfind("chatAction", 0) == 0) action.Action.erase(0, 10);
    std::vector<TChatAction>& actions = FChatActions[change.ChatId];
    auto same = std::find_if(actions.begin(), actions.end(), [&action](const TChatAction& aHeld) {
      return aHeld.SenderUserId == action.SenderUserId && aHeld.SenderChatId == action.SenderChatId;
    });
    if (action.Action == "Cancel") {
      if (same != actions.end()) actions.erase(same);
      if (actions.empty()) FChatActions.erase(change.ChatId);
    } else if (same != actions.end()) {
      same->Action = std::move(action.Action);
    } else {
      actions.push_back(std::move(action));
    }
    change.Kind = TqvnModelChange::chatAction;
  } else if (type == "updateMessageInteractionInfo") {
    change.ChatId = Int64Of(member("chat_id"));
    change.MessageId = Int64Of(member("message_id"));
    TqvnMessage* message = Find(change.ChatId, change.MessageId);
    TqvnChat* chat = MutableChat(change.ChatId);
    const bool isLast = chat != nullptr && chat->LastMessage && chat->LastMessage->Id == change.MessageId;
    if (message == nullptr && !isLast) return change;
    std::vector<TqvnReaction> reactions = ReadReactions(member("interaction_info"));
    if (isLast) chat->LastMessage->Reactions = reactions;
    if (message != nullptr) message->Reactions = std::move(reactions);
    change.Kind = TqvnModelChange::messageChanged;
  } else if (type == "updateChatTitle" || type == "updateChatPosition" ||
             type == "updateChatLastMessage" || type == "updateChatDraftMessage" ||
             type == "updateChatReadInbox" || type == "updateChatReadOutbox" ||
             type == "updateChatNotificationSettings" || type == "updateChatPhoto") {
    change.ChatId = Int64Of(member("chat_id"));
    auto entry = FChats.find(change.ChatId);
    if (entry == FChats.end()) return change;  // TDLib announces every chat first; ignore strays
    TqvnChat* chat = &entry->second.Chat;
    change.Kind = TqvnModelChange::chat;
    if (type == "updateChatReadOutbox") {
      chat->LastReadOutboxMessageId = Int64Of(member("last_read_outbox_message_id"));
    } else if (type == "updateChatNotificationSettings") {
      ApplyNotificationSettings(member("notification_settings"), entry->second);
    } else if (type == "updateChatPhoto") {
      ReadChatPhoto(member("photo"), *chat);
    } else if (type == "updateChatTitle") {
      chat->Title = PlainText(member("title"));
    } else if (type == "updateChatPosition") {
      const TqvnChatPosition position = ReadChatPosition(member("position"));
      if (!position.MainList) return change;
      chat->Order = position.Order;
      chat->IsPinned = position.IsPinned;
    } else if (type == "updateChatReadInbox") {
      chat->UnreadCount = static_cast<int32_t>(Int64Of(member("unread_count")));
      chat->LastReadInboxMessageId = Int64Of(member("last_read_inbox_message_id"));
    } else {
      if (type == "updateChatDraftMessage") {
        chat->DraftText = ReadDraftText(member("draft_message"));
      }
      if (type == "updateChatLastMessage") {
        IqvnObjectJSON last = member("last_message");
        chat->LastMessage = last ? std::optional<TqvnMessage>(ReadMessage(last)) : std::nullopt;
      }
      ApplyPositions(member("positions"), *chat);
    }
  } else if (type == "updateNewMessage") {
    std::optional<TqvnFile> file, picture;
    TqvnMessage message = ReadMessage(member("message"), &file, &picture);
    change.Kind = TqvnModelChange::newMessage;
    change.ChatId = message.ChatId;
    change.MessageId = message.Id;
    if (Store(message)) KeepFiles(file, picture);
    change.Messages.push_back(std::move(message));
  } else if (type == "updateMessageSendSucceeded" || type == "updateMessageSendFailed") {
    std::optional<TqvnFile> file, picture;
    TqvnMessage message = ReadMessage(member("message"), &file, &picture);
    change.Kind = TqvnModelChange::messageSent;
    change.ChatId = message.ChatId;
    change.MessageId = message.Id;
    change.OldMessageId = Int64Of(member("old_message_id"));
    if (TqvnMessage* old = Find(message.ChatId, change.OldMessageId)) {
      message.LocalKey = old->LocalKey;
      *old = message;
      Sort(FConversations[message.ChatId]);
      KeepFiles(file, picture);
    } else if (Store(message)) {
      KeepFiles(file, picture);
    }
    change.Messages.push_back(std::move(message));
  } else if (type == "updateMessageContent") {
    change.ChatId = Int64Of(member("chat_id"));
    change.MessageId = Int64Of(member("message_id"));
    TqvnMessage* message = Find(change.ChatId, change.MessageId);
    if (message == nullptr) return change;
    std::optional<TqvnFile> file, picture;
    const std::string oldText = message->Text;
    ReadMessageContent(member("new_content"), *message, &file, &picture);
    // Only an edit changes a text or caption that is there (a poll's votes change no text).
    if (message->Text != oldText) message->Edited = true;
    KeepFiles(file, picture);
    change.Kind = TqvnModelChange::messageChanged;
  } else if (type == "updateMessageEdited") {
    change.ChatId = Int64Of(member("chat_id"));
    change.MessageId = Int64Of(member("message_id"));
    TqvnMessage* message = Find(change.ChatId, change.MessageId);
    if (message == nullptr) return change;
    message->Edited = Int64Of(member("edit_date")) != 0;
    change.Kind = TqvnModelChange::messageChanged;
  } else if (type == "updateDeleteMessages") {
    // Messages only dropped from TDLib's cache are still in the chat.
    if (BooleanOf(member("from_cache"))) return change;
    change.ChatId = Int64Of(member("chat_id"));
    IqvnObjectJSON ids = member("message_ids");
    for (int i = 0; ids && i < ids->Count(); ++i) {
      change.MessageIds.push_back(Int64Of(ids->Item(i)));
    }
    auto conversation = FConversations.find(change.ChatId);
    if (conversation == FConversations.end()) return change;
    std::erase_if(conversation->second.Messages, [&change](const TqvnMessage& aMessage) {
      return aMessage.Id != 0 && std::find(change.MessageIds.begin(), change.MessageIds.end(),
                                           aMessage.Id) != change.MessageIds.end();
    });
    change.Kind = TqvnModelChange::messagesDeleted;
  } else if (type == "updateFile" || type == "file") {
    TqvnFile file = ReadFile(type == "file" ? TqvnTDLibObject(aEvent) : member("file"));
    change.Kind = type == "file" ? TqvnModelChange::answer : TqvnModelChange::file;
    change.FileId = file.Id;
    FFiles[file.Id] = std::move(file);
  } else if (type == "message" || type == "messages") {
    change.Kind = TqvnModelChange::answer;
    const auto take = [this, &change](const TqvnTDLibObject& aMessage) {
      std::optional<TqvnFile> file, picture;
      change.Messages.push_back(ReadMessage(aMessage, &file, &picture));
      KeepFiles(file, picture);
    };
    if (type == "message") {
      take(aEvent);
    } else {
      IqvnObjectJSON list = member("messages");
      for (int i = 0; list && i < list->Count(); ++i) {
        IqvnObjectJSON item = list->Item(i);
        if (item && item->JSONType() == qvnJSONObject) take(item);  // null: not sent again
      }
    }
  } else if (type == "error") {
    change.Kind = TqvnModelChange::answer;
    change.Error = ReadError(aEvent);
  } else if (!change.Extra.empty()) {
    change.Kind = TqvnModelChange::answer;  // "ok", "chats" and the like
  }
  return change;
}

void TqvnChatModel::Clear() {
  FMyId = 0;
  FMessageTextLengthMax = kDefaultMessageTextLengthMax;
  FMessageCaptionLengthMax = kDefaultMessageCaptionLengthMax;
  FUsers.clear();
  FChats.clear();
  FArrivals = 0;
  FFiles.clear();
  FConversations.clear();
  std::fill(std::begin(FScopeMuted), std::end(FScopeMuted), false);
  FSupergroupMembers.clear();
  FBasicGroupMembers.clear();
  FSupergroupChats.clear();
  FBasicGroupChats.clear();
  FChatActions.clear();
}

const TqvnUser* TqvnChatModel::User(int64_t aUserId) const {
  auto found = FUsers.find(aUserId);
  return found == FUsers.end() ? nullptr : &found->second;
}

const TqvnChat* TqvnChatModel::Chat(int64_t aChatId) const {
  auto found = FChats.find(aChatId);
  return found == FChats.end() ? nullptr : &found->second.Chat;
}

TqvnChat* TqvnChatModel::MutableChat(int64_t aChatId) {
  auto found = FChats.find(aChatId);
  return found == FChats.end() ? nullptr : &found->second.Chat;
}

const TqvnFile* TqvnChatModel::File(int32_t aFileId) const {
  auto found = FFiles.find(aFileId);
  return found == FFiles.end() ? nullptr : &found->second;
}

int32_t TqvnChatModel::MemberCount(int64_t aChatId) const {
  const TqvnChat* chat = Chat(aChatId);
  if (chat == nullptr) return 0;
  const auto& counts = chat->SupergroupId != 0 ? FSupergroupMembers : FBasicGroupMembers;
  auto found = counts.find(chat->SupergroupId != 0 ? chat->SupergroupId : chat->BasicGroupId);
  return found == counts.end() ? 0 : found->second;
}

TqvnChatModel::TScope TqvnChatModel::ScopeOf(const TqvnChat& aChat) {
  if (aChat.Type == "chatTypePrivate" || aChat.Type == "chatTypeSecret") return privateChats;
  return aChat.IsChannel ? channelChats : groupChats;
}

void TqvnChatModel::ApplyNotificationSettings(const IqvnObjectJSON& aSettings,
                                              TChatEntry& aEntry) const {
  const std::optional<bool> own = ReadOwnMute(aSettings);
  aEntry.FollowsScopeMute = !own.has_value();
  aEntry.Chat.Muted = own.value_or(FScopeMuted[ScopeOf(aEntry.Chat)]);
}

void TqvnChatModel::SetGroupMembers(std::unordered_map<int64_t, int32_t>& aCounts,
                                    const std::unordered_map<int64_t, int64_t>& aChats,
                                    int64_t aGroupId, int32_t aCount, TqvnModelChange& aChange) {
  if (aGroupId == 0 || aCount <= 0) return;
  aCounts[aGroupId] = aCount;
  auto chat = aChats.find(aGroupId);
  if (chat == aChats.end()) return;  // its chat, once announced, shows it
  aChange.Kind = TqvnModelChange::chat;
  aChange.ChatId = chat->second;
}

void TqvnChatModel::KeepFiles(const std::optional<TqvnFile>& aFile,
                              const std::optional<TqvnFile>& aPicture) {
  if (aFile) FFiles[aFile->Id] = *aFile;
  if (aPicture) FFiles[aPicture->Id] = *aPicture;
}

const std::vector<TqvnChatModel::TChatAction>& TqvnChatModel::ChatActions(int64_t aChatId) const {
  static const std::vector<TChatAction> kNone;
  auto found = FChatActions.find(aChatId);
  return found == FChatActions.end() ? kNone : found->second;
}

TqvnChatModel::TOrderKey TqvnChatModel::OrderKey(int64_t aChatId) const {
  auto found = FChats.find(aChatId);
  if (found == FChats.end()) return {};
  const TqvnChat& chat = found->second.Chat;
  return {chat.Order != 0, chat.Order, chat.Id, found->second.Arrival};
}

std::vector<int64_t> TqvnChatModel::ChatIdsInOrder() const {
  std::vector<std::pair<TOrderKey, int64_t>> keyed;
  keyed.reserve(FChats.size());
  for (const auto& [id, entry] : FChats) keyed.emplace_back(OrderKey(id), id);
  std::sort(keyed.begin(), keyed.end(),
            [](const auto& aLeft, const auto& aRight) { return aRight.first < aLeft.first; });
  std::vector<int64_t> ids;
  ids.reserve(keyed.size());
  for (const auto& [key, id] : keyed) ids.push_back(id);
  return ids;
}

TqvnConversation& TqvnChatModel::Track(int64_t aChatId) {
  return FConversations[aChatId];
}

const TqvnConversation* TqvnChatModel::Conversation(int64_t aChatId) const {
  auto found = FConversations.find(aChatId);
  return found == FConversations.end() ? nullptr : &found->second;
}

void TqvnChatModel::Sort(TqvnConversation& aConversation) {
  std::stable_sort(aConversation.Messages.begin(), aConversation.Messages.end(), Earlier);
}

bool TqvnChatModel::Store(const TqvnMessage& aMessage) {
  auto conversation = FConversations.find(aMessage.ChatId);
  if (conversation == FConversations.end()) return false;
  if (TqvnMessage* held = Find(aMessage.ChatId, aMessage.Id)) {
    const std::string key = held->LocalKey;
    *held = aMessage;
    held->LocalKey = key;
    return true;
  }
  if (aMessage.Outgoing && aMessage.State == TqvnSendState::pending) return false;
  std::vector<TqvnMessage>& messages = conversation->second.Messages;
  const bool inOrder =
      messages.empty() || (messages.back().Id != 0 && messages.back().Id < aMessage.Id);
  messages.push_back(aMessage);
  if (!inOrder) Sort(conversation->second);
  return true;
}

int TqvnChatModel::AddHistory(int64_t aChatId, const std::vector<TqvnMessage>& aPage) {
  return Merge(Track(aChatId), aChatId, aPage);
}

int TqvnChatModel::Merge(TqvnConversation& aConversation, int64_t aChatId,
                         const std::vector<TqvnMessage>& aMessages) {
  // Looked up while the conversation is still sorted; then added and sorted once.
  std::vector<const TqvnMessage*> fresh;
  for (const TqvnMessage& message : aMessages) {
    if (message.ChatId != aChatId || Find(aChatId, message.Id) != nullptr) continue;
    const bool twice = std::any_of(fresh.begin(), fresh.end(), [&message](const TqvnMessage* m) {
      return m->Id == message.Id;
    });
    if (!twice) fresh.push_back(&message);
  }
  for (const TqvnMessage* message : fresh) aConversation.Messages.push_back(*message);
  if (!fresh.empty()) Sort(aConversation);
  return static_cast<int>(fresh.size());
}

void TqvnChatModel::AddLocalEcho(TqvnMessage aMessage) {
  aMessage.Id = 0;
  aMessage.Outgoing = true;
  aMessage.State = TqvnSendState::pending;
  Track(aMessage.ChatId).Messages.push_back(std::move(aMessage));
}

TqvnMessage* TqvnChatModel::FindLocal(const std::string& aLocalKey) {
  if (aLocalKey.empty()) return nullptr;
  for (auto& [chatId, conversation] : FConversations) {
    for (TqvnMessage& message : conversation.Messages) {
      if (message.LocalKey == aLocalKey) return &message;
    }
  }
  return nullptr;
}

const TqvnMessage* TqvnChatModel::FindLocalEcho(const std::string& aLocalKey) const {
  return const_cast<TqvnChatModel*>(this)->FindLocal(aLocalKey);
}

bool TqvnChatModel::BindLocalEcho(const std::string& aLocalKey, const TqvnMessage& aMessage) {
  TqvnMessage* echo = FindLocal(aLocalKey);
  if (echo == nullptr) return false;
  const int64_t chatId = echo->ChatId;
  // TDLib may already have reported the message sent (then it is held under its id).
  if (aMessage.Id != 0 && Find(chatId, aMessage.Id) != nullptr) {
    Find(chatId, aMessage.Id)->LocalKey = aLocalKey;
    std::erase_if(FConversations[chatId].Messages,
                  [&aLocalKey](const TqvnMessage& m) { return m.Id == 0 && m.LocalKey == aLocalKey; });
    return true;
  }
  *echo = aMessage;
  echo->LocalKey = aLocalKey;
  Sort(FConversations[chatId]);
  return true;
}

bool TqvnChatModel::FailLocalEcho(const std::string& aLocalKey, const TqvnError& aError) {
  TqvnMessage* echo = FindLocal(aLocalKey);
  if (echo == nullptr) return false;
  echo->State = TqvnSendState::failed;
  echo->ErrorCode = aError.Code;
  echo->ErrorMessage = aError.Message;
  echo->CanRetry = true;
  return true;
}

bool TqvnChatModel::RetryLocalEcho(const std::string& aLocalKey) {
  TqvnMessage* echo = FindLocal(aLocalKey);
  if (echo == nullptr) return false;
  echo->State = TqvnSendState::pending;
  echo->ErrorCode = 0;
  echo->ErrorMessage.clear();
  return true;
}

bool TqvnChatModel::SetRights(int64_t aChatId, int64_t aMessageId,
                              const TqvnMessageRights& aRights) {
  TqvnMessage* message = Find(aChatId, aMessageId);
  if (message == nullptr) return false;
  message->Rights = aRights;
  return true;
}

bool TqvnChatModel::SetPending(int64_t aChatId, int64_t aMessageId) {
  TqvnMessage* message = Find(aChatId, aMessageId);
  if (message == nullptr) return false;
  message->State = TqvnSendState::pending;
  return true;
}

void TqvnChatModel::ReplaceMessage(int64_t aChatId, int64_t aOldId,
                                   const std::vector<TqvnMessage>& aMessages) {
  TqvnConversation& conversation = Track(aChatId);
  std::erase_if(conversation.Messages,
                [aOldId](const TqvnMessage& aMessage) { return aMessage.Id == aOldId; });
  Merge(conversation, aChatId, aMessages);
}

TqvnMessage* TqvnChatModel::Find(int64_t aChatId, int64_t aMessageId) {
  if (aMessageId == 0) return nullptr;
  auto conversation = FConversations.find(aChatId);
  if (conversation == FConversations.end()) return nullptr;
  // Conversations are sorted (Earlier): TDLib's ids ascending, local echoes (id 0) last.
  std::vector<TqvnMessage>& messages = conversation->second.Messages;
  const auto found = std::partition_point(
      messages.begin(), messages.end(), [aMessageId](const TqvnMessage& aMessage) {
        return aMessage.Id != 0 && aMessage.Id < aMessageId;
      });
  return found != messages.end() && found->Id == aMessageId ? &*found : nullptr;
}

const TqvnMessage* TqvnChatModel::FindMessage(int64_t aChatId, int64_t aMessageId) const {
  return const_cast<TqvnChatModel*>(this)->Find(aChatId, aMessageId);
}

}  // namespace qvn
