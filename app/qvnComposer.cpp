#include "app/qvnComposer.h"

#include <QKeyEvent>
#include <QMimeData>
#include <QTextBlock>
#include <QUrl>
#include <algorithm>

namespace qvn {

TqvnComposer::TqvnComposer(QWidget* aParent) : QPlainTextEdit(aParent) {
  setTabChangesFocus(true);
  setLineWrapMode(QPlainTextEdit::WidgetWidth);
  setPlaceholderText(QStringLiteral(
      "Message: Enter sends, Shift+Enter starts a new line; **bold** __italic__ --strike-- "
      "~~underline~~ ##code##"));
  connect(this, &QPlainTextEdit::textChanged, this, &TqvnComposer::FitHeight);
  FitHeight();
}

QStringList TqvnComposer::LocalFiles(const QMimeData* aData) {
  QStringList paths;
  if (aData == nullptr || !aData->hasUrls()) return paths;
  for (const QUrl& url : aData->urls()) {
    if (url.isLocalFile()) paths << url.toLocalFile();
  }
  return paths;
}

void TqvnComposer::keyPressEvent(QKeyEvent* aEvent) {
  const int key = aEvent->key();
  const bool shift = aEvent->modifiers() & Qt::ShiftModifier;
  if (key == Qt::Key_Return || key == Qt::Key_Enter) {
    if (shift) {
      insertPlainText(QStringLiteral("\n"));
    } else {
      emit SendWanted();
    }
    return;
  }
  if (key == Qt::Key_Escape) {
    emit CancelWanted();
    return;
  }
  if (key == Qt::Key_Up && aEvent->modifiers() == Qt::NoModifier && document()->isEmpty()) {
    emit EditLastWanted();
    return;
  }
  QPlainTextEdit::keyPressEvent(aEvent);
}

bool TqvnComposer::canInsertFromMimeData(const QMimeData* aSource) const {
  return aSource->hasImage() || !LocalFiles(aSource).isEmpty() ||
         QPlainTextEdit::canInsertFromMimeData(aSource);
}

void TqvnComposer::insertFromMimeData(const QMimeData* aSource) {
  const QStringList files = LocalFiles(aSource);
  if (!files.isEmpty()) {
    emit FilesGiven(files);
  } else if (aSource->hasImage()) {
    emit ImagePasted(qvariant_cast<QImage>(aSource->imageData()));
  } else if (aSource->hasText()) {
    insertPlainText(aSource->text());
  }
}

void TqvnComposer::FitHeight() {
  int lines = 0;
  for (QTextBlock block = document()->firstBlock(); block.isValid(); block = block.next()) {
    lines += std::max(1, block.layout() != nullptr ? block.layout()->lineCount() : 1);
  }
  lines = std::clamp(lines, 2, kMaxLines);
  const int margins = contentsMargins().top() + contentsMargins().bottom() +
                      static_cast<int>(2 * document()->documentMargin());
  setFixedHeight(lines * fontMetrics().lineSpacing() + margins);
}

}  // namespace qvn
