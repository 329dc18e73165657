#include "app/qvnLineBatch.h"

#include <QPlainTextEdit>
#include <QTextCursor>
#include <QTextDocument>

namespace qvn {

void TqvnLineBatch::Append(QPlainTextEdit* aView, const QString& aLine) {
  if (FHolds == 0) {
    AppendAll(aView, QStringList{aLine});
    return;
  }
  for (auto& [view, lines] : FPending) {
    if (view == aView) {
      lines.append(aLine);
      return;
    }
  }
  FPending.emplace_back(aView, QStringList{aLine});
}

void TqvnLineBatch::Release() {
  if (FHolds > 0) --FHolds;
  Flush();
}

void TqvnLineBatch::Flush() {
  // Taken first: a view's signals may run code that appends again.
  std::vector<std::pair<QPlainTextEdit*, QStringList>> pending = std::exchange(FPending, {});
  for (const auto& [view, lines] : pending) AppendAll(view, lines);
}

void TqvnLineBatch::AppendAll(QPlainTextEdit* aView, const QStringList& aLines) {
  QTextDocument* document = aView->document();
  QTextCursor cursor(document);
  cursor.beginEditBlock();
  cursor.movePosition(QTextCursor::End);
  for (const QString& line : aLines) {
    // As QPlainTextEdit::appendPlainText: a new block unless the document has no text yet.
    if (!document->isEmpty()) cursor.insertBlock();
    cursor.insertText(line);
  }
  cursor.endEditBlock();
  aView->moveCursor(QTextCursor::End);
  aView->ensureCursorVisible();
}

}  // namespace qvn
