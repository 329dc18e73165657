// TqvnConversationModel: the messages of the conversation shown, as a Qt list model over the
// chat model's TqvnConversation (qvnChatModel.h), one row per message in the same order.
//
// The window owns it and tells it of every change: Show when another chat is shown (the only
// reset), Apply with each TqvnModelChange of the chat model, and Sync after its own changes
// (local echoes, history pages, sends again). Sync compares the rows with the conversation's
// messages by identity (the window's key of a message it sent, else TDLib's id) and emits
// rowsInserted / rowsRemoved for the range that differs, and dataChanged for rows whose id or
// send state changed and for the row after an inserted or removed range (its day separator and
// grouping may change). Apply adds the rows the change names: an edited message, the files'
// rows, the outgoing rows a new read mark reaches, the rows quoting deleted or loaded messages.
//
// data() answers in constant time from the conversation's vector: the roles say what a row
// shows (sender, time, day separator, body and its formatting ranges, reply quote, forward
// line, reactions, read state, progress, picture), DisplayRole the row's line in words
// (ConversationLine). Each row carries a revision, new on every change of the row, so views
// can cache what they computed for it. GUI thread only; the chat model must outlive it.
#ifndef QVN_APP_QVNCONVERSATIONMODEL_H
#define QVN_APP_QVNCONVERSATIONMODEL_H

#include <QAbstractListModel>
#include <QString>
#include <cstdint>
#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

#include "app/qvnChatModel.h"

namespace qvn {

class TqvnConversationModel : public QAbstractListModel {
  Q_OBJECT

 public:
  enum TRole {
    kMessageIdRole = Qt::UserRole,  // qint64; 0 for a message TDLib has not answered yet
    kLocalKeyRole,                  // QString: the window's key of a message it sent
    kProgressRole,                  // int 0..100 while its file transfers; -1 for none
    kSenderRole,     // QString; "" under the previous message of the same sender
    kTimeRole,       // QString "14:02"
    kDaySeparatorRole,  // QString "Today", "Monday, 12 March"; "" when not a day's first
    kBodyRole,       // QString: the text or caption the entities format
    kMediaRole,      // QString: what the message carries ("Photo (1280×960, 350.2 KB)"); or ""
    kEntitiesRole,   // QVariantList of QVariantMap {Type, Offset, Length, Url, UserId}
    kReplyRole,      // QString "Alice Moreau: first line", "Deleted message", "Message"; or ""
    kForwardRole,    // QString "Forwarded from Alice Moreau"; or ""
    kEditedRole,     // bool
    kReactionsRole,  // QString "👍 3  ❤ 1"
    kReadStateRole,  // QString "", "sent", "read", "pending", "failed"
    kStateTextRole,  // QString: "sending…", "not sent: …; click to send again", "click to open"
    kOutgoingRole,   // bool
    kServiceRole,    // bool: something that happened in the chat, not a message
    kPictureRole,    // QString "" (no picture), "thumbnail" (only its minithumbnail), "file"
    kSpoilersShownRole,  // bool: the user revealed the message's spoilers
    kRevisionRole,   // quint64: new whenever the row changes
  };
  Q_ENUM(TRole)

  // Everything a row shows, for the delegate (one computation per row drawn or measured).
  struct TRowFacts {
    const TqvnMessage* Message = nullptr;
    QString Sender;  // "" when grouped
    bool ShowSender = false;  // a group's incoming message: the name is drawn
    QString Time;
    QString DaySeparator;
    QString Body;
    QString Media;
    QString Reply;
    QString ReplySender;  // the quoted message's sender, "" when it is not loaded
    QString Forward;
    QString Reactions;
    QString ReadState;
    QString StateText;
    bool Failed = false;
    bool Service = false;
    int Progress = -1;
    QString PicturePath;  // the downloaded picture's file, or ""
    bool SpoilersShown = false;
    quint64 Revision = 0;
  };

  explicit TqvnConversationModel(const TqvnChatModel& aModel, QObject* aParent = nullptr);

  // Shows aChatId's conversation (0: none): a model reset.
  void Show(int64_t aChatId);
  int64_t ChatId() const { return FChatId; }
  // Brings the rows in line with the conversation after a change of the chat model's.
  void Apply(const TqvnModelChange& aChange);
  // The same after a change the window made itself. Returns the rows inserted, [first, end).
  std::pair<int, int> Sync();
  // A new message the chat model appended after the last row: inserts its row without comparing
  // the others (a history of thousands costs the same as a short one). False when the message
  // went anywhere else; then Sync finds what changed.
  bool Appended(int64_t aMessageId);
  // The rows showing aFileId (a message's file or picture) changed.
  void FileChanged(int32_t aFileId);
  // The user revealed the spoilers of aRow.
  void RevealSpoilers(int aRow);

  int RowOfMessage(int64_t aMessageId) const;
  const TqvnMessage* MessageAt(int aRow) const;
  TRowFacts Facts(int aRow) const;
  // The clock the rows' day separators and times are read against (Unix time).
  void SetClock(std::function<int64_t()> aNow) { FNow = std::move(aNow); }

  int rowCount(const QModelIndex& aParent = QModelIndex()) const override;
  QVariant data(const QModelIndex& aIndex, int aRole) const override;

 private:
  struct TRow {
    int64_t Id = 0;
    std::string LocalKey;
    TqvnSendState State = TqvnSendState::sent;
    quint64 Revision = 0;
    bool SpoilersShown = false;
  };
  const std::vector<TqvnMessage>* Messages() const;
  static bool SameMessage(const TRow& aRow, const TqvnMessage& aMessage);
  TRow RowFor(const TqvnMessage& aMessage);
  void Changed(int aFirst, int aLast);
  // Rows whose outgoing messages a new read mark reached.
  void ReadMarkMoved();
  // Rows quoting one of aIds.
  void QuotesChanged(const std::vector<int64_t>& aIds);
  void IndexFiles(const TqvnMessage& aMessage);

  const TqvnChatModel& FModel;
  int64_t FChatId = 0;
  std::vector<TRow> FRows;  // in the conversation's order
  quint64 FRevisions = 0;
  int64_t FReadOutbox = 0;  // the read mark the rows show
  // Files to the messages showing them (TDLib's id, or the local key while there is none).
  std::unordered_multimap<int32_t, int64_t> FFileMessages;
  std::function<int64_t()> FNow;
};

}  // namespace qvn

#endif  // QVN_APP_QVNCONVERSATIONMODEL_H
