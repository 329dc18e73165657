// The client against the real TDLib, offline, in a fresh temporary working and database
// directory: TDLib's own first events reach the client, and deactivation ends cleanly.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "spine_test_support.h"

namespace qvn::test {
namespace {

namespace fs = std::filesystem;

class RealTDLib : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/qvn-real-tdlib-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    FDirectory = pattern;
    FPrevious = fs::current_path();
    fs::current_path(FDirectory);
  }
  void TearDown() override {
    fs::current_path(FPrevious);
    std::error_code ignored;
    fs::remove_all(FDirectory, ignored);
  }

  fs::path FDirectory;
  fs::path FPrevious;
};

bool AnyContains(const std::vector<std::string>& aTexts, const std::string& aPiece) {
  for (const std::string& text : aTexts) {
    if (text.find(aPiece) != std::string::npos) return true;
  }
  return false;
}

TEST_F(RealTDLib, TheFirstEventsAreTDLibsOwnAndDeactivationIsClean) {
  TestClient client;
  EventRecorder recorder(client);
  client.Telegram().SetErrorsLevel(tvbFatalErrors);
  client.Telegram().SetDatabaseDirectory((FDirectory / "db").string());
  client.SetEventsPerTick(50);

  client.SetActive(true);
  ASSERT_TRUE(client.Active()) << ::testing::PrintToString(recorder.Exceptions());
  ASSERT_TRUE(PumpUntil([&] { return AnyContains(recorder.Texts(), "updateAuthorizationState"); }))
      << ::testing::PrintToString(recorder.Texts());

  // Unchanged TDLib output: its own compact layout, its version first.
  const std::vector<std::string> texts = recorder.Texts();
  EXPECT_EQ(texts[0].rfind("{\"@type\":\"updateOption\",\"name\":\"version\"", 0), 0u) << texts[0];
  EXPECT_TRUE(AnyContains(texts,
                          "{\"@type\":\"updateAuthorizationState\",\"authorization_state\":"
                          "{\"@type\":\"authorizationStateWaitTdlibParameters\"}}"));

  client.SetActive(false);
  EXPECT_FALSE(client.Active());
  EXPECT_EQ(client.Client(), nullptr);
}

}  // namespace
}  // namespace qvn::test
