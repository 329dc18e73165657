// TqvnConversationView: the messages of one chat, oldest at the top, one row per message.
//
// Each row shows the message's line (qvnMessageText.h) wrapped to the view's width, and under
// it a progress bar while the message's file is downloading or uploading. Rows carry the
// message's id (0 for a message the window sent that TDLib has not answered yet) and the
// window's key for the messages it sent, so clicks can be traced back to the message.
//
// The window hands over every row at once (ShowRows) after a change; the view keeps what the
// user is reading in place: at the bottom it stays at the bottom, otherwise the row at the top
// stays where it is (also when older messages are added above it). When the user reaches the
// top, or all rows fit without scrolling, it asks for older messages (OlderWanted); the window
// decides whether there are any. A click on a row reports its message (MessageClicked). Local
// files dropped on the view are handed on (FilesDropped).
//
// GUI thread only.
#ifndef QVN_APP_QVNCONVERSATIONVIEW_H
#define QVN_APP_QVNCONVERSATIONVIEW_H

#include <QListWidget>
#include <vector>

namespace qvn {

class TqvnConversationView : public QListWidget {
  Q_OBJECT

 public:
  static constexpr int kMessageIdRole = Qt::UserRole;     // qint64
  static constexpr int kLocalKeyRole = Qt::UserRole + 1;  // QString
  static constexpr int kProgressRole = Qt::UserRole + 2;  // int, 0 to 100; -1 for no bar

  struct TRow {
    QString Text;
    qint64 MessageId = 0;
    QString LocalKey;
    int Progress = -1;
    bool Failed = false;  // drawn in the error colour
  };

  explicit TqvnConversationView(QWidget* aParent = nullptr);

  // Shows aRows in place of the rows shown. aToBottom scrolls to the last row (a conversation
  // just opened); otherwise the rows in view stay in view.
  void ShowRows(const std::vector<TRow>& aRows, bool aToBottom);

 signals:
  void OlderWanted();
  void MessageClicked(qint64 aMessageId, const QString& aLocalKey);
  void FilesDropped(const QStringList& aPaths);

 protected:
  void dragEnterEvent(QDragEnterEvent* aEvent) override;
  void dragMoveEvent(QDragMoveEvent* aEvent) override;
  void dropEvent(QDropEvent* aEvent) override;

 private:
  // The row's message: its id, or its local key while it has none.
  static QString Identity(const QListWidgetItem* aItem);
  static void Fill(QListWidgetItem* aItem, const TRow& aRow);
  void AskForOlderAtTop();

  bool FShowing = false;  // ShowRows is rebuilding: scrolling is not the user's
};

}  // namespace qvn

#endif  // QVN_APP_QVNCONVERSATIONVIEW_H
