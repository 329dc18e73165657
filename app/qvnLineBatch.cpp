#include "app/qvnLineBatch.h"

#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include "app/qvnDisplayText.h"

namespace qvn {

namespace {

// The whole text of a shortened line, kept by each of its blocks.
class TFullText : public QTextBlockUserData {
 public:
  explicit TFullText(std::shared_ptr<const std::string> aText) : Text(std::move(aText)) {}
  const std::shared_ptr<const std::string> Text;
};

}  // namespace

void TqvnLineBatch::Append(QPlainTextEdit* aView, std::string aText) {
  TLine line;
  if (aText.size() <= kMaxShownBytes) {
    line.Shown = QString::fromStdString(aText);
  } else {
    line.Shown = QString::fromStdString(
        ShortenForDisplay(aText, kMaxShownBytes, "; double-click to copy all"));
    line.Full = std::make_shared<const std::string>(std::move(aText));
  }
  if (FHolds == 0) {
    AppendAll(aView, {std::move(line)});
    return;
  }
  for (auto& [view, lines] : FPending) {
    if (view == aView) {
      lines.push_back(std::move(line));
      return;
    }
  }
  FPending.emplace_back(aView, std::vector<TLine>{std::move(line)});
}

void TqvnLineBatch::Release() {
  if (FHolds > 0) --FHolds;
  Flush();
}

void TqvnLineBatch::Flush() {
  // Taken first: a view's signals may run code that appends again.
  auto pending = std::exchange(FPending, {});
  for (const auto& [view, lines] : pending) AppendAll(view, lines);
}

std::shared_ptr<const std::string> TqvnLineBatch::FullTextAt(QPlainTextEdit* aView,
                                                             QPoint aPosition) {
  const QTextBlock block = aView->cursorForPosition(aPosition).block();
  const auto* full = dynamic_cast<const TFullText*>(block.userData());
  return full != nullptr ? full->Text : nullptr;
}

void TqvnLineBatch::AppendAll(QPlainTextEdit* aView, const std::vector<TLine>& aLines) {
  QTextDocument* document = aView->document();
  QTextCursor cursor(document);
  cursor.beginEditBlock();
  cursor.movePosition(QTextCursor::End);
  for (const TLine& line : aLines) {
    // As QPlainTextEdit::appendPlainText: a new block unless the document has no text yet.
    if (!document->isEmpty()) cursor.insertBlock();
    QTextBlock block = cursor.block();
    cursor.insertText(line.Shown);
    if (!line.Full) continue;
    for (;; block = block.next()) {  // every block of the line, its line breaks included
      block.setUserData(new TFullText(line.Full));
      if (block == cursor.block()) break;
    }
  }
  cursor.endEditBlock();
  aView->moveCursor(QTextCursor::End);
  aView->ensureCursorVisible();
}

}  // namespace qvn
