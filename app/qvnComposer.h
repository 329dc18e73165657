// TqvnComposer: the window's message box, a multi-line plain-text edit.
//
// Enter asks for the text to be sent (SendWanted); Shift+Enter starts a new line. Up in an empty
// box asks to edit the last message (EditLastWanted); Escape asks to drop the reply or edit under
// way (CancelWanted). Pasting or dropping takes plain text as typed; an image on the clipboard
// (ImagePasted) and local files (FilesGiven) are handed to the window instead of going into the
// text. There is no length limit: what is pasted stays whole. Tab moves the focus on.
//
// GUI thread only; owned by its Qt parent.
#ifndef QVN_APP_QVNCOMPOSER_H
#define QVN_APP_QVNCOMPOSER_H

#include <QImage>
#include <QPlainTextEdit>
#include <QStringList>

namespace qvn {

class TqvnComposer : public QPlainTextEdit {
  Q_OBJECT

 public:
  explicit TqvnComposer(QWidget* aParent = nullptr);

  // Local file paths among aData's URLs, in order.
  static QStringList LocalFiles(const QMimeData* aData);

 signals:
  void SendWanted();
  void EditLastWanted();
  void CancelWanted();
  void ImagePasted(const QImage& aImage);
  void FilesGiven(const QStringList& aPaths);

 protected:
  void keyPressEvent(QKeyEvent* aEvent) override;
  bool canInsertFromMimeData(const QMimeData* aSource) const override;
  void insertFromMimeData(const QMimeData* aSource) override;

 private:
  // Grows with its lines, from two to kMaxLines, then scrolls.
  void FitHeight();
  static constexpr int kMaxLines = 8;
};

}  // namespace qvn

#endif  // QVN_APP_QVNCOMPOSER_H
