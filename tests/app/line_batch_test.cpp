// The line batch shows exactly what appending line by line shows, whether held or not.
#include <gtest/gtest.h>

#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <vector>

#include "app/qvnDisplayText.h"
#include "app/qvnLineBatch.h"

namespace qvn::test {
namespace {

struct TViewState {
  QString Text;
  int Blocks = 0;
  bool Empty = true;
  int Cursor = 0;
  bool operator==(const TViewState&) const = default;
};

TViewState StateOf(QPlainTextEdit& aView) {
  return {aView.toPlainText(), aView.document()->blockCount(), aView.document()->isEmpty(),
          aView.textCursor().position()};
}

void PrintTo(const TViewState& aState, std::ostream* aOut) {
  *aOut << aState.Blocks << " blocks, cursor " << aState.Cursor << ": \""
        << aState.Text.toStdString() << "\"";
}

// The reference: Qt's own append, one call per line.
TViewState AppendedOneByOne(const QStringList& aLines) {
  QPlainTextEdit view;
  for (const QString& line : aLines) {
    view.appendPlainText(line);
    view.moveCursor(QTextCursor::End);
  }
  return StateOf(view);
}

const std::vector<QStringList> kCases = {
    {},
    {QString()},
    {QString(), QString(), QStringLiteral("after two empty lines")},
    {QStringLiteral("one")},
    {QStringLiteral("one"), QString(), QStringLiteral("three")},
    {QStringLiteral("line one\nline two"), QStringLiteral("crlf\r\nend"), QStringLiteral("\n")},
    {QStringLiteral("{\"@type\":\"updateNewChat\",\"title\":\"\\u00e9\"}"), QStringLiteral("é ✓")},
};

TEST(LineBatchTest, HeldAndReleasedEqualsAppendingOneByOne) {
  for (const QStringList& lines : kCases) {
    SCOPED_TRACE(lines.join(QLatin1Char('|')).toStdString());
    QPlainTextEdit view;
    TqvnLineBatch batch;
    batch.Hold();
    for (const QString& line : lines) batch.Append(&view, line.toStdString());
    EXPECT_TRUE(view.document()->isEmpty());  // nothing shows while held
    batch.Release();
    EXPECT_EQ(StateOf(view), AppendedOneByOne(lines));
  }
}

TEST(LineBatchTest, NotHeldAppendsAtOnce) {
  for (const QStringList& lines : kCases) {
    SCOPED_TRACE(lines.join(QLatin1Char('|')).toStdString());
    QPlainTextEdit view;
    TqvnLineBatch batch;
    for (const QString& line : lines) batch.Append(&view, line.toStdString());
    EXPECT_EQ(StateOf(view), AppendedOneByOne(lines));
  }
}

// Two views, lines interleaved across nested holds, a flush in the middle and an unheld append
// between holds: every view still ends with its own lines in order, none lost or doubled.
TEST(LineBatchTest, ViewsKeepTheirOwnLinesInOrderAcrossHoldsAndFlushes) {
  QPlainTextEdit log, messages;
  TqvnLineBatch batch;
  QStringList logLines, messageLines;
  auto toLog = [&](const QString& aLine) {
    batch.Append(&log, aLine.toStdString());
    logLines << aLine;
  };
  auto toMessages = [&](const QString& aLine) {
    batch.Append(&messages, aLine.toStdString());
    messageLines << aLine;
  };

  batch.Hold();
  for (int i = 0; i < 500; ++i) {
    toLog(QStringLiteral("event %1").arg(i));
    if (i % 3 == 0) toMessages(QStringLiteral("message %1").arg(i));
    if (i == 100) {
      batch.Flush();
      EXPECT_EQ(log.document()->blockCount(), 101);
    }
    if (i == 200) batch.Hold();
    if (i == 300) {
      batch.Release();  // an inner release shows everything so far
      EXPECT_EQ(log.document()->blockCount(), 301);
    }
  }
  batch.Release();
  toLog(QString());  // not held: at once
  EXPECT_EQ(log.document()->blockCount(), 501);

  EXPECT_EQ(StateOf(log), AppendedOneByOne(logLines));
  EXPECT_EQ(StateOf(messages), AppendedOneByOne(messageLines));
}

TEST(DisplayText, ShortensAtACharacterBoundaryAndNamesTheWholeSize) {
  const std::string euro = "\xE2\x82\xAC";         // 3 bytes
  const std::string emoji = "\xF0\x9F\x98\x80";    // 4 bytes
  const std::string ellipsis = "\xE2\x80\xA6";
  const struct {
    const char* Name;
    std::string Text;
    std::string Shown;
  } cases[] = {
      {"shorter", "abc", "abc"},
      {"exactly at the bound", "abcdefgh", "abcdefgh"},
      {"one byte over", "abcdefghi", "abcdefgh" + ellipsis + " (9 bytes)"},
      {"the bound inside a 3-byte character", "abcdef" + euro + "z",
       "abcdef" + ellipsis + " (10 bytes)"},
      {"the bound after a 3-byte character", "abcde" + euro + "yz",
       "abcde" + euro + ellipsis + " (10 bytes)"},
      {"the bound inside a 4-byte character", "abcde" + emoji + "z",
       "abcde" + ellipsis + " (10 bytes)"},
      {"only continuation bytes", std::string(12, '\x80'),
       std::string(5, '\x80') + ellipsis + " (12 bytes)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    EXPECT_EQ(ShortenForDisplay(c.Text, 8), c.Shown);
  }
  EXPECT_EQ(ShortenForDisplay("abcdefghi", 8, "; more"), "abcdefgh" + ellipsis + " (9 bytes; more)");
}

// A long text whose shown beginning holds line breaks: each of its blocks leads to the whole
// text, and the lines around it to none.
TEST(LineBatchTest, EveryBlockOfAShortenedLineKeepsTheWholeText) {
  QPlainTextEdit view;
  view.resize(600, 400);
  TqvnLineBatch batch;
  const std::string longText = "first\nsecond\n" + std::string(TqvnLineBatch::kMaxShownBytes, 'x');
  batch.Hold();
  batch.Append(&view, "before");
  batch.Append(&view, longText);
  batch.Append(&view, "after");
  batch.Release();
  ASSERT_EQ(view.document()->blockCount(), 5);
  const char* const names[] = {"before", "first", "second", "xxx...", "after"};
  for (int i = 0; i < 5; ++i) {
    SCOPED_TRACE(names[i]);
    QTextCursor at(view.document()->findBlockByNumber(i));
    view.setTextCursor(at);
    const auto full = TqvnLineBatch::FullTextAt(&view, view.cursorRect(at).center());
    if (i == 0 || i == 4) {
      EXPECT_EQ(full, nullptr);
    } else {
      ASSERT_NE(full, nullptr);
      EXPECT_EQ(*full, longText);
    }
  }
}

}  // namespace
}  // namespace qvn::test
