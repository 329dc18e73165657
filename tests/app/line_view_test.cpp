// The line view: what rows appended texts give, held or not; a shortened line's whole text;
// copying; and following the newest line only while the last row is in view.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <string>
#include <vector>

#include "app/qvnLineView.h"

namespace qvn::test {
namespace {

QStringList Rows(const TqvnLineView& aView) {
  QStringList rows;
  for (int i = 0; i < aView.RowCount(); ++i) rows.push_back(aView.RowText(i));
  return rows;
}

TEST(LineViewTest, TextsBecomeOneRowPerLineHeldOrNot) {
  const struct {
    const char* Name;
    std::vector<std::string> Texts;
    QStringList Rows;
  } kCases[] = {
      {"nothing", {}, {}},
      {"an empty line is a row", {""}, {QString()}},
      {"empty lines keep their places", {"", "", "after"}, {"", "", "after"}},
      {"line breaks start rows", {"one\ntwo", "crlf\r\nend", "\n"}, {"one", "two", "crlf", "end", "", ""}},
      {"UTF-8", {"é ✓", R"({"title":"\u00e9"})"}, {"é ✓", R"({"title":"\u00e9"})"}},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.Name);
    for (const bool held : {false, true}) {
      TqvnLineView view;
      QSignalSpy inserted(view.model(), &QAbstractItemModel::rowsInserted);
      if (held) view.Hold();
      for (const std::string& text : c.Texts) view.Append(text);
      if (held) {
        EXPECT_EQ(view.RowCount(), 0) << "nothing shows while held";
        view.Release();
        // A held burst is one change of the list, whatever its length.
        EXPECT_EQ(inserted.count(), c.Texts.empty() ? 0 : 1);
      }
      EXPECT_EQ(Rows(view), c.Rows);
    }
  }
}

TEST(LineViewTest, ALongLineShowsItsBeginningAndKeepsItsWholeTextForCopying) {
  TqvnLineView view;
  view.resize(400, 200);
  view.show();
  const std::string longLine = "head\n" + std::string(3 * TqvnLineView::kMaxShownBytes, 'x');
  view.Append("short");
  view.Append(longLine);
  ASSERT_EQ(view.RowCount(), 3);
  EXPECT_EQ(view.RowText(1), "head");
  EXPECT_TRUE(view.RowText(2).endsWith(QString::fromStdString(
      " (" + std::to_string(longLine.size()) + " bytes; double-click to copy all)")));
  const auto rowCentre = [&](int aRow) {
    return view.visualRect(view.model()->index(aRow, 0)).center();
  };
  EXPECT_EQ(view.FullTextAt(rowCentre(0)), nullptr);
  for (int row : {1, 2}) {
    ASSERT_NE(view.FullTextAt(rowCentre(row)), nullptr) << row;
    EXPECT_EQ(*view.FullTextAt(rowCentre(row)), longLine) << row;
  }

  // Ctrl+C copies the selected rows, a shortened line's whole text once.
  view.selectAll();
  QApplication::clipboard()->clear();
  QTest::keyClick(&view, Qt::Key_C, Qt::ControlModifier);
  EXPECT_EQ(QApplication::clipboard()->text().toStdString(), "short\n" + longLine);
}

TEST(LineViewTest, FollowsTheNewestLineOnlyWhileTheLastRowIsInView) {
  TqvnLineView view;
  view.resize(300, 120);
  view.show();
  for (int i = 0; i < 200; ++i) view.Append("line " + std::to_string(i));
  QCoreApplication::processEvents();
  QScrollBar* scroll = view.verticalScrollBar();
  ASSERT_GT(scroll->maximum(), 0);
  EXPECT_EQ(scroll->value(), scroll->maximum());

  scroll->setValue(scroll->maximum() / 2);
  const int reading = scroll->value();
  view.Append("while reading");
  QCoreApplication::processEvents();
  EXPECT_EQ(scroll->value(), reading) << "the user scrolled up: the rows they read stay put";

  scroll->setValue(scroll->maximum());
  view.Append("at the bottom again");
  QCoreApplication::processEvents();
  EXPECT_EQ(scroll->value(), scroll->maximum());

  // Lines that come while the view is hidden show at the bottom once it shows again.
  view.hide();
  for (int i = 0; i < 50; ++i) view.Append("while hidden " + std::to_string(i));
  view.show();
  QCoreApplication::processEvents();
  EXPECT_EQ(scroll->value(), scroll->maximum());
  EXPECT_EQ(view.RowText(view.RowCount() - 1), "while hidden 49");
}

}  // namespace
}  // namespace qvn::test
