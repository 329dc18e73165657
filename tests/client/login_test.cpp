// The login flow, driven through the scripted fake TDLib: the client answers each
// authorization state TDLib reports with the request its settings and handlers give, and reports
// what TDLib refuses.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dispatch_fixture.h"
#include "fake_tdjson.h"
#include "sample_events.h"

namespace qvn::test {
namespace {

using Login = Dispatch;

struct UserLoginCase {
  const char* Name;
  std::string VersionEvents;  // what TDLib reports before asking for the parameters
  std::string Version;        // TDLibVersion when the parameters are sent
  bool Flat;                  // the flat parameters layout is expected
};

void PrintTo(const UserLoginCase& aCase, std::ostream* aStream) {
  *aStream << aCase.Name;
}

class UserLogin : public Login, public ::testing::WithParamInterface<UserLoginCase> {};

TEST_P(UserLogin, AnswersEveryStateUntilReady) {
  const UserLoginCase& c = GetParam();
  fake_td_respond("setTdlibParameters", StateEvent("authorizationStateWaitEncryptionKey").c_str());
  fake_td_respond("checkDatabaseEncryptionKey",
                  StateEvent("authorizationStateWaitPhoneNumber").c_str());
  fake_td_respond("setAuthenticationPhoneNumber", StateEvent("authorizationStateWaitCode").c_str());
  fake_td_respond("checkAuthenticationCode",
                  StateEvent("authorizationStateWaitRegistration").c_str());
  fake_td_respond("registerUser", StateEvent("authorizationStateWaitPassword").c_str());
  fake_td_respond("checkAuthenticationPassword",
                  (StateEvent("authorizationStateReady") + "\n" + MessageSample(3)).c_str());

  Deliver(c.VersionEvents + "\n" + StateEvent("authorizationStateWaitTdlibParameters"));

  Trace expected;
  for (size_t i = 0; i < 2 && !c.VersionEvents.empty(); ++i) {
    expected.insert(expected.end(), {"before", "event updateOption"});
  }
  expected.insert(expected.end(), {"before",
                                   "status authorizationStateWaitTdlibParameters",  //
                                   "before",
                                   "status authorizationStateWaitEncryptionKey",  //
                                   "before",
                                   "status authorizationStateWaitPhoneNumber",  //
                                   "before",
                                   "status authorizationStateWaitCode",
                                   "code",  //
                                   "before",
                                   "status authorizationStateWaitRegistration",
                                   "register",
                                   "before",
                                   "status authorizationStateWaitPassword",
                                   "password",
                                   "before",
                                   "status authorizationStateReady",
                                   "event updateAuthorizationState",
                                   "before",
                                   "event updateOption"});
  EXPECT_EQ(FTrace, expected);
  EXPECT_EQ(FClient.TDLibVersion(), c.Version);
  EXPECT_EQ(FClient.MyId(), 5123456789);

  const std::vector<std::string> requests = Requests();
  ASSERT_EQ(requests.size(), 6u);
  const std::string parametersStart =
      c.Flat ? R"({"@type": "setTdlibParameters", "database_directory": "tdlib",)"
             : R"({"@type": "setTdlibParameters", "parameters": {"database_directory": "tdlib",)";
  EXPECT_EQ(requests[0].substr(0, parametersStart.size()), parametersStart) << requests[0];
  EXPECT_NE(requests[0].find(R"("api_id": 94575,"api_hash": "a3406de8d171bb422bb6ddf3bbd800e2")"),
            std::string::npos);
  EXPECT_EQ(requests[1], R"({"@type": "checkDatabaseEncryptionKey", "encryption_key": "ayJleQ=="})");
  EXPECT_EQ(requests[2],
            R"({"@type": "setAuthenticationPhoneNumber", "phone_number": "+15550100"})");
  EXPECT_EQ(requests[3], R"({"@type": "checkAuthenticationCode", "code": "24680"})");
  EXPECT_EQ(requests[4],
            R"({"@type": "registerUser", "first_name": "Zo\u00EB", "last_name": "O'Neil"})");
  EXPECT_EQ(requests[5], R"({"@type": "checkAuthenticationPassword", "password": "pa\"ss\\word"})");
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, UserLogin,
    ::testing::Values(
        // The release tells its version synchronously at activation, before any update.
        UserLoginCase{"VersionToldAtActivation", "", "1.8.67", true},
        // What TDLib 1.8.67 really reports first.
        UserLoginCase{"TDLib1_8_67",
                      SampleEvent("startup.jsonl", 1) + "\n" + SampleEvent("startup.jsonl", 2),
                      "1.8.67", true},
        UserLoginCase{"TDLib1_10_0", VersionEvent("1.10.0") + "\n" + VersionEvent("1.10.0"),
                      "1.10.0", true},
        UserLoginCase{"TDLib1_8_1", VersionEvent("1.8.1") + "\n" + VersionEvent("1.8.1"), "1.8.1",
                      false}),
    [](const auto& info) { return std::string(info.param.Name); });

// TDLib's answer to a refused database key is reported as a clear error, and still reaches
// OnEvent as every error does; errors of other requests only reach OnEvent.
TEST_F(Login, RefusedDatabaseKeyReachesOnException) {
  Deliver(
      R"({"@type":"error","code":401,"message":"Wrong database encryption key",)"
      R"("@extra":"setTdlibParameters"})"
      "\n"
      R"({"@type":"error","code":400,"message":"Wrong password","@extra":"checkDatabaseEncryptionKey"})"
      "\n"
      R"({"@type":"error","code":400,"message":"Wrong password","@extra":12})");
  EXPECT_EQ(FTrace, (Trace{"before",
                          "exception The database encryption key was refused (TDLib error 401: "
                          "Wrong database encryption key)",
                          "event error", "before",
                          "exception The database encryption key was refused (TDLib error 400: "
                          "Wrong password)",
                          "event error", "before", "event error"}));
}

TEST_F(Login, BotLoginAnswersThePhoneStateWithTheTokenOnly) {
  FClient.Telegram().SetBotToken("123456:AA\"bot\\token");
  fake_td_respond("setTdlibParameters", StateEvent("authorizationStateWaitPhoneNumber").c_str());
  fake_td_respond("checkAuthenticationBotToken", StateEvent("authorizationStateReady").c_str());

  Deliver(SampleEvent("startup.jsonl", 1) + "\n" +
          StateEvent("authorizationStateWaitTdlibParameters"));

  const std::vector<std::string> requests = Requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0].rfind(R"({"@type": "setTdlibParameters", "database_directory")", 0), 0u);
  EXPECT_EQ(requests[1],
            R"({"@type": "checkAuthenticationBotToken", "token": "123456:AA\"bot\\token"})");
  EXPECT_EQ(FTrace, (Trace{"before", "event updateOption",  //
                          "before", "status authorizationStateWaitTdlibParameters", "before",
                          "status authorizationStateWaitPhoneNumber", "before",
                          "status authorizationStateReady", "event updateAuthorizationState"}));
}

