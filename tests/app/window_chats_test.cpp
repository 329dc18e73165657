// The chat list and its rows, the chat header, choosing the current chat, and sending text and
// files to it.
#include <QImage>
#include <QKeyEvent>
#include <QTest>
#include <set>

#include "WindowFixture.h"
#include "app/qvnChatHeader.h"
#include "app/qvnChatRows.h"
#include "client/qvnTelegram_MessageRequests.h"

namespace qvn::test {
namespace {

// A TDLib file text: not downloaded, or downloaded to aPath.
std::string FileJson(int32_t aId, const std::string& aPath = {}) {
  const char* done = aPath.empty() ? "false" : "true";
  return R"({"@type":"file","id":)" + std::to_string(aId) +
         R"(,"size":100,"expected_size":100,"local":{"@type":"localFile","path":")" + aPath +
         R"(","can_be_downloaded":true,"can_be_deleted":)" + done +
         R"(,"is_downloading_active":false,"is_downloading_completed":)" + done +
         R"(,"download_offset":0,"downloaded_prefix_size":0,"downloaded_size":0},)"
         R"("remote":{"@type":"remoteFile","id":"r","unique_id":"u","is_uploading_active":false,)"
         R"("is_uploading_completed":true,"uploaded_size":100}})";
}

std::string ChatAction(const std::string& aChatId, const std::string& aUserId,
                       const std::string& aAction) {
  return R"({"@type":"updateChatAction","chat_id":)" + aChatId +
         R"(,"message_thread_id":0,"sender_id":{"@type":"messageSenderUser","user_id":)" + aUserId +
         R"(},"action":{"@type":")" + aAction + R"("}})";
}

class ChatsTest : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    Open();
    Start();
    Deliver({AuthState("authorizationStateReady")});
  }
  void PressEnter() { QTest::keyClick(Composer(), Qt::Key_Return); }
  QListWidgetItem* Row(int aRow) { return Chats()->item(aRow); }
  TqvnChatHeader* Header() { return Control<TqvnChatHeader>("pnlChatHeader"); }
};

TEST(ChatInitials, FirstGraphemesOfTheFirstTwoWords) {
  const struct {
    const char* Title;
    const char* Initials;
  } cases[] = {{"Alice Moreau", "AM"},
               {"climbing club of the north", "CC"},
               {"Weather", "W"},
               {"  spaced\t out  ", "SO"},
               {"Family \U0001F3D4 trip", "F\U0001F3D4"},                // a surrogate pair, whole
               {"\U0001F1EB\U0001F1F7 Paris", "\U0001F1EB\U0001F1F7P"},  // a flag: two pairs
               {"e\u0301cole du soir", "E\u0301D"},                      // a letter and its accent
               {"\u00e9t\u00e9", "\u00c9"},
               {"", ""},
               {"   ", ""}};
  for (const auto& c : cases) {
    const QString title = QString::fromUtf8(c.Title);
    SCOPED_TRACE(c.Title);
    const QString initials = ChatInitials(title);
    EXPECT_EQ(initials, QString::fromUtf8(c.Initials));
    EXPECT_TRUE(initials.isValidUtf16());
  }
}

TEST(AvatarColor, OneOfSevenByTheBareIdOfTheChat) {
  // A group's colour is that of its bare id, as a private chat's is its user's.
  EXPECT_EQ(AvatarColor(6100000001), AvatarColor(6100000008));
  EXPECT_EQ(AvatarColor(-4000000001), AvatarColor(4000000001));
  EXPECT_EQ(AvatarColor(-1001000000002), AvatarColor(1000000002));
  std::set<QRgb> colours;
  for (int64_t id = 1; id <= 14; ++id) colours.insert(AvatarColor(id).rgb());
  EXPECT_EQ(colours.size(), 7u);
}

// Each row carries what its chat's texts said: title and initials, the last message's time, the
// unread count, pinned, muted, a draft.
TEST_F(ChatsTest, RowsCarryTheirChatsFactsFromTheTexts) {
  const std::string muted =
      R"({"@type":"updateChatNotificationSettings","chat_id":303,"notification_settings":)"
      R"({"@type":"chatNotificationSettings","use_default_mute_for":false,"mute_for":2147483647,)"
      R"("use_default_sound":true,"sound_id":"0","use_default_show_preview":true,)"
      R"("show_preview":false}})";
  // 2025-03-12 12:00 UTC: that date in every time zone of a day's half either side.
  const std::string lastMessage =
      R"({"@type":"updateChatLastMessage","chat_id":101,"last_message":{"@type":"message",)"
      R"("id":1048576,"sender_id":{"@type":"messageSenderUser","user_id":101},"chat_id":101,)"
      R"("is_outgoing":false,"date":1741780800,"content":{"@type":"messageText","text":)"
      R"({"@type":"formattedText","text":"see you","entities":[]}}},"positions":[]})";
  Deliver(
      {NewChat("101", "Alice Moreau"), NewChat("202", "Caf\u00e9 \u2615"),
       NewChat("303", "Weather"), lastMessage,
       R"({"@type":"updateChatPosition","chat_id":101,"position":{"@type":"chatPosition","list":{"@type":"chatListMain"},"order":"300","is_pinned":true}})",
       R"({"@type":"updateChatPosition","chat_id":303,"position":{"@type":"chatPosition","list":{"@type":"chatListMain"},"order":"200","is_pinned":false}})",
       R"({"@type":"updateChatPosition","chat_id":202,"position":{"@type":"chatPosition","list":{"@type":"chatListMain"},"order":"100","is_pinned":false}})",
       muted,
       R"({"@type":"updateChatReadInbox","chat_id":303,"last_read_inbox_message_id":0,"unread_count":7})",
       R"({"@type":"updateChatDraftMessage","chat_id":202,"draft_message":{"@type":"draftMessage","date":1741780800,"content":{"@type":"draftMessageContentText","text":{"@type":"formattedText","text":"on my way","entities":[]}}},"positions":[]})"});
  ASSERT_EQ(ChatRows(),
            (std::vector<std::string>{"All chats", "Alice Moreau", "Weather", "Café ☕"}));
  const struct {
    int Row;
    const char* Initials;
    const char* Time;
    int Unread;
    bool Pinned;
    bool Muted;
    bool Draft;
    const char* Preview;
  } rows[] = {{1, "AM", "2025-03-12", 0, true, false, false, "see you"},
              {2, "W", "", 7, false, true, false, ""},
              {3, "C☕", "", 0, false, false, true, "Draft: on my way"}};
  for (const auto& r : rows) {
    SCOPED_TRACE(r.Row);
    const QListWidgetItem* row = Row(r.Row);
    EXPECT_EQ(row->data(TqvnChatRow::kInitialsRole).toString(), QString::fromUtf8(r.Initials));
    EXPECT_EQ(row->data(TqvnChatRow::kTimeRole).toString(), r.Time);
    EXPECT_EQ(row->data(TqvnChatRow::kUnreadRole).toInt(), r.Unread);
    EXPECT_EQ(row->data(TqvnChatRow::kPinnedRole).toBool(), r.Pinned);
    EXPECT_EQ(row->data(TqvnChatRow::kMutedRole).toBool(), r.Muted);
    EXPECT_EQ(row->data(TqvnChatRow::kDraftRole).toBool(), r.Draft);
    EXPECT_EQ(row->data(TqvnChatRow::kPreviewRole).toString(), r.Preview);
  }
}

