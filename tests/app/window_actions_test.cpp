// Acting on messages of a logged-in account played by the scripted fake TDLib: the rows'
// context menu and keyboard offer what TDLib allows, and reply, edit, delete, forward and copy
// send the right requests and show TDLib's results, or its refusal in words.
#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QMenu>
#include <QTest>

#include "WindowFixture.h"
#include "client/qvnTelegram_MessageActions.h"
#include "client/qvnTelegram_MessageRequests.h"

namespace qvn::test {
namespace {

constexpr int64_t kAlice = TScriptedAccount::kAlice;
constexpr int64_t kFamily = TScriptedAccount::kFamily;
constexpr int64_t kMine = 211812352;    // "Yes, with bread and cheese." in Alice's chat
constexpr int64_t kTheirs = 212860928;  // "Café after the walk?"

class ActionsTest : public LoggedInWindowTest {
 protected:
  void SetUp() override {
    LoggedInWindowTest::SetUp();
    FAccount->PageSize = 50;
    ClickChat("Alice Moreau");
    ASSERT_TRUE(WaitFor([&] {
      const TqvnConversation* conversation = FWindow->Model().Conversation(kAlice);
      return conversation != nullptr && conversation->HistoryComplete;
    }));
    QCoreApplication::processEvents();
  }

