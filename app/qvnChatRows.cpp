#include "app/qvnChatRows.h"

#include <QApplication>
#include <QPainter>
#include <QPainterPath>
#include <QTextBoundaryFinder>
#include <array>

namespace qvn {
namespace {

constexpr int kPadding = 6;      // around the avatar and at the row's right
constexpr int kLineSpacing = 2;  // added to the font's height per line
constexpr int kMarkSize = 10;    // the pin and muted marks, square
constexpr int kGap = 4;          // between a title or preview and what stands beside it
const QString kDraftPrefix = QStringLiteral("Draft: ");
const QColor kDraftColor(0xd1, 0x4e, 0x4e);
const QColor kMutedBadgeColor(0xa8, 0xb1, 0xba);

// The colours Telegram gives avatars without a photo: red, orange, violet, green, cyan, blue,
// pink.
constexpr std::array<QRgb, 7> kAvatarColors = {0xe17076, 0xfaa774, 0xa695e7, 0x7bc862,
                                               0x6ec9cb, 0x65aadd, 0xee7aae};

// TDLib's chat id without its kind: a supergroup's or channel's id, a basic group's, a user's.
int64_t BareId(int64_t aChatId) {
  constexpr int64_t kSupergroupBase = -1000000000000;
  if (aChatId < kSupergroupBase) return kSupergroupBase - aChatId;
  return aChatId < 0 ? -aChatId : aChatId;
}

QString FirstGrapheme(const QString& aWord) {
  QTextBoundaryFinder graphemes(QTextBoundaryFinder::Grapheme, aWord);
  const qsizetype end = graphemes.toNextBoundary();
  return aWord.left(end > 0 ? end : aWord.size());
}

int LineHeight(const QStyleOptionViewItem& aOption) {
  return aOption.fontMetrics.height() + kLineSpacing;
}

int AvatarSize(const QStyleOptionViewItem& aOption) {
  return 2 * LineHeight(aOption) + kPadding / 2;
}

// A pushpin leaning right, in aBox.
void PaintPin(QPainter& aPainter, const QRectF& aBox, const QColor& aColor) {
  aPainter.save();
  aPainter.translate(aBox.center());
  aPainter.rotate(45);
  const qreal unit = aBox.width() / 10;
  aPainter.setPen(Qt::NoPen);
  aPainter.setBrush(aColor);
  aPainter.drawRoundedRect(QRectF(-2 * unit, -5 * unit, 4 * unit, 5 * unit), unit, unit);
  aPainter.drawRect(QRectF(-3.5 * unit, -0.5 * unit, 7 * unit, 1.2 * unit));
  aPainter.setPen(QPen(aColor, unit));
  aPainter.drawLine(QPointF(0, 0.5 * unit), QPointF(0, 5 * unit));
  aPainter.restore();
}

// A loudspeaker with a cross beside it, in aBox.
void PaintMuted(QPainter& aPainter, const QRectF& aBox, const QColor& aColor) {
  aPainter.save();
  aPainter.translate(aBox.topLeft());
  const qreal unit = aBox.width() / 10;
  QPainterPath speaker;
  speaker.moveTo(0, 3.5 * unit);
  speaker.lineTo(2 * unit, 3.5 * unit);
  speaker.lineTo(5 * unit, 1 * unit);
  speaker.lineTo(5 * unit, 9 * unit);
  speaker.lineTo(2 * unit, 6.5 * unit);
  speaker.lineTo(0, 6.5 * unit);
  speaker.closeSubpath();
  aPainter.setPen(Qt::NoPen);
  aPainter.setBrush(aColor);
  aPainter.drawPath(speaker);
  aPainter.setPen(QPen(aColor, unit, Qt::SolidLine, Qt::RoundCap));
  aPainter.drawLine(QPointF(6.5 * unit, 3.5 * unit), QPointF(9.5 * unit, 6.5 * unit));
  aPainter.drawLine(QPointF(9.5 * unit, 3.5 * unit), QPointF(6.5 * unit, 6.5 * unit));
  aPainter.restore();
}

}  // namespace

QString ChatInitials(const QString& aTitle) {
  const QStringList words = aTitle.simplified().split(QLatin1Char(' '), Qt::SkipEmptyParts);
  QString initials;
  for (qsizetype i = 0; i < words.size() && i < 2; ++i) initials += FirstGrapheme(words[i]);
  return initials.toUpper();
}

QColor AvatarColor(int64_t aChatId) {
  return QColor::fromRgb(kAvatarColors[static_cast<size_t>(BareId(aChatId) % 7)]);
}

void PaintAvatar(QPainter& aPainter, const QRectF& aCircle, const QString& aInitials,
                 const QColor& aColor, const QPixmap& aPhoto) {
  aPainter.save();
  aPainter.setRenderHint(QPainter::Antialiasing);
  aPainter.setRenderHint(QPainter::SmoothPixmapTransform);
  if (!aPhoto.isNull()) {
    QPainterPath circle;
    circle.addEllipse(aCircle);
    aPainter.setClipPath(circle);
    aPainter.drawPixmap(aCircle, aPhoto, QRectF(aPhoto.rect()));
  } else {
    aPainter.setPen(Qt::NoPen);
    aPainter.setBrush(aColor);
    aPainter.drawEllipse(aCircle);
    QFont font = aPainter.font();
    font.setBold(true);
    font.setPixelSize(std::max(1, static_cast<int>(aCircle.height() * 0.38)));
    aPainter.setFont(font);
    aPainter.setPen(Qt::white);
    aPainter.drawText(aCircle, Qt::AlignCenter, aInitials);
  }
  aPainter.restore();
}

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
  option.icon = {};
  style->drawControl(QStyle::CE_ItemViewItem, &option, aPainter, widget);

