#include "app/qvnLineView.h"

#include <QAbstractListModel>
#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <utility>

#include "app/qvnDisplayText.h"

namespace qvn {

class TqvnLineView::TModel : public QAbstractListModel {
 public:
  using QAbstractListModel::QAbstractListModel;

  int rowCount(const QModelIndex& aParent) const override {
    return aParent.isValid() ? 0 : static_cast<int>(Rows.size());
  }

  QVariant data(const QModelIndex& aIndex, int aRole) const override {
    if (!aIndex.isValid() || aIndex.row() >= static_cast<int>(Rows.size())) return {};
    if (aRole == Qt::DisplayRole || aRole == Qt::ToolTipRole) {
      return Rows[static_cast<size_t>(aIndex.row())].Shown;
    }
    return {};
  }

  void Add(std::vector<TRow>& aRows) {
    if (aRows.empty()) return;
    const int first = static_cast<int>(Rows.size());
    beginInsertRows({}, first, first + static_cast<int>(aRows.size()) - 1);
    Rows.insert(Rows.end(), std::make_move_iterator(aRows.begin()),
                std::make_move_iterator(aRows.end()));
    endInsertRows();
    aRows.clear();
  }

  void Clear() {
    beginResetModel();
    Rows.clear();
    endResetModel();
  }

  std::vector<TRow> Rows;
};

namespace {

// One text line per row, as narrow as the view: the view sets every row's width to its own, so
// a long line is cut with "…" at the view's edge and never widens the list.
class TLineDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;
  QSize sizeHint(const QStyleOptionViewItem& aOption, const QModelIndex&) const override {
    return {1, aOption.fontMetrics.height() + 2};
  }
};

}  // namespace

TqvnLineView::TqvnLineView(QWidget* aParent) : QListView(aParent), FModel(new TModel(this)) {
  setModel(FModel);
  setItemDelegate(new TLineDelegate(this));
  setUniformItemSizes(true);
  setLayoutMode(QListView::SinglePass);
  setTextElideMode(Qt::ElideRight);
  setWordWrap(false);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setSelectionMode(QAbstractItemView::ExtendedSelection);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
}

void TqvnLineView::Append(std::string aText) {
  std::shared_ptr<const std::string> full;
  QString shown;
  if (aText.size() <= kMaxShownBytes) {
    shown = QString::fromStdString(aText);
  } else {
    shown = QString::fromStdString(
        ShortenForDisplay(aText, kMaxShownBytes, "; double-click to copy all"));
    full = std::make_shared<const std::string>(std::move(aText));
  }
  for (QString& line : shown.split(QLatin1Char('\n'))) {
    if (line.endsWith(QLatin1Char('\r'))) line.chop(1);
    FPending.push_back({std::move(line), full});
  }
  if (FHolds == 0) Flush();
}

void TqvnLineView::Release() {
  if (FHolds > 0) --FHolds;
  Flush();
}

void TqvnLineView::Flush() {
  if (FPending.empty()) return;
  QScrollBar* scroll = verticalScrollBar();
  const bool following = FFollowWhenShown || scroll->value() >= scroll->maximum();
  FModel->Add(FPending);
  if (!following) return;
  // Hidden (another page or view is in front), the list is laid out when it shows: scrolling
  // now would lay out every row for each delivery.
  if (isVisible()) {
    scrollToBottom();
  } else {
    FFollowWhenShown = true;
  }
}

void TqvnLineView::showEvent(QShowEvent* aEvent) {
  QListView::showEvent(aEvent);
  if (std::exchange(FFollowWhenShown, false)) scrollToBottom();
}

void TqvnLineView::Clear() {
  FPending.clear();
  FModel->Clear();
}

int TqvnLineView::RowCount() const {
  return static_cast<int>(FModel->Rows.size());
}

QString TqvnLineView::RowText(int aRow) const {
  return FModel->Rows.at(static_cast<size_t>(aRow)).Shown;
}

std::shared_ptr<const std::string> TqvnLineView::FullTextAt(QPoint aPosition) const {
  const QModelIndex index = indexAt(aPosition);
  if (!index.isValid()) return nullptr;
  return FModel->Rows[static_cast<size_t>(index.row())].Full;
}

QString TqvnLineView::SelectedText() const {
  QModelIndexList selected = selectionModel()->selectedRows();
  std::sort(selected.begin(), selected.end());
  QStringList lines;
  const std::string* lastFull = nullptr;
  for (const QModelIndex& index : selected) {
    const TRow& row = FModel->Rows[static_cast<size_t>(index.row())];
    if (!row.Full) {
      lines.push_back(row.Shown);
    } else if (row.Full.get() != lastFull) {  // a shortened line's rows give its text once
      lines.push_back(QString::fromStdString(*row.Full));
    }
    lastFull = row.Full.get();
  }
  return lines.join(QLatin1Char('\n'));
}

void TqvnLineView::keyPressEvent(QKeyEvent* aEvent) {
  if (aEvent->matches(QKeySequence::Copy)) {
    QApplication::clipboard()->setText(SelectedText());
    return;
  }
  QListView::keyPressEvent(aEvent);
}

}  // namespace qvn
