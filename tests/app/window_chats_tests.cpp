// The chat list, choosing the current chat, the message view and sending text and files.
#include <QKeyEvent>
#include <QTest>

#include "WindowFixture.h"
#include "client/qvnTelegram_MessageRequests.h"

namespace qvn::testing {
namespace {

class ChatsTest : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    Open();
    Start();
  }
  void Click(int aRow) {
    Chats()->setCurrentRow(aRow);
    emit Chats()->itemClicked(Chats()->item(aRow));
  }
  void PressEnter() { QTest::keyClick(Edit("txtMessage"), Qt::Key_Return); }
};

TEST_F(ChatsTest, ChatsArriveAsRowsAndAClickMakesOneCurrent) {
  Deliver({NewChat("101", "Alice"), NewChat("-1002", "Caf\\u00e9 \\u2615"), NewChat("303", "Bob")});
  EXPECT_EQ(ChatRows(), (std::vector<std::string>{"Alice", "Café ☕", "Bob"}));
  EXPECT_EQ(Window->ChatMap(), (std::vector<std::string>{"Alice=101", "Café ☕=-1002", "Bob=303"}));
  EXPECT_EQ(Window->ChatId(), "");
  Click(1);
  EXPECT_EQ(Window->ChatId(), "-1002");
  EXPECT_EQ(Window->StatusPanelText(1), "-1002");
  Click(2);
  EXPECT_EQ(Window->ChatId(), "303");
  EXPECT_EQ(Window->StatusPanelText(1), "303");
}

TEST_F(ChatsTest, TitleLookupQuirks) {
  Deliver({NewChat("1", "Team"), NewChat("2", "TEAM"), NewChat("3", "a=b"), NewChat("4", "a"),
           NewChat("5", ""), NewChat("6", "x")});
  ASSERT_EQ(Chats()->count(), 6);
  const struct {
    int row;
    const char* chatId;
  } cases[] = {
      {1, "1"},    // same title in another letter case: the first chat's id
      {2, "3"},    // a title holding "=" is found by the whole title
      {3, "b=3"},  // "a" matches the earlier "a=b=3" entry: the text after its first "="
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.row);
    Click(c.row);
    EXPECT_EQ(Window->ChatId(), c.chatId);
  }
  // An empty title's row changes nothing.
  Click(5);
  Click(4);
  EXPECT_EQ(Window->ChatId(), "6");
  EXPECT_EQ(Window->StatusPanelText(1), "6");
}

TEST_F(ChatsTest, EnterAndSendButtonSendToTheCurrentChat) {
  Deliver({NewChat("101", "Alice")});
  Click(0);
  Edit("txtMessage")->setText("hello **world**");
  PressEnter();
  EXPECT_EQ(LastSent(), BuildSendRichTextMessage("101", "hello **world**", nullptr, nullptr));
  EXPECT_EQ(Edit("txtMessage")->text(), "");

  Edit("txtMessage")->setText("  second  ");
  Button("btnSendMessage")->click();
  EXPECT_EQ(LastSent(), BuildSendRichTextMessage("101", "  second  ", nullptr, nullptr));

  // An empty edit sends nothing, by Enter or by button.
  const size_t sent = fake_td::Sent().size();
  PressEnter();
  Button("btnSendMessage")->click();
  EXPECT_EQ(fake_td::Sent().size(), sent);
  EXPECT_TRUE(Dialogs.Prompts.empty());
  EXPECT_TRUE(Lines("memoMessages").empty());  // sent text is not echoed
}

TEST_F(ChatsTest, SendWithoutACurrentChatPromptsOnceForTheChatId) {
  Dialogs.Answers = {"", "777"};  // OK on an emptied box asks again
  Edit("txtMessage")->setText("hi");
  PressEnter();
  EXPECT_EQ(Dialogs.Prompts, (std::vector<TPrompt>{{"Set Chat Id", "Chat Id", "0"},
                                                   {"Set Chat Id", "Chat Id", "0"}}));
  EXPECT_EQ(LastSent(), BuildSendRichTextMessage("777", "hi", nullptr, nullptr));
  EXPECT_EQ(Window->StatusPanelText(1), "");
  Edit("txtMessage")->setText("again");
  PressEnter();
  EXPECT_EQ(Dialogs.Prompts.size(), 2u);
  EXPECT_EQ(LastSent(), BuildSendRichTextMessage("777", "again", nullptr, nullptr));
}

