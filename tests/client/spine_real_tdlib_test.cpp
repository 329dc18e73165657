// The client against the real TDLib 1.8.67, offline, in a fresh temporary working and database
// directory: TDLib's own first events reach the client, a quiet log level keeps TDLib's start-up
// silent, deactivation ends cleanly, a second client on the same database folder is refused at
// once, and three clients (both of TDLib's interfaces) run side by side.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
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

// Three clients in one process, each on its own database folder: two on TDLib's current
// interface (one receive for the process) and one on the td_json_client_* functions. Each reaches
// the phone-number prompt, and each answer reaches the handler of the client that asked.
TEST_F(RealTDLib, ThreeClientsInOneProcessEachReachTheirPrompt) {
  struct TAccount {
    TestClient Client;
    std::unique_ptr<EventRecorder> Recorder;
    std::vector<TqvnTDLib_Telegram_Client*> AnsweredTo;  // main thread (neAsynchronous)
    std::string Version;
  };
  TAccount accounts[3];
  for (int i = 0; i < 3; ++i) {
    TestClient& client = accounts[i].Client;
    accounts[i].Recorder = std::make_unique<EventRecorder>(client);
    client.Telegram().SetErrorsLevel(tvbFatalErrors);
    client.Telegram().SetDatabaseDirectory((FDirectory.Path() / ("db" + std::to_string(i))).string());
    client.Telegram().API().SetApiId("94575");
    client.Telegram().API().SetApiHash("a3406de8d171bb422bb6ddf3bbd800e2");
    client.Telegram().SetPhoneNumber("+15550100");
    client.SetWaitForEvents(i != 1);
    client.SetJsonClientInterface(i == 2);
    client.SetActive(true);
    ASSERT_TRUE(client.Active()) << ::testing::PrintToString(accounts[i].Recorder->Exceptions());
  }
  EXPECT_GT(accounts[0].Client.TDLibClientId(), 0);
  EXPECT_GT(accounts[1].Client.TDLibClientId(), accounts[0].Client.TDLibClientId());
  EXPECT_EQ(accounts[2].Client.TDLibClientId(), 0) << "the td_json_client_* interface";

  for (TAccount& account : accounts) {
    ASSERT_TRUE(PumpUntil([&] {
      return AnyContains(account.Recorder->Texts(), "authorizationStateWaitPhoneNumber");
    })) << ::testing::PrintToString(account.Recorder->Exceptions());
    account.Client.Send(R"({"@type": "getOption", "name": "version"})",
                        TqvnTelegramOnAnswer([&account](auto* aSender, const auto& aAnswer) {
                          account.AnsweredTo.push_back(aSender);
                          account.Version = aAnswer.Text;
                        }));
  }
  for (TAccount& account : accounts) {
    ASSERT_TRUE(PumpUntil([&] { return !account.AnsweredTo.empty(); }));
    EXPECT_THAT(account.AnsweredTo, ::testing::ElementsAre(&account.Client));
    EXPECT_THAT(account.Version, ::testing::HasSubstr("\"optionValueString\""));
    EXPECT_THAT(account.Version, ::testing::Not(::testing::HasSubstr("@client_id")));
  }
  for (TAccount& account : accounts) {
    account.Client.SetActive(false);
    EXPECT_FALSE(account.Client.Active());
    EXPECT_THAT(account.Recorder->Exceptions(), ::testing::IsEmpty());
  }
}

}  // namespace
}  // namespace qvn::test
