// Login answers against the scripted fake TDLib: a rejected answer is reported with TDLib's code
// and message and the prompt comes back; a prompt left empty waits for the program, which answers
// later through the public login methods.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

#include "answers_test_support.h"
#include "base/qvnWebSocket_Helpers.h"
#include "client/qvnTelegram_Login.h"
#include "client/qvnTelegram_RequestExtra.h"
#include "tests/support/TempDir.h"

namespace qvn::test {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using Trace = std::vector<std::string>;

class LoginAnswers : public AnsweringFake {
 protected:
  void SetUp() override {
    AnsweringFake::SetUp();
    FClient.Telegram().API().SetApiId("94575");
    FClient.Telegram().API().SetApiHash("a3406de8d171bb422bb6ddf3bbd800e2");
    FClient.Telegram().SetPhoneNumber("+15550100");
    FClient.Telegram().SetDatabaseDirectory(FDir.File("db"));
    FClient.OnAuthorizationStatus = [this](auto*, const std::string& aStatus) {
      FTrace.push_back("status " + aStatus);
    };
    FClient.OnAuthenticationError = [this](auto*, const std::string& aState, int32_t aCode,
                                          const std::string& aMessage) {
      FTrace.push_back("rejected " + aState + " " + std::to_string(aCode) + " " + aMessage);
    };
    FClient.OnAuthenticationCode = [this](auto*, std::string& aCode) {
      FTrace.push_back("code?");
      if (!FCodes.empty()) {
        aCode = FCodes.front();
        FCodes.pop_front();
      }
    };
    FClient.OnException = [this](auto*, const std::exception& e) {
      FTrace.push_back(std::string("exception ") + e.what());
    };
  }

  // Activates the client and delivers aStates, then runs ticks until the fake has nothing left.
  void Deliver(const std::vector<std::string>& aStates) {
    if (!FClient.Active()) FClient.SetActive(true);
    for (const std::string& state : aStates) fake_td_queue_event(StateText(state).c_str());
    PumpFor([this] { return FakeTextsRead(FClient); });
    PumpMainThreadQueue();
  }

  // The login requests sent, by "@type", without the client's tag.
  static std::vector<std::string> SentOfType(const std::string& aType) {
    std::vector<std::string> found;
    for (const std::string& text : fake_td::Sent()) {
      if (text.rfind("{\"@type\": \"" + aType + "\"", 0) == 0) {
        found.push_back(ReplaceExtra(text, ""));
      }
    }
    return found;
  }

  TTempDir FDir;
  Trace FTrace;
  std::deque<std::string> FCodes;
};

TEST_F(LoginAnswers, AWrongCodeIsReportedAndAskedForAgain) {
  FCodes = {"11111", "22222"};
  FScript = [](const nlohmann::json& aRequest) {
    if (aRequest["@type"] != "checkAuthenticationCode") return TReply{};
    if (aRequest["code"] == "22222") {
      return TReply{R"({"@type":"ok"})", {StateText("authorizationStateReady")}};
    }
    return TReply{ErrorText(400, "PHONE_CODE_INVALID")};
  };
  Deliver({"authorizationStateWaitCode"});

  EXPECT_EQ(FTrace, (Trace{"status authorizationStateWaitCode", "code?",
                          "rejected authorizationStateWaitCode 400 PHONE_CODE_INVALID", "code?",
                          "status authorizationStateReady"}));
  EXPECT_THAT(SentOfType("checkAuthenticationCode"),
              ElementsAre(CheckAuthenticationCodeRequest("11111"),
                          CheckAuthenticationCodeRequest("22222")));
  // The answers to the client's own login requests still reach OnEvent, as they always did.
  const std::vector<std::string> events = Events();
  ASSERT_GE(events.size(), 3u);
  EXPECT_EQ(events[events.size() - 3],
            "error " + ErrorText(400, "PHONE_CODE_INVALID"));  // without the client's tag
  EXPECT_EQ(events[events.size() - 2], R"(ok {"@type":"ok"})");
}

// A prompt left empty sends nothing; the program's later answer goes out, and its answer (here
// a rejection, then success) reaches the program's handler instead of OnEvent.
TEST_F(LoginAnswers, EachPromptCanBeAnsweredLater) {
  struct Case {
    const char* State;
    std::function<void(TqvnTDLib_Telegram_Client&, const TqvnTelegramOnAnswer&)> Answer;
    std::string Request;
  };
  FClient.OnAuthenticationPassword = [](auto*, std::string&) {};
  FClient.OnRegisterUser = [](auto*, std::string&, std::string& aLastName) { aLastName = "Only"; };
  FClient.Telegram().SetPhoneNumber("");
  const Case cases[] = {
      {"authorizationStateWaitPhoneNumber",
       [](auto& c, auto& h) { c.SetAuthenticationPhoneNumber("+15550199", h); },
       SetAuthenticationPhoneNumberRequest("+15550199")},
      {"authorizationStateWaitPhoneNumber",
       [](auto& c, auto& h) { c.CheckAuthenticationBotToken("1:tok\"en", h); },
       CheckAuthenticationBotTokenRequest("1:tok\"en")},
      {"authorizationStateWaitCode", [](auto& c, auto& h) { c.CheckAuthenticationCode("135", h); },
       CheckAuthenticationCodeRequest("135")},
      {"authorizationStateWaitPassword",
       [](auto& c, auto& h) { c.CheckAuthenticationPassword("pass", h); },
       CheckAuthenticationPasswordRequest("pass")},
      {"authorizationStateWaitRegistration",
       [](auto& c, auto& h) { c.RegisterUser("Ann", "Lee", h); },
       RegisterUserRequest("Ann", "Lee")},
  };
  bool reject = true;
  FScript = [&reject](const nlohmann::json& aRequest) {
    if (aRequest["@type"] == "getAuthorizationState") return TReply{""};
    return reject ? TReply{ErrorText(400, "NOPE")} : TReply{};
  };
  FClient.SetActive(true);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Request);
    const size_t sentBefore = fake_td::Sent().size();
    Deliver({c.State});
    EXPECT_EQ(fake_td::Sent().size(), sentBefore) << "a prompt left empty was answered";

