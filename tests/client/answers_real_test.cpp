// Answers and login errors against the real TDLib 1.8.67, offline, on a fresh database folder:
// TDLib echoes the client's tag, a request's answer reaches its handler, and TDLib's rejection
// of the parameters reaches OnAuthenticationError until the program corrects them.
#include <gtest/gtest.h>

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

}  // namespace
}  // namespace qvn::test
