// TqvnChatModel: what the window knows of the logged-in account, kept from TDLib's event texts.
//
// Apply reads one event (any text TDLib sends: an update or an answer to a request) from the
// document the engine's dispatcher read its text into (OnEventDocument), so the window reads
// each text once; the document is only read, never changed. It keeps the event's facts: the
// account's own user id, users, chats with their place in the main chat list, unread counts and
// last messages, files with their transfer progress, and the messages of the conversations the
// window tracks. It returns what changed, so the window redraws only that.
// What only the window knows it adds itself: history pages it asked for, the messages it sent
// before TDLib answers (local echoes, named by a key of the window's), and their outcome.
//
// Conversations are kept only for tracked chats (Track): a burst of messages for chats nobody
// opened costs no memory here. A conversation holds its messages in TDLib's order of ids (which
// is the order they were sent in), local echoes last. A message that TDLib reports as pending
// and outgoing while its id is unknown is one the window sent: its local echo stands for it until
// the answer to the send request binds the two (BindLocalEcho), so it never shows twice.
//
// Chats follow their kind's default muting (updateScopeNotificationSettings) unless their own
// notification setting says otherwise; member counts come from the groups' updates
// (updateSupergroup, updateBasicGroup and their full infos, or the answers "supergroup" and
// "basicGroup"), whichever of group and chat TDLib announces first. The answers
// "supergroupFullInfo" and "basicGroupFullInfo" name no group: TDLib sends the same facts as
// updateSupergroupFullInfo / updateBasicGroupFullInfo, which the model reads.
//
// Plain C++ without Qt. One thread (the window's); Apply raises the JSON library's errors on a
// member whose value does not convert, and then keeps what it read before.
#ifndef QVN_APP_QVNCHATMODEL_H
#define QVN_APP_QVNCHATMODEL_H

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "app/qvnChatTypes.h"
#include "json/qvnJSON.h"

namespace qvn {

// What one event text changed.
struct TqvnModelChange {
  enum TKind {
    none,            // nothing the window shows
    myId,            // the account's own user id became known
    user,            // UserId's facts
    chat,            // ChatId's title, place, unread count, last message, draft, read marks,
                     // photo, notification setting or member count; ChatId 0 when a kind's
                     // default muting changed several chats: they are in ChatIds
    chatAction,      // what someone is doing in ChatId (typing, ...) started or stopped
    newMessage,      // Messages[0] arrived in ChatId (stored when the chat is tracked)
    messageChanged,  // the content, edit mark or reactions of MessageId in ChatId changed
    messageSent,     // OldMessageId became Messages[0] (sent, or failed: see its State)
    messagesDeleted, // MessageIds left ChatId
    file,            // FileId's size, place or transfer progress
    answer,          // an answer to a request, or an "error": see Type, Extra, Error, Messages
  };
  TKind Kind = none;
  std::string Type;   // the text's "@type"
  std::string Extra;  // its "@extra": a string's text, or a number's digits; "" when none
  int64_t ChatId = 0;
  std::vector<int64_t> ChatIds;  // the chats a kind's default muting changed (ChatId is 0)
  int64_t UserId = 0;
  int64_t MessageId = 0;
  int64_t OldMessageId = 0;
  std::vector<int64_t> MessageIds;
  int32_t FileId = 0;  // File, and the answer "file"
  TqvnError Error;     // the answer "error"
  // The message of NewMessage and MessageSent; those of the answers "message" and "messages"
  // (in TDLib's order, null entries left out).
  std::vector<TqvnMessage> Messages;
};

struct TqvnConversation {
  std::vector<TqvnMessage> Messages;
  bool HistoryLoading = false;   // a page of older messages has been asked for
  bool HistoryComplete = false;  // TDLib has no older messages
};

class TqvnChatModel {
 public:
  TqvnModelChange Apply(const TqvnJSON& aEvent);
  // Reads aText into a document of its own first: for a text no dispatcher has read.
  TqvnModelChange Apply(std::string_view aText);
  // Forgets everything (the account is gone: Stop).
  void Clear();

  int64_t MyId() const { return FMyId; }
  // TDLib's message_text_length_max option: the most UTF-16 units of a message's text
  // (kDefaultMessageTextLengthMax until TDLib tells).
  static constexpr int64_t kDefaultMessageTextLengthMax = 4096;
  int64_t MessageTextLengthMax() const { return FMessageTextLengthMax; }
  // TDLib's message_caption_length_max option: the same for a file's caption.
  static constexpr int64_t kDefaultMessageCaptionLengthMax = 1024;
  int64_t MessageCaptionLengthMax() const { return FMessageCaptionLengthMax; }
  const TqvnUser* User(int64_t aUserId) const;
  const TqvnChat* Chat(int64_t aChatId) const;
  const TqvnFile* File(int32_t aFileId) const;
  // The members of a group or the subscribers of a channel; 0 while TDLib has not said.
  int32_t MemberCount(int64_t aChatId) const;
  // What others are doing in aChatId now (updateChatAction), in the order they started.
  struct TChatAction {
    int64_t SenderUserId = 0;
    int64_t SenderChatId = 0;
    std::string Action;  // TDLib's action without "chatAction": "Typing", "RecordingVoiceNote", ...
  };
  const std::vector<TChatAction>& ChatActions(int64_t aChatId) const;
  // Every chat: first those in the main list as TDLib orders it (order, then id, descending),
  // then the others (archived, or known only from a request) in the order they became known.
  std::vector<int64_t> ChatIdsInOrder() const;
  // The place of a chat in ChatIdsInOrder as a key that sorts the same way: a greater key comes
  // first. Stable while the chat's order does not change.
  struct TOrderKey {
    bool operator<(const TOrderKey& aOther) const;
    bool operator==(const TOrderKey& aOther) const = default;
    bool InMainList = false;
    int64_t Order = 0;
    int64_t Id = 0;
    uint64_t Arrival = 0;
  };
  TOrderKey OrderKey(int64_t aChatId) const;