    for (const bool rejected : {true, false}) {
      reject = rejected;
      FAnswered.clear();
      FTrace.clear();
      c.Answer(FClient, Record("later"));
      PumpUntilAnswered(1);
      EXPECT_EQ(ReplaceExtra(fake_td::Sent().back(), ""), c.Request);
      EXPECT_EQ(Answered()[0].Answer.Kind, rejected ? takTDLibError : takAnswer);
      // The rejection is an authentication error as well; the prompt is left to the program,
      // which has no code, password or names to give yet.
      if (rejected) {
        EXPECT_EQ(FTrace.front(), std::string("rejected ") + c.State + " 400 NOPE");
      } else {
        EXPECT_THAT(FTrace, IsEmpty());
      }
    }
  }
  EXPECT_THAT(Events(), IsEmpty());
}

// Answers taken from the options would be rejected again: they are reported, not repeated, and
// the program sends the corrected one.
TEST_F(LoginAnswers, RejectedOptionsAreReportedAndCorrectedByTheProgram) {
  FScript = [](const nlohmann::json& aRequest) {
    const std::string type = aRequest["@type"];
    if (type == "setTdlibParameters" && aRequest["api_id"] == 0) {
      return TReply{ErrorText(
          400, "Valid api_id must be provided. Can be obtained at https://my.telegram.org")};
    }
    if (type == "setTdlibParameters") {
      return TReply{R"({"@type":"ok"})", {StateText("authorizationStateWaitPhoneNumber")}};
    }
    if (type == "setAuthenticationPhoneNumber" && aRequest["phone_number"] == "+15550100") {
      return TReply{ErrorText(400, "PHONE_NUMBER_INVALID")};
    }
    if (type == "setAuthenticationPhoneNumber") {
      return TReply{R"({"@type":"ok"})", {StateText("authorizationStateWaitCode")}};
    }
    return TReply{""};
  };
  FClient.Telegram().API().SetApiId("0");
  // TDLib 1.8.67 reports its version first; the flat parameters layout follows from it.
  fake_td_queue_event(
      R"({"@type":"updateOption","name":"version","value":{"@type":"optionValueString","value":"1.8.67"}})");
  Deliver({"authorizationStateWaitTdlibParameters"});
  EXPECT_EQ(FTrace, (Trace{"status authorizationStateWaitTdlibParameters",
                          "rejected authorizationStateWaitTdlibParameters 400 Valid api_id must be "
                          "provided. Can be obtained at https://my.telegram.org"}));

  FTrace.clear();
  FClient.Telegram().API().SetApiId("94575");
  FClient.SetTdlibParameters();
  PumpFor([this] { return FTrace.size() >= 2; });
  EXPECT_EQ(FTrace, (Trace{"status authorizationStateWaitPhoneNumber",
                          "rejected authorizationStateWaitPhoneNumber 400 PHONE_NUMBER_INVALID"}));
  EXPECT_EQ(SentOfType("setTdlibParameters").size(), 2u);
  EXPECT_EQ(SentOfType("setAuthenticationPhoneNumber").size(), 1u);

  FTrace.clear();
  FClient.SetAuthenticationPhoneNumber("+15550111");
  PumpFor([this] { return FTrace.size() >= 2; });
  EXPECT_EQ(FTrace, (Trace{"status authorizationStateWaitCode", "code?"}));

  // An API id that cannot be sent at all is refused before sending.
  FClient.Telegram().API().SetApiId("12a");
  std::vector<TqvnTelegramAnswer> refused;
  FClient.SetTdlibParameters(
      [&refused](auto*, const TqvnTelegramAnswer& aAnswer) { refused.push_back(aAnswer); });
  ASSERT_EQ(refused.size(), 1u);
  EXPECT_EQ(refused[0].Kind, takNotSent);
  EXPECT_EQ(refused[0].Message, "API id must be a decimal number");
  EXPECT_EQ(FTrace.back(), "exception API id must be a decimal number");
}

// TDLib went back to the phone number (too many attempts) before rejecting the code: the code is
// not asked for again.
TEST_F(LoginAnswers, ARejectionAfterTDLibMovedOnAsksNothingAgain) {
  FCodes = {"11111", "22222"};
  FScript = [](const nlohmann::json& aRequest) {
    if (aRequest["@type"] != "checkAuthenticationCode") return TReply{""};
    // The state change comes first, then the error with the request's "@extra".
    std::string error = ErrorText(400, "PHONE_CODE_EXPIRED");
    error.pop_back();
    error += ",\"@extra\":" + aRequest["@extra"].dump() + "}";
    return TReply{"", {StateText("authorizationStateWaitPhoneNumber"), error}};
  };
  FClient.Telegram().SetPhoneNumber("");
  Deliver({"authorizationStateWaitCode"});
  EXPECT_EQ(FTrace, (Trace{"status authorizationStateWaitCode", "code?",
                          "status authorizationStateWaitPhoneNumber",
                          "rejected authorizationStateWaitCode 400 PHONE_CODE_EXPIRED"}));
  EXPECT_EQ(FClient.AuthorizationState(), "authorizationStateWaitPhoneNumber");
  FClient.SetActive(false);
  EXPECT_EQ(FClient.AuthorizationState(), "");
}

}  // namespace
}  // namespace qvn::test
