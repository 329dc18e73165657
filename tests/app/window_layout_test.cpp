// The window's controls, captions, tab order, status bar and menu tree.
#include <QApplication>
#include <QLabel>
#include <QScreen>
#include <QTest>
#include <QMenu>
#include <QMenuBar>
#include <QScrollBar>
#include <QSplitter>
#include <QStatusBar>
#include <QTabWidget>

#include "WindowFixture.h"

namespace qvn::test {
namespace {

// The menu tree as indented "name caption" lines ("-" for a separator).
void DescribeMenu(const QList<QAction*>& aActions, int aDepth, std::string& aOut) {
  for (QAction* action : aActions) {
    aOut += std::string(2 * aDepth, ' ') + action->objectName().toStdString() + " " +
            (action->isSeparator() ? std::string("-") : action->text().toStdString()) + "\n";
    if (action->menu()) DescribeMenu(action->menu()->actions(), aDepth + 1, aOut);
  }
}

TEST_F(WindowTest, ControlsCarryTheirNamesAndCaptions) {
  Open();
  EXPECT_EQ(FWindow->windowTitle(), "Velune Telegram Client");
  const struct {
    const char* Name;
    const char* Caption;
  } buttons[] = {{"btnStart", "Start"},
                 {"btnStop", "Stop"},
                 {"btnSendFile", "File"},
                 {"btnSendMessage", "Send"}};
  for (const auto& b : buttons) EXPECT_EQ(Button(b.Name)->text(), b.Caption) << b.Name;
  const struct {
    const char* Name;
    const char* Caption;
  } labels[] = {{"Label1", "API Hash"},
                {"Label2", "API Id"},
                {"Label3", "Phone Number"},
                {"Label4", "Bot Token"}};
  for (const auto& l : labels) EXPECT_EQ(Control<QLabel>(l.Name)->text(), l.Caption) << l.Name;
  EXPECT_EQ(LoginBot()->text(), "Login as Bot");
  auto* pages = Control<QTabWidget>("PageControl1");
  ASSERT_EQ(pages->count(), 2);
  EXPECT_EQ(pages->tabText(0), "Messages");
  EXPECT_EQ(pages->tabText(1), "Log");
  EXPECT_EQ(pages->currentWidget(), Control<QWidget>("tabMessages"));
  for (const char* name : {"pnlConfiguration", "pnlBody", "pnlMessage", "tabLog", "memoLog",
                           "memoMessages", "listChats", "txtMessage", "StatusBar1"}) {
    Control<QWidget>(name);
  }
  for (int panel = 0; panel < 3; ++panel) EXPECT_EQ(FWindow->StatusPanelText(panel), "");
}

// Right after the login, before any click, every row fits the list's width and the list never
// scrolls sideways, however long a title or narrow the list.
TEST_F(LoggedInWindowTest, ChatRowsFitTheListWithoutAHorizontalScrollBar) {
  auto* splitter = Control<QSplitter>("splitMessages");
  const auto rowsFit = [this](const char* aWhen) {
    SCOPED_TRACE(aWhen);
    QCoreApplication::processEvents();
    EXPECT_FALSE(Chats()->horizontalScrollBar()->isVisible());
    EXPECT_EQ(Chats()->horizontalScrollBar()->maximum(), 0);
    const QRect viewport = Chats()->viewport()->rect();
    ASSERT_GT(Chats()->count(), 5);
    for (int i = 0; i < Chats()->count(); ++i) {
      const QRect row = Chats()->visualItemRect(Chats()->item(i));
      EXPECT_EQ(row.left(), viewport.left()) << i;
      EXPECT_EQ(row.right(), viewport.right()) << i;
    }
  };
  rowsFit("after the login");
  Deliver({NewChat("77", std::string(300, 'W'))});
  rowsFit("with a long title");
  splitter->setSizes({Chats()->minimumWidth(), 1000});
  rowsFit("at the list's narrowest");
  FWindow->resize(1200, FWindow->height());
  splitter->setSizes({500, 700});
  rowsFit("wide");
}

// The chat list and the conversation share a splitter: neither can be dragged away, and the
// list keeps its width as the window grows.
TEST_F(WindowTest, TheSplitterKeepsBothSidesAndTheListsWidth) {
  Open();
  auto* splitter = Control<QSplitter>("splitMessages");
  ASSERT_EQ(splitter->count(), 2);
  EXPECT_EQ(splitter->widget(0), Chats());
  EXPECT_TRUE(splitter->widget(1)->isAncestorOf(Control<QWidget>("stackMessages")));
  EXPECT_TRUE(splitter->widget(1)->isAncestorOf(Control<QWidget>("pnlChatHeader")));
  splitter->setSizes({0, 10000});
  EXPECT_GE(Chats()->width(), 100);
  splitter->setSizes({10000, 0});
  EXPECT_GE(splitter->widget(1)->width(), 200);
  splitter->setSizes({250, 10000});
  const int width = Chats()->width();
  FWindow->resize(FWindow->width() + 300, FWindow->height());
  QCoreApplication::processEvents();
  EXPECT_EQ(Chats()->width(), width);
}

// Tab walks the controls in reading order and back to the first, skipping what is hidden (the
// conversation behind "All chats", the log's page) or disabled (Stop before Start, the bot
// token for a user login); Shift+Tab walks back.
TEST_F(WindowTest, TabWalksTheControlsInOrder) {
  Open();
  FWindow->activateWindow();
  Edit("txtApiId")->setFocus();
  QCoreApplication::processEvents();
  const std::vector<std::string> expected = {
      "txtApiHash", "txtPhoneNumber", "btnStart",   "chkLoginBot",    "PageControl1",
      "listChats",  "memoMessages",   "txtMessage", "btnSendMessage", "btnSendFile",
      "txtApiId"};
  std::vector<std::string> walked;
  for (size_t i = 0; i < expected.size(); ++i) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    const QWidget* focused = QApplication::focusWidget();
    if (focused->objectName().startsWith("qt_")) focused = focused->parentWidget();  // a tab bar
    walked.push_back(focused->objectName().toStdString());
  }
  EXPECT_EQ(walked, expected);
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
  EXPECT_EQ(QApplication::focusWidget(), Control<QWidget>("btnSendFile"));
}

// The window opens within the screen's free area, however small the screen.
TEST_F(WindowTest, TheWindowOpensWithinTheScreen) {
  Open();
  const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
  EXPECT_TRUE(available.contains(FWindow->frameGeometry()))
      << FWindow->frameGeometry().width() << "x" << FWindow->frameGeometry().height() << " on "
      << available.width() << "x" << available.height();
}

TEST_F(WindowTest, MenuTree) {
  Open();
  std::string tree;
  DescribeMenu(Control<QMenuBar>("MainMenu1")->actions(), 0, tree);
  EXPECT_EQ(tree,
            "Menu Menu\n"
            "  Logout1 Log Out…\n"
            "  Notifications1 Notifications\n"
            "  N3 -\n"
            "  Exit1 Exit\n"
            "Chats1 Chats\n"
            "  PrivateChat1 Private Chat\n"
            "    PrivateChatCreate1 New…\n"
            "  SecretChat1 Secret Chat\n"
            "    SecretChatCreate1 New…\n"
            "  SuperGroups1 Supergroups\n"
            "    SuperGroupsCreate1 New…\n"
            "    SuperGroupDelete1 Delete…\n"
            "    GetMembers1 Members in the Log…\n"
            "  BasicGroups1 Basic Groups\n"
            "    BasicGroupsCreate1 New…\n"
            "  N4 -\n"
            "  Members1 Members\n"
            "    AddChatMember1 Add a Member…\n"
            "    JoinChatByInviteLink1 Join by Invite Link…\n"
            "  N1 -\n"
            "  GetChat1 Chat Details in the Log…\n"
            "  GetChats1 Reload the Chat List\n"
            "Proxy1 Proxies\n"
            "  ProxyManager1 Proxy Manager…\n"
            "  GetProxies1 Proxies in the Log\n"
            "  N5 -\n"
            "  Add4 Add\n"
            "    HTTP1 HTTP…\n"
            "    MTProto1 MTProto…\n"
            "    Socks51 SOCKS5…\n"
            "  Remove1 Remove…\n"
            "  N2 -\n"
            "  Enable1 Enable…\n"
            "  Disable1 Disable All\n");
}

}  // namespace
}  // namespace qvn::test
