// The menu commands: their prompts, their number conversion and the requests they send.
#include "WindowFixture.h"
#include "client/qvnTelegram_ChatRequests.h"

namespace qvn::test {
namespace {

class MenuTest : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    Open();
    Start();
  }
};

struct TMenuCase {
  const char* Action;
  std::vector<TAnswer> Answers;
  std::vector<TPrompt> Prompts;
  std::function<std::string(const std::string& aVersion)> Request;  // empty: nothing sent
  std::string Error;  // the error box's message, if any
};

TEST_F(MenuTest, EachCommandSendsItsRequestWithTheFixedArguments) {
  const std::vector<TMenuCase> cases = {
      {"Logout1", {}, {}, [](auto&) { return BuildLogOut(); }, ""},
      {"PrivateChatCreate1",
       {" -42"},
       {{"New Private Chat", "User Id", "0"}},
       [](auto&) { return BuildCreatePrivateChat(-42, false); },
       ""},
      {"PrivateChatCreate1",
       {kCancel},
       {{"New Private Chat", "User Id", "0"}},
       [](auto&) { return BuildCreatePrivateChat(0, false); },
       ""},
      {"SecretChatCreate1",
       {"$1F"},
       {{"New Secret Chat", "User Id", "0"}},
       [](auto&) { return BuildCreateNewSecretChat(31); },
       ""},
      {"SuperGroupsCreate1",
       {kCancel},
       {{"Create Super Group", "Title Group", "Super Group Telegram"}},
       [](auto&) { return BuildCreateNewSupergroupChat("Super Group Telegram", false, ""); },
       ""},
      {"SuperGroupsCreate1",
       {" My \"group\" "},
       {{"Create Super Group", "Title Group", "Super Group Telegram"}},
       [](auto&) { return BuildCreateNewSupergroupChat(" My \"group\" ", false, ""); },
       ""},
      {"SuperGroupDelete1",
       {"0x10"},
       {{"Delete Super Group", "Group Id", "0"}},
       [](auto& v) { return BuildDeleteSupergroup(16, v); },
       ""},
      // Supergroup and user ids pass 2^31; past 64 bits a number is refused.
      {"GetMembers1",
       {"2223759965"},
       {{"SuperGroup Id", "Set SuperGroup Id", "0"}},
       [](auto&) {
         return BuildGetSupergroupMembers(2223759965, tsgmFilterNone, "", 0, 200);
       },
       ""},
      {"SuperGroupDelete1",
       {"9223372036854775808"},
       {{"Delete Super Group", "Group Id", "0"}},
       nullptr,
       "'9223372036854775808' is not a valid integer value"},
      {"Remove1",
       {"2147483648"},
       {{"Remove", "Set Id Proxy to Remove", ""}},
       nullptr,
       "'2147483648' is not a valid integer value"},
      {"GetMembers1",
       {"777"},
       {{"SuperGroup Id", "Set SuperGroup Id", "0"}},
       [](auto&) { return BuildGetSupergroupMembers(777, tsgmFilterNone, "", 0, 200); },
       ""},
      {"BasicGroupsCreate1",
       {"Friends", "5", "6"},
       {{"Basic Group", "Title Group", "Basic Group Telegram"},
        {"User Id", "First User Id", "0"},
        {"User Id", "Second User Id", "0"}},
       [](auto&) {
         return BuildCreateNewBasicGroupChat({5, 6}, "Friends");
       },
       ""},
      {"BasicGroupsCreate1",
       {kCancel, "abc"},
       {{"Basic Group", "Title Group", "Basic Group Telegram"}, {"User Id", "First User Id", "0"}},
       nullptr,
       "'abc' is not a valid integer value"},
      {"AddChatMember1",
       {"9", kCancel},
       {{"AddChatMember", "User Id", "0"}, {"AddChatMember", "Chat Id", ""}},
       [](auto&) { return BuildAddChatMember("", 9, 100); },
       ""},
      {"AddChatMember1",
       {"9", "-5"},
       {{"AddChatMember", "User Id", "0"}, {"AddChatMember", "Chat Id", ""}},
       [](auto&) { return BuildAddChatMember("-5", 9, 100); },
       ""},
      {"JoinChatByInviteLink1",
       {"https://t.me/+abc"},
       {{"Join Chat By Invite Link", "Invite Link", ""}},
       [](auto&) { return BuildJoinChatByInviteLink("https://t.me/+abc"); },
       ""},
      {"GetProxies1", {}, {}, [](auto&) { return BuildGetProxies(); }, ""},
      {"HTTP1",
       {"user", "secret", "8080", "10.0.0.1"},
       {{"Username", "Set Username", ""},
        {"Password", "Set Password", "", true},
        {"Port", "Set Server Port", ""},
        {"Server", "Set Server IP", ""}},
       [](auto& v) { return BuildAddProxyHTTP("10.0.0.1", 8080, "user", "secret", true, v); },
       ""},
      {"HTTP1",
       {"user", "secret", ""},
       {{"Username", "Set Username", ""},
        {"Password", "Set Password", "", true},
        {"Port", "Set Server Port", ""}},
       nullptr,
       "'' is not a valid integer value"},
      {"MTProto1",
       {"ee00", "443", "proxy.example"},
       {{"Secret", "Set Secret", ""},
        {"Port", "Set Server Port", ""},
        {"Server", "Set Server IP", ""}},
       [](auto& v) { return BuildAddProxyMTProto("proxy.example", 443, "ee00", v); },
       ""},
      {"Socks51",
       {kCancel, kCancel, "1080", kCancel},
       {{"Username", "Set Username", ""},
        {"Password", "Set Password", "", true},
        {"Port", "Set Server Port", ""},
        {"Server", "Set Server IP", ""}},
       [](auto& v) { return BuildAddProxySocks5("", 1080, "", "", v); },
       ""},
      {"Remove1",
       {"3"},
       {{"Remove", "Set Id Proxy to Remove", ""}},
       [](auto&) { return BuildRemoveProxy(3); },
       ""},
      {"Remove1",
       {kCancel},
       {{"Remove", "Set Id Proxy to Remove", ""}},
       nullptr,
       "'' is not a valid integer value"},
      {"Enable1",
       {"12x"},
       {{"Enable", "Set Id Proxy to Enable", ""}},
       nullptr,
       "'12x' is not a valid integer value"},
      {"Enable1",
       {"4"},
       {{"Enable", "Set Id Proxy to Enable", ""}},
       [](auto&) { return BuildEnableProxy(4); },
       ""},
      {"Disable1", {}, {}, [](auto&) { return BuildDisableProxy(); }, ""},
  };
  for (const TMenuCase& c : cases) {
    SCOPED_TRACE(std::string(c.Action) + " answered " + std::to_string(c.Answers.size()));
    FDialogs.Prompts.clear();
    FDialogs.Errors.clear();
    FDialogs.Answers.assign(c.Answers.begin(), c.Answers.end());
    const size_t sent = fake_td::Sent().size();
    Trigger(c.Action);
    EXPECT_EQ(FDialogs.Prompts, c.Prompts);
    if (c.Request) {
      ASSERT_EQ(fake_td::Sent().size(), sent + 1);
      EXPECT_EQ(LastSent(), c.Request(FWindow->QvnTelegram().TDLibVersion()));
    } else {
      EXPECT_EQ(fake_td::Sent().size(), sent);
    }
    EXPECT_EQ(FDialogs.Errors,
              c.Error.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.Error});
    EXPECT_TRUE(FDialogs.Answers.empty()) << "boxes left unasked";
  }
}