// A chat's photo is asked of TDLib once, at a low priority, while its row is in view; its row
// and the header show it once TDLib reports it downloaded.
TEST_F(ChatsTest, ARowsPhotoIsDownloadedOnceAndShownWhenItArrives) {
  const std::string path = FDir.File("photo 901.png");
  QImage picture(16, 16, QImage::Format_RGB32);
  picture.fill(Qt::darkGreen);
  ASSERT_TRUE(picture.save(QString::fromStdString(path)));
  Deliver(
      {R"({"@type":"updateNewChat","chat":{"@type":"chat","id":101,"type":{"@type":"chatTypePrivate","user_id":101},"title":"Alice","photo":{"@type":"chatPhotoInfo","small":)" +
       FileJson(901) + R"(,"big":)" + FileJson(902) +
       R"(,"has_animation":false,"is_personal":false}}})"});
  Click(1);
  EXPECT_TRUE(Row(1)->data(TqvnChatRow::kPhotoRole).isNull());
  const std::vector<std::string> asked = SentOfType("downloadFile");
  ASSERT_EQ(asked.size(), 1u);
  EXPECT_NE(asked[0].find(R"("file_id":901)"), std::string::npos) << asked[0];
  EXPECT_NE(asked[0].find(R"("priority":1)"), std::string::npos) << asked[0];

  Deliver({R"({"@type":"updateChatTitle","chat_id":101,"title":"Alice M"})"});
  EXPECT_EQ(SentOfType("downloadFile").size(), 1u) << "asked once";
  Deliver({R"({"@type":"updateFile","file":)" + FileJson(901, path) + "}"});
  const QPixmap shown = Row(1)->data(TqvnChatRow::kPhotoRole).value<QPixmap>();
  ASSERT_FALSE(shown.isNull());
  EXPECT_EQ(shown.toImage().pixelColor(8, 8), QColor(Qt::darkGreen));
  EXPECT_TRUE(Header()->HasAvatar());
}

// The header names the chat shown and follows its title, its user's status and what its
// members are doing; in "All chats" it names the stream.
TEST_F(ChatsTest, TheHeaderFollowsTheChatShownAndItsActions) {
  EXPECT_EQ(Header()->Title(), "All chats");
  EXPECT_EQ(Header()->Status(), "Every new message as it arrives");
  EXPECT_FALSE(Header()->HasAvatar());
  Deliver({NewChat("101", "Alice Moreau"), NewChat("202", "Bob")});
  Click(1);
  EXPECT_EQ(Header()->Title(), "Alice Moreau");
  EXPECT_EQ(Header()->Initials(), "AM");
  EXPECT_TRUE(Header()->HasAvatar());
  const QString idle = Header()->Status();

  Deliver({ChatAction("101", "101", "chatActionTyping")});
  EXPECT_EQ(Header()->Status(), "typing…");
  Deliver({ChatAction("202", "202", "chatActionTyping")});  // another chat's
  EXPECT_EQ(Header()->Status(), "typing…");
  Deliver({ChatAction("101", "101", "chatActionCancel")});
  EXPECT_EQ(Header()->Status(), idle);

  Deliver(
      {R"({"@type":"updateChatTitle","chat_id":101,"title":"Alice Dupont"})",
       R"({"@type":"updateUser","user":{"@type":"user","id":101,"first_name":"Alice","last_name":"Dupont","status":{"@type":"userStatusOnline","expires":2147483647},"is_contact":true}})"});
  EXPECT_EQ(Header()->Title(), "Alice Dupont");
  EXPECT_EQ(Header()->Initials(), "AD");
  EXPECT_EQ(Header()->Status(), "online");

  Click(2);
  EXPECT_EQ(Header()->Title(), "Bob");
  EXPECT_EQ(Header()->Status(), "typing…");  // Bob began in his chat before it was shown
  Click(0);
  EXPECT_EQ(Header()->Title(), "All chats");
  EXPECT_FALSE(Header()->HasAvatar());
}

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
