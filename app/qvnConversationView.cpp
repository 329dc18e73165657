#include "app/qvnConversationView.h"

#include <QApplication>
#include <QDropEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyledItemDelegate>

#include "app/qvnComposer.h"

namespace qvn {
namespace {

constexpr int kPadding = 4;
constexpr int kBarHeight = 10;

// Draws a row's text wrapped to the view's width, and its progress bar under the text.
class TMessageDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;

  void paint(QPainter* aPainter, const QStyleOptionViewItem& aOption,
             const QModelIndex& aIndex) const override {
    QStyleOptionViewItem option = aOption;
    initStyleOption(&option, aIndex);
    QStyle* style = option.widget ? option.widget->style() : QApplication::style();
    const QString text = option.text;
    option.text.clear();
    style->drawControl(QStyle::CE_ItemViewItem, &option, aPainter, option.widget);

    const int progress = aIndex.data(TqvnConversationView::kProgressRole).toInt();
    QRect area = option.rect.adjusted(kPadding, kPadding, -kPadding, -kPadding);
    if (progress >= 0) area.setBottom(area.bottom() - kBarHeight - kPadding);
    aPainter->save();
    const QVariant foreground = aIndex.data(Qt::ForegroundRole);
    aPainter->setPen(option.state & QStyle::State_Selected
                         ? option.palette.color(QPalette::HighlightedText)
                     : foreground.isValid() ? foreground.value<QBrush>().color()
                                            : option.palette.color(QPalette::Text));
    aPainter->setFont(option.font);
    aPainter->drawText(area, Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, text);
    aPainter->restore();
    if (progress < 0) return;
    QStyleOptionProgressBar bar;
    bar.initFrom(option.widget);
    bar.state |= QStyle::State_Horizontal;
    bar.rect = QRect(area.left(), area.bottom() + kPadding, std::min(area.width(), 240), kBarHeight);
    bar.minimum = 0;
    bar.maximum = 100;
    bar.progress = progress;
    style->drawControl(QStyle::CE_ProgressBar, &bar, aPainter, option.widget);
  }

  QSize sizeHint(const QStyleOptionViewItem& aOption, const QModelIndex& aIndex) const override {
    const auto* view = qobject_cast<const QAbstractItemView*>(aOption.widget);
    const int width = std::max(40, (view ? view->viewport()->width() : 400) - 2 * kPadding);
    const QRect text = aOption.fontMetrics.boundingRect(
        QRect(0, 0, width, 1 << 20), Qt::AlignLeft | Qt::TextWordWrap,
        aIndex.data(Qt::DisplayRole).toString());
    int height = text.height() + 2 * kPadding;
    if (aIndex.data(TqvnConversationView::kProgressRole).toInt() >= 0) {
      height += kBarHeight + kPadding;
    }
    return {width + 2 * kPadding, height};
  }
};

}  // namespace

TqvnConversationView::TqvnConversationView(QWidget* aParent) : QListWidget(aParent) {
  setItemDelegate(new TMessageDelegate(this));
  setUniformItemSizes(false);
  setWordWrap(true);
  setResizeMode(QListView::Adjust);
  setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  // A scroll bar that comes and goes would change the width, the wrapping and the rows' places.
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setAcceptDrops(true);
  viewport()->setAcceptDrops(true);
  connect(verticalScrollBar(), &QScrollBar::valueChanged, this, [this] {
    if (!FShowing) AskForOlderAtTop();
  });
  connect(this, &QListWidget::itemClicked, this, [this](QListWidgetItem* aItem) {
    emit MessageClicked(aItem->data(kMessageIdRole).toLongLong(),
                        aItem->data(kLocalKeyRole).toString());
  });
}

QString TqvnConversationView::Identity(const QListWidgetItem* aItem) {
  const qint64 id = aItem->data(kMessageIdRole).toLongLong();
  return id != 0 ? QString::number(id) : QStringLiteral("local ") + aItem->data(kLocalKeyRole).toString();
}

void TqvnConversationView::Fill(QListWidgetItem* aItem, const TRow& aRow) {
  aItem->setText(aRow.Text);
  aItem->setData(kMessageIdRole, aRow.MessageId);
  aItem->setData(kLocalKeyRole, aRow.LocalKey);
  aItem->setData(kProgressRole, aRow.Progress);
  aItem->setData(Qt::ForegroundRole, aRow.Failed ? QVariant(QBrush(QColor(0xb0, 0x1c, 0x1c)))
                                                 : QVariant());
}

void TqvnConversationView::ShowRows(const std::vector<TRow>& aRows, bool aToBottom) {
  FShowing = true;
  QScrollBar* scroll = verticalScrollBar();
  const bool atBottom = aToBottom || scroll->value() >= scroll->maximum();

  bool sameMessages = count() == static_cast<int>(aRows.size());
  for (int i = 0; sameMessages && i < count(); ++i) {
    QListWidgetItem probe;
    Fill(&probe, aRows[static_cast<size_t>(i)]);
    sameMessages = Identity(item(i)) == Identity(&probe);
  }
  if (sameMessages) {
    for (int i = 0; i < count(); ++i) Fill(item(i), aRows[static_cast<size_t>(i)]);
  } else {
    // The row at the top of the view, and how far above the view's top it starts.
    QString anchor;
    int anchorTop = 0;
    if (QListWidgetItem* top = itemAt(QPoint(1, 1))) {
      anchor = Identity(top);
      anchorTop = visualItemRect(top).top();
    }
    clear();
    for (const TRow& row : aRows) {
      auto* newRow = new QListWidgetItem(this);
      Fill(newRow, row);
    }
    doItemsLayout();
    if (!atBottom && !anchor.isEmpty()) {
      for (int i = 0; i < count(); ++i) {
        if (Identity(item(i)) != anchor) continue;
        scroll->setValue(scroll->value() + visualItemRect(item(i)).top() - anchorTop);
        break;
      }
    }
  }
  doItemsLayout();
  if (atBottom) scroll->setValue(scroll->maximum());
  FShowing = false;
  AskForOlderAtTop();
}

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

void TqvnConversationView::AskForOlderAtTop() {
  if (verticalScrollBar()->value() == verticalScrollBar()->minimum()) emit OlderWanted();
}

}  // namespace qvn