  QModelIndex Row(int64_t aMessageId) {
    for (int i = 0; i < ConversationCount(); ++i) {
      const QModelIndex row = ConversationRow(i);
      if (row.data(TqvnConversationModel::kMessageIdRole).toLongLong() == aMessageId) return row;
    }
    return {};
  }
  // Opens the context menu of aMessageId's row, once TDLib has said what is allowed.
  QMenu* MenuOf(int64_t aMessageId) {
    const QModelIndex row = Row(aMessageId);
    EXPECT_TRUE(row.isValid()) << aMessageId;
    if (!row.isValid()) return nullptr;
    delete FWindow->findChild<QMenu*>("mnuMessage");
    emit Conversation()->customContextMenuRequested(Conversation()->visualRect(row).center());
    QMenu* menu = nullptr;
    EXPECT_TRUE(WaitFor([&] { return (menu = FWindow->findChild<QMenu*>("mnuMessage")) != nullptr; }));
    return menu;
  }
  static QAction* Item(QMenu* aMenu, const char* aName) {
    QAction* action = aMenu->findChild<QAction*>(aName);
    EXPECT_NE(action, nullptr) << aName;
    return action;
  }
  // Runs the keyboard's action aName on aMessageId's row, as its shortcut does.
  void Press(const char* aName, int64_t aMessageId) {
    Conversation()->setCurrentIndex(Row(aMessageId));
    Conversation()->findChild<QAction*>(aName)->trigger();
  }
  QLabel* ContextLine() { return Control<QLabel>("lblContext"); }

};

TEST_F(ActionsTest, TheMenuOffersWhatTDLibAllowsAndAsksOncePerMessage) {
  const struct {
    const char* Name;
    int64_t Message;
    bool Edit, DeleteForMe, DeleteForAll;
  } cases[] = {{"the account's own", kMine, true, false, true},
               {"someone else's", kTheirs, false, true, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    QMenu* menu = MenuOf(c.Message);
    ASSERT_NE(menu, nullptr);
    EXPECT_TRUE(menu->isVisible());
    EXPECT_TRUE(Item(menu, "actReply")->isEnabled());
    EXPECT_TRUE(Item(menu, "actForward")->isEnabled());
    EXPECT_TRUE(Item(menu, "actCopy")->isEnabled());
    EXPECT_EQ(Item(menu, "actEdit")->isEnabled(), c.Edit);
    EXPECT_EQ(Item(menu, "actDeleteForMe")->isEnabled(), c.DeleteForMe);
    EXPECT_EQ(Item(menu, "actDeleteForAll")->isEnabled(), c.DeleteForAll);
    menu->close();
    MenuOf(c.Message);
  }
  std::vector<std::string> asked = SentOfType("getMessageProperties");
  for (std::string& request : asked) request = Untagged(request);
  EXPECT_EQ(asked, (std::vector<std::string>{BuildGetMessageProperties(kAlice, kMine),
                                             BuildGetMessageProperties(kAlice, kTheirs)}));
}

TEST_F(ActionsTest, KeyboardShortcutsActOnTheCurrentRow) {
  const struct {
    const char* Name;
    QKeySequence Keys;
  } shortcuts[] = {{"actReply", QKeySequence(Qt::CTRL | Qt::Key_R)},
                   {"actEdit", QKeySequence(Qt::CTRL | Qt::Key_E)},
                   {"actForward", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_F)},
                   {"actCopy", QKeySequence(Qt::CTRL | Qt::Key_C)},
                   {"actDeleteForMe", QKeySequence(Qt::Key_Delete)},
                   {"actDeleteForAll", QKeySequence(Qt::SHIFT | Qt::Key_Delete)}};
  for (const auto& s : shortcuts) {
    SCOPED_TRACE(s.Name);
    EXPECT_EQ(Conversation()->findChild<QAction*>(s.Name)->shortcut(), s.Keys);
  }
  Press("actCopy", kTheirs);
  ASSERT_TRUE(WaitFor([] { return QApplication::clipboard()->text() == "Café after the walk?"; }));
  // Not allowed: said in words, nothing sent.
  Press("actEdit", kTheirs);
  ASSERT_TRUE(WaitFor([&] { return FWindow->StatusPanelText(2).contains("does not allow editing"); }));
  EXPECT_TRUE(SentOfType("editMessageText").empty());
  EXPECT_TRUE(Control<QWidget>("pnlContext")->isHidden());
}

TEST_F(ActionsTest, EditSendsTheNewTextAndTheRowShowsEdited) {
  Composer()->setPlainText("half typed");
  Item(MenuOf(kMine), "actEdit")->trigger();
  EXPECT_FALSE(Control<QWidget>("pnlContext")->isHidden());
  EXPECT_EQ(ContextLine()->text(), "Editing: Yes, with bread and cheese.");
  EXPECT_EQ(Composer()->toPlainText(), "Yes, with bread and cheese.");
  Composer()->setPlainText("Yes, with bread, cheese and pears.");
  QTest::keyClick(Composer(), Qt::Key_Return);
  ASSERT_EQ(SentOfType("editMessageText").size(), 1u);
  EXPECT_EQ(Untagged(SentOfType("editMessageText")[0]),
            BuildEditTextMessage(std::to_string(kAlice), std::to_string(kMine),
                                 "Yes, with bread, cheese and pears.", nullptr, nullptr));
  EXPECT_TRUE(SentOfType("sendMessage").empty());
  EXPECT_EQ(Composer()->toPlainText(), "");
  EXPECT_TRUE(Control<QWidget>("pnlContext")->isHidden());
  ASSERT_TRUE(WaitFor([&] {
    return Row(kMine).data().toString().contains("Yes, with bread, cheese and pears. (edited)");
  }));
}

// Up in an empty box edits the account's last message; Escape gives the box its text back.
TEST_F(ActionsTest, UpEditsTheLastOwnMessageAndEscapeCancels) {
  QTest::keyClick(Composer(), Qt::Key_Up);
  ASSERT_TRUE(WaitFor([&] { return !Control<QWidget>("pnlContext")->isHidden(); }));
  EXPECT_EQ(ContextLine()->text(), "Editing: Yes, with bread and cheese.");
  QTest::keyClick(Composer(), Qt::Key_Escape);
  EXPECT_TRUE(Control<QWidget>("pnlContext")->isHidden());
  EXPECT_EQ(Composer()->toPlainText(), "");

  Composer()->setPlainText("kept");
  Item(MenuOf(kMine), "actEdit")->trigger();
  QTest::keyClick(Composer(), Qt::Key_Escape);
  EXPECT_EQ(Composer()->toPlainText(), "kept");
  EXPECT_TRUE(SentOfType("editMessageText").empty());
}

TEST_F(ActionsTest, DeleteSendsWhoseItIsAndTheRowGoesWhenTDLibSaysSo) {
  FAccount->DeleteOnlyForSelf = true;
  const struct {
    const char* Action;
    bool Revoke;
  } cases[] = {{"actDeleteForAll", true}, {"actDeleteForMe", false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Action);
    const int64_t id = c.Revoke ? kMine : kTheirs;
    Item(MenuOf(id), c.Action)->trigger();
    EXPECT_EQ(Untagged(LastSent()), BuildDeleteMessages(kAlice, {id}, c.Revoke));
    ASSERT_TRUE(WaitFor([&] { return !Row(id).isValid(); }));
  }
  EXPECT_TRUE(FDialogs.Errors.empty());
  EXPECT_EQ(FDialogs.Confirmations,
            (std::vector<std::string>{"Delete this message for everyone in the chat?",
                                      "Delete this message for you? The others keep it."}));
}

// A stray Delete asks first; Cancel deletes nothing.
TEST_F(ActionsTest, DeletingAsksFirstAndCancelKeepsTheMessage) {
  FDialogs.ConfirmAll = false;
  Item(MenuOf(kMine), "actDeleteForAll")->trigger();
  EXPECT_EQ(FDialogs.Confirmations.size(), 1U);
  EXPECT_TRUE(SentOfType("deleteMessages").empty());
  EXPECT_TRUE(Row(kMine).isValid());
}

TEST_F(ActionsTest, RefusalsAreShownInWords) {
  FAccount->Refusals["deleteMessages"] = {400, "MESSAGE_DELETE_FORBIDDEN"};
  FAccount->Refusals["editMessageText"] = {400, "MESSAGE_NOT_MODIFIED"};
  FAccount->Refusals["forwardMessages"] = {403, "CHAT_SEND_PLAIN_FORBIDDEN"};
  Item(MenuOf(kMine), "actDeleteForAll")->trigger();
  Item(MenuOf(kMine), "actEdit")->trigger();
  QTest::keyClick(Composer(), Qt::Key_Return);
  FDialogs.Picks = {kFamily};
  Item(MenuOf(kTheirs), "actForward")->trigger();
  std::string shown;
  ASSERT_TRUE(WaitFor([&] {
    shown.clear();
    for (const std::string& error : FDialogs.Errors) shown += error + "\n";
    return shown.find("forwarded") != std::string::npos;
  }));
  for (const char* words : {"The message was not deleted: MESSAGE_DELETE_FORBIDDEN (error 400)",
                            "The message was not edited: MESSAGE_NOT_MODIFIED (error 400)",
                            "The message was not forwarded: CHAT_SEND_PLAIN_FORBIDDEN (error 403)"}) {
    EXPECT_NE(shown.find(words), std::string::npos) << shown;
  }
  EXPECT_EQ(shown.find('{'), std::string::npos) << "no raw JSON: " << shown;
  EXPECT_TRUE(Row(kMine).isValid());
}

TEST_F(ActionsTest, ForwardGoesToTheChatPickedAndNowhereWhenCancelled) {
  Item(MenuOf(kTheirs), "actForward")->trigger();  // cancelled
  ASSERT_EQ(FDialogs.Pickers.size(), 1u);
  EXPECT_EQ(FDialogs.Pickers[0].Caption, "Forward to which chat?");
  EXPECT_TRUE(SentOfType("forwardMessages").empty());
  FDialogs.Picks = {kFamily};
  Item(MenuOf(kTheirs), "actForward")->trigger();
  EXPECT_EQ(Untagged(LastSent()), BuildForwardMessages(kFamily, kAlice, {kTheirs}));
  ASSERT_TRUE(WaitFor([&] { return FWindow->StatusPanelText(2).contains("forwarded to Family"); }));
}

// The reply is shown above the box until Escape drops it or the text goes as the reply.
TEST_F(ActionsTest, ReplyShowsTheMessageAboveTheBoxAndIsSentWithTheText) {
  Composer()->setPlainText("Sure");
  Item(MenuOf(kTheirs), "actReply")->trigger();
  EXPECT_FALSE(Control<QWidget>("pnlContext")->isHidden());
  EXPECT_EQ(ContextLine()->text(), "Replying to Alice Moreau: Café after the walk?");
  EXPECT_EQ(Composer()->toPlainText(), "Sure");
  QTest::keyClick(Composer(), Qt::Key_Escape);
  EXPECT_TRUE(Control<QWidget>("pnlContext")->isHidden());
  EXPECT_EQ(Composer()->toPlainText(), "Sure");
  EXPECT_TRUE(SentOfType("sendMessage").empty());

  Item(MenuOf(kTheirs), "actReply")->trigger();
  QTest::keyClick(Composer(), Qt::Key_Return);
  EXPECT_EQ(Untagged(LastSent()), BuildSendRichTextReply(kAlice, kTheirs, "Sure", {},
                                                         FWindow->QvnTelegram().TDLibVersion()));
  EXPECT_TRUE(Control<QWidget>("pnlContext")->isHidden());
  EXPECT_EQ(Composer()->toPlainText(), "");
}

}  // namespace
}  // namespace qvn::test
