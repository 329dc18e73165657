// The line batch shows exactly what appending line by line shows, whether held or not.
#include <gtest/gtest.h>

#include <QPlainTextEdit>
#include <QTextCursor>
#include <QTextDocument>
#include <vector>

#include "app/qvnLineBatch.h"

namespace qvn::testing {
namespace {

struct TViewState {
  QString text;
  int blocks = 0;
  bool empty = true;
  int cursor = 0;
  bool operator==(const TViewState&) const = default;
};

TViewState StateOf(QPlainTextEdit& aView) {
  return {aView.toPlainText(), aView.document()->blockCount(), aView.document()->isEmpty(),
          aView.textCursor().position()};
}

void PrintTo(const TViewState& aState, std::ostream* aOut) {
  *aOut << aState.blocks << " blocks, cursor " << aState.cursor << ": \""
        << aState.text.toStdString() << "\"";
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
    for (const QString& line : lines) batch.Append(&view, line);
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
    for (const QString& line : lines) batch.Append(&view, line);
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
    batch.Append(&log, aLine);
    logLines << aLine;
  };
  auto toMessages = [&](const QString& aLine) {
    batch.Append(&messages, aLine);
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

}  // namespace
}  // namespace qvn::testing
