// Start, the login prompts, the chat-list requests on ready, the log and status panels, Stop.
#include <thread>

#include "WindowFixture.h"

namespace qvn::testing {
namespace {

TEST_F(WindowTest, StartCopiesTheEntriesForTheChosenLoginKind) {
  Open();
  for (bool bot : {true, false}) {
    SCOPED_TRACE(bot ? "bot" : "user");
    Start(bot);
    const TqvnTelegram_Options& options = Window->qvnTelegram().Telegram();
    EXPECT_EQ(options.API().ApiId(), "12345");
    EXPECT_EQ(options.API().ApiHash(), "0123456789abcdef");
    EXPECT_EQ(options.BotToken(), bot ? "42:bot-token" : "");
    EXPECT_EQ(options.PhoneNumber(), bot ? "" : "+15550100");
    Button("btnStop")->click();
  }
}

TEST_F(WindowTest, UserLoginAnswersPromptsAndAsksForChatsOnEachReadyStatus) {
  Open();
  Dialogs.Answers = {"24680", "pass\"word"};
  Start();
  Deliver({AuthState("authorizationStateWaitTdlibParameters"),
           AuthState("authorizationStateWaitPhoneNumber"), AuthState("authorizationStateWaitCode"),
           AuthState("authorizationStateWaitPassword"), AuthState("authorizationStateReady"),
           ConnectionState("connectionStateReady")});
  ASSERT_TRUE(WaitFor([] { return SentOfType("getChats").size() == 2; }));

  EXPECT_EQ(Dialogs.Prompts,
            (std::vector<TPrompt>{{"Telegram", "Introduce Telegram Code", "", true},
                                  {"Telegram", "Introduce Telegram Password", "", true}}));
  ASSERT_EQ(SentOfType("setAuthenticationPhoneNumber").size(), 1u);
  EXPECT_NE(SentOfType("setAuthenticationPhoneNumber")[0].find("+15550100"), std::string::npos);
  ASSERT_EQ(SentOfType("checkAuthenticationCode").size(), 1u);
  EXPECT_NE(SentOfType("checkAuthenticationCode")[0].find("\"24680\""), std::string::npos);
  ASSERT_EQ(SentOfType("checkAuthenticationPassword").size(), 1u);
  EXPECT_NE(SentOfType("checkAuthenticationPassword")[0].find(R"("pass\"word")"),
            std::string::npos);
  for (const std::string& request : SentOfType("getChats")) {
    EXPECT_NE(request.find("2147483647"), std::string::npos) << request;
    EXPECT_NE(request.find("\"limit\": 50"), std::string::npos) << request;
  }
  // The first panel shows the raw connection state; every event text went to the log first.
  EXPECT_EQ(Window->StatusPanelText(0), "connectionStateReady");
  std::vector<std::string> log = Lines("memoLog");
  ASSERT_GE(log.size(), 6u);
  EXPECT_EQ(log.back(), ConnectionState("connectionStateReady"));
  EXPECT_EQ(Window->StatusPanelText(2).toStdString(), log.back());
  EXPECT_TRUE(Dialogs.Errors.empty());
}

// The user sees the log behind a prompt: every event text up to the one that asks is in it.
TEST_F(WindowTest, LogShowsEveryEventUpToAPromptWhileItIsOpen) {
  Open();
  Dialogs.Answers = {"13579", "secret"};
  Start();
  std::vector<std::vector<std::string>> logAtPrompt;
  Dialogs.WhileInputBoxOpen = [&] { logAtPrompt.push_back(Lines("memoLog")); };
  const std::vector<std::string> events = {
      ConnectionState("connectionStateConnecting"), AuthState("authorizationStateWaitPhoneNumber"),
      AuthState("authorizationStateWaitCode"), AuthState("authorizationStateWaitPassword")};
  Deliver(events);
  ASSERT_EQ(logAtPrompt.size(), 2u);
  EXPECT_EQ(logAtPrompt[0], std::vector<std::string>(events.begin(), events.begin() + 3));
  EXPECT_EQ(logAtPrompt[1], events);
}

// A burst spans several ticks (100 events each here): the log holds every event text once, in
// arrival order, and the message view every message line.
TEST_F(WindowTest, BurstOverSeveralTicksLogsEveryEventOnceInOrder) {
  Open();
  Start();
  std::vector<std::string> events;
  for (int i = 0; i < 350; ++i) {
    const std::string id = std::to_string(1000 + i);
    events.push_back(i % 2 == 0 ? NewChat(id, "Chat " + id)
                                : NewMessage(id, R"({"@type":"messageText","text":{"@type":)"
                                                 R"("formattedText","text":"m)" +
                                                     id + R"(","entities":[]}})"));
  }
  Deliver(events);
  EXPECT_EQ(Lines("memoLog"), events);
  EXPECT_EQ(Control<QPlainTextEdit>("memoLog")->textCursor().position(),
            Control<QPlainTextEdit>("memoLog")->document()->characterCount() - 1);
  const std::vector<std::string> messages = Lines("memoMessages");
  ASSERT_EQ(messages.size(), 175u);
  EXPECT_EQ(messages.front(), "Sender[1001] m1001");
  EXPECT_EQ(messages.back(), "Sender[1349] m1349");
  EXPECT_EQ(Chats()->count(), 175);
  EXPECT_EQ(Window->StatusPanelText(2).toStdString(), events.back());
}

