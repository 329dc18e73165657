// The message box: Enter and Shift+Enter, texts of any length, and the preview of the formatting.
#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QTest>

#include "WindowFixture.h"
#include "app/qvnRichTextPreview.h"
#include "client/qvnTelegram_MessageRequests.h"

namespace qvn::test {
namespace {

class ComposerTest : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    Open();
    Start();
    Deliver({AuthState("authorizationStateReady"), NewChat("101", "Alice")});
    ClickChat("Alice");
  }
};

TEST_F(ComposerTest, ShiftEnterStartsALineAndEnterSendsTheWholeText) {
  QTest::keyClicks(Composer(), "first");
  QTest::keyClick(Composer(), Qt::Key_Return, Qt::ShiftModifier);
  QTest::keyClicks(Composer(), "second");
  QTest::keyClick(Composer(), Qt::Key_Enter, Qt::ShiftModifier | Qt::KeypadModifier);
  QTest::keyClicks(Composer(), "third");
  EXPECT_TRUE(SentOfType("sendMessage").empty());
  EXPECT_EQ(Composer()->toPlainText(), "first\nsecond\nthird");
  QTest::keyClick(Composer(), Qt::Key_Return);
  EXPECT_EQ(Untagged(LastSent()),
            BuildSendRichTextMessage("101", "first\nsecond\nthird", nullptr, nullptr));
  EXPECT_EQ(Composer()->toPlainText(), "");
}

// A paste far beyond a line edit's 32,767 characters stays whole in the box.
TEST_F(ComposerTest, APasteOfAnyLengthStaysWhole) {
  const QString text = QString(100 * 1024, QLatin1Char('x'));
  QApplication::clipboard()->setText(text);
  Composer()->paste();
  EXPECT_EQ(Composer()->toPlainText().size(), text.size());
}

TEST_F(ComposerTest, ThePreviewShowsTheFormattingWhileThereIsAny) {
  auto* preview = Control<QLabel>("lblPreview");
  Composer()->setPlainText("plain words");
  EXPECT_TRUE(preview->isHidden());
  Composer()->setPlainText("See **you** at ##8##");
  EXPECT_FALSE(preview->isHidden());
  EXPECT_EQ(preview->text(), "See <b>you</b> at <code>8</code>");
  Composer()->clear();
  EXPECT_TRUE(preview->isHidden());
}

// The preview follows the engine's parser: what it formats, and the plain text it sends.
TEST(RichTextPreview, FormatsWhatTheParserFormats) {
  const struct {
    const char* Text;
    const char* Html;
  } cases[] = {
      {"no markup at all", ""},
      {"**bold** __italic__ --strike-- ~~under~~ ##code##",
       "<b>bold</b> <i>italic</i> <s>strike</s> <u>under</u> <code>code</code>"},
      {"a <b> & **\"c\"**\nnext", "a &lt;b&gt; &amp; <b>&quot;c&quot;</b><br>next"},
      // Offsets count UTF-16 units: a character beyond the BMP before a span counts two.
      {"\xF0\x9F\x98\x80 **b**", "\xF0\x9F\x98\x80 <b>b</b>"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Text);
    EXPECT_EQ(RichTextPreviewHtml(c.Text).toStdString(), c.Html);
  }
}

}  // namespace
}  // namespace qvn::test
