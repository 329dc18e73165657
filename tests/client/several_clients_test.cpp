// Several clients in one process on TDLib's current interface (td_create_client_id, td_send and
// the one td_receive of the process), on the scripted fake TDLib: each text reaches the client it
// names and no other, without the "@client_id" TDLib adds; a client deactivated or destroyed
// leaves the others receiving; a client that falls behind holds the receive back without losing
// a text; and a client asked for the td_json_client_* interface uses it.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "client/qvnTelegram_SharedReceive.h"
#include "fake_tdjson.h"
#include "spine_test_support.h"
#include "tests/support/TempDir.h"
#include "tests/support/WaitUntil.h"

namespace qvn::test {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;

std::string Numbered(int aNumber) {
  return "{\"@type\":\"updateNumbered\",\"n\":" + std::to_string(aNumber) + "}";
}

// A client on its own database folder with the events it reads recorded.
struct TAccount {
  TAccount(bool aWaits, TwsNotifyEvent aMode) : Recorder(Client) {
    Client.Telegram().SetDatabaseDirectory((Folder.Path() / "db").string());
    Client.SetWaitForEvents(aWaits);
    Client.SetNotifyEvents(aMode);
    Client.SetEventsPerTick(16);
  }
  // Its texts other than the answer to activation's getAuthorizationState (none on the fake).
  std::vector<std::string> Numbers() const {
    std::vector<std::string> texts;
    for (const std::string& text : Recorder.Texts()) {
      if (text.find("updateNumbered") != std::string::npos) texts.push_back(text);
    }
    return texts;
  }

  TTempDir Folder;
  TestClient Client;
  EventRecorder Recorder;
};

class SeveralClients : public ::testing::Test {
 protected:
  void SetUp() override {
    fake_td_reset();
    ASSERT_EQ(fake_td_has_client_id_interface(), 1);
    // Ticking and waiting workers, each delivery mode.
    FAccounts.push_back(std::make_unique<TAccount>(true, neAsynchronous));
    FAccounts.push_back(std::make_unique<TAccount>(true, neSynchronous));
    FAccounts.push_back(std::make_unique<TAccount>(false, neNoSync));
    for (auto& account : FAccounts) {
      account->Client.SetActive(true);
      ASSERT_TRUE(account->Client.Active());
    }
  }
  void TearDown() override {
    FAccounts.clear();
    PumpMainThreadQueue();
    EXPECT_EQ(fake_td_live_clients(), 0);
    EXPECT_EQ(fake_td_misuse_count(), 0);
  }

  // Queues aCount numbered texts for each account still in FAccounts at aIndexes, interleaved,
  // numbering them index * 1000 + i.
  void QueueFor(const std::vector<size_t>& aIndexes, int aCount) {
    for (int i = 1; i <= aCount; ++i) {
      for (size_t index : aIndexes) {
        const int id = FAccounts[index]->Client.TDLibClientId();
        fake_td_queue_event_for(id, Numbered(static_cast<int>(index) * 1000 + i).c_str());
      }
    }
  }
  static std::vector<std::string> Expected(size_t aIndex, int aCount) {
    std::vector<std::string> texts;
    for (int i = 1; i <= aCount; ++i) texts.push_back(Numbered(static_cast<int>(aIndex) * 1000 + i));
    return texts;
  }
  ::testing::AssertionResult PumpUntilRead(size_t aIndex, int aCount) {
    return PumpUntil([&] { return FAccounts[aIndex]->Numbers().size() >= static_cast<size_t>(aCount); });
  }

