#include "app/qvnMessageLayout.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>
#include <QStyleOptionViewItem>
#include <algorithm>
#include <array>

#include "app/qvnMessageText.h"

namespace qvn {
namespace {

constexpr int kMargin = 10;       // between the view's edges and the bubbles
constexpr int kIndent = 48;       // a bubble leaves at least this much of the row free
constexpr int kMaxBubble = 560;   // the widest bubble
constexpr int kPad = 9;           // inside a bubble
constexpr int kGap = 4;           // between a bubble's parts
constexpr int kRowGap = 3;        // between rows
constexpr int kGroupGap = 8;      // above a row that starts a group
constexpr int kMaxPicture = 320;  // the highest picture
constexpr int kRadius = 10;

// Telegram's palette of name colours, chosen by the sender's id.
QColor SenderColor(qint64 aId) {
  static const std::array<QRgb, 7> kColors = {0xc03d33, 0x4fad2d, 0xd09306, 0x168acd,
                                              0x8544d6, 0xcd4073, 0x2996ad};
  return QColor::fromRgb(kColors[static_cast<size_t>((aId < 0 ? -aId : aId) % 7)]);
}

QColor Mix(const QColor& aFrom, const QColor& aTo, double aShare) {
  return QColor::fromRgbF(aFrom.redF() + (aTo.redF() - aFrom.redF()) * aShare,
                          aFrom.greenF() + (aTo.greenF() - aFrom.greenF()) * aShare,
                          aFrom.blueF() + (aTo.blueF() - aFrom.blueF()) * aShare);
}

bool IsLink(const std::string& aType) {
  static const std::array<const char*, 9> kLinks = {"Url",     "TextUrl",    "EmailAddress",
                                                    "Mention", "MentionName", "Hashtag",
                                                    "Cashtag", "BotCommand", "PhoneNumber"};
  return std::find_if(kLinks.begin(), kLinks.end(), [&](const char* aLink) { return aType == aLink; }) !=
         kLinks.end();
}

// The height of aText wrapped to aWidth in aFont.
QRect Wrapped(const QFont& aFont, int aWidth, const QString& aText) {
  return QFontMetrics(aFont).boundingRect(QRect(0, 0, aWidth, 1 << 20),
                                          Qt::TextWordWrap | Qt::TextWrapAnywhere, aText);
}

}  // namespace

TqvnMessageLayout::TqvnMessageLayout(const TqvnConversationModel::TRowFacts& aFacts,
                                     const QFont& aFont, int aWidth)
    : FFont(aFont), FBold(aFont), FSmall(aFont) {
  FBold.setWeight(QFont::DemiBold);
  FSmall.setPointSizeF(aFont.pointSizeF() > 0 ? aFont.pointSizeF() * 0.85 : 8);
  const TqvnMessage* message = aFacts.Message;
  if (message == nullptr) return;
  const QFontMetrics metrics(FFont);
  const QFontMetrics small(FSmall);
  int y = aFacts.Sender.isEmpty() ? kRowGap : kGroupGap;

  if (!aFacts.DaySeparator.isEmpty()) {
    FSeparatorText = aFacts.DaySeparator;
    const int width = QFontMetrics(FBold).horizontalAdvance(FSeparatorText) + 24;
    FSeparator = QRect((aWidth - width) / 2, y + 4, width, metrics.height() + 8);
    y = FSeparator.bottom() + 1 + 10;
  }

  FService = aFacts.Service;
  if (FService) {
    const QString text = aFacts.Media.isEmpty() ? aFacts.Body : aFacts.Media;
    const QRect bounds = Wrapped(FFont, std::max(60, aWidth - 2 * kIndent), text);
    FMedia = text;
    FMediaRect = QRect(0, 0, bounds.width(), bounds.height());
    FBubble = QRect((aWidth - bounds.width()) / 2 - 12, y, bounds.width() + 24, bounds.height() + 8);
    FMediaRect.moveTopLeft(FBubble.topLeft() + QPoint(12, 4));
    FHeight = FBubble.bottom() + 1 + kRowGap;
    return;
  }

  FOutgoing = message->Outgoing;
  FFailed = aFacts.Failed;
  const int maxBubble = std::max(120, std::min(aWidth - 2 * kMargin - kIndent, kMaxBubble));
  const int inner = maxBubble - 2 * kPad;
  int natural = 0;  // the widest part
  int top = kPad - 2;  // inside the bubble
  const auto place = [&](QRect& aRect, int aWidth, int aHeight) {
    aRect = QRect(0, top, aWidth, aHeight);
    top += aHeight + kGap;
    natural = std::max(natural, aWidth);
  };

  if (aFacts.ShowSender) {
    FSender = aFacts.Sender;
    FSenderColor = SenderColor(message->SenderUserId != 0 ? message->SenderUserId : message->SenderChatId);
    place(FSenderRect, std::min(inner, QFontMetrics(FBold).horizontalAdvance(FSender) + 4),
          QFontMetrics(FBold).height());
  }
  if (!aFacts.Forward.isEmpty()) {
    FForward = aFacts.Forward;
    place(FForwardRect, std::min(inner, small.horizontalAdvance(FForward)), small.height());
  }
  if (!aFacts.Reply.isEmpty()) {
    FReplySender = aFacts.ReplySender;
    FReplyText = aFacts.ReplySender.isEmpty()
                     ? aFacts.Reply
                     : aFacts.Reply.mid(aFacts.ReplySender.size() + 2);
    const int width = std::min(inner, std::max(QFontMetrics(FBold).horizontalAdvance(FReplySender),
                                               metrics.horizontalAdvance(FReplyText)) + 12);
    place(FReply, width, (FReplySender.isEmpty() ? 0 : QFontMetrics(FBold).height()) +
                             metrics.height() + 6);
  }

  // The picture: its size fitted to the bubble and to the highest picture.
  const bool hasPicture = message->PictureFileId != 0 || !message->Minithumbnail.Jpeg.empty();
  if (hasPicture) {
    FPictureFileId = message->PictureFileId;
    FSticker = message->ContentType == "messageSticker";
    QSize size(message->PictureWidth, message->PictureHeight);
    if (size.isEmpty()) size = QSize(message->Width, message->Height);
    if (size.isEmpty()) size = QSize(message->Minithumbnail.Width, message->Minithumbnail.Height);
    if (size.isEmpty()) size = QSize(kMaxPicture, kMaxPicture * 3 / 4);
    size.scale(QSize(inner, FSticker ? 180 : kMaxPicture), Qt::KeepAspectRatio);
    if (!message->Minithumbnail.Jpeg.empty()) {
      FThumbnail = QImage::fromData(
          reinterpret_cast<const uchar*>(message->Minithumbnail.Jpeg.data()),
          static_cast<int>(message->Minithumbnail.Jpeg.size()));
    }
    if (message->ContentType == "messageVideo" || message->ContentType == "messageAnimation") {
      FPictureLabel = message->ContentType == "messageAnimation"
                          ? QStringLiteral("GIF")
                          : QString::fromStdString(DurationText(message->Duration));
    } else if (FSticker) {
      FPictureLabel = QString::fromStdString(message->Emoji);
    }
    place(FPicture, size.width(), size.height());
  }
  const bool mediaShown = !aFacts.Media.isEmpty() &&
                          !(hasPicture && (message->ContentType == "messagePhoto" || FSticker));
  if (mediaShown) {
    FMedia = aFacts.Media;
    const QRect bounds = Wrapped(FBold, inner, FMedia);
    place(FMediaRect, bounds.width(), bounds.height());
  }
  FSpoilersShown = aFacts.SpoilersShown;
  if (!aFacts.Body.isEmpty()) {
    LayOutText(aFacts, inner);
    const QRectF bounds = FText->boundingRect();
    int width = 0;
    for (int i = 0; i < FText->lineCount(); ++i) {
      width = std::max(width, static_cast<int>(std::ceil(FText->lineAt(i).naturalTextWidth())));
    }
    FTextAt = QPointF(0, top);
    top += static_cast<int>(std::ceil(bounds.height())) + kGap;
    natural = std::max(natural, width);
  }
  if (!aFacts.Reactions.isEmpty()) {
    int x = 0;
    int rowTop = top;
    const int height = metrics.height() + 6;
    for (const TqvnReaction& reaction : message->Reactions) {
      const QString text = QString::fromStdString(reaction.Emoji.empty() ? reaction.Label : reaction.Emoji) +
                           QLatin1Char(' ') + QString::number(reaction.Count);
      const int width = metrics.horizontalAdvance(text) + 16;
      if (x > 0 && x + width > inner) {
        x = 0;
        rowTop += height + kGap;
      }
      FPills.push_back({QRect(x, rowTop, width, height), text, reaction.Chosen});
      x += width + kGap;
      natural = std::max(natural, x - kGap);
    }
    top = rowTop + height + kGap;
  }
  if (!aFacts.StateText.isEmpty()) {
    FState = aFacts.StateText;
    const QRect bounds = Wrapped(FSmall, inner, FState);
    place(FStateRect, bounds.width(), bounds.height());
  }
  if (aFacts.Progress >= 0) {
    FProgress = aFacts.Progress;
    place(FProgressRect, std::min(inner, 200), 6);
  }

  // The time, with "edited" before it and the ticks after it, at the bubble's bottom right:
  // beside the last line of text when it fits there.
  FTime = (message->Edited ? QStringLiteral("edited ") : QString()) + aFacts.Time;
  if (aFacts.ReadState == QLatin1String("read")) FTicks = QStringLiteral("✓✓");
  else if (aFacts.ReadState == QLatin1String("sent")) FTicks = QStringLiteral("✓");
  else if (aFacts.ReadState == QLatin1String("pending")) FTicks = QStringLiteral("🕓");
  else if (aFacts.ReadState == QLatin1String("failed")) FTicks = QStringLiteral("!");
  const QString stamp = FTicks.isEmpty() ? FTime : FTime + QLatin1Char(' ') + FTicks;
  const int stampWidth = small.horizontalAdvance(stamp) + 2;
  bool besideText = false;
  if (FText && FText->lineCount() > 0 && FPills.empty() && FState.isEmpty() && FProgress < 0) {
    const QTextLine last = FText->lineAt(FText->lineCount() - 1);
    const int lastWidth = static_cast<int>(std::ceil(last.naturalTextWidth()));
    if (lastWidth + 12 + stampWidth <= inner) {
      besideText = true;
      natural = std::max(natural, lastWidth + 12 + stampWidth);
      const int baseline = static_cast<int>(FTextAt.y() + last.y() + last.ascent());
      FTimeRect = QRect(0, baseline - small.ascent(), stampWidth, small.height());
      top = std::max(top, FTimeRect.bottom() + 1 + kGap);
    }
  }
  if (!besideText) {
    natural = std::max(natural, stampWidth);
    if (top == kPad - 2) top = kPad;  // nothing else: a tidy bubble all the same
    FTimeRect = QRect(0, top - kGap + 1, stampWidth, small.height());
    top = FTimeRect.bottom() + 1 + kGap;
  }
  const int bubbleWidth = std::min(maxBubble, natural + 2 * kPad);
  const int bubbleHeight = top - kGap + kPad - 2;
  const int left = FOutgoing ? aWidth - kMargin - bubbleWidth : kMargin;
  FBubble = QRect(left, y, bubbleWidth, bubbleHeight);
  // From bubble-relative to row-relative places.
  const QPoint shift(left + kPad, y);
  for (QRect* rect : {&FSenderRect, &FForwardRect, &FReply, &FPicture, &FMediaRect, &FStateRect,
                      &FProgressRect}) {
    if (!rect->isNull()) rect->translate(shift);
  }
  for (TPill& pill : FPills) pill.Rect.translate(shift);
  FTextAt += QPointF(shift);
  FTimeRect.moveRight(FBubble.right() - kPad + 2);
  FTimeRect.translate(0, y);
  FHeight = FBubble.bottom() + 1 + kRowGap;
}

void TqvnMessageLayout::LayOutText(const TqvnConversationModel::TRowFacts& aFacts, int aWidth) {
  const QString& text = aFacts.Body;
  FText = std::make_unique<QTextLayout>(text, FFont);
  QTextOption option;
  option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
  FText->setTextOption(option);
  QList<QTextLayout::FormatRange> formats;
  QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  fixed.setPointSizeF(FFont.pointSizeF() > 0 ? FFont.pointSizeF() * 0.95 : fixed.pointSizeF());
  for (const TqvnTextEntity& entity : aFacts.Message->Entities) {
    // TDLib counts UTF-16 units, as QString does.
    const int start = std::clamp(entity.Offset, 0, static_cast<int>(text.size()));
    const int length = std::clamp(entity.Length, 0, static_cast<int>(text.size()) - start);
    if (length == 0) continue;
    QTextCharFormat format;
    const std::string& type = entity.Type;
    if (type == "Bold") {
      format.setFontWeight(QFont::Bold);
    } else if (type == "Italic") {
      format.setFontItalic(true);
    } else if (type == "Underline") {
      format.setFontUnderline(true);
    } else if (type == "Strikethrough") {
      format.setFontStrikeOut(true);
    } else if (type == "Code" || type == "Pre" || type == "PreCode") {
      format.setFontFamilies(fixed.families());
      format.setForeground(QColor(0xc7, 0x25, 0x4e));
    } else if (type == "Spoiler") {
      FSpoilers.push_back({start, length, QString::fromStdString(type), {}, 0});
      continue;
    } else if (IsLink(type)) {
      format.setForeground(QPalette().color(QPalette::Link));
      if (type == "TextUrl") format.setFontUnderline(true);
      FLinks.push_back({start, length, QString::fromStdString(type),
                        type == "TextUrl" ? QString::fromStdString(entity.Url) : text.mid(start, length),
                        entity.UserId});
    } else {
      continue;
    }
    formats.push_back({start, length, format});
  }
  FText->setFormats(formats);
  FText->beginLayout();
  qreal y = 0;
  for (;;) {
    QTextLine line = FText->createLine();
    if (!line.isValid()) break;
    line.setLineWidth(aWidth);
    line.setPosition(QPointF(0, y));
    y += line.height();
  }
  FText->endLayout();
}

std::vector<QRect> TqvnMessageLayout::RangeRects(int aStart, int aLength) const {
  std::vector<QRect> rects;
  if (!FText) return rects;
  const int end = aStart + aLength;
  for (int i = 0; i < FText->lineCount(); ++i) {
    const QTextLine line = FText->lineAt(i);
    const int from = std::max(aStart, line.textStart());
    const int to = std::min(end, line.textStart() + line.textLength());
    if (from >= to) continue;
    const qreal left = line.cursorToX(from);
    const qreal right = line.cursorToX(to);
    rects.push_back(QRectF(FTextAt.x() + std::min(left, right), FTextAt.y() + line.y(),
                           std::abs(right - left), line.height())
                        .toAlignedRect());
  }
  return rects;
}

QRect TqvnMessageLayout::RangeRect(int aOffset, int aLength) const {
  const std::vector<QRect> rects = RangeRects(aOffset, aLength);
  return rects.empty() ? QRect() : rects.front();
}

TqvnMessageLayout::THit TqvnMessageLayout::HitAt(QPoint aPoint) const {
  THit hit;
  if (!FBubble.contains(aPoint)) return hit;
  hit.Kind = THit::row;
  if (FService) return hit;
  if (FReply.contains(aPoint)) {
    hit.Kind = THit::reply;
    return hit;
  }
  if (FPicture.contains(aPoint)) {
    hit.Kind = THit::picture;
    return hit;
  }
  const auto inside = [&](const TRange& aRange) {
    for (const QRect& rect : RangeRects(aRange.Start, aRange.Length)) {
      if (rect.contains(aPoint)) return true;
    }
    return false;
  };
  if (!FSpoilersShown) {
    for (const TRange& spoiler : FSpoilers) {
      if (inside(spoiler)) {
        hit.Kind = THit::spoiler;
        return hit;
      }
    }
  }
  for (const TRange& link : FLinks) {
    if (!inside(link)) continue;
    hit.Kind = THit::link;
    hit.Type = link.Type;
    hit.Value = link.Value;
    hit.UserId = link.UserId;
    return hit;
  }
  return hit;
}

void TqvnMessageLayout::Paint(QPainter* aPainter, const QStyleOptionViewItem& aOption,
                              const QImage& aPicture) const {
  const QPalette& palette = aOption.palette;
  const QColor text = palette.color(QPalette::Text);
  const QColor base = palette.color(QPalette::Base);
  const QColor muted = Mix(text, base, 0.5);
  const QColor accent = palette.color(QPalette::Highlight);
  const bool selected = aOption.state & QStyle::State_Selected;
  aPainter->save();
  aPainter->translate(aOption.rect.topLeft());
  aPainter->setRenderHint(QPainter::Antialiasing);

  if (!FSeparator.isNull()) {
    aPainter->setPen(Qt::NoPen);
    aPainter->setBrush(Mix(palette.color(QPalette::Window), text, 0.12));
    aPainter->drawRoundedRect(FSeparator, FSeparator.height() / 2.0, FSeparator.height() / 2.0);
    aPainter->setPen(text);
    aPainter->setFont(FBold);
    aPainter->drawText(FSeparator, Qt::AlignCenter, FSeparatorText);
  }
  if (FService) {
    aPainter->setPen(Qt::NoPen);
    aPainter->setBrush(selected ? Mix(base, accent, 0.3) : Mix(palette.color(QPalette::Window), text, 0.08));
    aPainter->drawRoundedRect(FBubble, kRadius, kRadius);
    aPainter->setPen(muted);
    aPainter->setFont(FFont);
    aPainter->drawText(FMediaRect, Qt::AlignCenter | Qt::TextWordWrap, FMedia);
    aPainter->restore();
    return;
  }

  // The bubble: outgoing ones tinted with the accent, the selected one more so.
  QColor bubble = FOutgoing ? Mix(base, accent, 0.14) : base;
  if (selected) bubble = Mix(bubble, accent, 0.22);
  aPainter->setPen(QPen(Mix(bubble, text, 0.10), 1));
  aPainter->setBrush(bubble);
  aPainter->drawRoundedRect(QRectF(FBubble).adjusted(0.5, 0.5, -0.5, -0.5), kRadius, kRadius);

  if (!FSender.isEmpty()) {
    aPainter->setPen(FSenderColor);
    aPainter->setFont(FBold);
    aPainter->drawText(FSenderRect, Qt::AlignLeft | Qt::AlignVCenter,
                       QFontMetrics(FBold).elidedText(FSender, Qt::ElideRight, FSenderRect.width()));
  }
  if (!FForward.isEmpty()) {
    aPainter->setPen(palette.color(QPalette::Link));
    aPainter->setFont(FSmall);
    aPainter->drawText(FForwardRect, Qt::AlignLeft | Qt::AlignVCenter,
                       QFontMetrics(FSmall).elidedText(FForward, Qt::ElideRight, FForwardRect.width()));
  }
  if (!FReply.isNull()) {
    aPainter->setPen(Qt::NoPen);
    aPainter->setBrush(Mix(bubble, accent, 0.10));
    aPainter->drawRoundedRect(FReply, 4, 4);
    aPainter->setBrush(accent);
    aPainter->drawRect(QRect(FReply.left(), FReply.top(), 3, FReply.height()));
    const QRect area = FReply.adjusted(9, 3, -3, -3);
    int y = area.top();
    if (!FReplySender.isEmpty()) {
      aPainter->setPen(accent);
      aPainter->setFont(FBold);
      const QFontMetrics bold(FBold);
      aPainter->drawText(QRect(area.left(), y, area.width(), bold.height()), Qt::AlignLeft,
                         bold.elidedText(FReplySender, Qt::ElideRight, area.width()));
      y += bold.height();
    }
    aPainter->setPen(FReplySender.isEmpty() ? muted : text);
    aPainter->setFont(FFont);
    const QFontMetrics metrics(FFont);
    aPainter->drawText(QRect(area.left(), y, area.width(), metrics.height()), Qt::AlignLeft,
                       metrics.elidedText(FReplyText, Qt::ElideRight, area.width()));
  }
  if (!FPicture.isNull()) {
    QPainterPath clip;
    clip.addRoundedRect(FPicture, 6, 6);
    aPainter->save();
    aPainter->setClipPath(clip);
    if (!aPicture.isNull()) {
      aPainter->drawImage(FPicture, aPicture);
    } else if (!FThumbnail.isNull()) {
      aPainter->setRenderHint(QPainter::SmoothPixmapTransform);
      aPainter->drawImage(FPicture, FThumbnail);
    } else if (!FSticker) {
      aPainter->fillRect(FPicture, Mix(bubble, text, 0.15));
    }
    aPainter->restore();
    if (FSticker && aPicture.isNull()) {
      QFont big = FFont;
      big.setPointSizeF(std::max(12.0, FFont.pointSizeF()) * 4);
      aPainter->setFont(big);
      aPainter->setPen(text);
      aPainter->drawText(FPicture, Qt::AlignCenter, FPictureLabel);
    } else if (!FPictureLabel.isEmpty()) {
      aPainter->setFont(FSmall);
      const QFontMetrics small(FSmall);
      const QRect label(FPicture.left() + 6, FPicture.top() + 6,
                        small.horizontalAdvance(FPictureLabel) + 10, small.height() + 4);
      aPainter->setPen(Qt::NoPen);
      aPainter->setBrush(QColor(0, 0, 0, 140));
      aPainter->drawRoundedRect(label, 6, 6);
      aPainter->setPen(Qt::white);
      aPainter->drawText(label, Qt::AlignCenter, FPictureLabel);
    }
  }
  if (!FMedia.isEmpty()) {
    aPainter->setPen(text);
    aPainter->setFont(FBold);
    aPainter->drawText(FMediaRect, Qt::AlignLeft | Qt::TextWordWrap | Qt::TextWrapAnywhere, FMedia);
  }
  if (FText) {
    aPainter->setPen(text);
    FText->draw(aPainter, FTextAt);
    if (!FSpoilersShown) {
      aPainter->setPen(Qt::NoPen);
      aPainter->setBrush(Mix(bubble, text, 0.45));
      for (const TRange& spoiler : FSpoilers) {
        for (const QRect& rect : RangeRects(spoiler.Start, spoiler.Length)) {
          aPainter->drawRoundedRect(rect.adjusted(0, 1, 0, -1), 3, 3);
        }
      }
    }
  }
  aPainter->setFont(FFont);
  for (const TPill& pill : FPills) {
    aPainter->setPen(pill.Chosen ? QPen(accent, 1) : Qt::NoPen);
    aPainter->setBrush(pill.Chosen ? Mix(bubble, accent, 0.30) : Mix(bubble, text, 0.07));
    aPainter->drawRoundedRect(pill.Rect, pill.Rect.height() / 2.0, pill.Rect.height() / 2.0);
    aPainter->setPen(text);
    aPainter->drawText(pill.Rect, Qt::AlignCenter, pill.Text);
  }
  aPainter->setFont(FSmall);
  if (!FState.isEmpty()) {
    aPainter->setPen(FFailed ? QColor(0xb0, 0x1c, 0x1c) : muted);
    aPainter->drawText(FStateRect, Qt::AlignLeft | Qt::TextWordWrap | Qt::TextWrapAnywhere, FState);
  }
  if (FProgress >= 0) {
    aPainter->setPen(Qt::NoPen);
    aPainter->setBrush(Mix(bubble, text, 0.12));
    aPainter->drawRoundedRect(FProgressRect, 3, 3);
    aPainter->setBrush(accent);
    aPainter->drawRoundedRect(
        QRect(FProgressRect.topLeft(), QSize(FProgressRect.width() * FProgress / 100, FProgressRect.height())),
        3, 3);
  }
  const QFontMetrics small(FSmall);
  aPainter->setPen(FFailed ? QColor(0xb0, 0x1c, 0x1c) : muted);
  const QString stamp = FTicks.isEmpty() ? FTime : FTime + QLatin1Char(' ');
  aPainter->drawText(FTimeRect, Qt::AlignLeft | Qt::AlignVCenter, stamp);
  if (!FTicks.isEmpty()) {
    aPainter->setPen(FTicks == QStringLiteral("✓✓") ? accent : FFailed ? QColor(0xb0, 0x1c, 0x1c) : muted);
    aPainter->drawText(FTimeRect.adjusted(small.horizontalAdvance(stamp), 0, 0, 0),
                       Qt::AlignLeft | Qt::AlignVCenter, FTicks);
  }
  aPainter->restore();
}

}  // namespace qvn