TEST_F(ChatsTest, CancelledChatIdPromptUsesChatZero) {
  Edit("txtMessage")->setText("hi");
  Button("btnSendMessage")->click();
  EXPECT_EQ(Window->ChatId(), "0");
  EXPECT_EQ(LastSent(), BuildSendRichTextMessage("0", "hi", nullptr, nullptr));
}

TEST_F(ChatsTest, FileSendAndCancelledFileDialog) {
  const std::string version = Window->qvnTelegram().TDLibVersion();
  const size_t sent = fake_td::Sent().size();
  Button("btnSendFile")->click();  // cancelled: no prompt, nothing sent
  EXPECT_EQ(Dialogs.FileDialogs, 1);
  EXPECT_TRUE(Dialogs.Prompts.empty());
  EXPECT_EQ(fake_td::Sent().size(), sent);

  Dialogs.Files = {std::string("/tmp/no such \"file\".pdf")};
  Dialogs.Answers = {"55"};
  Button("btnSendFile")->click();
  EXPECT_EQ(Dialogs.Prompts, (std::vector<TPrompt>{{"Set Chat Id", "Chat Id", "0"}}));
  EXPECT_EQ(LastSent(),
            BuildSendDocumentMessage("55", "/tmp/no such \"file\".pdf", nullptr, nullptr, version));
}

TEST_F(ChatsTest, MessageLinesForTheFourKinds) {
  Deliver({
      NewMessage(
          "12345",
          R"({"@type":"messageText","text":{"@type":"formattedText","text":"line one\nline two","entities":[]}})"),
      NewMessage(
          "12345",
          R"({"@type":"messageDocument","document":{"@type":"document","file_name":"report \"Q1\".pdf","mime_type":"application/pdf","document":{"@type":"file","id":77,"size":10}},"caption":{"@type":"formattedText","text":""}})"),
      NewMessage(
          "12345",
          R"({"@type":"messagePhoto","photo":{"@type":"photo","id":"5550001","sizes":[]},"caption":{"@type":"formattedText","text":""}})"),
      NewMessage(
          "12345",
          R"({"@type":"messageVideo","video":{"@type":"video","duration":3,"width":640,"height":480,"video":{"@type":"file","id":88,"size":99}},"caption":{"@type":"formattedText","text":""}})"),
      // The older layout's sender id, and a message sent on behalf of a chat.
      R"({"@type":"updateNewMessage","message":{"id":2,"chat_id":9,"sender_user_id":4242,"content":{"@type":"messageText","text":{"@type":"formattedText","text":"old"}}}})",
      R"({"@type":"updateNewMessage","message":{"id":3,"chat_id":-100,"sender_id":{"@type":"messageSenderChat","chat_id":-100},"content":{"@type":"messageText","text":{"@type":"formattedText","text":"from a channel"}}}})",
  });
  EXPECT_EQ(Lines("memoMessages"),
            (std::vector<std::string>{"Sender[12345] line one", "line two",
                                      "Sender[12345] New Document: report \"Q1\".pdf",
                                      "Sender[12345] New Photo: 5550001", "Sender[12345] 88",
                                      "Sender[4242] old", "Sender[-100] from a channel"}));
}

TEST_F(ChatsTest, GetChatsEmptiesTheListButKeepsTheCurrentChat) {
  Deliver({NewChat("101", "Alice")});
  Click(0);
  Trigger("GetChats1");
  EXPECT_EQ(Chats()->count(), 0);
  EXPECT_TRUE(Window->ChatMap().empty());
  EXPECT_EQ(Window->ChatId(), "101");
  Edit("txtMessage")->setText("still here");
  PressEnter();
  EXPECT_EQ(LastSent(), BuildSendRichTextMessage("101", "still here", nullptr, nullptr));
}

}  // namespace
}  // namespace qvn::testing
