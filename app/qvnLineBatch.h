// TqvnLineBatch: appends lines to plain-text views, gathering them while the batch is held, and
// bounds every line it shows.
//
// Appending one line to a QPlainTextEdit lays out the new last block and scrolls to it; for a
// burst of long lines that work, repeated per line, holds the GUI thread for seconds. While the
// batch is held (Hold ... Release, nesting allowed) Append only gathers the lines of each view;
// Flush then inserts each view's lines at its end in one edit, moves the view's cursor to the end
// and scrolls it into view once. The result is exactly what appending the lines one by one shows:
// the same blocks in the same order (a line with line breaks gives several, an empty line in an
// empty view leaves it with one empty block), the cursor at the end, the end in view. Not held,
// Append appends at once.
//
// A text of more than kMaxShownBytes bytes shows only its beginning and "… (N bytes; double-click
// to copy all)": laying out one long unbroken line costs Qt time that grows with the square of
// its length, and one event must never freeze the window. The whole text stays with the line's
// blocks (and goes with them); FullTextAt finds it under the mouse.
//
// Release flushes, at every nesting level, so everything gathered shows as soon as a held stretch
// of work (one run of the engine's ticks) ends; call Flush before anything that lets the user see
// the views meanwhile (a modal dialog). Lines keep their order within each view across holds.
//
// GUI thread only. The batch does not own the views; a view must outlive the lines gathered for
// it (in the window the batch is a member and the views are child widgets, so the batch, with
// anything still gathered, goes first).
#ifndef QVN_APP_QVNLINEBATCH_H
#define QVN_APP_QVNLINEBATCH_H

#include <QPoint>
#include <QString>
#include <cstddef>
#include <memory>
#include <string>
#include <utility>
#include <vector>

class QPlainTextEdit;

namespace qvn {

class TqvnLineBatch {
 public:
  static constexpr std::size_t kMaxShownBytes = 4096;

  // aText is UTF-8.
  void Append(QPlainTextEdit* aView, std::string aText);
  void Hold() { ++FHolds; }
  // Ends one Hold and shows everything gathered.
  void Release();
  void Flush();

  // The whole text of the shortened line shown at aPosition (aView's viewport coordinates), or
  // null when the line there was shown whole.
  static std::shared_ptr<const std::string> FullTextAt(QPlainTextEdit* aView, QPoint aPosition);

 private:
  struct TLine {
    QString Shown;
    std::shared_ptr<const std::string> Full;  // only for a shortened line
  };
  static void AppendAll(QPlainTextEdit* aView, const std::vector<TLine>& aLines);

  int FHolds = 0;
  // Gathered lines per view, views in the order of their first gathered line.
  std::vector<std::pair<QPlainTextEdit*, std::vector<TLine>>> FPending;
};

}  // namespace qvn

#endif  // QVN_APP_QVNLINEBATCH_H
