// TqvnLineView: a read-only list of text lines that only grows: the window's log (memoLog) and
// its stream of every chat's new messages (memoMessages).
//
// Every row has the same height and is drawn only while it is in view, so adding a line costs
// the same at the ten-thousandth line as at the first (a text editor reallocates and lays out its
// one document instead). A text with line breaks gives one row per line. A text longer than
// kMaxShownBytes shows only its beginning and "… (N bytes; double-click to copy all)": the whole
// text stays with the text's rows and FullTextAt finds it. A row wider than the view is cut
// with "…" (its tooltip shows it); Ctrl+C copies the selected rows' whole texts.
//
// While held (Hold ... Release, nesting allowed) Append gathers the lines and Release (or Flush)
// adds them in one step: a burst of events makes one change of the list, not one per line. The
// view follows the newest line while it shows the last row; scrolled up, it stays where it is.
//
// GUI thread only.
#ifndef QVN_APP_QVNLINEVIEW_H
#define QVN_APP_QVNLINEVIEW_H

#include <QListView>
#include <cstddef>
#include <memory>
#include <string>
#include <vector>

namespace qvn {

class TqvnLineView : public QListView {
  Q_OBJECT

 public:
  static constexpr std::size_t kMaxShownBytes = 4096;

  explicit TqvnLineView(QWidget* aParent = nullptr);

  // aText is UTF-8.
  void Append(std::string aText);
  void Hold() { ++FHolds; }
  // Ends one Hold and shows everything gathered.
  void Release();
  void Flush();

  // Forgets every row.
  void Clear();

  int RowCount() const;
  // Row aRow as shown.
  QString RowText(int aRow) const;
  // The whole text of the shortened line shown at aPosition (viewport coordinates), or null
  // when the line there is shown whole.
  std::shared_ptr<const std::string> FullTextAt(QPoint aPosition) const;
  // The selected rows, in order, each line's whole text once: what Ctrl+C copies.
  QString SelectedText() const;

 protected:
  void keyPressEvent(QKeyEvent* aEvent) override;
  void showEvent(QShowEvent* aEvent) override;

 private:
  struct TRow {
    QString Shown;
    std::shared_ptr<const std::string> Full;  // only on the rows of a shortened line
  };
  class TModel;

  TModel* FModel = nullptr;  // owned by the view (its Qt parent)
  int FHolds = 0;
  bool FFollowWhenShown = false;  // lines came while hidden and the newest was in view
  std::vector<TRow> FPending;
};

}  // namespace qvn

#endif  // QVN_APP_QVNLINEVIEW_H
