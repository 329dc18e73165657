// Answers and login errors against the real TDLib 1.8.67, offline, on a fresh database folder:
// TDLib echoes the client's tag, a request's answer reaches its handler, TDLib's rejection of the
// parameters reaches OnAuthenticationError until the program corrects them, and a program's own
// texts that would end the process or lose their answer never reach TDLib.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <iterator>
#include <string>
#include <vector>

#include "client/qvnLibs.h"
#include "tests/support/PumpUntil.h"
#include "tests/support/TempDir.h"

namespace qvn::test {
namespace {

TEST(RealTDLibAnswers, AnswersReachTheirHandlersAndRejectedParametersAreReported) {
  TTempDir dir;
  TqvnTDLib_Telegram client(nullptr);
  client.SetEventsPerTick(64);
  client.Telegram().SetErrorsLevel(tvbFatalErrors);
  client.Telegram().SetDatabaseDirectory(dir.File("db"));
  client.Telegram().API().SetApiId("0");  // TDLib refuses it without asking the network
  client.Telegram().API().SetApiHash("a3406de8d171bb422bb6ddf3bbd800e2");

  std::vector<std::string> statuses;
  std::vector<std::string> rejections;
  std::vector<std::string> exceptions;
  client.OnAuthorizationStatus = [&](auto*, const std::string& aStatus) {
    statuses.push_back(aStatus);
  };
  client.OnAuthenticationError = [&](auto*, const std::string& aState, int32_t aCode,
                                     const std::string& aMessage) {
    rejections.push_back(aState + " " + std::to_string(aCode) + " " + aMessage);
  };
  client.OnException = [&](auto*, const std::exception& e) { exceptions.push_back(e.what()); };

  client.SetActive(true);
  ASSERT_TRUE(client.Active());
  ASSERT_TRUE(PumpUntil([&] { return !rejections.empty() || !exceptions.empty(); }));
  ASSERT_TRUE(exceptions.empty()) << exceptions.front();
  EXPECT_EQ(rejections, (std::vector<std::string>{
                            "authorizationStateWaitTdlibParameters 400 Valid api_id must be "
                            "provided. Can be obtained at https://my.telegram.org"}));

  // Corrected, the parameters are taken and TDLib asks for the phone number.
  client.Telegram().API().SetApiId("94575");
  client.SetTdlibParameters();
  ASSERT_TRUE(PumpUntil(
      [&] { return !statuses.empty() && statuses.back() == "authorizationStateWaitPhoneNumber"; }));

  // Out of order with TDLib's own events, each answer reaches its own request's handler, with
  // the caller's own "@extra" as TDLib echoes it.
  std::vector<TqvnTelegramAnswer> answers(3);
  int answered = 0;
  auto keep = [&](int aIndex) {
    return [&, aIndex](auto*, const TqvnTelegramAnswer& aAnswer) {
      answers[aIndex] = aAnswer;
      ++answered;
    };
  };
  client.Send(R"({"@type": "getOption", "name": "version", "@extra": ["mine", 7]})", keep(0));
  client.GetUser(1, keep(1));  // not logged in: TDLib's error
  client.Send(R"({"@type": "testCallString", "x": "echo me"})", keep(2));
  ASSERT_TRUE(PumpUntil([&] { return answered == 3; }));
  EXPECT_EQ(answers[0].Type, "optionValueString");
  EXPECT_EQ(answers[0].Document->GetNode("value")->Value().AsString(), "1.8.67");
  EXPECT_EQ(answers[0].Text.substr(answers[0].Text.find("\"@extra\"")), R"("@extra":["mine",7]})");
  EXPECT_EQ(answers[1].Kind, takTDLibError);
  EXPECT_EQ(answers[1].Code, 401);
  EXPECT_EQ(answers[1].Message, "Unauthorized");
  EXPECT_EQ(answers[2].Type, "testString");
  EXPECT_EQ(answers[2].Document->GetNode("value")->Value().AsString(), "echo me");

  const TqvnTelegramAnswer entities =
      client.Execute(R"({"@type": "getTextEntities", "text": "see https://telegram.org"})");
  EXPECT_EQ(entities.Type, "textEntities");
  const TqvnTelegramAnswer notSynchronous = client.Execute(R"({"@type": "getMe"})");
  EXPECT_EQ(notSynchronous.Kind, takTDLibError);

  client.SetActive(false);
  EXPECT_TRUE(exceptions.empty()) << exceptions.front();
}

// Each of these texts, sent as it is, makes TDLib 1.8.67 abort the process while it writes its
// answer (invalid UTF-8, a lone surrogate), silently change it (two high surrogates become one
// character), or answer it with an error that carries no "@extra", so the request's handler
// would wait for nothing. Every raw entry point refuses each one, once, with its reason.
TEST(RealTDLibAnswers, RawTextsTDLibCannotTakeAreRefusedBeforeSending) {
  using namespace std::string_literals;
  struct Case {
    const char* Name;
    std::string Text;
    std::string Reason;
  };
  const std::string deep = std::string(101, '[') + std::string(101, ']');
  const Case cases[] = {
      {"ffFe", "{\"@type\":\"testCallString\",\"x\":\"\xFF\xFE\"}", "invalid UTF-8 at byte 31"},
      {"overlong", "{\"@type\":\"testCallString\",\"x\":\"\xC0\xAF\"}", "invalid UTF-8 at byte 31"},
      {"loneSurrogate", R"({"@type":"testCallString","x":"\ud800"})",
       "a lone surrogate escape at byte 31"},
      {"twoHighSurrogates", R"({"@type":"testCallString","x":"\ud800\ud800"})",
       "a lone surrogate escape at byte 31"},
      {"setOptionFf",
       "{\"@type\":\"setOption\",\"name\":\"x\",\"value\":{\"@type\":\"optionValueString\","
       "\"value\":\"\xFF\"}}",
       "invalid UTF-8 at byte 78"},
      {"getOptionExtraFf", "{\"@type\":\"getOption\",\"name\":\"version\",\"@extra\":\"\xFF\"}",
       "invalid UTF-8 at byte 48"},
      {"nulInside", "{\"@type\":\"testCallString\",\"x\":\"a\0b\"}"s,
       "a NUL byte in a string at byte 32"},
      {"junkAfter", R"({"@type":"testCallEmpty"}x)", "'x' after the object at byte 25"},
      {"twoObjects", R"({"@type":"testCallEmpty"}{"@type":"testCallEmpty"})",
       "'{' after the object at byte 25"},
      {"tooDeep", R"({"@type":"testCallEmpty","x":)" + deep + "}",
       "a value inside more than 100 objects and arrays at byte 129"},
      {"escapedExtra", R"({"@type":"testCallEmpty","@ext\u0072a":1})",
       "\"@extra\" written with escapes at byte 25"},
      {"numberTDLibEchoesAsWritten", R"({"@type":"testCallEmpty","@extra":01})",
       "an invalid number at byte 34"},
  };

  TTempDir dir;
  TqvnTDLib_Telegram client(nullptr);
  client.SetWaitForEvents(true);
  client.Telegram().SetErrorsLevel(tvbFatalErrors);
  client.Telegram().SetDatabaseDirectory(dir.File("db"));
  client.Telegram().API().SetApiId("94575");
  client.Telegram().API().SetApiHash("a3406de8d171bb422bb6ddf3bbd800e2");
  std::string state;
  std::vector<std::string> exceptions;
  std::vector<std::string> errorEvents;
  client.OnAuthorizationStatus = [&](auto*, const std::string& aStatus) { state = aStatus; };
  client.OnException = [&](auto*, const std::exception& e) { exceptions.push_back(e.what()); };
  client.OnEvent = [&](auto*, const std::string& aEvent, const std::string& aText) {
    if (aEvent == "error") errorEvents.push_back(aText);
  };
  client.SetActive(true);
  ASSERT_TRUE(PumpUntil([&] { return state == "authorizationStateWaitPhoneNumber"; }));

  std::vector<std::vector<TqvnTelegramAnswer>> answers(std::size(cases));
  for (size_t i = 0; i < std::size(cases); ++i) {
    const Case& c = cases[i];
    SCOPED_TRACE(c.Name);
    const std::string reason = "The request text is refused: " + c.Reason;
    exceptions.clear();
    client.Send(c.Text, [&answers, i](auto*, const TqvnTelegramAnswer& aAnswer) {
      answers[i].push_back(aAnswer);
    });
    ASSERT_EQ(answers[i].size(), 1u) << "told at once";
    EXPECT_EQ(answers[i][0].Kind, takNotSent);
    EXPECT_EQ(answers[i][0].Message, reason);

    client.TDLibSend(c.Text);
    const TqvnTelegramAnswer executed = client.Execute(c.Text);
    EXPECT_EQ(executed.Kind, takNotSent);
    EXPECT_EQ(executed.Message, reason);
    EXPECT_THAT(exceptions, ::testing::ElementsAre(reason, reason));
  }

  // TDLib is still there and answers what follows; nothing it answered was an error without a
  // request, and no refused request's handler was called again.
  bool answered = false;
  client.Send(R"({"@type":"testCallString","x":"\ud83d\ude00 \u00e9"})",
              [&](auto*, const TqvnTelegramAnswer& aAnswer) {
                EXPECT_EQ(aAnswer.Type, "testString");
                answered = true;
              });
  ASSERT_TRUE(PumpUntil([&] { return answered; }));
  EXPECT_THAT(errorEvents, ::testing::IsEmpty());
  for (const auto& calls : answers) EXPECT_EQ(calls.size(), 1u);
  client.SetActive(false);
}

}  // namespace
}  // namespace qvn::test
