// The chat list, choosing the current chat, and sending text and files to it.
#include <QKeyEvent>
#include <QTest>

#include "WindowFixture.h"
#include "client/qvnTelegram_MessageRequests.h"

namespace qvn::test {
namespace {

class ChatsTest : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    Open();
    Start();
    Deliver({AuthState("authorizationStateReady")});
  }
  void PressEnter() { QTest::keyClick(Composer(), Qt::Key_Return); }
};

TEST_F(ChatsTest, ChatsOutsideTheMainListFollowInArrivalOrderAndAClickMakesOneCurrent) {
  Deliver({NewChat("101", "Alice"), NewChat("-1002", "Caf\\u00e9 \\u2615"), NewChat("303", "Bob")});
  EXPECT_EQ(ChatRows(), (std::vector<std::string>{"All chats", "Alice", "Café ☕", "Bob"}));
  EXPECT_EQ(FWindow->ChatId(), "");
  const struct {
    int Row;
    const char* ChatId;
  } cases[] = {{2, "-1002"}, {3, "303"}, {0, ""}};  // "All chats" is no chat
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Row);
    Click(c.Row);
    EXPECT_EQ(FWindow->ChatId(), c.ChatId);
    EXPECT_EQ(FWindow->StatusPanelText(1), c.ChatId);
  }
}

// Rows carry their chat's id: chats with the same title, or none, are each their own.
TEST_F(ChatsTest, ChatsWithTheSameTitleOrNoneSelectThemselves) {
  Deliver({NewChat("1", "Team"), NewChat("2", "TEAM"), NewChat("3", "Team"), NewChat("4", "")});
  for (int row = 1; row <= 4; ++row) {
    SCOPED_TRACE(row);
    Click(row);
    EXPECT_EQ(FWindow->ChatId(), std::to_string(row));
  }
}

TEST_F(ChatsTest, EnterAndSendButtonSendToTheCurrentChat) {
  Deliver({NewChat("101", "Alice")});
  Click(1);
  Composer()->setPlainText("hello **world**");
  PressEnter();
  EXPECT_EQ(Untagged(LastSent()),
            BuildSendRichTextMessage("101", "hello **world**", nullptr, nullptr));
  EXPECT_EQ(Composer()->toPlainText(), "");

  Composer()->setPlainText("  second  ");
  Button("btnSendMessage")->click();
  EXPECT_EQ(Untagged(LastSent()), BuildSendRichTextMessage("101", "  second  ", nullptr, nullptr));

  // An empty edit sends nothing, by Enter or by button.
  const size_t sent = fake_td::Sent().size();
  PressEnter();
  Button("btnSendMessage")->click();
  EXPECT_EQ(fake_td::Sent().size(), sent);
  EXPECT_TRUE(FDialogs.Prompts.empty());
  EXPECT_TRUE(Lines("memoMessages").empty());  // the stream shows what TDLib reports
}

// In "All chats" a message goes only to a chat the user picks from the chats loaded; cancelling,
// or an answer that names no chat offered, sends nothing and keeps the text.
TEST_F(ChatsTest, WithoutACurrentChatTheUserPicksTheChatOrNothingIsSent) {
  Deliver({NewChat("101", "Alice"), NewChat("202", "Bob")});
  const std::vector<TqvnChatChoice> offered = {{101, "Alice"}, {202, "Bob"}};
  const struct {
    const char* Name;
    std::optional<int64_t> Pick;
    const char* SentTo;  // nullptr: nothing is sent
  } cases[] = {{"cancelled", std::nullopt, nullptr},
               {"a chat not offered", 0, nullptr},
               {"Bob", 202, "202"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    FDialogs.Pickers.clear();
    FDialogs.Picks = {c.Pick};
    const size_t sent = fake_td::Sent().size();
    Composer()->setPlainText("hi");
    PressEnter();
    ASSERT_EQ(FDialogs.Pickers.size(), 1u);
    EXPECT_EQ(FDialogs.Pickers[0].Chats, offered);
    if (c.SentTo == nullptr) {
      EXPECT_EQ(fake_td::Sent().size(), sent);
      EXPECT_EQ(Composer()->toPlainText(), "hi");
      EXPECT_TRUE(FWindow->StatusPanelText(2).contains("Nothing was sent"));
    } else {
      EXPECT_EQ(Untagged(LastSent()), BuildSendRichTextMessage(c.SentTo, "hi", nullptr, nullptr));
      EXPECT_EQ(Composer()->toPlainText(), "");
    }
  }
  EXPECT_TRUE(FDialogs.Prompts.empty());  // never a typed chat id
  EXPECT_EQ(FWindow->ChatId(), "");
}

TEST_F(ChatsTest, WithoutAnyChatLoadedTheUserIsToldToChooseOne) {
  const size_t sent = fake_td::Sent().size();
  Composer()->setPlainText("hi");
  Button("btnSendMessage")->click();
  EXPECT_EQ(fake_td::Sent().size(), sent);
  EXPECT_TRUE(FDialogs.Pickers.empty());
  ASSERT_EQ(FDialogs.Errors.size(), 1u);
  EXPECT_NE(FDialogs.Errors[0].find("Choose a chat"), std::string::npos);
  EXPECT_EQ(Composer()->toPlainText(), "hi");
}

TEST_F(ChatsTest, FileSendAndCancelledFileDialog) {
  const std::string version = FWindow->QvnTelegram().TDLibVersion();
  const size_t sent = fake_td::Sent().size();
  Button("btnSendFile")->click();  // cancelled: no chat asked for, nothing sent
  EXPECT_EQ(FDialogs.FileDialogs, 1);
  EXPECT_TRUE(FDialogs.Pickers.empty());
  EXPECT_EQ(fake_td::Sent().size(), sent);

  Deliver({NewChat("55", "Carol")});
  FDialogs.Files = {std::string("/tmp/no such \"file\".pdf")};
  FDialogs.Picks = {55};
  Button("btnSendFile")->click();
  EXPECT_EQ(FDialogs.Pickers.size(), 1u);
  EXPECT_EQ(Untagged(LastSent()),
            BuildSendDocumentMessage("55", "/tmp/no such \"file\".pdf", nullptr, nullptr, version));
}

// TDLib announces each chat once: GetChats shows every chat known again (in order), asks for
// the list, and keeps the current chat.
TEST_F(ChatsTest, GetChatsShowsEveryKnownChatAgainAndKeepsTheCurrentChat) {
  Deliver({NewChat("101", "Alice"), NewChat("202", "Bob")});
  Click(1);
  Trigger("GetChats1");
  EXPECT_EQ(ChatRows(), (std::vector<std::string>{"All chats", "Alice", "Bob"}));
  EXPECT_EQ(SentOfType("getChats").size(), 1u);
  EXPECT_EQ(FWindow->ChatId(), "101");
  Composer()->setPlainText("still here");
  PressEnter();
  EXPECT_EQ(Untagged(LastSent()), BuildSendRichTextMessage("101", "still here", nullptr, nullptr));
}

}  // namespace
}  // namespace qvn::test