TEST_F(WindowTest, CancelledCodePromptSendsNothingAndSaysSo) {
  Open();
  Dialogs.Answers = {kCancel};
  Start();
  Deliver({AuthState("authorizationStateWaitCode")});
  EXPECT_EQ(Dialogs.Prompts.size(), 1u);
  EXPECT_TRUE(SentOfType("checkAuthenticationCode").empty());
  EXPECT_EQ(Window->StatusPanelText(2).toStdString(),
            "Login waits for an answer: press Stop and Start to log in again.");
}

// TDLib's rejection is shown in the error box; a code is then asked for again, the entries are
// left to the user to correct.
TEST_F(WindowTest, RejectedLoginAnswersAreShownAndACodeIsAskedAgain) {
  Open();
  fake_td_set_responder(
      [](const char* aRequest, void*) {
        const std::string request = aRequest;
        const size_t extra = request.find("\"@extra\": ");
        if (extra == std::string::npos) return;
        const std::string tag = request.substr(extra + 10, request.size() - extra - 11);
        std::string error;
        if (request.find("+15550100") != std::string::npos) error = "PHONE_NUMBER_INVALID";
        if (request.find("\"11111\"") != std::string::npos) error = "PHONE_CODE_INVALID";
        const std::string answer = error.empty() ? R"({"@type":"ok","@extra":)" + tag + "}"
                                                 : R"({"@type":"error","code":400,"message":")" +
                                                       error + R"(","@extra":)" + tag + "}";
        fake_td_queue_event(answer.c_str());
      },
      nullptr);
  Dialogs.Answers = {"11111", "22222"};
  Start();
  Deliver(
      {AuthState("authorizationStateWaitPhoneNumber"), AuthState("authorizationStateWaitCode")});
  ASSERT_TRUE(WaitFor([] { return SentOfType("checkAuthenticationCode").size() == 2; }));
  EXPECT_NE(SentOfType("checkAuthenticationCode")[1].find("\"22222\""), std::string::npos);
  ASSERT_TRUE(WaitFor([this] { return Dialogs.Errors.size() == 2; }));
  EXPECT_EQ(Dialogs.Errors[0],
            "Telegram rejected the login: PHONE_NUMBER_INVALID (error 400)\n"
            "Correct the phone number or bot token, then press Stop and Start.");
  EXPECT_EQ(Dialogs.Errors[1], "Telegram rejected the login: PHONE_CODE_INVALID (error 400)");
  EXPECT_EQ(Dialogs.Prompts.size(), 2u);
}