TEST_F(Login, AStateReportedTwiceIsAnsweredTwice) {
  int codes = 0;
  FClient.OnAuthenticationCode = [&codes](auto*, std::string& aCode) {
    aCode = std::to_string(++codes);
  };
  // The parameters name the folder locked at activation, whatever the option says by now.
  FClient.Telegram().SetDatabaseDirectory("elsewhere");
  Deliver(StateEvent("authorizationStateWaitTdlibParameters") + "\n" +
          StateEvent("authorizationStateWaitTdlibParameters") + "\n" +
          StateEvent("authorizationStateWaitCode") + "\n" +
          StateEvent("authorizationStateWaitCode"));

  const std::vector<std::string> requests = Requests();
  ASSERT_EQ(requests.size(), 4u);
  EXPECT_EQ(requests[0], requests[1]);
  EXPECT_NE(requests[0].find(R"("database_directory": "tdlib")"), std::string::npos);
  EXPECT_EQ(requests[2], R"({"@type": "checkAuthenticationCode", "code": "1"})");
  EXPECT_EQ(requests[3], R"({"@type": "checkAuthenticationCode", "code": "2"})");
}

// An empty answer, or none, leaves the prompt to the program, which answers later.
TEST_F(Login, PromptsLeftEmptySendNothing) {
  FClient.OnAuthenticationCode = nullptr;
  FClient.OnAuthenticationPassword = [](auto*, std::string&) {};
  FClient.OnRegisterUser = [](auto*, std::string&, std::string& aLastName) { aLastName = "Only"; };
  FClient.Telegram().SetPhoneNumber("");
  Deliver(StateEvent("authorizationStateWaitPhoneNumber") + "\n" +
          StateEvent("authorizationStateWaitCode") + "\n" +
          StateEvent("authorizationStateWaitRegistration") + "\n" +
          StateEvent("authorizationStateWaitPassword"));
  EXPECT_TRUE(Requests().empty());
  EXPECT_EQ(FClient.AuthorizationState(), "authorizationStateWaitPassword");
}

TEST_F(Login, HandledSuppressesEverythingForThatText) {
  FHandleAll = true;
  const std::string events[] = {
      StateEvent("authorizationStateWaitTdlibParameters"),
      StateEvent("authorizationStateWaitPhoneNumber"),
      StateEvent("authorizationStateWaitCode"),
      MessageSample(3),   // my_id
      MessageSample(62),  // connection state
      MessageSample(33),  // text message
      MessageSample(13),  // new chat
      MessageSample(42),  // callback query
      MessageSample(51),  // error
  };
  std::string all;
  for (const std::string& event : events) all += event + "\n";
  Deliver(all);

  EXPECT_EQ(FTrace, Trace(std::size(events), "before"));
  EXPECT_TRUE(Requests().empty());
  EXPECT_EQ(FClient.MyId(), 0);
}

}  // namespace
}  // namespace qvn::test
