#include "app/qvnChatRows.h"

#include <QApplication>
#include <QPainter>

namespace qvn {
namespace {

constexpr int kPadding = 4;

}  // namespace

TqvnChatRow::TqvnChatRow() : QListWidgetItem(QStringLiteral("All chats")), FAllChats(true) {
  setData(kChatIdRole, qint64{0});
  setData(kPreviewRole, QStringLiteral("Every new message as it arrives"));
}

TqvnChatRow::TqvnChatRow(int64_t aChatId) : FChatId(aChatId) {
  setData(kChatIdRole, static_cast<qint64>(aChatId));
}

bool TqvnChatRow::operator<(const QListWidgetItem& aOther) const {
  const auto* other = dynamic_cast<const TqvnChatRow*>(&aOther);
  if (other == nullptr || FAllChats) return false;
  if (other->FAllChats) return true;
  return FKey < other->FKey;
}

void TqvnChatRowDelegate::paint(QPainter* aPainter, const QStyleOptionViewItem& aOption,
                                const QModelIndex& aIndex) const {
  QStyleOptionViewItem option = aOption;
  initStyleOption(&option, aIndex);
  const QWidget* widget = option.widget;
  QStyle* style = widget ? widget->style() : QApplication::style();
  option.text.clear();
  style->drawControl(QStyle::CE_ItemViewItem, &option, aPainter, widget);

  const bool selected = option.state & QStyle::State_Selected;
  const QPalette& palette = option.palette;
  const QRect area = option.rect.adjusted(kPadding, kPadding / 2, -kPadding, -kPadding / 2);
  const int lineHeight = area.height() / 2;
  aPainter->save();

  // The unread badge, at the right of the first line.
  int titleWidth = area.width();
  const int unread = aIndex.data(TqvnChatRow::kUnreadRole).toInt();
  if (unread > 0) {
    QFont badgeFont = option.font;
    badgeFont.setBold(true);
    const QString count = QString::number(unread);
    const QFontMetrics metrics(badgeFont);
    const int width = std::max(metrics.horizontalAdvance(count) + 8, lineHeight);
    const QRect badge(area.right() - width + 1, area.top() + 1, width, lineHeight - 2);
    aPainter->setRenderHint(QPainter::Antialiasing);
    aPainter->setPen(Qt::NoPen);
    aPainter->setBrush(selected ? palette.highlightedText() : palette.highlight());
    aPainter->drawRoundedRect(badge, badge.height() / 2.0, badge.height() / 2.0);
    aPainter->setFont(badgeFont);
    aPainter->setPen(selected ? palette.color(QPalette::Highlight)
                              : palette.color(QPalette::HighlightedText));
    aPainter->drawText(badge, Qt::AlignCenter, count);
    titleWidth -= width + kPadding;
  }

  const QColor text = palette.color(selected ? QPalette::HighlightedText : QPalette::Text);
  QFont titleFont = option.font;
  titleFont.setBold(true);
  aPainter->setFont(titleFont);
  aPainter->setPen(text);
  const QRect titleRect(area.left(), area.top(), titleWidth, lineHeight);
  aPainter->drawText(titleRect, Qt::AlignLeft | Qt::AlignVCenter,
                     QFontMetrics(titleFont).elidedText(aIndex.data(Qt::DisplayRole).toString(),
                                                        Qt::ElideRight, titleRect.width()));

  aPainter->setFont(option.font);
  QColor muted = text;
  muted.setAlphaF(0.65f);
  aPainter->setPen(muted);
  const QRect previewRect(area.left(), area.top() + lineHeight, area.width(), lineHeight);
  aPainter->drawText(
      previewRect, Qt::AlignLeft | Qt::AlignVCenter,
      option.fontMetrics.elidedText(aIndex.data(TqvnChatRow::kPreviewRole).toString(),
                                    Qt::ElideRight, previewRect.width()));
  aPainter->restore();
}

QSize TqvnChatRowDelegate::sizeHint(const QStyleOptionViewItem& aOption,
                                    const QModelIndex& /*aIndex*/) const {
  const int line = aOption.fontMetrics.height() + 2;
  return {aOption.rect.width(), 2 * line + kPadding};
}

}  // namespace qvn