TEST_F(WindowTest, BotLoginSendsTheTokenAndNeverAsksForChats) {
  Open();
  Start(/*aBot=*/true);
  Deliver({AuthState("authorizationStateWaitPhoneNumber"), AuthState("authorizationStateReady"),
           ConnectionState("connectionStateReady"), ConnectionState("connectionStateUpdating")});
  EXPECT_EQ(SentOfType("checkAuthenticationBotToken").size(), 1u);
  EXPECT_TRUE(SentOfType("setAuthenticationPhoneNumber").empty());
  EXPECT_TRUE(SentOfType("getChats").empty());
  EXPECT_EQ(Window->StatusPanelText(0), "connectionStateUpdating");
}

TEST_F(WindowTest, ReadyStatusFollowsTheCheckBoxAtArrivalNotAtStart) {
  Open();
  Start(/*aBot=*/false);
  LoginBot()->setChecked(true);
  Deliver({ConnectionState("connectionStateReady")});
  EXPECT_TRUE(SentOfType("getChats").empty());
  LoginBot()->setChecked(false);
  Deliver({ConnectionState("connectionStateConnecting"), ConnectionState("connectionStateReady")});
  EXPECT_EQ(SentOfType("getChats").size(), 1u);
}

TEST_F(WindowTest, StopLogsOneEmptyLineClearsPanelsAndChatsButKeepsTheCurrentChat) {
  Open();
  Start();
  Deliver(
      {ConnectionState("connectionStateReady"), NewChat("101", "Alice"), NewChat("202", "Bob")});
  Chats()->setCurrentRow(1);
  Chats()->itemClicked(Chats()->item(1));
  ASSERT_EQ(Window->ChatId(), "202");
  const size_t logLines = Lines("memoLog").size();

  Button("btnStop")->click();

  EXPECT_FALSE(Window->qvnTelegram().Active());
  std::vector<std::string> log = Lines("memoLog");
  ASSERT_EQ(log.size(), logLines + 1);
  EXPECT_EQ(log.back(), "");
  EXPECT_EQ(Window->StatusPanelText(0), "");
  EXPECT_EQ(Window->StatusPanelText(1), "202");
  EXPECT_EQ(Window->StatusPanelText(2), "");
  EXPECT_EQ(Chats()->count(), 0);
  EXPECT_TRUE(Window->ChatMap().empty());
  EXPECT_EQ(Window->ChatId(), "202");
  EXPECT_EQ(fake_td_live_clients(), 0);
}

TEST_F(WindowTest, ClientExceptionsGoToTheLog) {
  Open();
  Edit("txtApiId")->setText("not a number");
  LoginBot()->setChecked(false);
  Button("btnStart")->click();
  Deliver({AuthState("authorizationStateWaitTdlibParameters")});
  // The engine refuses a non-numeric API id and reports why; the window logs the message.
  EXPECT_TRUE(SentOfType("setTdlibParameters").empty());
  // The event text is logged first, then the exception's message.
  std::vector<std::string> log = Lines("memoLog");
  ASSERT_GE(log.size(), 2u);
  EXPECT_EQ(log[log.size() - 2], AuthState("authorizationStateWaitTdlibParameters"));
  EXPECT_NE(log.back().find("API id"), std::string::npos) << log.back();
  EXPECT_EQ(Window->StatusPanelText(2).toStdString(), log.back());
  EXPECT_TRUE(Dialogs.Errors.empty());
}

TEST_F(WindowTest, FatalErrorFromATDLibThreadReachesTheLogOnTheGuiThread) {
  Open();
  Start();
  std::thread tdlibThread([] { fake_td_fire_fatal_error("Fatal: database is broken"); });
  tdlibThread.join();
  ASSERT_TRUE(WaitFor([&] { return Window->StatusPanelText(2).contains("database is broken"); }));
  EXPECT_NE(Lines("memoLog").back().find("Fatal: database is broken"), std::string::npos);
}

}  // namespace
}  // namespace qvn::testing
