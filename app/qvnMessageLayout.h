// TqvnMessageLayout: where each part of one conversation row goes at one width, and how to draw
// it: the day separator, the bubble (incoming left, outgoing right and tinted; a service
// message centred without one), the sender's name in its colour, the forward line, the reply
// quote, the picture, the media line, the text formatted by its entities (QTextLayout), the
// reactions' pills, the state line, the progress bar, and the time with "edited" and the ticks.
//
// Built once per row revision and width by the delegate (qvnMessageDelegate.h), which keeps it
// while the row is unchanged; Paint and HitAt read it. Coordinates are relative to the row's
// top left corner. GUI thread only.
#ifndef QVN_APP_QVNMESSAGELAYOUT_H
#define QVN_APP_QVNMESSAGELAYOUT_H

#include <QFont>
#include <QImage>
#include <QRect>
#include <QString>
#include <QTextLayout>
#include <memory>
#include <vector>

#include "app/qvnConversationModel.h"

class QPainter;
class QStyleOptionViewItem;

namespace qvn {

class TqvnMessageLayout {
 public:
  // What a point of the row is.
  struct THit {
    enum TKind { none, row, link, spoiler, reply, picture };
    TKind Kind = none;
    QString Type;   // a link's entity type ("Url", "Mention", "Hashtag", ...)
    QString Value;  // its address or text
    qint64 UserId = 0;  // of a MentionName
  };

  TqvnMessageLayout(const TqvnConversationModel::TRowFacts& aFacts, const QFont& aFont,
                    int aWidth);
  int Height() const { return FHeight; }
  // Draws the row at aOption.rect's top left; aPicture is the downloaded picture (or null).
  void Paint(QPainter* aPainter, const QStyleOptionViewItem& aOption, const QImage& aPicture) const;
  THit HitAt(QPoint aPoint) const;
  // Where the body's UTF-16 range [aOffset, aOffset + aLength) is drawn (its first line).
  QRect RangeRect(int aOffset, int aLength) const;
  // The picture's file to show once downloaded (0 for none).
  int32_t PictureFileId() const { return FPictureFileId; }
  QRect PictureRect() const { return FPicture; }

 private:
  struct TRange {
    int Start = 0;
    int Length = 0;
    QString Type;
    QString Value;
    qint64 UserId = 0;
  };
  void LayOutText(const TqvnConversationModel::TRowFacts& aFacts, int aWidth);
  std::vector<QRect> RangeRects(int aStart, int aLength) const;
  QPointF TextOrigin() const { return FTextAt; }

  int FHeight = 0;
  bool FService = false;
  bool FOutgoing = false;
  bool FFailed = false;
  QFont FFont, FBold, FSmall;
  QString FSeparatorText;
  QRect FSeparator;
  QRect FBubble;
  QString FSender;
  QColor FSenderColor;
  QRect FSenderRect;
  QString FForward;
  QRect FForwardRect;
  QString FReplySender, FReplyText;
  QRect FReply;
  QRect FPicture;
  QImage FThumbnail;
  QString FPictureLabel;  // a video's duration, a sticker's emoji while it cannot be drawn
  int32_t FPictureFileId = 0;
  bool FSticker = false;
  QString FMedia;
  QRect FMediaRect;
  std::unique_ptr<QTextLayout> FText;
  QPointF FTextAt;
  std::vector<TRange> FLinks;
  std::vector<TRange> FSpoilers;
  bool FSpoilersShown = false;
  QString FState;
  QRect FStateRect;
  QString FTime;
  QRect FTimeRect;
  QString FTicks;
  struct TPill {
    QRect Rect;
    QString Text;
    bool Chosen = false;
  };
  std::vector<TPill> FPills;
  int FProgress = -1;
  QRect FProgressRect;
};

}  // namespace qvn

#endif  // QVN_APP_QVNMESSAGELAYOUT_H