  const bool selected = option.state & QStyle::State_Selected;
  const QPalette& palette = option.palette;
  const QColor text = palette.color(selected ? QPalette::HighlightedText : QPalette::Text);
  QColor faint = text;
  faint.setAlphaF(0.6f);
  const int lineHeight = LineHeight(option);
  const int avatarSize = AvatarSize(option);
  const QRect& row = option.rect;
  aPainter->save();
  aPainter->setRenderHint(QPainter::Antialiasing);

  // The avatar, centred on the row's height; "All chats" has none.
  const bool allChats = aIndex.data(TqvnChatRow::kChatIdRole).toLongLong() == 0;
  int left = row.left() + kPadding;
  if (!allChats) {
    const QRectF circle(left, row.top() + (row.height() - avatarSize) / 2.0, avatarSize,
                        avatarSize);
    PaintAvatar(*aPainter, circle, aIndex.data(TqvnChatRow::kInitialsRole).toString(),
                AvatarColor(aIndex.data(TqvnChatRow::kChatIdRole).toLongLong()),
                aIndex.data(TqvnChatRow::kPhotoRole).value<QPixmap>());
    left += avatarSize + kPadding;
  }
  const int right = row.right() - kPadding;
  const int top = row.top() + (row.height() - 2 * lineHeight) / 2;
  const QRect firstLine(left, top, std::max(0, right - left + 1), lineHeight);
  const QRect secondLine = firstLine.translated(0, lineHeight);

