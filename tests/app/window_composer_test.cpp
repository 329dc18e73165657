// The message box: Enter and Shift+Enter, texts of any length, the preview of the formatting,
// the drafts it keeps in TDLib for each chat, and the files pasted or dropped.
#include <QApplication>
#include <QClipboard>
#include <QDropEvent>
#include <QLabel>
#include <QMimeData>
#include <QTest>
#include <QUrl>
#include <filesystem>
#include <fstream>

#include "WindowFixture.h"
#include "app/qvnChatModel.h"
#include "app/qvnChatRows.h"
#include "app/qvnRichTextPreview.h"
#include "client/qvnTelegram_MessageActions.h"
#include "client/qvnTelegram_MessageRequests.h"
#include "client/qvnTelegram_RichText.h"

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

// A text longer than TDLib's limit (its option, else 4096) goes as consecutive messages, each
// within the limit, cut where SplitRichText cuts.
TEST_F(ComposerTest, ALongTextIsSentAsPartsWithinTheLimit) {
  const struct {
    const char* Name;
    std::string Option;  // "" for none
    size_t Limit;
    std::string Text;
  } cases[] = {
      {"the default limit", "", 4096, std::string(5000, 'a') + " **" + std::string(100, 'b') + "**"},
      {"TDLib's option", "12", 12, "first line\nsecond **bold words** and __more__ here"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    if (!c.Option.empty()) {
      Deliver({R"({"@type":"updateOption","name":"message_text_length_max","value":{"@type":"optionValueInteger","value":")" +
               c.Option + R"("}})"});
    }
    const size_t before = SentOfType("sendMessage").size();
    Composer()->setPlainText(QString::fromStdString(c.Text));
    QTest::keyClick(Composer(), Qt::Key_Return);
    const std::vector<std::string> parts = SplitRichText(c.Text, c.Limit);
    ASSERT_GT(parts.size(), 1u);
    const std::vector<std::string> sent = SentOfType("sendMessage");
    ASSERT_EQ(sent.size() - before, parts.size());
    for (size_t i = 0; i < parts.size(); ++i) {
      EXPECT_EQ(Untagged(sent[before + i]), BuildSendRichTextMessage("101", parts[i], nullptr, nullptr));
      std::string plain, entities;
      ParseRichText(parts[i], plain, entities);
      EXPECT_LE(QString::fromStdString(plain).size(), static_cast<qsizetype>(c.Limit));
    }
    EXPECT_EQ(Composer()->toPlainText(), "");
  }
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

namespace qvn::test {
namespace {

// Drafts on a logged-in account played by the scripted fake TDLib, which answers
// setChatDraftMessage with updateChatDraftMessage as TDLib does.
class DraftsTest : public LoggedInWindowTest {
 protected:
  // The second line of aTitle's row in the chat list.
  std::string PreviewOf(const std::string& aTitle) {
    for (int i = 0; i < Chats()->count(); ++i) {
      if (Chats()->item(i)->text().toStdString() == aTitle) {
        return Chats()->item(i)->data(TqvnChatRow::kPreviewRole).toString().toStdString();
      }
    }
    return "no row " + aTitle;
  }
  std::vector<std::string> DraftRequests() {
    std::vector<std::string> requests = SentOfType("setChatDraftMessage");
    for (std::string& request : requests) request = Untagged(request);
    return requests;
  }
  std::string Version() { return FWindow->QvnTelegram().TDLibVersion(); }

};

constexpr int64_t kAlice = TScriptedAccount::kAlice;

TEST_F(DraftsTest, LeavingAChatKeepsItsTextAsTheDraftAndReturningRestoresIt) {
  const std::string lastLine = PreviewOf("Alice Moreau");
  ClickChat("Alice Moreau");
  Composer()->setPlainText("see you **soon**\nat the hut");
  ClickChat("Climbing club");
  EXPECT_EQ(Composer()->toPlainText(), "");
  EXPECT_EQ(DraftRequests(), (std::vector<std::string>{BuildSetChatDraftMessage(
                                 kAlice, "see you **soon**\nat the hut", Version())}));
  ASSERT_TRUE(WaitFor([&] { return PreviewOf("Alice Moreau") == "Draft: see you **soon**"; }));

  ClickChat("Alice Moreau");
  EXPECT_EQ(Composer()->toPlainText(), "see you **soon**\nat the hut");
  ClickChat("Climbing club");  // unchanged: nothing to tell TDLib
  EXPECT_EQ(DraftRequests().size(), 1u);

  ClickChat("Alice Moreau");
  Composer()->clear();
  ClickChat("Climbing club");
  EXPECT_EQ(DraftRequests().back(), BuildSetChatDraftMessage(kAlice, "", Version()));
  ASSERT_TRUE(WaitFor([&] { return PreviewOf("Alice Moreau") == lastLine; }));
}

// A draft changed on another device arrives as updateChatDraftMessage, in either layout.
TEST_F(DraftsTest, ADraftFromAnotherDeviceReplacesTheShownDraftButNotNewTyping) {
  const auto draftUpdate = [](const std::string& aDraft) {
    return R"({"@type":"updateChatDraftMessage","chat_id":6100000001,"draft_message":)" + aDraft +
           R"(,"positions":[]})";
  };
  const std::string current = R"({"@type":"draftMessage","date":1767614000,"content":{"@type":"draftMessageContentText","text":{"@type":"formattedText","text":"from the phone","entities":[]}}})";
  const std::string older = R"({"@type":"draftMessage","reply_to_message_id":0,"date":1767614000,"input_message_text":{"@type":"inputMessageText","text":{"@type":"formattedText","text":"from the tablet","entities":[]}}})";
  ClickChat("Alice Moreau");
  Deliver({draftUpdate(current)});
  EXPECT_EQ(Composer()->toPlainText(), "from the phone");
  EXPECT_EQ(PreviewOf("Alice Moreau"), "Draft: from the phone");
  Composer()->setPlainText("typed here");
  Deliver({draftUpdate(older)});
  EXPECT_EQ(Composer()->toPlainText(), "typed here");
  EXPECT_EQ(PreviewOf("Alice Moreau"), "Draft: from the tablet");
}

TEST_F(DraftsTest, SendingTheDraftRemovesIt) {
  Deliver({R"({"@type":"updateChatDraftMessage","chat_id":6100000001,"draft_message":{"@type":"draftMessage","date":1767614000,"content":{"@type":"draftMessageContentText","text":{"@type":"formattedText","text":"on my way","entities":[]}}},"positions":[]})"});
  ClickChat("Alice Moreau");
  EXPECT_EQ(Composer()->toPlainText(), "on my way");
  QTest::keyClick(Composer(), Qt::Key_Return);
  EXPECT_EQ(Untagged(SentOfType("sendMessage").back()),
            BuildSendRichTextMessage(std::to_string(kAlice), "on my way", nullptr, nullptr));
  EXPECT_EQ(DraftRequests(), (std::vector<std::string>{BuildSetChatDraftMessage(kAlice, "", Version())}));
  ASSERT_TRUE(WaitFor([&] { return PreviewOf("Alice Moreau").rfind("Draft:", 0) != 0; }));
}

}  // namespace
}  // namespace qvn::test

