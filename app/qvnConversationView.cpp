#include "app/qvnConversationView.h"

#include <QDropEvent>
#include <QMimeData>
#include <QPainter>
#include <QScrollBar>
#include <QTimer>
#include <algorithm>

#include "app/qvnComposer.h"
#include "app/qvnConversationModel.h"
#include "app/qvnMessageDelegate.h"

namespace qvn {

TqvnConversationView::TqvnConversationView(QWidget* aParent)
    : QAbstractItemView(aParent), FDelegate(new TqvnMessageDelegate(this)) {
  setItemDelegate(FDelegate);
  setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  // A scroll bar that comes and goes would change the width, the wrapping and the rows' places.
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setMouseTracking(true);
  setAcceptDrops(true);
  viewport()->setAcceptDrops(true);
  connect(verticalScrollBar(), &QScrollBar::valueChanged, this, [this] {
    if (!FUpdating) AskForOlderAtTop();
  });
}

// ---- Geometry ----

QStyleOptionViewItem TqvnConversationView::RowOption(int aRow) const {
  QStyleOptionViewItem option;
  initViewItemOption(&option);
  const int top = aRow >= 0 && aRow < static_cast<int>(FHeights.size()) ? FTops[aRow] : 0;
  const int height = aRow >= 0 && aRow < static_cast<int>(FHeights.size()) ? FHeights[aRow] : 0;
  option.rect = QRect(0, top - verticalOffset(), viewport()->width(), height);
  return option;
}

int TqvnConversationView::Measure(int aRow) {
  ++FMeasurements;
  return FDelegate->sizeHint(RowOption(aRow), model()->index(aRow, 0)).height();
}

void TqvnConversationView::UpdateTops(int aFrom) {
  FTops.resize(FHeights.size() + 1);
  if (aFrom <= 0) FTops[0] = 0;
  for (size_t row = static_cast<size_t>(std::max(aFrom, 0)); row < FHeights.size(); ++row) {
    FTops[row + 1] = FTops[row] + FHeights[row];
  }
}

void TqvnConversationView::MeasureAll() {
  FWidth = viewport()->width();
  const int rows = model() != nullptr ? model()->rowCount() : 0;
  FHeights.assign(static_cast<size_t>(rows), 0);
  for (int row = 0; row < rows; ++row) FHeights[row] = Measure(row);
  UpdateTops(0);
}

int TqvnConversationView::RowAtY(int aY) const {
  if (FHeights.empty() || aY < 0 || aY >= FTops.back()) return -1;
  const auto after = std::upper_bound(FTops.begin(), FTops.end() - 1, aY);
  return static_cast<int>(after - FTops.begin()) - 1;
}

int TqvnConversationView::verticalOffset() const {
  return verticalScrollBar()->value();
}

QRect TqvnConversationView::visualRect(const QModelIndex& aIndex) const {
  const int row = aIndex.isValid() ? aIndex.row() : -1;
  if (row < 0 || row >= static_cast<int>(FHeights.size())) return {};
  return {0, FTops[row] - verticalOffset(), viewport()->width(), FHeights[row]};
}

QModelIndex TqvnConversationView::indexAt(const QPoint& aPoint) const {
  const int row = RowAtY(aPoint.y() + verticalOffset());
  return row >= 0 && model() != nullptr ? model()->index(row, 0) : QModelIndex();
}

QRect TqvnConversationView::TextRangeRect(const QModelIndex& aIndex, int aOffset,
                                          int aLength) const {
  const QRect row = visualRect(aIndex);
  if (row.isNull()) return {};
  const auto layout = FDelegate->Layout(RowOption(aIndex.row()), aIndex);
  return layout ? layout->RangeRect(aOffset, aLength).translated(row.topLeft()) : QRect();
}

void TqvnConversationView::scrollTo(const QModelIndex& aIndex, ScrollHint aHint) {
  const QRect rect = visualRect(aIndex);
  if (rect.isNull()) return;
  const int height = viewport()->height();
  const int top = rect.top() + verticalOffset();
  int value = verticalOffset();
  switch (aHint) {
    case PositionAtTop:
      value = top;
      break;
    case PositionAtBottom:
      value = top + rect.height() - height;
      break;
    case PositionAtCenter:
      value = top - (height - rect.height()) / 2;
      break;
    case EnsureVisible:
      if (rect.top() < 0) value = top;
      else if (rect.bottom() >= height) value = top + rect.height() - height;
      break;
  }
  verticalScrollBar()->setValue(value);
}

void TqvnConversationView::Flash(const QModelIndex& aIndex) {
  if (!aIndex.isValid()) return;
  scrollTo(aIndex, PositionAtCenter);
  setCurrentIndex(aIndex);
}

void TqvnConversationView::updateGeometries() {
  const int total = FTops.empty() ? 0 : FTops.back();
  const int height = viewport()->height();
  verticalScrollBar()->setRange(0, std::max(0, total - height));
  verticalScrollBar()->setPageStep(height);
  verticalScrollBar()->setSingleStep(24);
  QAbstractItemView::updateGeometries();
}

// ---- Following the model ----

TqvnConversationView::TAnchor TqvnConversationView::Anchor() const {
  TAnchor anchor;
  const int value = verticalScrollBar()->value();
  anchor.AtBottom = value >= verticalScrollBar()->maximum();
  anchor.Row = RowAtY(value);
  if (anchor.Row >= 0) anchor.Offset = value - FTops[anchor.Row];
  return anchor;
}

void TqvnConversationView::Restore(const TAnchor& aAnchor) {
  FUpdating = true;
  updateGeometries();
  if (aAnchor.AtBottom) {
    verticalScrollBar()->setValue(verticalScrollBar()->maximum());
  } else if (aAnchor.Row >= 0 && aAnchor.Row < static_cast<int>(FHeights.size())) {
    verticalScrollBar()->setValue(FTops[aAnchor.Row] + aAnchor.Offset);
  }
  FUpdating = false;
  viewport()->update();
  AskForOlderLater();
}

void TqvnConversationView::reset() {
  QAbstractItemView::reset();
  FPicturesAsked.clear();
  MeasureAll();
  Restore({});  // a conversation just shown starts at its end
}

void TqvnConversationView::rowsInserted(const QModelIndex& aParent, int aStart, int aEnd) {
  if (!aParent.isValid()) {
    TAnchor anchor = Anchor();
    const int count = aEnd - aStart + 1;
    if (anchor.Row >= aStart) anchor.Row += count;
    FHeights.insert(FHeights.begin() + aStart, static_cast<size_t>(count), 0);
    UpdateTops(aStart);  // rows are measured at their places
    for (int row = aStart; row <= aEnd; ++row) FHeights[row] = Measure(row);
    UpdateTops(aStart);
    Restore(anchor);
  }
  QAbstractItemView::rowsInserted(aParent, aStart, aEnd);
}

void TqvnConversationView::rowsAboutToBeRemoved(const QModelIndex& aParent, int aStart, int aEnd) {
  if (!aParent.isValid()) {
    TAnchor anchor = Anchor();
    const int count = aEnd - aStart + 1;
    if (anchor.Row > aEnd) {
      anchor.Row -= count;
    } else if (anchor.Row >= aStart) {
      anchor.Row = aStart;  // the row that takes the removed ones' place
      anchor.Offset = 0;
    }
    FHeights.erase(FHeights.begin() + aStart, FHeights.begin() + aEnd + 1);
    UpdateTops(aStart);
    Restore(anchor);
  }
  QAbstractItemView::rowsAboutToBeRemoved(aParent, aStart, aEnd);
}

void TqvnConversationView::dataChanged(const QModelIndex& aTopLeft, const QModelIndex& aBottomRight,
                                       const QList<int>& aRoles) {
  const int first = aTopLeft.row();
  const int last = std::min(aBottomRight.row(), static_cast<int>(FHeights.size()) - 1);
  if (first >= 0 && first <= last) {
    const TAnchor anchor = Anchor();
    bool moved = false;
    for (int row = first; row <= last; ++row) {
      const int height = Measure(row);
      moved = moved || height != FHeights[row];
      FHeights[row] = height;
    }
    if (moved) {
      UpdateTops(first);
      Restore(anchor);
    }
  }
  QAbstractItemView::dataChanged(aTopLeft, aBottomRight, aRoles);
  viewport()->update();
}

void TqvnConversationView::resizeEvent(QResizeEvent* aEvent) {
  const TAnchor anchor = Anchor();
  QAbstractItemView::resizeEvent(aEvent);
  if (viewport()->width() != FWidth && model() != nullptr) MeasureAll();
  Restore(anchor);
}

void TqvnConversationView::scrollContentsBy(int /*aDx*/, int /*aDy*/) {
  viewport()->update();
}

void TqvnConversationView::AskForOlderLater() {
  if (FOlderCheckQueued) return;
  FOlderCheckQueued = true;
  QTimer::singleShot(0, this, [this] {
    FOlderCheckQueued = false;
    AskForOlderAtTop();
  });
}

void TqvnConversationView::AskForOlderAtTop() {
  if (model() == nullptr || !isVisible()) return;
  if (verticalScrollBar()->value() == verticalScrollBar()->minimum()) emit OlderWanted();
}

// ---- Painting ----

void TqvnConversationView::paintEvent(QPaintEvent* aEvent) {
  QPainter painter(viewport());
  const QPalette& colours = palette();
  const QColor window = colours.color(QPalette::Window);
  const QColor accent = colours.color(QPalette::Highlight);
  painter.fillRect(aEvent->rect(),
                   QColor::fromRgbF(window.redF() * 0.93 + accent.redF() * 0.07,
                                    window.greenF() * 0.93 + accent.greenF() * 0.07,
                                    window.blueF() * 0.93 + accent.blueF() * 0.07));
  if (model() == nullptr) return;
  const int offset = verticalOffset();
  const int height = viewport()->height();
  for (int row = std::max(0, RowAtY(offset)); row >= 0 && row < static_cast<int>(FHeights.size()) &&
                                              FTops[row] < offset + height;
       ++row) {
    const QModelIndex index = model()->index(row, 0);
    QStyleOptionViewItem option = RowOption(row);
    if (selectionModel() != nullptr && selectionModel()->isSelected(index)) {
      option.state |= QStyle::State_Selected;
    }
    if (!option.rect.intersects(aEvent->rect())) continue;
    FDelegate->paint(&painter, option, index);
    const auto layout = FDelegate->Layout(option, index);
    const int picture = layout ? layout->PictureFileId() : 0;
    if (picture != 0 && !FPicturesAsked.contains(picture) &&
        index.data(TqvnConversationModel::kPictureRole).toString() != QLatin1String("file")) {
      FPicturesAsked.insert(picture);
      QTimer::singleShot(0, this, [this, picture] { emit PictureWanted(picture); });
    }
  }
}

// ---- Selection and keyboard ----

QModelIndex TqvnConversationView::moveCursor(CursorAction aAction, Qt::KeyboardModifiers) {
  const int rows = model() != nullptr ? model()->rowCount() : 0;
  if (rows == 0) return {};
  const int current = currentIndex().isValid() ? currentIndex().row() : rows - 1;
  const int page = std::max(1, viewport()->height() / 60);
  int row = current;
  switch (aAction) {
    case MoveUp:
    case MovePrevious:
      row = current - 1;
      break;
    case MoveDown:
    case MoveNext:
      row = current + 1;
      break;
    case MovePageUp:
      row = current - page;
      break;
    case MovePageDown:
      row = current + page;
      break;
    case MoveHome:
      row = 0;
      break;
    case MoveEnd:
      row = rows - 1;
      break;
    default:
      break;
  }
  return model()->index(std::clamp(row, 0, rows - 1), 0);
}

void TqvnConversationView::setSelection(const QRect& aRect,
                                        QItemSelectionModel::SelectionFlags aFlags) {
  const int first = RowAtY(aRect.top() + verticalOffset());
  int last = RowAtY(aRect.bottom() + verticalOffset());
  if (first < 0) return;
  if (last < 0) last = first;
  selectionModel()->select(QItemSelection(model()->index(std::min(first, last), 0),
                                          model()->index(std::max(first, last), 0)),
                           aFlags);
}

QRegion TqvnConversationView::visualRegionForSelection(const QItemSelection& aSelection) const {
  QRegion region;
  for (const QItemSelectionRange& range : aSelection) {
    for (int row = range.top(); row <= range.bottom(); ++row) {
      const QRect rect = visualRect(model()->index(row, 0));
      if (rect.bottom() >= 0 && rect.top() < viewport()->height()) region += rect;
    }
  }
  return region;
}

// ---- Clicks ----

void TqvnConversationView::mousePressEvent(QMouseEvent* aEvent) {
  FPressedAt = aEvent->position().toPoint();
  QAbstractItemView::mousePressEvent(aEvent);
}

void TqvnConversationView::mouseReleaseEvent(QMouseEvent* aEvent) {
  const QPoint point = aEvent->position().toPoint();
  const QModelIndex pressed = indexAt(FPressedAt);
  QAbstractItemView::mouseReleaseEvent(aEvent);
  if (aEvent->button() == Qt::LeftButton && pressed.isValid() && indexAt(point) == pressed) {
    Clicked(pressed, point);
  }
}

void TqvnConversationView::Clicked(const QModelIndex& aIndex, QPoint aPoint) {
  const auto* conversation = qobject_cast<const TqvnConversationModel*>(model());
  const auto layout = FDelegate->Layout(RowOption(aIndex.row()), aIndex);
  if (conversation == nullptr || !layout) return;
  const TqvnMessageLayout::THit hit = layout->HitAt(aPoint - visualRect(aIndex).topLeft());
  const TqvnMessage* message = conversation->MessageAt(aIndex.row());
  if (message == nullptr) return;
  switch (hit.Kind) {
    case TqvnMessageLayout::THit::spoiler:
      const_cast<TqvnConversationModel*>(conversation)->RevealSpoilers(aIndex.row());
      return;
    case TqvnMessageLayout::THit::link:
      emit LinkClicked(hit.Type, hit.Value, hit.UserId);
      return;
    case TqvnMessageLayout::THit::reply:
      emit ReplyClicked(message->ReplyToMessageId);
      return;
    case TqvnMessageLayout::THit::none:  // beside the bubble: the row all the same
    case TqvnMessageLayout::THit::row:
    case TqvnMessageLayout::THit::picture:
      emit MessageClicked(message->Id, QString::fromStdString(message->LocalKey));
      return;
  }
}

// ---- Dropped files ----

void TqvnConversationView::dragEnterEvent(QDragEnterEvent* aEvent) {
  if (!TqvnComposer::LocalFiles(aEvent->mimeData()).isEmpty()) aEvent->acceptProposedAction();
}

void TqvnConversationView::dragMoveEvent(QDragMoveEvent* aEvent) {
  if (!TqvnComposer::LocalFiles(aEvent->mimeData()).isEmpty()) aEvent->acceptProposedAction();
}

void TqvnConversationView::dropEvent(QDropEvent* aEvent) {
  const QStringList files = TqvnComposer::LocalFiles(aEvent->mimeData());
  if (files.isEmpty()) return;
  aEvent->acceptProposedAction();
  emit FilesDropped(files);
}

}  // namespace qvn