  // The conversation of aChatId, created empty on first use; from then on new messages of the
  // chat are kept in it.
  TqvnConversation& Track(int64_t aChatId);
  const TqvnConversation* Conversation(int64_t aChatId) const;
  // Adds a page of older messages (as TDLib gives them, newest first); returns how many were
  // not held yet.
  int AddHistory(int64_t aChatId, const std::vector<TqvnMessage>& aPage);
  // A message the window sent, shown as pending until TDLib answers; aMessage.LocalKey and
  // ChatId must be set. Tracks the chat.
  void AddLocalEcho(TqvnMessage aMessage);
  // The message the local echo aLocalKey stands for (bound or not), or null.
  const TqvnMessage* FindLocalEcho(const std::string& aLocalKey) const;
  // TDLib accepted the send: the echo becomes aMessage (keeping its key). False when no echo
  // has that key.
  bool BindLocalEcho(const std::string& aLocalKey, const TqvnMessage& aMessage);
  // TDLib refused the send request itself: the echo fails with aError and can be sent again.
  bool FailLocalEcho(const std::string& aLocalKey, const TqvnError& aError);
  // The echo is being sent again.
  bool RetryLocalEcho(const std::string& aLocalKey);
  // What TDLib allows to be done with a held message (its answer to getMessageProperties).
  bool SetRights(int64_t aChatId, int64_t aMessageId, const TqvnMessageRights& aRights);
  // A failed message TDLib is sending again: pending until TDLib answers.
  bool SetPending(int64_t aChatId, int64_t aMessageId);
  // Puts aMessages in place of aOldId (messages sent again replace the failed one); they are
  // added in order when aOldId is no longer held.
  void ReplaceMessage(int64_t aChatId, int64_t aOldId, const std::vector<TqvnMessage>& aMessages);
  const TqvnMessage* FindMessage(int64_t aChatId, int64_t aMessageId) const;

 private:
  struct TChatEntry {
    TqvnChat Chat;
    uint64_t Arrival = 0;
    bool FollowsScopeMute = true;  // Muted is its kind's default, not its own setting
  };
  // The kinds TDLib sets default notifications for.
  enum TScope { privateChats, groupChats, channelChats, scopeCount };
  static TScope ScopeOf(const TqvnChat& aChat);
  // Reads a chat's notification_settings into its entry.
  void ApplyNotificationSettings(const IqvnObjectJSON& aSettings, TChatEntry& aEntry) const;
  // A group's member count (aCount 0: unknown, ignored) and the change for its chat.
  void SetGroupMembers(std::unordered_map<int64_t, int32_t>& aCounts,
                       const std::unordered_map<int64_t, int64_t>& aChats, int64_t aGroupId,
                       int32_t aCount, TqvnModelChange& aChange);
  // Keeps a message's files (its content's and its picture's) once it is stored.
  void KeepFiles(const std::optional<TqvnFile>& aFile, const std::optional<TqvnFile>& aPicture);
  TqvnChat* MutableChat(int64_t aChatId);
  TqvnMessage* Find(int64_t aChatId, int64_t aMessageId);
  TqvnMessage* FindLocal(const std::string& aLocalKey);
  // Keeps aMessage in its tracked conversation (replacing one with the same id); false when
  // the chat is not tracked or the message is a pending one of the window's not bound yet.
  bool Store(const TqvnMessage& aMessage);
  static void Sort(TqvnConversation& aConversation);
  // Adds those of aMessages (of aChatId) that aConversation does not hold, each once, keeping
  // it sorted; returns how many.
  int Merge(TqvnConversation& aConversation, int64_t aChatId,
            const std::vector<TqvnMessage>& aMessages);

  int64_t FMyId = 0;
  int64_t FMessageTextLengthMax = kDefaultMessageTextLengthMax;
  int64_t FMessageCaptionLengthMax = kDefaultMessageCaptionLengthMax;
  std::unordered_map<int64_t, TqvnUser> FUsers;
  std::unordered_map<int64_t, TChatEntry> FChats;
  uint64_t FArrivals = 0;
  std::unordered_map<int32_t, TqvnFile> FFiles;
  std::map<int64_t, TqvnConversation> FConversations;
  bool FScopeMuted[scopeCount] = {};
  // Member counts by group id, and the chat of each group.
  std::unordered_map<int64_t, int32_t> FSupergroupMembers;
  std::unordered_map<int64_t, int32_t> FBasicGroupMembers;
  std::unordered_map<int64_t, int64_t> FSupergroupChats;
  std::unordered_map<int64_t, int64_t> FBasicGroupChats;
  std::unordered_map<int64_t, std::vector<TChatAction>> FChatActions;
};

}  // namespace qvn

#endif  // QVN_APP_QVNCHATMODEL_H