  std::vector<std::unique_ptr<TAccount>> FAccounts;
};

TEST_F(SeveralClients, EachTextReachesTheClientItNamesInOrder) {
  std::vector<int> ids;
  for (auto& account : FAccounts) ids.push_back(account->Client.TDLibClientId());
  // One TDLib client each; TDLib never gives an id twice in a process.
  EXPECT_GT(ids[0], 0);
  EXPECT_LT(ids[0], ids[1]);
  EXPECT_LT(ids[1], ids[2]);

  constexpr int kCount = 50;
  QueueFor({0, 1, 2}, kCount);
  for (size_t i = 0; i < FAccounts.size(); ++i) {
    SCOPED_TRACE(i);
    ASSERT_TRUE(PumpUntilRead(i, kCount));
    // Exactly as TDLib wrote them, without the "@client_id" the shared receive routed them by.
    EXPECT_THAT(FAccounts[i]->Numbers(), ElementsAreArray(Expected(i, kCount)));
    EXPECT_THAT(FAccounts[i]->Recorder.Exceptions(), IsEmpty());
  }
}

TEST_F(SeveralClients, OneClientEndingLeavesTheOthersReceiving) {
  // The waiting one first: its deactivation ends its wait without a request to TDLib.
  FAccounts[1]->Client.SetActive(false);
  EXPECT_FALSE(FAccounts[1]->Client.Active());
  EXPECT_EQ(fake_td_live_clients(), 2);
  EXPECT_THAT(fake_td::Sent(), ::testing::Contains("{\"@type\": \"close\"}"));
  EXPECT_THAT(fake_td::Sent(), ::testing::Not(::testing::Contains("{\"@type\": \"testCallEmpty\"}")));

  QueueFor({0, 2}, 5);
  ASSERT_TRUE(PumpUntilRead(0, 5));
  ASSERT_TRUE(PumpUntilRead(2, 5));

  // Destroying an active client closes its TDLib client; the last one still receives.
  FAccounts[0].reset();
  EXPECT_EQ(fake_td_live_clients(), 1);
  fake_td_queue_event_for(FAccounts[2]->Client.TDLibClientId(), Numbered(2006).c_str());
  ASSERT_TRUE(PumpUntilRead(2, 6));
  EXPECT_EQ(FAccounts[2]->Numbers().back(), Numbered(2006));

  // Reactivated, a client gets a new TDLib client and receives again.
  const int32_t lastId = FAccounts[2]->Client.TDLibClientId();
  FAccounts[1]->Client.SetActive(true);
  EXPECT_GT(FAccounts[1]->Client.TDLibClientId(), lastId);
  QueueFor({1}, 1);
  EXPECT_TRUE(PumpUntilRead(1, 1));
}

// The main thread takes nothing for a while: the receive stops once the client has its room's
// worth of texts (in its inbox when waiting, in its mailbox when ticking), at most one batch
// beyond, and TDLib keeps the rest; then every text arrives, in order.
TEST_F(SeveralClients, AClientThatFallsBehindHoldsTheReceiveBackAndLosesNothing) {
  constexpr int kBurst = 3000;
  constexpr size_t kRoom = TqvnClientMailbox::kRoom;
  for (const bool waits : {true, false}) {
    SCOPED_TRACE(waits ? "waiting" : "ticking");
    TAccount behind(waits, neAsynchronous);
    behind.Client.SetActive(true);
    const size_t handedBefore = fake_td_handed_out_events();
    std::vector<std::string> expected;
    for (int i = 1; i <= kBurst; ++i) {
      expected.push_back(Numbered(5000 + i));
      fake_td_queue_event_for(behind.Client.TDLibClientId(), expected.back().c_str());
    }
    ASSERT_TRUE(WaitUntil([&] { return fake_td_handed_out_events() - handedBefore >= kRoom; }));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_LT(fake_td_handed_out_events() - handedBefore,
              kRoom + 2 * TqvnSharedReceive::kMostTextsPerBatch);
    ASSERT_TRUE(PumpUntil([&] { return behind.Numbers().size() >= static_cast<size_t>(kBurst); }));
    EXPECT_THAT(behind.Numbers(), ElementsAreArray(expected));
    behind.Client.SetActive(false);
  }
}

TEST_F(SeveralClients, AClientAskedForTheJsonClientInterfaceUsesIt) {
  TAccount old(true, neAsynchronous);
  old.Client.SetJsonClientInterface(true);
  old.Client.SetActive(true);
  ASSERT_TRUE(old.Client.Active());
  EXPECT_EQ(old.Client.TDLibClientId(), 0);
  EXPECT_NE(old.Client.Client(), nullptr);
  EXPECT_EQ(fake_td_live_clients(), 4);
  // Beside the current interface's clients: its texts come through its own receive.
  for (auto& account : FAccounts) account->Client.SetActive(false);
  fake_td_queue_event(Numbered(1).c_str());
  ASSERT_TRUE(PumpUntil([&] { return !old.Numbers().empty(); }));
  EXPECT_THAT(old.Numbers(), ElementsAre(Numbered(1)));
  old.Client.SetActive(false);
  EXPECT_EQ(fake_td::Journal().back(), "destroy");
}

}  // namespace
}  // namespace qvn::test
