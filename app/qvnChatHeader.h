// TqvnChatHeader: the strip above the conversation that says what is shown: the chat's round
// avatar, its title in bold, and under it its status ("online", "12 members", "Alice is
// typing…"), or for the stream of every chat its name and what it holds, without an avatar.
//
// A plain view: the main window tells it what to show (ShowChat, ShowStream) whenever the chat
// shown, its facts or what its members are doing change. GUI thread only; owned by its parent.
#ifndef QVN_APP_QVNCHATHEADER_H
#define QVN_APP_QVNCHATHEADER_H

#include <QColor>
#include <QPixmap>
#include <QWidget>

class QLabel;

namespace qvn {

class TqvnChatHeader : public QWidget {
  Q_OBJECT

 public:
  explicit TqvnChatHeader(QWidget* aParent = nullptr);

  // A chat: its avatar (PaintAvatar's aInitials, aColor, aPhoto), title and status.
  void ShowChat(const QString& aTitle, const QString& aStatus, const QString& aInitials,
                const QColor& aColor, const QPixmap& aPhoto);
  // The stream of every chat: a title and a line about it, no avatar.
  void ShowStream(const QString& aTitle, const QString& aStatus);

  QString Title() const;
  QString Status() const;
  // Whether an avatar shows, and its letters (for inspection).
  bool HasAvatar() const;
  QString Initials() const;

 private:
  class TAvatar;
  TAvatar* FAvatar = nullptr;
  QLabel* FTitle = nullptr;
  QLabel* FStatus = nullptr;
};

}  // namespace qvn

#endif  // QVN_APP_QVNCHATHEADER_H
