#include "app/qvnMessageDelegate.h"

#include <QImageReader>
#include <QPainter>
#include <QStyleOptionViewItem>

#include "app/qvnConversationModel.h"

namespace qvn {
namespace {

// Layouts kept: several screens of rows.
constexpr size_t kKeptLayouts = 400;
// Pixels of downloaded pictures kept.
constexpr int kKeptPicturePixels = 24 * 1000 * 1000;

}  // namespace

TqvnMessageDelegate::TqvnMessageDelegate(QObject* aParent)
    : QAbstractItemDelegate(aParent), FPictures(kKeptPicturePixels) {}

std::shared_ptr<const TqvnMessageLayout> TqvnMessageDelegate::Layout(
    const QStyleOptionViewItem& aOption, const QModelIndex& aIndex) const {
  const auto* model = qobject_cast<const TqvnConversationModel*>(aIndex.model());
  if (model == nullptr) return nullptr;
  const TKey key{aIndex.data(TqvnConversationModel::kRevisionRole).value<quint64>(),
                 aOption.rect.width()};
  if (auto found = FLayouts.find(key); found != FLayouts.end()) {
    FRecent.splice(FRecent.begin(), FRecent, found->second);
    return found->second->second;
  }
  ++FBuilds;
  auto layout = std::make_shared<const TqvnMessageLayout>(model->Facts(aIndex.row()), aOption.font,
                                                          aOption.rect.width());
  FRecent.emplace_front(key, layout);
  FLayouts[key] = FRecent.begin();
  if (FRecent.size() > kKeptLayouts) {
    FLayouts.erase(FRecent.back().first);
    FRecent.pop_back();
  }
  return layout;
}

QImage TqvnMessageDelegate::Picture(const QString& aPath, QSize aSize) const {
  const QString key = aPath + QLatin1Char('@') + QString::number(aSize.width());
  if (QImage* kept = FPictures.object(key)) return *kept;
  QImageReader reader(aPath);
  reader.setAutoTransform(true);
  if (!reader.canRead()) return {};
  const QSize full = reader.size();
  if (full.isValid()) reader.setScaledSize(full.scaled(aSize * 2, Qt::KeepAspectRatio).boundedTo(full));
  auto* image = new QImage(reader.read());
  if (image->isNull()) {
    delete image;
    return {};
  }
  const QImage result = *image;
  FPictures.insert(key, image, std::max(1, static_cast<int>(image->width() * image->height())));
  return result;
}

void TqvnMessageDelegate::paint(QPainter* aPainter, const QStyleOptionViewItem& aOption,
                                const QModelIndex& aIndex) const {
  const std::shared_ptr<const TqvnMessageLayout> layout = Layout(aOption, aIndex);
  if (!layout) return;
  QImage picture;
  if (layout->PictureFileId() != 0) {
    const QString path =
        static_cast<const TqvnConversationModel*>(aIndex.model())->Facts(aIndex.row()).PicturePath;
    if (!path.isEmpty()) picture = Picture(path, layout->PictureRect().size());
  }
  layout->Paint(aPainter, aOption, picture);
}

QSize TqvnMessageDelegate::sizeHint(const QStyleOptionViewItem& aOption,
                                    const QModelIndex& aIndex) const {
  const std::shared_ptr<const TqvnMessageLayout> layout = Layout(aOption, aIndex);
  return {aOption.rect.width(), layout ? layout->Height() : 0};
}

}  // namespace qvn