  // First line: the time at the right, the title (and the muted mark) in what is left.
  int titleRight = firstLine.right();
  const QString time = aIndex.data(TqvnChatRow::kTimeRole).toString();
  aPainter->setFont(option.font);
  if (!time.isEmpty()) {
    const int width = option.fontMetrics.horizontalAdvance(time);
    aPainter->setPen(faint);
    aPainter->drawText(QRect(firstLine.right() - width + 1, firstLine.top(), width, lineHeight),
                       Qt::AlignRight | Qt::AlignVCenter, time);
    titleRight -= width + kGap;
  }
  const bool muted = aIndex.data(TqvnChatRow::kMutedRole).toBool();
  QFont titleFont = option.font;
  titleFont.setBold(true);
  const QFontMetrics titleMetrics(titleFont);
  const int titleRoom = titleRight - firstLine.left() + 1 - (muted ? kMarkSize + kGap : 0);
  const QString title = titleMetrics.elidedText(aIndex.data(Qt::DisplayRole).toString(),
                                                Qt::ElideRight, std::max(0, titleRoom));
  aPainter->setFont(titleFont);
  aPainter->setPen(text);
  aPainter->drawText(QRect(firstLine.left(), firstLine.top(), std::max(0, titleRoom), lineHeight),
                     Qt::AlignLeft | Qt::AlignVCenter, title);
  if (muted) {
    const int x = firstLine.left() + titleMetrics.horizontalAdvance(title) + kGap;
    PaintMuted(*aPainter,
               QRectF(x, firstLine.top() + (lineHeight - kMarkSize) / 2.0, kMarkSize, kMarkSize),
               faint);
  }

  // Second line: the unread badge (or the pin mark) at the right, the preview in what is left.
  int previewRight = secondLine.right();
  const int unread = aIndex.data(TqvnChatRow::kUnreadRole).toInt();
  if (unread > 0) {
    QFont badgeFont = option.font;
    badgeFont.setBold(true);
    const QString count = QString::number(unread);
    const int height = lineHeight - 1;
    const int width = std::max(QFontMetrics(badgeFont).horizontalAdvance(count) + 10, height);
    const QRect badge(secondLine.right() - width + 1, secondLine.top() + 1, width, height);
    const QColor fill =
        muted ? kMutedBadgeColor
              : palette.color(selected ? QPalette::HighlightedText : QPalette::Highlight);
    aPainter->setPen(Qt::NoPen);
    aPainter->setBrush(fill);
    aPainter->drawRoundedRect(badge, height / 2.0, height / 2.0);
    aPainter->setFont(badgeFont);
    aPainter->setPen(selected && !muted ? palette.color(QPalette::Highlight) : QColor(Qt::white));
    aPainter->drawText(badge, Qt::AlignCenter, count);
    previewRight -= width + kGap;
  } else if (aIndex.data(TqvnChatRow::kPinnedRole).toBool()) {
    PaintPin(*aPainter,
             QRectF(secondLine.right() - kMarkSize + 1,
                    secondLine.top() + (lineHeight - kMarkSize) / 2.0, kMarkSize, kMarkSize),
             faint);
    previewRight -= kMarkSize + kGap;
  }
  QString preview = aIndex.data(TqvnChatRow::kPreviewRole).toString();
  QRect previewRect(secondLine.left(), secondLine.top(),
                    std::max(0, previewRight - secondLine.left() + 1), lineHeight);
  aPainter->setFont(option.font);
  if (aIndex.data(TqvnChatRow::kDraftRole).toBool() && preview.startsWith(kDraftPrefix)) {
    const QString prefix =
        option.fontMetrics.elidedText(kDraftPrefix, Qt::ElideRight, previewRect.width());
    aPainter->setPen(selected ? text : kDraftColor);
    aPainter->drawText(previewRect, Qt::AlignLeft | Qt::AlignVCenter, prefix);
    previewRect.setLeft(previewRect.left() + option.fontMetrics.horizontalAdvance(prefix));
    preview.remove(0, kDraftPrefix.size());
  }
  aPainter->setPen(faint);
  aPainter->drawText(
      previewRect, Qt::AlignLeft | Qt::AlignVCenter,
      option.fontMetrics.elidedText(preview, Qt::ElideRight, std::max(0, previewRect.width())));
  aPainter->restore();
}

QSize TqvnChatRowDelegate::sizeHint(const QStyleOptionViewItem& aOption,
                                    const QModelIndex& /*aIndex*/) const {
  // No width of its own: the list makes every row as wide as its viewport.
  return {0, AvatarSize(aOption) + kPadding + 2};
}

}  // namespace qvn
