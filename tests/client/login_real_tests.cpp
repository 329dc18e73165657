// The login flow against the real TDLib 1.8.67. Offline, TDLib asks for its parameters and then
// for the phone number, and then waits for a network this test never gives it.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "base/qvnWebSocket_Helpers.h"
#include "client/qvnLibs.h"

namespace qvn {
namespace {

// Runs the client's ticks (queued to this, the main thread) until aDone holds or a generous
// time has passed; returns aDone's last answer.
bool PumpUntil(const std::function<bool()>& aDone) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  PumpMainThreadQueueUntil([&] { return aDone() || std::chrono::steady_clock::now() > deadline; });
  return aDone();
}

class RealTDLibLogin : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/velune-login-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    directory = pattern;
  }
  void TearDown() override { std::filesystem::remove_all(directory); }

  std::filesystem::path directory;
};

TEST_F(RealTDLibLogin, StartsUnattendedAndSendsThePhoneNumber) {
  TqvnTDLib_Telegram client(nullptr);
  client.SetEventsPerTick(64);
  client.Telegram().SetErrorsLevel(tvbFatalErrors);
  client.Telegram().SetDatabaseDirectory((directory / "db").string());
  client.Telegram().API().SetApiId("94575");
  client.Telegram().API().SetApiHash("a3406de8d171bb422bb6ddf3bbd800e2");
  client.Telegram().SetPhoneNumber("+15550100");

  std::vector<std::string> statuses;
  std::vector<std::string> failures;  // TDLib's error answers and the client's exceptions
  std::string versionAtParameters;
  bool probeAnswered = false;
  client.OnAuthorizationStatus = [&](auto*, const std::string& Status) {
    statuses.push_back(Status);
    // The parameters request that follows is laid out for this version.
    if (Status == "authorizationStateWaitTdlibParameters") {
      versionAtParameters = client.TDLibVersion();
    }
  };
  client.OnEvent = [&](auto*, const std::string& Event, const std::string& Text) {
    if (Event == "error") failures.push_back(Text);
    if (Text.find("\"@extra\":\"probe\"") != std::string::npos) probeAnswered = true;
  };
  client.OnException = [&](auto*, const std::exception& E) { failures.push_back(E.what()); };

  client.SetActive(true);
  ASSERT_TRUE(client.Active()) << (failures.empty() ? "" : failures.front());
  const bool asked = PumpUntil([&] {
    return !failures.empty() ||
           (!statuses.empty() && statuses.back() == "authorizationStateWaitPhoneNumber");
  });
  ASSERT_TRUE(failures.empty()) << failures.front();
  ASSERT_TRUE(asked) << "TDLib did not ask for the phone number";

  EXPECT_EQ(client.TDLibVersion(), "1.8.67");
  EXPECT_EQ(versionAtParameters, "1.8.67");  // so the flat layout went out, and TDLib took it
  EXPECT_EQ(statuses, (std::vector<std::string>{"authorizationStateWaitTdlibParameters",
                                                "authorizationStateWaitPhoneNumber"}));

  // The phone number was sent when the state was reported. TDLib answers a request it rejects
  // at once and in order, so a later request answered without an error in between shows that
  // TDLib took the phone number and is now waiting for the network.
  client.TDLibSend(R"({"@type": "getOption", "name": "version", "@extra": "probe"})");
  EXPECT_TRUE(PumpUntil([&] { return probeAnswered || !failures.empty(); }));
  EXPECT_TRUE(failures.empty()) << failures.front();
  EXPECT_TRUE(std::filesystem::exists(directory / "db"));

  client.SetActive(false);
  EXPECT_FALSE(client.Active());
}

}  // namespace
}  // namespace qvn
