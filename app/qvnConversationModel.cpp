#include "app/qvnConversationModel.h"

#include <QColor>
#include <QDateTime>
#include <QLocale>
#include <algorithm>
#include <array>

#include "app/qvnMessageText.h"

namespace qvn {
namespace {

// A message under the previous one of the same sender within this many seconds is grouped.
constexpr int64_t kGroupSeconds = 5 * 60;

QString Q(const std::string& aText) {
  return QString::fromStdString(aText);
}

// Content types drawn as a photo, video, animation or sticker.
bool IsMediaWithText(const std::string& aType) {
  return aType != "messageText" && aType != "messageSticker";
}

// What happened in the chat rather than what someone wrote.
bool IsService(const std::string& aType) {
  static const std::array<const char*, 9> kOthers = {
      "messagePinMessage",          "messageBasicGroupChatCreate", "messageSupergroupChatCreate",
      "messageContactRegistered",   "messageScreenshotTaken",      "messageCustomServiceAction",
      "messageGameScore",           "messagePaymentSuccessful",    "messageExpiredPhoto"};
  if (aType.rfind("messageChat", 0) == 0) return true;
  return std::find(kOthers.begin(), kOthers.end(), aType) != kOthers.end();
}

QDate LocalDay(int64_t aDate) {
  return QDateTime::fromSecsSinceEpoch(aDate).date();
}

QString DayText(int64_t aDate, int64_t aNow) {
  const QDate day = LocalDay(aDate);
  const QDate today = LocalDay(aNow);
  if (day == today) return QStringLiteral("Today");
  if (day == today.addDays(-1)) return QStringLiteral("Yesterday");
  const QLocale english(QLocale::English);
  return english.toString(day, day.year() == today.year() ? QStringLiteral("dddd, d MMMM")
                                                            : QStringLiteral("dddd, d MMMM yyyy"));
}

bool SameSender(const TqvnMessage& aLeft, const TqvnMessage& aRight) {
  return aLeft.SenderUserId == aRight.SenderUserId && aLeft.SenderChatId == aRight.SenderChatId;
}

// TDLib's ids, local echoes (id 0) last: the conversation's order.
bool IdBefore(const TqvnMessage& aMessage, int64_t aId) {
  return aMessage.Id != 0 && aMessage.Id < aId;
}

std::string ForwardName(const TqvnChatModel& aModel, const TqvnForwardOrigin& aOrigin) {
  if (aOrigin.UserId != 0) {
    const TqvnUser* user = aModel.User(aOrigin.UserId);
    return user != nullptr ? UserName(*user) : "User " + std::to_string(aOrigin.UserId);
  }
  if (aOrigin.ChatId != 0) {
    const TqvnChat* chat = aModel.Chat(aOrigin.ChatId);
    return chat != nullptr && !chat->Title.empty() ? chat->Title
                                                   : "Chat " + std::to_string(aOrigin.ChatId);
  }
  return aOrigin.SenderName.empty() ? "a hidden user" : aOrigin.SenderName;
}

QString ReactionsText(const std::vector<TqvnReaction>& aReactions) {
  QString text;
  for (const TqvnReaction& reaction : aReactions) {
    if (!text.isEmpty()) text += QStringLiteral("  ");
    text += Q(reaction.Emoji.empty() ? reaction.Label : reaction.Emoji) + QLatin1Char(' ') +
            QString::number(reaction.Count);
  }
  return text;
}

}  // namespace

TqvnConversationModel::TqvnConversationModel(const TqvnChatModel& aModel, QObject* aParent)
    : QAbstractListModel(aParent), FModel(aModel), FNow(&UnixNow) {}

const std::vector<TqvnMessage>* TqvnConversationModel::Messages() const {
  const TqvnConversation* conversation = FChatId != 0 ? FModel.Conversation(FChatId) : nullptr;
  return conversation != nullptr ? &conversation->Messages : nullptr;
}

bool TqvnConversationModel::SameMessage(const TRow& aRow, const TqvnMessage& aMessage) {
  if (!aRow.LocalKey.empty() || !aMessage.LocalKey.empty()) return aRow.LocalKey == aMessage.LocalKey;
  return aRow.Id == aMessage.Id;
}

TqvnConversationModel::TRow TqvnConversationModel::RowFor(const TqvnMessage& aMessage) {
  IndexFiles(aMessage);
  return {aMessage.Id, aMessage.LocalKey, aMessage.State, ++FRevisions, false};
}

void TqvnConversationModel::IndexFiles(const TqvnMessage& aMessage) {
  if (aMessage.Id == 0) return;
  for (int32_t file : {aMessage.FileId, aMessage.PictureFileId}) {
    if (file != 0) FFileMessages.emplace(file, aMessage.Id);
  }
}

void TqvnConversationModel::Show(int64_t aChatId) {
  beginResetModel();
  FChatId = aChatId;
  FRows.clear();
  FFileMessages.clear();
  if (const std::vector<TqvnMessage>* messages = Messages()) {
    FRows.reserve(messages->size());
    for (const TqvnMessage& message : *messages) FRows.push_back(RowFor(message));
  }
  const TqvnChat* chat = FModel.Chat(aChatId);
  FReadOutbox = chat != nullptr ? chat->LastReadOutboxMessageId : 0;
  endResetModel();
}

bool TqvnConversationModel::Appended(int64_t aMessageId) {
  const std::vector<TqvnMessage>* messages = Messages();
  const int held = static_cast<int>(FRows.size());
  // The chat model appends a message newer than all it holds and sorts for any other, so the
  // rows held (in step with the conversation until now) are unchanged when the new message is
  // last and the one before it is the last row.
  if (messages == nullptr || static_cast<int>(messages->size()) != held + 1 ||
      messages->back().Id != aMessageId ||
      (held > 0 && !SameMessage(FRows.back(), (*messages)[held - 1]))) {
    return false;
  }
  beginInsertRows({}, held, held);
  FRows.push_back(RowFor(messages->back()));
  endInsertRows();
  return true;
}

std::pair<int, int> TqvnConversationModel::Sync() {
  static const std::vector<TqvnMessage> kNone;
  const std::vector<TqvnMessage>& messages = Messages() != nullptr ? *Messages() : kNone;
  const int held = static_cast<int>(FRows.size());
  const int now = static_cast<int>(messages.size());
  // The rows that stay: a common beginning and a common end.
  int first = 0;
  while (first < held && first < now && SameMessage(FRows[first], messages[first])) ++first;
  int tail = 0;
  while (tail < held - first && tail < now - first &&
         SameMessage(FRows[held - 1 - tail], messages[now - 1 - tail])) {
    ++tail;
  }
  // Rows kept whose id or send state changed (a local echo bound or failed, a message resent).
  std::vector<int> changed;
  const auto compare = [&](int aRow, int aMessage) {
    TRow& row = FRows[aRow];
    const TqvnMessage& message = messages[aMessage];
    if (row.Id == message.Id && row.State == message.State) return;
    row.Id = message.Id;
    row.State = message.State;
    IndexFiles(message);
    changed.push_back(aMessage);
  };
  for (int i = 0; i < first; ++i) compare(i, i);
  for (int i = 0; i < tail; ++i) compare(held - 1 - i, now - 1 - i);

  const int removedEnd = held - tail;  // rows [first, removedEnd) go
  const int addedEnd = now - tail;     // messages [first, addedEnd) come
  if (removedEnd > first) {
    beginRemoveRows({}, first, removedEnd - 1);
    FRows.erase(FRows.begin() + first, FRows.begin() + removedEnd);
    endRemoveRows();
  }
  if (addedEnd > first) {
    beginInsertRows({}, first, addedEnd - 1);
    std::vector<TRow> added;
    added.reserve(static_cast<size_t>(addedEnd - first));
    for (int i = first; i < addedEnd; ++i) added.push_back(RowFor(messages[i]));
    FRows.insert(FRows.begin() + first, added.begin(), added.end());
    endInsertRows();
  }
  for (int row : changed) Changed(row, row);
  if (removedEnd > first || addedEnd > first) {
    // The row after the range: its day separator and grouping follow its new predecessor.
    if (addedEnd < now) Changed(addedEnd, addedEnd);
    if (addedEnd > first && addedEnd < now) {
      // Older messages came (a page of history): rows quoting them show them now.
      std::vector<int64_t> ids;
      for (int i = first; i < addedEnd; ++i) ids.push_back(messages[i].Id);
      QuotesChanged(ids);
    }
  }
  return {first, addedEnd};
}

void TqvnConversationModel::Apply(const TqvnModelChange& aChange) {
  if (FChatId == 0) return;
  switch (aChange.Kind) {
    case TqvnModelChange::newMessage:
    case TqvnModelChange::messageSent:
    case TqvnModelChange::messageChanged:
      if (aChange.ChatId != FChatId) return;
      if (aChange.Kind == TqvnModelChange::newMessage && Appended(aChange.MessageId)) return;
    {
      const auto [first, end] = Sync();
      const int row = RowOfMessage(aChange.MessageId);
      if (row < 0 || (row >= first && row < end)) return;  // a new row is measured already
      if (const TqvnMessage* message = MessageAt(row)) IndexFiles(*message);
      Changed(row, row);
      return;
    }
    case TqvnModelChange::messagesDeleted:
      if (aChange.ChatId != FChatId) return;
      Sync();
      QuotesChanged(aChange.MessageIds);
      return;
    case TqvnModelChange::chat:
      if (aChange.ChatId == FChatId) ReadMarkMoved();
      return;
    case TqvnModelChange::file:
      FileChanged(aChange.FileId);
      return;
    default:
      return;
  }
}

void TqvnConversationModel::FileChanged(int32_t aFileId) {
  const auto [begin, end] = FFileMessages.equal_range(aFileId);
  for (auto entry = begin; entry != end; ++entry) {
    const int row = RowOfMessage(entry->second);
    if (row >= 0) Changed(row, row);
  }
}

void TqvnConversationModel::RevealSpoilers(int aRow) {
  if (aRow < 0 || aRow >= static_cast<int>(FRows.size()) || FRows[aRow].SpoilersShown) return;
  FRows[aRow].SpoilersShown = true;
  Changed(aRow, aRow);
}

void TqvnConversationModel::ReadMarkMoved() {
  const TqvnChat* chat = FModel.Chat(FChatId);
  const int64_t mark = chat != nullptr ? chat->LastReadOutboxMessageId : 0;
  if (mark == FReadOutbox) return;
  const int64_t low = std::min(mark, FReadOutbox);
  const int64_t high = std::max(mark, FReadOutbox);
  FReadOutbox = mark;
  const std::vector<TqvnMessage>* messages = Messages();
  if (messages == nullptr) return;
  // The rows with ids in (low, high]: their ticks change.
  const auto from = std::partition_point(messages->begin(), messages->end(),
                                         [low](const TqvnMessage& m) { return IdBefore(m, low + 1); });
  const auto to = std::partition_point(messages->begin(), messages->end(),
                                       [high](const TqvnMessage& m) { return IdBefore(m, high + 1); });
  if (from >= to) return;
  Changed(static_cast<int>(from - messages->begin()), static_cast<int>(to - messages->begin()) - 1);
}

void TqvnConversationModel::QuotesChanged(const std::vector<int64_t>& aIds) {
  const std::vector<TqvnMessage>* messages = Messages();
  if (messages == nullptr || aIds.empty()) return;
  for (size_t i = 0; i < messages->size() && i < FRows.size(); ++i) {
    const int64_t quoted = (*messages)[i].ReplyToMessageId;
    if (quoted != 0 && std::find(aIds.begin(), aIds.end(), quoted) != aIds.end()) {
      Changed(static_cast<int>(i), static_cast<int>(i));
    }
  }
}

void TqvnConversationModel::Changed(int aFirst, int aLast) {
  for (int row = aFirst; row <= aLast; ++row) FRows[row].Revision = ++FRevisions;
  emit dataChanged(index(aFirst), index(aLast));
}

int TqvnConversationModel::RowOfMessage(int64_t aMessageId) const {
  const std::vector<TqvnMessage>* messages = Messages();
  if (messages == nullptr || aMessageId == 0) return -1;
  const auto found = std::partition_point(
      messages->begin(), messages->end(),
      [aMessageId](const TqvnMessage& m) { return IdBefore(m, aMessageId); });
  if (found == messages->end() || found->Id != aMessageId) return -1;
  const int row = static_cast<int>(found - messages->begin());
  return row < static_cast<int>(FRows.size()) ? row : -1;
}

const TqvnMessage* TqvnConversationModel::MessageAt(int aRow) const {
  const std::vector<TqvnMessage>* messages = Messages();
  if (messages == nullptr || aRow < 0 || aRow >= static_cast<int>(FRows.size()) ||
      aRow >= static_cast<int>(messages->size()) || !SameMessage(FRows[aRow], (*messages)[aRow])) {
    return nullptr;
  }
  return &(*messages)[aRow];
}

TqvnConversationModel::TRowFacts TqvnConversationModel::Facts(int aRow) const {
  TRowFacts facts;
  const TqvnMessage* message = MessageAt(aRow);
  if (message == nullptr) return facts;
  const TqvnMessage* previous = aRow > 0 ? MessageAt(aRow - 1) : nullptr;
  const int64_t now = FNow();
  facts.Message = message;
  facts.Revision = FRows[aRow].Revision;
  facts.SpoilersShown = FRows[aRow].SpoilersShown;
  facts.Service = IsService(message->ContentType);
  facts.Time = QDateTime::fromSecsSinceEpoch(message->Date).toString(QStringLiteral("HH:mm"));
  const bool newDay = previous == nullptr || LocalDay(previous->Date) != LocalDay(message->Date);
  if (newDay) facts.DaySeparator = DayText(message->Date, now);
  const bool grouped = !newDay && previous != nullptr && SameSender(*previous, *message) &&
                       !IsService(previous->ContentType) && !previous->ForwardedFrom.has_value() &&
                       message->Date - previous->Date < kGroupSeconds;
  if (!grouped) facts.Sender = Q(SenderName(FModel, *message));
  const TqvnChat* chat = FModel.Chat(message->ChatId);
  const bool group = chat != nullptr && (chat->Type == "chatTypeBasicGroup" ||
                                         (chat->Type == "chatTypeSupergroup" && !chat->IsChannel));
  facts.ShowSender = group && !message->Outgoing && !facts.Sender.isEmpty();

  if (message->ContentType == "messageText") {
    facts.Body = Q(message->Text);
  } else if (IsMediaWithText(message->ContentType)) {
    // The media line without its caption; the caption is the body the entities format.
    TqvnMessage bare = *message;
    bare.Text.clear();
    facts.Media = Q(MessageBody(FModel, bare));
    facts.Body = Q(message->Text);
  } else {
    facts.Media = Q(MessageBody(FModel, *message));
  }

  if (message->ReplyToMessageId != 0) {
    const int64_t quotedChat = message->ReplyToChatId != 0 ? message->ReplyToChatId : message->ChatId;
    if (const TqvnMessage* quoted = FModel.FindMessage(quotedChat, message->ReplyToMessageId)) {
      facts.ReplySender = Q(SenderName(FModel, *quoted));
      facts.Reply = facts.ReplySender + QStringLiteral(": ") +
                    Q(std::string(FirstLine(MessageBody(FModel, *quoted))));
    } else {
      // Within the loaded messages a missing one was deleted; older ones are not loaded yet.
      const TqvnMessage* oldest = MessageAt(0);
      const bool loaded = quotedChat == message->ChatId && oldest != nullptr && oldest->Id != 0 &&
                          message->ReplyToMessageId > oldest->Id;
      facts.Reply = loaded ? QStringLiteral("Deleted message") : QStringLiteral("Message");
    }
  }
  if (message->ForwardedFrom) {
    facts.Forward = Q("Forwarded from " + ForwardName(FModel, *message->ForwardedFrom));
  }
  facts.Reactions = ReactionsText(message->Reactions);
  facts.Progress = TransferPercent(FModel, *message);

  const TqvnFile* file = message->FileId != 0 ? FModel.File(message->FileId) : nullptr;
  switch (message->State) {
    case TqvnSendState::pending:
      facts.ReadState = QStringLiteral("pending");
      facts.StateText = file != nullptr && file->Uploading
                            ? QStringLiteral("uploading %1%").arg(facts.Progress)
                            : QStringLiteral("sending…");
      break;
    case TqvnSendState::failed:
      facts.ReadState = QStringLiteral("failed");
      facts.Failed = true;
      facts.StateText = Q("not sent: " + message->ErrorMessage + " (error " +
                          std::to_string(message->ErrorCode) + ")" +
                          (message->CanRetry ? "; click to send again" : "; click to edit it"));
      break;
    case TqvnSendState::sent:
      if (message->Outgoing) {
        const bool read = message->Id != 0 && chat != nullptr &&
                          message->Id <= chat->LastReadOutboxMessageId;
        facts.ReadState = read ? QStringLiteral("read") : QStringLiteral("sent");
      }
      if (message->FileId != 0 && message->ContentType != "messageSticker") {
        if (file != nullptr && file->Downloading) {
          facts.StateText = QStringLiteral("downloading %1%").arg(facts.Progress);
        } else if (file != nullptr && file->Downloaded && !file->LocalPath.empty()) {
          facts.StateText = QStringLiteral("click to open");
        } else {
          facts.StateText = QStringLiteral("click to download");
        }
      }
      break;
  }
  if (message->PictureFileId != 0) {
    const TqvnFile* picture = FModel.File(message->PictureFileId);
    if (picture != nullptr && picture->Downloaded) facts.PicturePath = Q(picture->LocalPath);
  }
  return facts;
}

int TqvnConversationModel::rowCount(const QModelIndex& aParent) const {
  return aParent.isValid() ? 0 : static_cast<int>(FRows.size());
}

QVariant TqvnConversationModel::data(const QModelIndex& aIndex, int aRole) const {
  const TqvnMessage* message = aIndex.isValid() ? MessageAt(aIndex.row()) : nullptr;
  if (message == nullptr) return {};
  switch (aRole) {
    case Qt::DisplayRole:
    case Qt::AccessibleTextRole:
      return Q(ConversationLine(FModel, *message, FNow()));
    case kMessageIdRole:
      return QVariant::fromValue<qint64>(message->Id);
    case kLocalKeyRole:
      return Q(message->LocalKey);
    case kProgressRole:
      return TransferPercent(FModel, *message);
    case kEditedRole:
      return message->Edited;
    case kOutgoingRole:
      return message->Outgoing;
    case kRevisionRole:
      return QVariant::fromValue<quint64>(FRows[aIndex.row()].Revision);
    case kSpoilersShownRole:
      return FRows[aIndex.row()].SpoilersShown;
    case kEntitiesRole: {
      QVariantList entities;
      for (const TqvnTextEntity& entity : message->Entities) {
        entities.push_back(QVariantMap{{QStringLiteral("Type"), Q(entity.Type)},
                                       {QStringLiteral("Offset"), entity.Offset},
                                       {QStringLiteral("Length"), entity.Length},
                                       {QStringLiteral("Url"), Q(entity.Url)},
                                       {QStringLiteral("UserId"), QVariant::fromValue<qint64>(entity.UserId)}});
      }
      return entities;
    }
    default:
      break;
  }
  const TRowFacts facts = Facts(aIndex.row());
  switch (aRole) {
    case Qt::ForegroundRole:
      return facts.Failed ? QVariant(QColor(0xb0, 0x1c, 0x1c)) : QVariant();
    case kSenderRole:
      return facts.Sender;
    case kTimeRole:
      return facts.Time;
    case kDaySeparatorRole:
      return facts.DaySeparator;
    case kBodyRole:
      return facts.Body;
    case kMediaRole:
      return facts.Media;
    case kReplyRole:
      return facts.Reply;
    case kForwardRole:
      return facts.Forward;
    case kReactionsRole:
      return facts.Reactions;
    case kReadStateRole:
      return facts.ReadState;
    case kStateTextRole:
      return facts.StateText;
    case kServiceRole:
      return facts.Service;
    case kPictureRole:
      if (message->PictureFileId == 0 && message->Minithumbnail.Jpeg.empty()) return QString();
      return facts.PicturePath.isEmpty() ? QStringLiteral("thumbnail") : QStringLiteral("file");
    default:
      return {};
  }
}

}  // namespace qvn
