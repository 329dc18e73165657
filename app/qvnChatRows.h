// The rows of the window's chat list and how they are drawn, and the round avatars they share
// with the chat header.
//
// TqvnChatRow is one row of listChats: "All chats" (always first), or one chat with its facts
// in item data roles (filled by the window's RefreshChatRows), and its place in the list (the
// chat model's order key) for QListWidget::sortItems(Qt::DescendingOrder). The row's text is the
// chat's title.
//
// TqvnChatRowDelegate draws a row as Telegram's chat lists do: the avatar at the left; on the
// first line the title in bold (with a muted mark) and the last message's time at the right; on
// the second the preview ("Draft: " in red) and at the right the unread badge (grey when muted)
// or, without one, a pin mark for a pinned chat. Titles and previews elide; times and badges
// keep their width. Rows are as wide as the list's viewport: their size hint asks for no width,
// so the list never scrolls sideways.
//
// GUI thread only; rows belong to their list widget.
#ifndef QVN_APP_QVNCHATROWS_H
#define QVN_APP_QVNCHATROWS_H

#include <QColor>
#include <QListWidgetItem>
#include <QPixmap>
#include <QStyledItemDelegate>

#include "app/qvnChatModel.h"

class QPainter;

namespace qvn {

// The letters of an avatar: the first character (a whole grapheme, so an emoji stays whole) of
// the first two words of aTitle, upper-cased; one for a single word, "" for a blank title.
QString ChatInitials(const QString& aTitle);
// One of Telegram's seven avatar colours, chosen from the chat's id (a private chat's is its
// user's id, so a user keeps their colour everywhere).
QColor AvatarColor(int64_t aChatId);
// A round avatar filling aCircle: aPhoto when it has one, else aInitials on aColor.
void PaintAvatar(QPainter& aPainter, const QRectF& aCircle, const QString& aInitials,
                 const QColor& aColor, const QPixmap& aPhoto);

class TqvnChatRow : public QListWidgetItem {
 public:
  static constexpr int kChatIdRole = Qt::UserRole;        // qint64; 0 on "All chats"
  static constexpr int kUnreadRole = Qt::UserRole + 1;    // int
  static constexpr int kPreviewRole = Qt::UserRole + 2;   // QString: ChatPreview
  static constexpr int kTimeRole = Qt::UserRole + 3;      // QString: ListTimeText of the last one
  static constexpr int kPinnedRole = Qt::UserRole + 4;    // bool
  static constexpr int kMutedRole = Qt::UserRole + 5;     // bool
  static constexpr int kDraftRole = Qt::UserRole + 6;     // bool: the preview is a draft
  static constexpr int kInitialsRole = Qt::UserRole + 7;  // QString: ChatInitials of the title
  static constexpr int kPhotoRole = Qt::UserRole + 8;     // QPixmap; null while there is none

  // "All chats".
  TqvnChatRow();
  explicit TqvnChatRow(int64_t aChatId);

  bool AllChats() const { return FAllChats; }
  int64_t ChatId() const { return FChatId; }
  const TqvnChatModel::TOrderKey& Key() const { return FKey; }
  void SetKey(const TqvnChatModel::TOrderKey& aKey) { FKey = aKey; }
  // The TDLib file of the photo shown (0: none); kPhotoRole holds it once it is downloaded.
  int32_t PhotoFileId() const { return FPhotoFileId; }
  void SetPhotoFileId(int32_t aFileId) { FPhotoFileId = aFileId; }

  // "All chats" is greater than every chat; chats compare by their order keys.
  bool operator<(const QListWidgetItem& aOther) const override;

 private:
  bool FAllChats = false;
  int64_t FChatId = 0;
  TqvnChatModel::TOrderKey FKey;
  int32_t FPhotoFileId = 0;
};

class TqvnChatRowDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;
  void paint(QPainter* aPainter, const QStyleOptionViewItem& aOption,
             const QModelIndex& aIndex) const override;
  QSize sizeHint(const QStyleOptionViewItem& aOption, const QModelIndex& aIndex) const override;
};

}  // namespace qvn

#endif  // QVN_APP_QVNCHATROWS_H
