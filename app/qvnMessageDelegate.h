// TqvnMessageDelegate: draws and measures the rows of a TqvnConversationModel, each through its
// TqvnMessageLayout (qvnMessageLayout.h), and says what a point of a row is (a link, a spoiler,
// the reply quote, the picture) for the view's clicks.
//
// A row's layout is built once per row revision and width and kept (the most recently used
// few hundred), so painting a row again costs no layout; Builds counts the layouts built.
// Downloaded pictures are read from their files once, scaled to their place, and kept too.
// Used by TqvnConversationView on the GUI thread; the model's facts are read through the index.
#ifndef QVN_APP_QVNMESSAGEDELEGATE_H
#define QVN_APP_QVNMESSAGEDELEGATE_H

#include <QAbstractItemDelegate>
#include <QCache>
#include <QImage>
#include <list>
#include <memory>
#include <unordered_map>

#include "app/qvnMessageLayout.h"

namespace qvn {

class TqvnMessageDelegate : public QAbstractItemDelegate {
  Q_OBJECT

 public:
  explicit TqvnMessageDelegate(QObject* aParent = nullptr);

  void paint(QPainter* aPainter, const QStyleOptionViewItem& aOption,
             const QModelIndex& aIndex) const override;
  QSize sizeHint(const QStyleOptionViewItem& aOption, const QModelIndex& aIndex) const override;

  // The row's layout at aWidth (built now unless kept).
  std::shared_ptr<const TqvnMessageLayout> Layout(const QStyleOptionViewItem& aOption,
                                                  const QModelIndex& aIndex) const;
  int Builds() const { return FBuilds; }

 private:
  QImage Picture(const QString& aPath, QSize aSize) const;

  struct TKey {
    quint64 Revision = 0;
    int Width = 0;
    bool operator==(const TKey&) const = default;
  };
  struct TKeyHash {
    size_t operator()(const TKey& aKey) const { return aKey.Revision * 31 + static_cast<size_t>(aKey.Width); }
  };
  using TEntry = std::pair<TKey, std::shared_ptr<const TqvnMessageLayout>>;
  mutable std::list<TEntry> FRecent;  // most recently used first
  mutable std::unordered_map<TKey, std::list<TEntry>::iterator, TKeyHash> FLayouts;
  mutable QCache<QString, QImage> FPictures;
  mutable int FBuilds = 0;
};

}  // namespace qvn

#endif  // QVN_APP_QVNMESSAGEDELEGATE_H
