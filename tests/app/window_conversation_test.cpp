// The window on a logged-in account played by the scripted fake TDLib (ScriptedAccount.h): the
// chat list in TDLib's order with unread counts and last lines, the stream of every chat, a
// chat's history in pages, sending with its states, downloads with progress, and the errors a
// user can cause, in words.
#include <QScrollBar>
#include <QTest>
#include <ctime>

#include "WindowFixture.h"
#include "app/qvnChatRows.h"
#include "app/qvnMessageText.h"
#include "client/qvnTelegram_MessageRequests.h"

namespace qvn::test {
namespace {

constexpr int64_t kFamily = TScriptedAccount::kFamily;

int64_t MessageId(int aNumber) {
  return int64_t{aNumber} << 20;
}

// The history file's dates, as the window shows them today.
std::string At(int64_t aDate) {
  return ClockText(aDate, std::time(nullptr));
}

bool EndsWith(const std::string& aText, const std::string& aEnd) {
  return aText.size() >= aEnd.size() && aText.compare(aText.size() - aEnd.size(), aEnd.size(), aEnd) == 0;
}

class ConversationTest : public LoggedInWindowTest {
 protected:

  // Opens aTitle's conversation and waits until its whole history is there.
  void OpenWhole(const std::string& aTitle, int64_t aChatId) {
    FAccount->PageSize = 50;
    ClickChat(aTitle);
    ASSERT_TRUE(WaitFor([&] {
      Conversation()->verticalScrollBar()->setValue(0);  // older pages come at the top
      const TqvnConversation* conversation = FWindow->Model().Conversation(aChatId);
      return conversation != nullptr && conversation->HistoryComplete;
    }));
    QCoreApplication::processEvents();
  }
  std::string LastRow() {
    const std::vector<std::string> rows = ConversationRows();
    return rows.empty() ? std::string() : rows.back();
  }
  QModelIndex RowContaining(const std::string& aText) {
    for (int i = 0; i < ConversationCount(); ++i) {
      if (ConversationRow(i).data().toString().toStdString().find(aText) != std::string::npos) {
        return ConversationRow(i);
      }
    }
    ADD_FAILURE() << "no row with " << aText;
    return ConversationRow(0);
  }
  // Clicks the middle of the row, beside its text.
  void ClickRow(const QModelIndex& aRow) {
    Conversation()->scrollTo(aRow);
    const QRect rect = Conversation()->visualRect(aRow);
    QTest::mouseClick(Conversation()->viewport(), Qt::LeftButton, {},
                      QPoint(rect.center().x(), rect.bottom() - 3));
  }
  void PressEnter() { QTest::keyClick(Composer(), Qt::Key_Return); }
  // The downloads of aFileId asked of TDLib.
  size_t DownloadsOf(int32_t aFileId) {
    const std::string file = "\"file_id\":" + std::to_string(aFileId) + ",";
    const std::vector<std::string> sent = SentOfType("downloadFile");
    return static_cast<size_t>(std::count_if(sent.begin(), sent.end(), [&](const std::string& aRequest) {
      return aRequest.find(file) != std::string::npos;
    }));
  }

};

TEST_F(ConversationTest, ChatListFollowsTDLibsOrderWithUnreadCountsAndLastLines) {
  // The pinned chat first, then by TDLib's order; the archived chat after the main list.
  const std::vector<std::string> rows = ChatRows();
  ASSERT_EQ(rows.size(), 20u);
  EXPECT_EQ(std::vector<std::string>(rows.begin(), rows.begin() + 5),
            (std::vector<std::string>{"All chats", "Alice Moreau", "Family 🏔 trip", "Climbing club",
                                      "Velune release notes"}));
  EXPECT_EQ(rows.back(), "Old flat share");
  const struct {
    const char* Title;
    int Unread;
    const char* Preview;
  } chats[] = {
      {"Alice Moreau", 1, "Café after the walk?"},
      {"Family 🏔 trip", 3, "Alice Moreau: See you all there!"},
      {"Climbing club", 12, "Bob Okafor: Wall closed on Monday for cleaning"},
      {"Velune release notes", 0, "Version 2025.1 is out: conversations, history and downloads."},
      {"Weather Bot", 0, "Tomorrow: 4°C, light snow"},
  };
  for (const auto& c : chats) {
    SCOPED_TRACE(c.Title);
    const auto found = std::find(rows.begin(), rows.end(), c.Title);
    ASSERT_NE(found, rows.end());
    const QListWidgetItem* row = Chats()->item(static_cast<int>(found - rows.begin()));
    EXPECT_EQ(row->data(TqvnChatRow::kUnreadRole).toInt(), c.Unread);
    EXPECT_EQ(row->data(TqvnChatRow::kPreviewRole).toString().toStdString(), c.Preview);
  }
  // More chats are asked for once the end of the list comes into view, until TDLib has no more
  // (404); then no more are asked.
  Chats()->verticalScrollBar()->setValue(Chats()->verticalScrollBar()->maximum());
  Deliver({});
  EXPECT_EQ(SentOfType("loadChats").size(), 2u);
  Chats()->verticalScrollBar()->setValue(0);
  Chats()->verticalScrollBar()->setValue(Chats()->verticalScrollBar()->maximum());
  Deliver({});
  EXPECT_EQ(SentOfType("loadChats").size(), 2u);

  // Reading elsewhere clears the count; a new last message moves its chat up, selection kept.
  ClickChat("Climbing club");
  Deliver({R"({"@type":"updateChatReadInbox","chat_id":-4000000001,"last_read_inbox_message_id":117440512,"unread_count":0})",
           R"({"@type":"updateChatLastMessage","chat_id":6100000004,"last_message":{"@type":"message","id":635437056,"sender_id":{"@type":"messageSenderUser","user_id":6100000004},"chat_id":6100000004,"is_outgoing":false,"date":1767700000,"content":{"@type":"messageText","text":{"@type":"formattedText","text":"Storm warning\nfor Saturday","entities":[]}}},"positions":[{"@type":"chatPosition","list":{"@type":"chatListMain"},"order":"7594013000000000000","is_pinned":false}]})"});
  const std::vector<std::string> moved = ChatRows();
  EXPECT_EQ(std::vector<std::string>(moved.begin(), moved.begin() + 6),
            (std::vector<std::string>{"All chats", "Alice Moreau", "Weather Bot", "Family 🏔 trip",
                                      "Climbing club", "Velune release notes"}));
  EXPECT_EQ(Chats()->item(3)->data(TqvnChatRow::kUnreadRole).toInt(), 0);
  EXPECT_EQ(Chats()->item(2)->data(TqvnChatRow::kPreviewRole).toString(), "Storm warning");
  EXPECT_EQ(Chats()->currentItem()->text(), "Climbing club");
  EXPECT_EQ(FWindow->ChatId(), "-1001000000002");
}

TEST_F(ConversationTest, StreamShowsEveryNewMessageWithChatNameAndTime) {
  const auto message = [](const std::string& aChat, const std::string& aSender,
                          const std::string& aContent) {
    return R"({"@type":"updateNewMessage","message":{"@type":"message","id":1,"sender_id":)" +
           aSender + R"(,"chat_id":)" + aChat +
           R"(,"is_outgoing":false,"date":1600000000,"content":)" + aContent + "}}";
  };
  const std::string bob = R"({"@type":"messageSenderUser","user_id":6100000002})";
  const std::string alice = R"({"@type":"messageSenderUser","user_id":6100000001})";
  Deliver({
      message("-4000000001", bob,
              R"({"@type":"messageText","text":{"@type":"formattedText","text":"line one\nline two","entities":[]}})"),
      message("6100000001", alice,
              R"({"@type":"messageDocument","document":{"@type":"document","file_name":"menu.pdf","mime_type":"application/pdf","document":{"@type":"file","id":77,"size":2048}},"caption":{"@type":"formattedText","text":"For Saturday","entities":[]}})"),
      message("-1001000000003", R"({"@type":"messageSenderChat","chat_id":-1001000000003})",
              R"({"@type":"messageText","text":{"@type":"formattedText","text":"Release day","entities":[]}})"),
      message("-1001000000002", bob,
              R"({"@type":"messagePoll","poll":{"@type":"poll","question":{"@type":"formattedText","text":"Which crag?","entities":[]}}})"),
  });
  EXPECT_EQ(Lines("memoMessages"),
            (std::vector<std::string>{
                "[Family 🏔 trip] Bob Okafor, 2020-09-13 12:26: line one", "line two",
                "Alice Moreau, 2020-09-13 12:26: Document menu.pdf (2.0 KB): For Saturday",
                "Velune release notes, 2020-09-13 12:26: Release day",
                "[Climbing club] Bob Okafor, 2020-09-13 12:26: Poll: Which crag?"}));
}

TEST_F(ConversationTest, ChatHistoryLoadsInPagesAndIsMarkedRead) {
  FWindow->resize(654, 380);  // a view of a few rows, so older pages wait for scrolling
  QCoreApplication::processEvents();
  FAccount->PageSize = 5;
  ClickChat("Family 🏔 trip");
  EXPECT_EQ(FDialogs.Prompts.size(), 1u);  // only the login's code prompt
  ASSERT_EQ(SentOfType("openChat").size(), 1u);
  EXPECT_NE(SentOfType("openChat")[0].find("\"chat_id\":-4000000001"), std::string::npos);

  // Pages come in until the view can scroll; each older page on reaching the top, the row that
  // was at the top staying in view.
  ASSERT_TRUE(WaitFor([&] { return Conversation()->verticalScrollBar()->maximum() > 0; }));
  Deliver({});
  for (int pages = 0; pages < 5 && !FWindow->Model().Conversation(kFamily)->HistoryComplete;
       ++pages) {
    // At the top, the oldest row held is the one in view.
    const QString topText = ConversationRow(0).data().toString();
    const size_t asked = SentOfType("getChatHistory").size();
    Conversation()->verticalScrollBar()->setValue(0);
    ASSERT_TRUE(WaitFor([&] { return SentOfType("getChatHistory").size() > asked; }));
    Deliver({});
    QModelIndex same;
    for (int i = 0; i < ConversationCount(); ++i) {
      if (ConversationRow(i).data().toString() == topText) same = ConversationRow(i);
    }
    ASSERT_TRUE(same.isValid());
    EXPECT_TRUE(Conversation()->viewport()->rect().intersects(Conversation()->visualRect(same)))
        << topText.toStdString();
  }
  ASSERT_TRUE(FWindow->Model().Conversation(kFamily)->HistoryComplete);

  // Each page started at the oldest message held; the last one came back empty.
  std::vector<std::string> from;
  for (const std::string& request : SentOfType("getChatHistory")) {
    const size_t at = request.find("\"from_message_id\":") + 18;
    from.push_back(request.substr(at, request.find(',', at) - at));
  }
  EXPECT_EQ(from, (std::vector<std::string>{"0", std::to_string(MessageId(108)),
                                            std::to_string(MessageId(103)),
                                            std::to_string(MessageId(101))}));
  const size_t asked = SentOfType("getChatHistory").size();
  Conversation()->verticalScrollBar()->setValue(1);
  Conversation()->verticalScrollBar()->setValue(0);
  Deliver({});
  EXPECT_EQ(SentOfType("getChatHistory").size(), asked);

  // Every message, oldest first, with names and times.
  const std::vector<std::string> rows = ConversationRows();
  ASSERT_EQ(rows.size(), 12u);
  EXPECT_EQ(rows[0], "Bob Okafor, " + At(1767612000) + ": Who is bringing what on Saturday?");
  EXPECT_EQ(rows[2], "Dana Whitfield, " + At(1767612090) + ": Bread and cheese from me ✓");
  EXPECT_EQ(rows[3], "Chen Wei, " + At(1767612300) +
                         ": Document Trip plan — Alps.pdf (1.2 MB): Route and huts, see page 2 — "
                         "click to download");
  EXPECT_EQ(rows[4], "Bob Okafor, " + At(1767612420) + ": Thanks!\nI will print it tonight.");
  EXPECT_EQ(rows[5], "Alice Moreau, " + At(1767612900) +
                         ": Photo (1280×960, 350.2 KB): The view from the second hut — click to "
                         "download");
  EXPECT_EQ(rows[6], "Dana Whitfield, " + At(1767612960) + ": Sticker 😍 ✓");
  EXPECT_EQ(rows[11], "Alice Moreau, " + At(1767613742) + ": See you all there!");

  // The incoming messages were marked read, the account's own were not; TDLib then reports the
  // chat read.
  EXPECT_EQ(Chats()->currentItem()->data(TqvnChatRow::kUnreadRole).toInt(), 0);
  std::string viewed;
  for (const std::string& request : SentOfType("viewMessages")) viewed += request;
  for (int n = 101; n <= 112; ++n) {
    const bool own = n == 103 || n == 107;
    EXPECT_EQ(viewed.find(std::to_string(MessageId(n))) != std::string::npos, !own) << n;
  }

  // Leaving the chat closes it in TDLib; "All chats" shows the stream again.
  Click(0);
  ASSERT_EQ(SentOfType("closeChat").size(), 1u);
  EXPECT_NE(SentOfType("closeChat")[0].find("\"chat_id\":-4000000001"), std::string::npos);
  EXPECT_TRUE(Control<QWidget>("memoMessages")->isVisible());
  EXPECT_FALSE(Conversation()->isVisible());
}

TEST_F(ConversationTest, SendingShowsPendingThenSentOrFailedAndRetries) {
  OpenWhole("Family 🏔 trip", kFamily);

  // Pending at once, sent when TDLib says so (its temporary id replaced).
  Composer()->setPlainText("See you at **8**");
  PressEnter();
  EXPECT_TRUE(EndsWith(LastRow(), ": See you at 8 — sending…")) << LastRow();
  EXPECT_EQ(LastRow().rfind("Dana Whitfield, ", 0), 0u) << LastRow();
  EXPECT_EQ(Composer()->toPlainText(), "");
  ASSERT_TRUE(WaitFor([&] { return EndsWith(LastRow(), ": See you at 8 ✓"); })) << LastRow();
  EXPECT_EQ(ConversationRow(ConversationCount() - 1)
                .data(TqvnConversationModel::kMessageIdRole)
                .toLongLong(),
            TScriptedAccount::kFirstSent);
  EXPECT_EQ(ConversationRows().size(), 13u);  // TDLib's own pending report did not add a row

  const struct {
    TScriptedAccount::TOutcome Outcome;
    const char* Text;
    const char* FailedLine;
    const char* AfterClick;  // the row's end once clicked; "" when the text goes back to the box
  } cases[] = {
      {{TScriptedAccount::TOutcome::failed, 429, "Too Many Requests: retry after 3", true},
       "Second",
       ": Second — not sent: Too Many Requests: retry after 3 (error 429); click to send again",
       ": Second ✓"},
      {{TScriptedAccount::TOutcome::refused, 400, "Bad Request: chat not found", true},
       "Third",
       ": Third — not sent: Bad Request: chat not found (error 400); click to send again",
       ": Third ✓"},
      {{TScriptedAccount::TOutcome::failed, 403, "CHAT_WRITE_FORBIDDEN", false},
       "Fourth", ": Fourth — not sent: CHAT_WRITE_FORBIDDEN (error 403); click to edit it", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Text);
    FAccount->Outcomes = {c.Outcome};
    Composer()->setPlainText(c.Text);
    PressEnter();
    const size_t sent = fake_td::Sent().size();
    const std::string request = Untagged(LastSent());
    ASSERT_TRUE(WaitFor([&] { return EndsWith(LastRow(), c.FailedLine); })) << LastRow();
    const QModelIndex failed = ConversationRow(ConversationCount() - 1);
    EXPECT_TRUE(failed.data(Qt::ForegroundRole).isValid());  // drawn in the error colour
    EXPECT_EQ(failed.data(TqvnConversationModel::kReadStateRole).toString(), "failed");
    ClickRow(failed);
    if (std::string(c.AfterClick).empty()) {
      EXPECT_EQ(Composer()->toPlainText(), c.Text);
      EXPECT_EQ(fake_td::Sent().size(), sent);
      continue;
    }
    ASSERT_TRUE(WaitFor([&] { return EndsWith(LastRow(), c.AfterClick); })) << LastRow();
    // A refused request goes out again as it was; a failed message is sent again by TDLib.
    if (c.Outcome.Kind == TScriptedAccount::TOutcome::refused) {
      EXPECT_EQ(Untagged(fake_td::Sent()[sent]), request);
    } else {
      EXPECT_NE(fake_td::Sent()[sent].find("\"@type\":\"resendMessages\""), std::string::npos);
    }
  }
  EXPECT_TRUE(FDialogs.Errors.empty());
}

// Stop forgets what the requests still waiting were for: TDLib never answered openChat and
// closeChat here, and their end with the client says nothing to the user.
TEST_F(ConversationTest, StopDropsTheRequestsStillWaiting) {
  OpenWhole("Alice Moreau", TScriptedAccount::kAlice);
  ASSERT_EQ(SentOfType("openChat").size(), 1u);
  const size_t logLines = Lines("memoLog").size();

  Button("btnStop")->click();
  WaitFor([] { return false; }, 100);

  EXPECT_EQ(SentOfType("closeChat").size(), 1u);
  const std::vector<std::string> log = Lines("memoLog");
  ASSERT_EQ(log.size(), logLines + 1);
  EXPECT_EQ(log.back(), "");
  EXPECT_TRUE(FDialogs.Errors.empty());
}

TEST_F(ConversationTest, SendingAFileShowsItsUpload) {
  OpenWhole("Alice Moreau", TScriptedAccount::kAlice);
  const std::string path = FDir.File("report.txt");
  test::WriteText(path, std::string(1000, 'x'));
  FDialogs.Files = {path};
  FAccount->Outcomes = {{TScriptedAccount::TOutcome::hold}};
  Button("btnSendFile")->click();
  EXPECT_TRUE(EndsWith(LastRow(), ": Document report.txt (1000 B) — sending…")) << LastRow();
  ASSERT_TRUE(WaitFor([&] { return EndsWith(LastRow(), " — uploading 50%"); })) << LastRow();
  EXPECT_EQ(ConversationRow(ConversationCount() - 1)
                .data(TqvnConversationModel::kProgressRole)
                .toInt(),
            50);
}

TEST_F(ConversationTest, ClickDownloadsWithProgressThenOpensTheFile) {
  OpenWhole("Family 🏔 trip", kFamily);
  FAccount->HoldDownloads = true;
  ClickRow(RowContaining("Trip plan"));
  ASSERT_EQ(DownloadsOf(501), 1u);
  ASSERT_TRUE(WaitFor([&] {
    return RowContaining("Trip plan").data(TqvnConversationModel::kProgressRole).toInt() == 66;
  }));
  EXPECT_TRUE(EndsWith(RowContaining("Trip plan").data().toString().toStdString(), " — downloading 66%"));
  EXPECT_TRUE(FDialogs.Opened.empty());

  // Done: opened with the desktop's program, its \u-escaped path read back as it is.
  FAccount->FinishDownloads();
  ASSERT_TRUE(WaitFor([&] { return !FDialogs.Opened.empty(); }));
  EXPECT_EQ(FDialogs.Opened, std::vector<std::string>{FDir.File("Trip plan — Alps.pdf")});
  QCoreApplication::processEvents();
  EXPECT_TRUE(EndsWith(RowContaining("Trip plan").data().toString().toStdString(), " — click to open"));
  EXPECT_EQ(RowContaining("Trip plan").data(TqvnConversationModel::kProgressRole).toInt(), -1);

  // Once there, a click opens it without downloading again.
  ClickRow(RowContaining("Trip plan"));
  EXPECT_EQ(FDialogs.Opened.size(), 2u);
  EXPECT_EQ(DownloadsOf(501), 1u);

  // A photo downloads its largest size.
  FAccount->HoldDownloads = false;
  ClickRow(RowContaining("Photo (1280×960"));
  ASSERT_TRUE(WaitFor([&] { return FDialogs.Opened.size() == 3; }));
  EXPECT_EQ(DownloadsOf(513), 1u);

  // No program to open it: the user is told where the file is.
  FDialogs.OpenSucceeds = false;
  ClickRow(RowContaining("Trip plan"));
  ASSERT_TRUE(WaitFor([&] { return !FDialogs.Errors.empty(); }));
  EXPECT_EQ(FDialogs.Errors[0], "No program could open " + FDir.File("Trip plan — Alps.pdf") +
                                   ". The file is downloaded there; open it from your file "
                                   "manager.");
}

// What the user types is never lost: before Start and during the login they are told why it
// cannot go yet, and the text stays in the box.
TEST_F(WindowTest, TypingIsKeptUntilItCanBeSent) {
  Open();
  Composer()->setPlainText("hello");
  QTest::keyClick(Composer(), Qt::Key_Return);
  ASSERT_EQ(FDialogs.Errors.size(), 1u);
  EXPECT_EQ(FDialogs.Errors[0].rfind("Not connected: press Start and log in first.", 0), 0u);
  EXPECT_EQ(Composer()->toPlainText(), "hello");
  Button("btnSendFile")->click();
  EXPECT_EQ(FDialogs.FileDialogs, 0);  // no file is chosen for nothing
  EXPECT_EQ(FDialogs.Errors.size(), 2u);

  Start();
  Button("btnSendMessage")->click();
  ASSERT_EQ(FDialogs.Errors.size(), 3u);
  EXPECT_EQ(FDialogs.Errors[2].rfind("Not logged in yet", 0), 0u) << FDialogs.Errors[2];
  EXPECT_EQ(Composer()->toPlainText(), "hello");
  EXPECT_TRUE(SentOfType("sendMessage").empty());

  Deliver({AuthState("authorizationStateReady"), NewChat("6100000001", "Alice")});
  FDialogs.Picks = {6100000001};
  Button("btnSendMessage")->click();
  ASSERT_EQ(SentOfType("sendMessage").size(), 1u);
  EXPECT_EQ(Untagged(SentOfType("sendMessage")[0]),
            BuildSendRichTextMessage("6100000001", "hello", nullptr, nullptr));
  EXPECT_EQ(Composer()->toPlainText(), "");
}

// TDLib's errors reach the user in a message box, once the events of the moment are handled:
// after a login step they name the step, otherwise the refused request.
TEST_F(WindowTest, ErrorsAreShownInAMessageBox) {
  Open();
  FDialogs.Answers = {"11111", "secret"};
  Start();
  const std::string errorTemplate = R"({"@type":"error","code":400,"message":"%s"})";
  const auto error = [&errorTemplate](const std::string& aMessage) {
    std::string text = errorTemplate;
    return text.replace(text.find("%s"), 2, aMessage);
  };
  const struct {
    std::vector<std::string> Events;
    std::string Shown;
  } cases[] = {
      // Rejected login answers (the parameters too) are shown by the engine's
      // OnAuthenticationError, which knows the step each answered (window_login_test.cpp).
      // Two in one go make one box.
      {{AuthState("authorizationStateReady"), error("Chat not found"), error("USER_ID_INVALID")},
       "Telegram refused the request: Chat not found (error 400).\n\nTelegram refused the "
       "request: USER_ID_INVALID (error 400)."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Shown);
    FDialogs.Errors.clear();
    Deliver(c.Events);
    ASSERT_TRUE(WaitFor([&] { return !FDialogs.Errors.empty(); }));
    QCoreApplication::processEvents();
    EXPECT_EQ(FDialogs.Errors, std::vector<std::string>{c.Shown});
  }
  // The words reach the log and the status bar too.
  EXPECT_EQ(FWindow->StatusPanelText(2).toStdString(),
            "Telegram refused the request: USER_ID_INVALID (error 400).");
}

}  // namespace
}  // namespace qvn::test
