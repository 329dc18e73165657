// Start, the login prompts, loading the chat list once logged in, the log, status panels and
// title, Stop.
#include <thread>
#include <tuple>

#include "WindowFixture.h"
#include "app/qvnSystemInfo.h"
#include "client/qvnTelegram_DatabaseFolder.h"
#include "json/qvnBase_Helpers.h"

namespace qvn::test {
namespace {

TEST_F(WindowTest, StartCopiesTheEntriesForTheChosenLoginKind) {
  Open();
  for (bool bot : {true, false}) {
    SCOPED_TRACE(bot ? "bot" : "user");
    Start(bot);
    const TqvnTelegram_Options& options = FWindow->QvnTelegram().Telegram();
    EXPECT_EQ(options.API().ApiId(), "12345");
    EXPECT_EQ(options.API().ApiHash(), "0123456789abcdef");
    EXPECT_EQ(options.BotToken(), bot ? "42:bot-token" : "");
    EXPECT_EQ(options.PhoneNumber(), bot ? "" : "+15550100");
    Button("btnStop")->click();
  }
}

TEST_F(WindowTest, UserLoginAnswersPromptsAndLoadsTheChatListOnce) {
  Open();
  FDialogs.Answers = {"24680", "pass\"word"};
  Start();
  Deliver({AuthState("authorizationStateWaitTdlibParameters"),
           AuthState("authorizationStateWaitPhoneNumber"), AuthState("authorizationStateWaitCode"),
           AuthState("authorizationStateWaitPassword"), AuthState("authorizationStateReady"),
           ConnectionState("connectionStateReady"), ConnectionState("connectionStateUpdating"),
           ConnectionState("connectionStateReady")});

  EXPECT_EQ(FDialogs.Prompts,
            (std::vector<TPrompt>{{"Telegram", "Introduce Telegram Code", "", true},
                                  {"Telegram", "Introduce Telegram Password", "", true}}));
  // TDLib is told the real system and device, which Telegram lists in the active sessions.
  ASSERT_EQ(SentOfType("setTdlibParameters").size(), 1u);
  const std::string parameters = SentOfType("setTdlibParameters")[0];
  EXPECT_NE(parameters.find("\"system_version\": \"" + EscapeJSONString(SystemVersionText()) + "\""),
            std::string::npos)
      << parameters;
  EXPECT_NE(parameters.find("\"device_model\": \"" + EscapeJSONString(DeviceModelText()) + "\""),
            std::string::npos)
      << parameters;
  EXPECT_EQ(parameters.find("Windows"), std::string::npos) << "the engine's default system version";
  ASSERT_EQ(SentOfType("setAuthenticationPhoneNumber").size(), 1u);
  EXPECT_NE(SentOfType("setAuthenticationPhoneNumber")[0].find("+15550100"), std::string::npos);
  ASSERT_EQ(SentOfType("checkAuthenticationCode").size(), 1u);
  EXPECT_NE(SentOfType("checkAuthenticationCode")[0].find("\"24680\""), std::string::npos);
  ASSERT_EQ(SentOfType("checkAuthenticationPassword").size(), 1u);
  EXPECT_NE(SentOfType("checkAuthenticationPassword")[0].find(R"("pass\"word")"),
            std::string::npos);
  // TDLib keeps the main list up to date once it is loaded: one loadChats, whatever the
  // connection does (the answer is not scripted here, so no second page is asked for).
  ASSERT_EQ(SentOfType("loadChats").size(), 1u);
  EXPECT_NE(SentOfType("loadChats")[0].find(R"("chat_list": {"@type": "chatListMain"})"),
            std::string::npos);
  EXPECT_TRUE(SentOfType("getChats").empty());
  // The first panel says the connection state in words; every event text went to the log first.
  EXPECT_EQ(FWindow->StatusPanelText(0), "Ready");
  std::vector<std::string> log = Lines("memoLog");
  ASSERT_GE(log.size(), 8u);
  EXPECT_EQ(log.back(), ConnectionState("connectionStateReady"));
  EXPECT_EQ(FWindow->StatusPanelText(2).toStdString(), log.back());
  EXPECT_TRUE(FDialogs.Errors.empty());
}

// The user sees the log behind a prompt: every event text up to the one that asks is in it.
TEST_F(WindowTest, LogShowsEveryEventUpToAPromptWhileItIsOpen) {
  Open();
  FDialogs.Answers = {"13579", "secret"};
  Start();
  std::vector<std::vector<std::string>> logAtPrompt;
  FDialogs.WhileInputBoxOpen = [&] { logAtPrompt.push_back(Lines("memoLog")); };
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
  QScrollBar* logScroll = Control<TqvnLineView>("memoLog")->verticalScrollBar();
  EXPECT_EQ(logScroll->value(), logScroll->maximum());  // the newest line in view
  // The messages come from users and chats TDLib has not described (nor dated): the lines say
  // so rather than guess.
  const std::vector<std::string> messages = Lines("memoMessages");
  ASSERT_EQ(messages.size(), 175u);
  EXPECT_EQ(messages.front(), "[Chat 1001] User 1001, 1970-01-01 00:00: m1001");
  EXPECT_EQ(messages.back(), "[Chat 1349] User 1349, 1970-01-01 00:00: m1349");
  EXPECT_EQ(Chats()->count(), 1 + 175);
  EXPECT_EQ(FWindow->StatusPanelText(2).toStdString(), events.back());
}

TEST_F(WindowTest, CancelledCodePromptSendsNothingAndSaysSo) {
  Open();
  FDialogs.Answers = {kCancel};
  Start();
  Deliver({AuthState("authorizationStateWaitCode")});
  EXPECT_EQ(FDialogs.Prompts.size(), 1u);
  EXPECT_TRUE(SentOfType("checkAuthenticationCode").empty());
  EXPECT_EQ(FWindow->StatusPanelText(2).toStdString(),
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
  FDialogs.Answers = {"11111", "22222"};
  Start();
  Deliver(
      {AuthState("authorizationStateWaitPhoneNumber"), AuthState("authorizationStateWaitCode")});
  ASSERT_TRUE(WaitFor([] { return SentOfType("checkAuthenticationCode").size() == 2; }));
  EXPECT_NE(SentOfType("checkAuthenticationCode")[1].find("\"22222\""), std::string::npos);
  ASSERT_TRUE(WaitFor([this] { return FDialogs.Errors.size() == 2; }));
  EXPECT_EQ(FDialogs.Errors[0],
            "Telegram rejected the login: The phone number is not valid. Type it in international "
            "format, with the country code. (PHONE_NUMBER_INVALID, error 400)\n"
            "Correct the phone number or bot token, then press Stop and Start.");
  EXPECT_EQ(FDialogs.Errors[1],
            "Telegram rejected the login: The code is not correct. Check it and type it again. "
            "(PHONE_CODE_INVALID, error 400)");
  EXPECT_EQ(FDialogs.Prompts.size(), 2u);
}

// A bot has no chat list to load. The login kind is the one Start used, whatever the check box
// says now.
TEST_F(WindowTest, BotLoginSendsTheTokenAndNeverLoadsChats) {
  Open();
  Start(/*aBot=*/true);
  LoginBot()->setChecked(false);
  Deliver({AuthState("authorizationStateWaitPhoneNumber"), AuthState("authorizationStateReady"),
           ConnectionState("connectionStateReady"), ConnectionState("connectionStateUpdating")});
  EXPECT_EQ(SentOfType("checkAuthenticationBotToken").size(), 1u);
  EXPECT_TRUE(SentOfType("setAuthenticationPhoneNumber").empty());
  EXPECT_TRUE(SentOfType("loadChats").empty());
  EXPECT_TRUE(SentOfType("getChats").empty());
  EXPECT_EQ(FWindow->StatusPanelText(0), "Updating…");
}

TEST_F(WindowTest, StopLogsOneEmptyLineClearsPanelsAndChatsButKeepsTheCurrentChat) {
  Open();
  Start();
  Deliver(
      {ConnectionState("connectionStateReady"), NewChat("101", "Alice"), NewChat("202", "Bob")});
  Click(2);
  ASSERT_EQ(FWindow->ChatId(), "202");
  const size_t logLines = Lines("memoLog").size();

  Button("btnStop")->click();

  EXPECT_FALSE(FWindow->QvnTelegram().Active());
  std::vector<std::string> log = Lines("memoLog");
  ASSERT_EQ(log.size(), logLines + 1);
  EXPECT_EQ(log.back(), "");
  EXPECT_EQ(FWindow->StatusPanelText(0), "");
  EXPECT_EQ(FWindow->StatusPanelText(1), "202");
  EXPECT_EQ(FWindow->StatusPanelText(2), "");
  EXPECT_EQ(ChatRows(), std::vector<std::string>{"All chats"});
  EXPECT_EQ(FWindow->Model().Chat(202), nullptr);
  EXPECT_EQ(FWindow->ChatId(), "202");
  EXPECT_EQ(fake_td_live_clients(), 0);
}

// Entries TDLib would refuse are refused in the window, in words, before anything is sent.
TEST_F(WindowTest, StartRefusesEntriesThatCannotWork) {
  Open();
  const struct {
    const char* ApiId;
    const char* ApiHash;
    const char* Phone;
    bool Bot;
    const char* Says;
  } cases[] = {
      {"not a number", "0123456789abcdef", "+15550100", false, "API id must be the number"},
      {"", "0123456789abcdef", "+15550100", false, "API id must be the number"},
      {"12.5", "0123456789abcdef", "+15550100", false, "API id must be the number"},
      {"2147483648", "0123456789abcdef", "+15550100", false, "API id must be the number"},
      {"0", "0123456789abcdef", "+15550100", false, "API id must be the number"},
      {"12345", "  ", "+15550100", false, "API hash is empty"},
      {"12345", "0123456789abcdef", "", false, "phone number is empty"},
      {"12345", "0123456789abcdef", "+15550100", true, "bot token is empty"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Says + std::string(" / ") + c.ApiId);
    FDialogs.Errors.clear();
    Edit("txtApiId")->setText(c.ApiId);
    Edit("txtApiHash")->setText(c.ApiHash);
    Edit("txtPhoneNumber")->setText(c.Phone);
    Edit("txtBotToken")->setText("");
    LoginBot()->setChecked(c.Bot);
    Button("btnStart")->click();
    ASSERT_EQ(FDialogs.Errors.size(), 1u);
    EXPECT_NE(FDialogs.Errors[0].find(c.Says), std::string::npos) << FDialogs.Errors[0];
    EXPECT_FALSE(FWindow->QvnTelegram().Active());
    EXPECT_TRUE(Button("btnStart")->isEnabled());
  }
  EXPECT_EQ(fake_td_journal_count(), 0u);  // TDLib was never even created
  // Blanks around the API id are dropped, not refused.
  Edit("txtApiId")->setText(" 12345 ");
  Edit("txtPhoneNumber")->setText("+15550100");
  LoginBot()->setChecked(false);
  Button("btnStart")->click();
  EXPECT_TRUE(FWindow->QvnTelegram().Active());
  EXPECT_EQ(FWindow->QvnTelegram().Telegram().API().ApiId(), "12345");
}

// Start and Stop are enabled only when they do something; the title names the account and its
// connection state in words.
TEST_F(WindowTest, StartStopAndTitleFollowTheClient) {
  Open();
  const auto state = [this] {
    return std::make_tuple(Button("btnStart")->isEnabled(), Button("btnStop")->isEnabled(),
                           FWindow->windowTitle().toStdString());
  };
  EXPECT_EQ(state(), std::make_tuple(true, false, std::string("Velune Telegram Client")));
  Start();
  EXPECT_EQ(state(), std::make_tuple(false, true,
                                     std::string("Velune Telegram Client — +15550100 — Starting…")));
  const struct {
    std::vector<std::string> Events;
    const char* Title;
    const char* Panel;
  } steps[] = {
      {{ConnectionState("connectionStateWaitingForNetwork")},
       "Velune Telegram Client — +15550100 — Waiting for network", "Waiting for network"},
      {{ConnectionState("connectionStateConnecting")},
       "Velune Telegram Client — +15550100 — Connecting…", "Connecting…"},
      // Once TDLib names the account's user, the title shows the name.
      {TScriptedAccount::AccountEvents(), "Velune Telegram Client — Dana Whitfield — Connecting…",
       "Connecting…"},
      {{ConnectionState("connectionStateReady")},
       "Velune Telegram Client — Dana Whitfield — Ready", "Ready"},
      {{AuthState("authorizationStateClosed")},
       "Velune Telegram Client — Dana Whitfield — Logged out", "Ready"},
  };
  for (const auto& step : steps) {
    SCOPED_TRACE(step.Title);
    Deliver(step.Events);
    EXPECT_EQ(FWindow->windowTitle().toStdString(), step.Title);
    EXPECT_EQ(FWindow->StatusPanelText(0).toStdString(), step.Panel);
  }
  Button("btnStop")->click();
  EXPECT_EQ(state(), std::make_tuple(true, false, std::string("Velune Telegram Client")));
}

// A library that cannot be loaded leaves the client inactive: the user is told why at once.
TEST_F(WindowTest, StartThatCannotCreateTDLibSaysWhy) {
  Open();
  fake_td_fail_create(1);
  Edit("txtApiId")->setText("12345");
  Edit("txtApiHash")->setText("0123456789abcdef");
  Edit("txtPhoneNumber")->setText("+15550100");
  Button("btnStart")->click();
  EXPECT_FALSE(FWindow->QvnTelegram().Active());
  ASSERT_EQ(FDialogs.Errors.size(), 1u);
  EXPECT_EQ(FDialogs.Errors[0].rfind("Could not start Telegram: ", 0), 0u) << FDialogs.Errors[0];
  EXPECT_TRUE(Button("btnStart")->isEnabled());
  EXPECT_FALSE(Button("btnStop")->isEnabled());
}

// A second copy of the program on the same database folder is told so at Start, in a dialog.
TEST_F(WindowTest, StartOnADatabaseInUseSaysSoInADialog) {
  Open();
  const std::string folder = FDir.File("tdlib");
  FWindow->QvnTelegram().Telegram().SetDatabaseDirectory(folder);
  const TqvnDatabaseFolderLock otherCopy(folder);
  Edit("txtApiId")->setText("12345");
  Edit("txtApiHash")->setText("0123456789abcdef");
  Edit("txtPhoneNumber")->setText("+15550100");
  Button("btnStart")->click();
  EXPECT_FALSE(FWindow->QvnTelegram().Active());
  ASSERT_EQ(FDialogs.Errors.size(), 1u);
  EXPECT_NE(FDialogs.Errors[0].find("is in use by another Telegram client"), std::string::npos)
      << FDialogs.Errors[0];
  EXPECT_TRUE(Button("btnStart")->isEnabled());
}

TEST_F(WindowTest, FatalErrorFromATDLibThreadReachesTheLogOnTheGuiThread) {
  Open();
  Start();
  std::thread tdlibThread([] { fake_td_fire_fatal_error("Fatal: database is broken"); });
  tdlibThread.join();
  ASSERT_TRUE(WaitFor([&] { return FWindow->StatusPanelText(2).contains("database is broken"); }));
  EXPECT_NE(Lines("memoLog").back().find("Fatal: database is broken"), std::string::npos);
}

}  // namespace
}  // namespace qvn::test