namespace qvn::test {
namespace {

class FilesTest : public DraftsTest {
 protected:
  void SetUp() override {
    DraftsTest::SetUp();
    ClickChat("Alice Moreau");
  }
  // Drops aPaths on the conversation, as the desktop's drag and drop does.
  void Drop(const QStringList& aPaths) {
    QMimeData data;
    QList<QUrl> urls;
    for (const QString& path : aPaths) urls << QUrl::fromLocalFile(path);
    data.setUrls(urls);
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(Conversation()->viewport(), &enter);
    ASSERT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(Conversation()->viewport(), &drop);
  }
};

// The clipboard's image is saved where only the user can read it and goes as a photo.
TEST_F(FilesTest, APastedImageIsSavedPrivatelyAndSentAsAPhoto) {
  QImage image(40, 30, QImage::Format_RGB32);
  image.fill(Qt::darkGreen);
  QApplication::clipboard()->setImage(image);
  Composer()->paste();
  ASSERT_EQ(FAccount->SentPhotos.size(), 1u);
  const std::string path = FAccount->SentPhotos[0];
  EXPECT_EQ(Untagged(SentOfType("sendMessage").back()),
            BuildSendPhotoMessage(std::to_string(kAlice), path, 40, 30, nullptr, nullptr, Version()));
  EXPECT_EQ(QImage(QString::fromStdString(path)).size(), QSize(40, 30));
  const auto folder = std::filesystem::status(std::filesystem::path(path).parent_path()).permissions();
  EXPECT_EQ(folder & (std::filesystem::perms::group_all | std::filesystem::perms::others_all),
            std::filesystem::perms::none);
  EXPECT_EQ(Composer()->toPlainText(), "");  // nothing of the image went into the text
}

// Pictures go as photos, other files as documents, and the box's text is the last one's caption;
// a text longer than a caption may be follows them as a message.
TEST_F(FilesTest, DroppedFilesGoAsPhotosOrDocumentsWithTheTextAsCaption) {
  const QString picture = QString::fromStdString(FDir.File("hut.png"));
  QImage(8, 6, QImage::Format_RGB32).save(picture, "PNG");
  const QString notes = QString::fromStdString(FDir.File("notes.png.txt"));
  std::ofstream(notes.toStdString()) << "route";
  Composer()->setPlainText("the **route**");
  Drop({picture, notes});
  const std::string chat = std::to_string(kAlice);
  const std::vector<std::string> sent = SentOfType("sendMessage");
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_EQ(Untagged(sent[0]), BuildSendPhotoMessage(chat, picture.toStdString(), 8, 6, nullptr,
                                                     nullptr, Version()));
  EXPECT_EQ(Untagged(sent[1]), BuildSendDocumentWithCaption(kAlice, notes.toStdString(),
                                                            "the **route**", {}, Version()));
  EXPECT_EQ(Composer()->toPlainText(), "");

  const std::string longText(TqvnChatModel::kDefaultMessageCaptionLengthMax + 1, 'x');
  Composer()->setPlainText(QString::fromStdString(longText));
  Drop({notes});
  const std::vector<std::string> more = SentOfType("sendMessage");
  ASSERT_EQ(more.size(), 4u);
  EXPECT_EQ(Untagged(more[2]), BuildSendDocumentMessage(chat, notes.toStdString(), nullptr,
                                                        nullptr, Version()));
  EXPECT_EQ(Untagged(more[3]), BuildSendRichTextMessage(chat, longText, nullptr, nullptr));
}

}  // namespace
}  // namespace qvn::test