TEST_F(MenuTest, AddChatMemberOffersTheCurrentChat) {
  Deliver({NewChat("101", "Alice")});
  Click(1);
  FDialogs.Answers = {"9"};
  Trigger("AddChatMember1");
  EXPECT_EQ(FDialogs.Prompts.back(), (TPrompt{"AddChatMember", "Chat Id", "101"}));
  EXPECT_EQ(LastSent(), BuildAddChatMember("101", 9, 100));
}

// The chat list stays: TDLib's answer (a "chat") adds or updates the chat's row.
TEST_F(MenuTest, GetChatAsksForAChatWhenNoneIsCurrentAndItsAnswerShowsTheChat) {
  Deliver({NewChat("101", "Alice")});
  FDialogs.Answers = {"-1001"};
  Trigger("GetChat1");
  EXPECT_EQ(ChatRows(), (std::vector<std::string>{"All chats", "Alice"}));
  Deliver({R"({"@type":"chat","id":-1001,"type":{"@type":"chatTypeSupergroup","supergroup_id":1,"is_channel":false},"title":"Asked for"})"});
  EXPECT_EQ(ChatRows(), (std::vector<std::string>{"All chats", "Alice", "Asked for"}));
  EXPECT_EQ(FDialogs.Prompts, (std::vector<TPrompt>{{"Set Chat Id", "Chat Id", "0"}}));
  EXPECT_EQ(LastSent(), BuildGetChat("-1001"));
  Trigger("GetChat1");  // the chat is current now: no second prompt
  EXPECT_EQ(FDialogs.Prompts.size(), 1u);
}

TEST_F(MenuTest, GetChatsAsksForFiftyChatsAndNothingWhenLoggedInAsBot) {
  Trigger("GetChats1");
  ASSERT_EQ(SentOfType("getChats").size(), 1u);
  Button("btnStop")->click();
  Start(/*aBot=*/true);
  Deliver({NewChat("101", "Alice")});
  const size_t sent = fake_td::Sent().size();
  Trigger("GetChats1");
  EXPECT_EQ(ChatRows(), (std::vector<std::string>{"All chats", "Alice"}));
  EXPECT_EQ(fake_td::Sent().size(), sent);
}

// Logged in, Logout asks first; confirmed, the account's chats and messages leave the window.
TEST_F(LoggedInWindowTest, LogoutAsksFirstAndClearsTheAccountsViews) {
  Deliver({NewMessage("6100000001", R"({"@type":"messageText","text":{"@type":"formattedText","text":"hi","entities":[]}})")});
  ASSERT_GT(ChatRows().size(), 1u);
  ASSERT_FALSE(Lines("memoMessages").empty());

  FDialogs.ConfirmAll = false;
  Trigger("Logout1");
  EXPECT_EQ(FDialogs.Confirmations.size(), 1u);
  EXPECT_TRUE(SentOfType("logOut").empty());
  EXPECT_GT(ChatRows().size(), 1u);

  FDialogs.ConfirmAll = true;
  Trigger("Logout1");
  EXPECT_EQ(SentOfType("logOut").size(), 1u);
  EXPECT_EQ(ChatRows(), std::vector<std::string>{"All chats"});
  EXPECT_TRUE(Lines("memoMessages").empty());
  EXPECT_EQ(FWindow->Model().Chat(TScriptedAccount::kFamily), nullptr);
}

}  // namespace
}  // namespace qvn::test
