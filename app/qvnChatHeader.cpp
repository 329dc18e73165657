#include "app/qvnChatHeader.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QVBoxLayout>

#include "app/qvnChatRows.h"

namespace qvn {

namespace {

constexpr int kMargin = 4;

}  // namespace

// The round avatar, as tall as the title and status lines together.
class TqvnChatHeader::TAvatar : public QWidget {
 public:
  using QWidget::QWidget;

  void Show(const QString& aInitials, const QColor& aColor, const QPixmap& aPhoto) {
    FInitials = aInitials;
    FColor = aColor;
    FPhoto = aPhoto;
    update();
  }
  const QString& Initials() const { return FInitials; }

 protected:
  void paintEvent(QPaintEvent* /*aEvent*/) override {
    QPainter painter(this);
    const int side = std::min(width(), height());
    PaintAvatar(painter, QRectF(0, (height() - side) / 2.0, side, side), FInitials, FColor, FPhoto);
  }

 private:
  QString FInitials;
  QColor FColor;
  QPixmap FPhoto;
};

TqvnChatHeader::TqvnChatHeader(QWidget* aParent) : QWidget(aParent) {
  FAvatar = new TAvatar(this);
  FTitle = new QLabel(this);
  FTitle->setObjectName(QStringLiteral("lblChatTitle"));
  FStatus = new QLabel(this);
  FStatus->setObjectName(QStringLiteral("lblChatStatus"));
  for (QLabel* label : {FTitle, FStatus}) {
    label->setTextFormat(Qt::PlainText);
    // Long titles never widen the conversation's side: the label is cut at its right.
    label->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  }
  QFont bold = FTitle->font();
  bold.setBold(true);
  FTitle->setFont(bold);
  QPalette faint = FStatus->palette();
  QColor text = faint.color(QPalette::WindowText);
  text.setAlphaF(0.6f);
  faint.setColor(QPalette::WindowText, text);
  FStatus->setPalette(faint);

  auto* lines = new QVBoxLayout();
  lines->setSpacing(0);
  lines->addWidget(FTitle);
  lines->addWidget(FStatus);
  const int side = FTitle->sizeHint().height() + FStatus->sizeHint().height();
  FAvatar->setFixedSize(side, side);
  auto* row = new QHBoxLayout(this);
  row->setContentsMargins(kMargin, kMargin, kMargin, kMargin);
  row->setSpacing(2 * kMargin);
  row->addWidget(FAvatar);
  row->addLayout(lines, 1);
}

void TqvnChatHeader::ShowChat(const QString& aTitle, const QString& aStatus,
                              const QString& aInitials, const QColor& aColor,
                              const QPixmap& aPhoto) {
  FTitle->setText(aTitle);
  FStatus->setText(aStatus);
  FStatus->setVisible(!aStatus.isEmpty());  // a title alone stands beside the avatar's middle
  FAvatar->Show(aInitials, aColor, aPhoto);
  FAvatar->show();
}

void TqvnChatHeader::ShowStream(const QString& aTitle, const QString& aStatus) {
  FTitle->setText(aTitle);
  FStatus->setText(aStatus);
  FStatus->setVisible(!aStatus.isEmpty());
  FAvatar->hide();
}

QString TqvnChatHeader::Title() const {
  return FTitle->text();
}

QString TqvnChatHeader::Status() const {
  return FStatus->text();
}

bool TqvnChatHeader::HasAvatar() const {
  return !FAvatar->isHidden();
}

QString TqvnChatHeader::Initials() const {
  return FAvatar->Initials();
}

}  // namespace qvn
