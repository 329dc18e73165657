// TqvnConversationView: the messages of one chat (a TqvnConversationModel), oldest at the top,
// drawn by a TqvnMessageDelegate.
//
// The view keeps each row's height and the running offsets of the rows, measures a row only when
// it is inserted or changed (and every row when the width changes), and paints only the rows in
// the viewport: a new message costs the same however long the history is. It keeps what the user
// is reading in place: at the bottom it stays at the bottom, otherwise the row at the top stays
// where it is (also when older messages are added above it). When the user reaches the top, or
// all rows fit without scrolling, it asks for older messages (OlderWanted); the window decides
// whether there are any.
//
// A click on a link, a mention or a hashtag reports it (LinkClicked); on the reply quote, the
// quoted message (ReplyClicked); on a hidden spoiler, reveals it; anywhere else on a row, its
// message (MessageClicked). Rows whose picture is not downloaded yet ask for it once, when first
// drawn (PictureWanted). Local files dropped on the view are handed on (FilesDropped).
//
// GUI thread only. The model and the delegate are set by the owner (setModel, setItemDelegate
// of a TqvnMessageDelegate, done by the constructor).
#ifndef QVN_APP_QVNCONVERSATIONVIEW_H
#define QVN_APP_QVNCONVERSATIONVIEW_H

#include <QAbstractItemView>
#include <set>
#include <vector>

namespace qvn {

class TqvnMessageDelegate;

class TqvnConversationView : public QAbstractItemView {
  Q_OBJECT

 public:
  explicit TqvnConversationView(QWidget* aParent = nullptr);

  QRect visualRect(const QModelIndex& aIndex) const override;
  void scrollTo(const QModelIndex& aIndex, ScrollHint aHint = EnsureVisible) override;
  QModelIndex indexAt(const QPoint& aPoint) const override;
  // Where the body text's UTF-16 range of aIndex's row is drawn, in viewport coordinates.
  QRect TextRangeRect(const QModelIndex& aIndex, int aOffset, int aLength) const;
  // Rows measured since the view was made: inserted, changed, or all at a new width.
  int Measurements() const { return FMeasurements; }
  // Scrolls to aIndex's row and selects it for a moment's highlight.
  void Flash(const QModelIndex& aIndex);

 public slots:
  void reset() override;

 signals:
  void OlderWanted();
  void MessageClicked(qint64 aMessageId, const QString& aLocalKey);
  // aType is TDLib's entity type ("Url", "TextUrl", "EmailAddress", "Mention", "MentionName",
  // "Hashtag", "BotCommand", ...); aValue its address or text; aUserId a MentionName's user.
  void LinkClicked(const QString& aType, const QString& aValue, qint64 aUserId);
  void ReplyClicked(qint64 aMessageId);
  void PictureWanted(int aFileId);
  void FilesDropped(const QStringList& aPaths);

 protected:
  QModelIndex moveCursor(CursorAction aAction, Qt::KeyboardModifiers aModifiers) override;
  int horizontalOffset() const override { return 0; }
  int verticalOffset() const override;
  bool isIndexHidden(const QModelIndex&) const override { return false; }
  void setSelection(const QRect& aRect, QItemSelectionModel::SelectionFlags aFlags) override;
  QRegion visualRegionForSelection(const QItemSelection& aSelection) const override;
  void rowsInserted(const QModelIndex& aParent, int aStart, int aEnd) override;
  void rowsAboutToBeRemoved(const QModelIndex& aParent, int aStart, int aEnd) override;
  void dataChanged(const QModelIndex& aTopLeft, const QModelIndex& aBottomRight,
                   const QList<int>& aRoles = QList<int>()) override;
  void updateGeometries() override;
  void paintEvent(QPaintEvent* aEvent) override;
  void resizeEvent(QResizeEvent* aEvent) override;
  void scrollContentsBy(int aDx, int aDy) override;
  void mousePressEvent(QMouseEvent* aEvent) override;
  void mouseReleaseEvent(QMouseEvent* aEvent) override;
  void dragEnterEvent(QDragEnterEvent* aEvent) override;
  void dragMoveEvent(QDragMoveEvent* aEvent) override;
  void dropEvent(QDropEvent* aEvent) override;

 private:
  // The row at the top of the viewport and how far the viewport's top is into it; whether the
  // view is scrolled to the bottom.
  struct TAnchor {
    int Row = -1;
    int Offset = 0;
    bool AtBottom = true;
  };
  TAnchor Anchor() const;
  void Restore(const TAnchor& aAnchor);
  QStyleOptionViewItem RowOption(int aRow) const;
  int Measure(int aRow);
  void MeasureAll();
  void UpdateTops(int aFrom);
  int RowAtY(int aY) const;  // the row covering content height aY, or -1
  void AskForOlderLater();
  void AskForOlderAtTop();
  void Clicked(const QModelIndex& aIndex, QPoint aPoint);

  TqvnMessageDelegate* FDelegate = nullptr;
  std::vector<int> FHeights;
  std::vector<int> FTops;  // FTops[i]: where row i starts; FTops.back(): the total height
  int FWidth = 0;          // the width the rows were measured at
  int FMeasurements = 0;
  bool FUpdating = false;  // the view is moving the scroll bar itself
  bool FOlderCheckQueued = false;
  QPoint FPressedAt;
  std::set<int> FPicturesAsked;
};

}  // namespace qvn

#endif  // QVN_APP_QVNCONVERSATIONVIEW_H
