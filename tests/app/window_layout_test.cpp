// The window's controls, captions, tab order, status bar and menu tree.
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
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

TEST_F(WindowTest, TabOrderOfBothPanels) {
  Open();
  const std::vector<std::vector<const char*>> chains = {
      {"txtApiId", "txtApiHash", "txtPhoneNumber", "btnStart", "btnStop", "txtBotToken",
       "chkLoginBot"},
      {"txtMessage", "btnSendMessage", "btnSendFile"}};
  for (const auto& chain : chains) {
    for (size_t i = 0; i + 1 < chain.size(); ++i) {
      // A multi-line box's own viewport and scroll bars come first in the chain.
      QWidget* widget = Control<QWidget>(chain[i]);
      QWidget* next = widget->nextInFocusChain();
      while (widget->isAncestorOf(next)) next = next->nextInFocusChain();
      EXPECT_EQ(next, Control<QWidget>(chain[i + 1])) << chain[i];
    }
  }
}

TEST_F(WindowTest, MenuTree) {
  Open();
  std::string tree;
  DescribeMenu(Control<QMenuBar>("MainMenu1")->actions(), 0, tree);
  EXPECT_EQ(tree,
            "Menu Menu\n"
            "  Logout1 Logout\n"
            "  Notifications1 Notifications\n"
            "  N3 -\n"
            "  Exit1 Exit\n"
            "Chats1 Chats\n"
            "  PrivateChat1 PrivateChat\n"
            "    PrivateChatCreate1 Create\n"
            "  SecretChat1 SecretChat\n"
            "    SecretChatCreate1 Create\n"
            "  SuperGroups1 SuperGroups\n"
            "    SuperGroupsCreate1 Create\n"
            "    SuperGroupDelete1 Delete\n"
            "    GetMembers1 Get Members\n"
            "  BasicGroups1 BasicGroups\n"
            "    BasicGroupsCreate1 Create\n"
            "  N4 -\n"
            "  Members1 Members\n"
            "    AddChatMember1 AddChatMember\n"
            "    JoinChatByInviteLink1 JoinChatByInviteLink\n"
            "  N1 -\n"
            "  GetChat1 GetChat\n"
            "  GetChats1 GetChats\n"
            "Proxy1 Proxies\n"
            "  GetProxies1 Get Proxies\n"
            "  N5 -\n"
            "  Add4 Add\n"
            "    HTTP1 HTTP\n"
            "    MTProto1 MTProto\n"
            "    Socks51 Socks5\n"
            "  Remove1 Remove\n"
            "  N2 -\n"
            "  Enable1 Enable\n"
            "  Disable1 Disable\n");
}

}  // namespace
}  // namespace qvn::test
