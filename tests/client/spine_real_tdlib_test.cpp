// The client against the real TDLib 1.8.67, offline, in a fresh temporary working and database
// directory: TDLib's own first events reach the client, a quiet log level keeps TDLib's start-up
// silent, deactivation ends cleanly, and a second client on the same database folder is refused
// at once.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "spine_test_support.h"
#include "tests/support/TempDir.h"

namespace qvn::test {
namespace {

namespace fs = std::filesystem;

class RealTDLib : public ::testing::Test {
 protected:
  void SetUp() override {
    FPrevious = fs::current_path();
    fs::current_path(FDirectory.Path());
  }
  void TearDown() override { fs::current_path(FPrevious); }

  TTempDir FDirectory;
  fs::path FPrevious;
};

bool AnyContains(const std::vector<std::string>& aTexts, const std::string& aPiece) {
  for (const std::string& text : aTexts) {
    if (text.find(aPiece) != std::string::npos) return true;
  }
  return false;
}

// What the process writes to standard error while aCall runs.
template <class TCall>
std::string StandardErrorOf(const fs::path& aFile, TCall aCall) {
  std::fflush(stderr);
  const int saved = dup(2);
  const int file = open(aFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  dup2(file, 2);
  close(file);
  aCall();
  std::fflush(stderr);
  dup2(saved, 2);
  close(saved);
  std::ifstream in(aFile);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// First in this program: TDLib's log level is process-wide, so only the first TDLib client shows
// whether the level was set before TDLib started.
TEST_F(RealTDLib, TheQuietestLevelKeepsTDLibsStartUpSilent) {
  TestClient client;
  EventRecorder recorder(client);
  client.Telegram().SetErrorsLevel(tvbFatalErrors);
  client.Telegram().SetDatabaseDirectory((FDirectory.Path() / "db").string());
  client.SetWaitForEvents(true);
  const std::string written = StandardErrorOf(FDirectory.Path() / "stderr.txt", [&] {
    client.SetActive(true);
    PumpUntil([&] { return AnyContains(recorder.Texts(), "authorizationStateWaitTdlibParameters"); });
    client.SetActive(false);
  });
  EXPECT_TRUE(AnyContains(recorder.Texts(), "authorizationStateWaitTdlibParameters"));
  EXPECT_EQ(written, "");
}

TEST_F(RealTDLib, TheFirstEventsAreTDLibsOwnAndDeactivationIsClean) {
  TestClient client;
  EventRecorder recorder(client);
  client.Telegram().SetErrorsLevel(tvbFatalErrors);
  client.Telegram().SetDatabaseDirectory((FDirectory.Path() / "db").string());
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

// Both clients of one database folder reach TDLib only through the first: the second is refused
// before it creates a TDLib client, and stopping both ends cleanly.
TEST_F(RealTDLib, ASecondClientOnTheSameDatabaseFolderIsRefusedAtOnce) {
  const std::string folder = (FDirectory.Path() / "db").string();
  TestClient first;
  TestClient second;
  EventRecorder firstRecorder(first);
  EventRecorder secondRecorder(second);
  for (TestClient* client : {&first, &second}) {
    client->Telegram().SetErrorsLevel(tvbFatalErrors);
    client->Telegram().SetDatabaseDirectory(folder);
    client->Telegram().API().SetApiId("94575");
    client->Telegram().API().SetApiHash("a3406de8d171bb422bb6ddf3bbd800e2");
    client->Telegram().SetPhoneNumber("+15550100");
    client->SetWaitForEvents(true);
  }
  first.SetActive(true);
  ASSERT_TRUE(PumpUntil(
      [&] { return AnyContains(firstRecorder.Texts(), "authorizationStateWaitPhoneNumber"); }))
      << ::testing::PrintToString(firstRecorder.Exceptions());

  second.SetActive(true);
  EXPECT_FALSE(second.Active());
  ASSERT_EQ(secondRecorder.Exceptions().size(), 1u);
  EXPECT_THAT(secondRecorder.Exceptions()[0],
              ::testing::HasSubstr("is in use by another Telegram client"));
  EXPECT_TRUE(secondRecorder.Texts().empty());

  second.SetActive(false);
  first.SetActive(false);
  EXPECT_FALSE(first.Active());
  EXPECT_TRUE(firstRecorder.Exceptions().empty()) << firstRecorder.Exceptions().front();

  // Free again: the second client now opens the same database.
  second.SetActive(true);
  EXPECT_TRUE(second.Active());
  ASSERT_TRUE(PumpUntil(
      [&] { return AnyContains(secondRecorder.Texts(), "authorizationStateWaitPhoneNumber"); }));
  second.SetActive(false);
}

}  // namespace
}  // namespace qvn::test
