// The rows of the window's chat list and how they are drawn.
//
// TqvnChatRow is one row of listChats: "All chats" (always first), or one chat with its id,
// unread count and the first line of its last message in item data roles, and its place in the
// list (the chat model's order key) for QListWidget::sortItems(Qt::DescendingOrder). The row's
// text is the chat's title.
//
// TqvnChatRowDelegate draws a row on two lines: the title in bold with the unread count in a
// badge at the right, and under it the last message's first line in a muted colour.
//
// GUI thread only; rows belong to their list widget.
#ifndef QVN_APP_QVNCHATROWS_H
#define QVN_APP_QVNCHATROWS_H

#include <QListWidgetItem>
#include <QStyledItemDelegate>

#include "app/qvnChatModel.h"

namespace qvn {

class TqvnChatRow : public QListWidgetItem {
 public:
  static constexpr int kChatIdRole = Qt::UserRole;       // qint64; 0 on "All chats"
  static constexpr int kUnreadRole = Qt::UserRole + 1;   // int
  static constexpr int kPreviewRole = Qt::UserRole + 2;  // QString

  // "All chats".
  TqvnChatRow();
  explicit TqvnChatRow(int64_t aChatId);

  bool AllChats() const { return FAllChats; }
  int64_t ChatId() const { return FChatId; }
  const TqvnChatModel::TOrderKey& Key() const { return FKey; }
  void SetKey(const TqvnChatModel::TOrderKey& aKey) { FKey = aKey; }

  // "All chats" is greater than every chat; chats compare by their order keys.
  bool operator<(const QListWidgetItem& aOther) const override;

 private:
  bool FAllChats = false;
  int64_t FChatId = 0;
  TqvnChatModel::TOrderKey FKey;
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
