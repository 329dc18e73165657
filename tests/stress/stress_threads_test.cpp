// One thread sends, executes and reads the client's handle and TDLib id in a loop, activating
// the client again whenever it finds it inactive; another thread deactivates it at random
// moments. On both of TDLib's interfaces, ticking and waiting. Built twice: against the scripted
// fake TDLib (also under AddressSanitizer and ThreadSanitizer) and, with QVN_STRESS_REAL_TDLIB,
// against the real TDLib, offline. Nothing may end the process or reach a closed TDLib client,
// and every request's handler is called exactly once.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <random>
#include <string>
#include <thread>

#include "base/qvnWebSocket_Helpers.h"
#include "tests/support/PumpUntil.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestClient.h"
#ifndef QVN_STRESS_REAL_TDLIB
#include "fake_tdjson.h"
#endif

namespace qvn::test {
namespace {

constexpr auto kStressTime = std::chrono::seconds(2);
constexpr int kMostRequests = 1 << 20;

struct ThreadsCase {
  const char* Name;
  bool JsonClientInterface;
  bool WaitForEvents;
};

class CrossThreadDeactivation : public ::testing::TestWithParam<ThreadsCase> {
 protected:
#ifndef QVN_STRESS_REAL_TDLIB
  void SetUp() override { fake_td_reset(); }
  void TearDown() override { fake_td_reset(); }
#endif
};

TEST_P(CrossThreadDeactivation, SendsExecutesAndReadsWhileAnotherThreadDeactivates) {
  const TTempDir folder;
  TestClient client;
  client.SetJsonClientInterface(GetParam().JsonClientInterface);
  client.SetWaitForEvents(GetParam().WaitForEvents);
  client.Telegram().SetErrorsLevel(tvbFatalErrors);
  client.Telegram().SetDatabaseDirectory(folder.File("db"));
  client.Telegram().API().SetApiId("94575");
  client.Telegram().API().SetApiHash("a3406de8d171bb422bb6ddf3bbd800e2");
  std::atomic<int> exceptions{0};
  client.OnException = [&](auto*, const std::exception&) { ++exceptions; };

  // Handlers run on the main thread, or on the deactivating thread for takDeactivated.
  const auto calls = std::make_unique<std::atomic<int>[]>(kMostRequests);
  int asked = 0;
  std::atomic<bool> stop{false};
  std::thread deactivator([&] {
    std::mt19937 random(7);
    std::uniform_int_distribution<int> pause(0, 3000);
    while (!stop) {
      std::this_thread::sleep_for(std::chrono::microseconds(pause(random)));
      client.SetActive(false);
    }
  });
  const auto end = std::chrono::steady_clock::now() + kStressTime;
  while (std::chrono::steady_clock::now() < end && asked < kMostRequests) {
    if (!client.Active()) client.SetActive(true);
    const int index = asked++;
    client.Send(R"({"@type": "testCallEmpty"})",
                {[&calls, index](auto*, const TqvnTelegramAnswer&) { ++calls[index]; }});
    client.TDLibSend(R"({"@type": "testCallEmpty"})");
    client.Execute(R"({"@type": "getTextEntities", "text": "@telegram"})");
    static_cast<void>(client.Client());
    static_cast<void>(client.TDLibClientId());
    PumpMainThreadQueue();
  }
  stop = true;
  deactivator.join();
  client.SetActive(false);
  PumpMainThreadQueue();

  int missing = 0;
  int repeated = 0;
  for (int i = 0; i < asked; ++i) {
    missing += calls[i] == 0 ? 1 : 0;
    repeated += calls[i] > 1 ? 1 : 0;
  }
  EXPECT_GT(asked, 100);
  EXPECT_EQ(missing, 0) << "of " << asked;
  EXPECT_EQ(repeated, 0) << "of " << asked;
  EXPECT_FALSE(client.Active());
#ifndef QVN_STRESS_REAL_TDLIB
  EXPECT_EQ(fake_td_misuse_count(), 0);
#endif
}

INSTANTIATE_TEST_SUITE_P(
    Interfaces, CrossThreadDeactivation,
    ::testing::Values(ThreadsCase{"CurrentTicking", false, false},
                      ThreadsCase{"CurrentWaiting", false, true},
                      ThreadsCase{"JsonClientTicking", true, false},
                      ThreadsCase{"JsonClientWaiting", true, true}),
    [](const auto& aInfo) { return std::string(aInfo.param.Name); });

}  // namespace
}  // namespace qvn::test
