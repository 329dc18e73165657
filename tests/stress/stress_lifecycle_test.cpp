// The client's lifecycle under stress against the scripted fake TDLib, in each of the three
// delivery modes, ticking and waiting in TDLib's receive: rapid activation and deactivation while
// TDLib keeps producing events, the client destroyed with ticks or deliveries queued or running,
// handlers that raise on every event, and a login prompt whose handler stops the client. Nothing
// may crash, hang, touch freed memory, fire after deactivation, reach TDLib with a destroyed
// client, or repeat or reorder an event; a ticking client loses none either (a waiting one drops
// with its TDLib client what it had taken and not yet delivered, as TDLib itself would).
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "base/qvnWebSocket_Helpers.h"
#include "fake_tdjson.h"
#include "stress_support.h"
#include "tests/support/WaitUntil.h"

namespace qvn::test {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

std::string Numbered(int aNumber) {
  return "{\"@type\":\"stressEvent\",\"n\":" + std::to_string(aNumber) + "}";
}

// The n of a Numbered text, or -1 for any other text.
int NumberOf(const std::string& aText) {
  const std::string prefix = "{\"@type\":\"stressEvent\",\"n\":";
  if (aText.rfind(prefix, 0) != 0) return -1;
  return std::stoi(aText.substr(prefix.size()));
}

struct Delivery {
  TwsNotifyEvent Mode;
  bool Waits;  // WaitForEvents
};

std::string DeliveryName(const ::testing::TestParamInfo<Delivery>& aInfo) {
  const std::string mode = aInfo.param.Mode == neAsynchronous  ? "Asynchronous"
                           : aInfo.param.Mode == neSynchronous ? "Synchronous"
                                                               : "NoSync";
  return mode + (aInfo.param.Waits ? "Waiting" : "Ticking");
}

// The requests sent, without the offline request that wakes a waiting worker at deactivation
// and the close that ends each TDLib client.
std::vector<std::string> RequestsSent() {
  std::vector<std::string> requests;
  for (const std::string& sent : fake_td::SentRequests()) {
    if (sent.find("testCallEmpty") == std::string::npos) requests.push_back(sent);
  }
  return requests;
}

// Queues numbered events from its own thread, as TDLib's threads do, keeping a few waiting.
class EventFeeder {
 public:
  EventFeeder()
      : FThread([this] {
          while (!FStop) {
            if (fake_td_pending_events() < 16) {
              fake_td_queue_event(Numbered(FQueued + 1).c_str());
              ++FQueued;
            } else {
              std::this_thread::sleep_for(std::chrono::microseconds(200));
            }
          }
        }) {}
  ~EventFeeder() { Stop(); }
  // Stops feeding; returns how many events were queued in all.
  int Stop() {
    FStop = true;
    if (FThread.joinable()) FThread.join();
    return FQueued;
  }

 private:
  std::atomic<bool> FStop{false};
  std::atomic<int> FQueued{0};
  std::thread FThread;
};

class LifecycleStress : public ::testing::TestWithParam<Delivery> {
 protected:
  void Configure(TestClient& aClient) {
    aClient.SetNotifyEvents(GetParam().Mode);
    aClient.SetWaitForEvents(GetParam().Waits);
    // The counts below follow each event from the fake's one queue through any number of
    // activations; with the td_json_client_* interface an event not yet received stays there.
    aClient.SetJsonClientInterface(true);
  }
  void SetUp() override { fake_td_reset(); }
  void TearDown() override {
    PumpMainThreadQueue();
    SetMainThreadWakeUp({});
    EXPECT_EQ(fake_td_misuse_count(), 0) << "a call reached TDLib with a destroyed client";
    EXPECT_EQ(fake_td_live_clients(), 0) << "a TDLib client outlived its activation";
  }
};

TEST_P(LifecycleStress, AThousandActivationsWhileEventsFlow) {
  constexpr int kCycles = 1000;
  TestClient client;
  Configure(client);
  client.SetEventsPerTick(4);
  EventProbe probe(client);

  const std::thread::id mainThread = std::this_thread::get_id();
  std::atomic<bool> mayFire{false};
  std::atomic<bool> inHandTick{false};
  std::atomic<int> lateEvents{0};
  std::atomic<int> workerDeliveries{0};
  std::vector<int> delivered;  // touched by one tick at a time
  probe.Hook = [&](TqvnTDLib_Telegram_Client*, const Fired& aWhat) {
    if (!mayFire) ++lateEvents;
    if (aWhat.Event != "BeforeReadEvent") return;
    delivered.push_back(NumberOf(aWhat.Detail));
    if (aWhat.Thread != mainThread || !inHandTick) ++workerDeliveries;
  };

  EventFeeder feeder;
  for (int cycle = 0; cycle < kCycles; ++cycle) {
    mayFire = true;
    client.SetActive(true);
    ASSERT_TRUE(client.Active()) << "cycle " << cycle;
    if (cycle % 3 == 0 && !GetParam().Waits) {  // beside a waiting worker TDLib takes no second
      inHandTick = true;
      client.Tick();
      inHandTick = false;
    }
    PumpMainThreadQueue();
    if (cycle % 200 == 199) {
      // Now and then stay active until the worker itself has delivered, so deactivation meets
      // ticks in every phase: queued, waited for, running.
      const int before = workerDeliveries;
      ASSERT_TRUE(PumpUntil([&] { return workerDeliveries > before; })) << "cycle " << cycle;
    }
    client.SetActive(false);
    ASSERT_FALSE(client.Active());
    mayFire = false;
    PumpMainThreadQueue();  // ticks the stopped worker queued find no client
  }
  const int queued = feeder.Stop();
  PumpMainThreadQueue();

  EXPECT_EQ(lateEvents, 0) << "events fired while the client was inactive";
  EXPECT_THAT(probe.Of("Exception"), IsEmpty());
  EXPECT_GE(workerDeliveries, kCycles / 200);
  ASSERT_FALSE(delivered.empty());
  if (GetParam().Waits) {
    for (size_t i = 1; i < delivered.size(); ++i) {
      ASSERT_LT(delivered[i - 1], delivered[i]) << "an event was repeated or reordered";
    }
    EXPECT_LE(delivered.size() + fake_td_pending_events(), static_cast<size_t>(queued));
  } else {
    for (size_t i = 0; i < delivered.size(); ++i) {
      ASSERT_EQ(delivered[i], static_cast<int>(i) + 1) << "an event was lost, repeated or reordered";
    }
    EXPECT_EQ(delivered.size() + fake_td_pending_events(), static_cast<size_t>(queued))
        << "every event is either delivered or still waiting in TDLib";
  }
  EXPECT_EQ(RequestsSent().size(), static_cast<size_t>(kCycles)) << "one getAuthorizationState each";
}

// Waits until the worker has handed something to the main thread (a queued tick, or a tick
// it waits for), counted by the wake-up hook.
::testing::AssertionResult WaitForHandOver(const std::atomic<int>& aWakeUps) {
  return WaitUntil([&] { return aWakeUps > 0; });
}

// Asynchronous: a tick or delivery is queued on the main thread. Synchronous: the worker waits
// for its tick or delivery on the main thread. NoSync: the worker runs one, in a handler that
// still uses the client after the destruction has begun. The destructor must drop the first two
// and wait for the third.
TEST_P(LifecycleStress, DestroyingTheClientWithTicksQueuedOrRunning) {
  constexpr int kRounds = 3;
  for (int round = 0; round < kRounds; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    fake_td_reset();
    std::atomic<int> wakeUps{0};
    SetMainThreadWakeUp([&] { ++wakeUps; });
    auto client = std::make_unique<TestClient>();
    Configure(*client);
    auto probe = std::make_unique<EventProbe>(*client);
    std::atomic<bool> entered{false};
    std::atomic<bool> destroyed{false};
    std::atomic<int> firedAfterDestruction{0};
    probe->Hook = [&](TqvnTDLib_Telegram_Client* aSender, const Fired&) {
      if (destroyed) ++firedAfterDestruction;
      if (entered.exchange(true)) return;
      // Only a tick on the worker gets here before the destruction; it keeps the client busy.
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
      (void)aSender->Telegram().PhoneNumber();
      aSender->TDLibSend("{\"@type\":\"getMe\"}");
    };
    client->SetActive(true);
    // Both in one call, so a waiting worker cannot wake between them.
    fake_td_queue_events((Numbered(1) + "\n" + Numbered(2)).c_str());
    const bool noSync = GetParam().Mode == neNoSync;
    if (noSync) {
      ASSERT_TRUE(PumpUntil([&] { return entered.load(); }));
    } else {
      ASSERT_TRUE(WaitForHandOver(wakeUps));
    }
    client.reset();
    destroyed = true;
    const size_t ranAfterwards = PumpMainThreadQueue();
    SetMainThreadWakeUp({});
    probe.reset();

    EXPECT_EQ(ranAfterwards, 0u) << "a freed worker's tick survived it";
    EXPECT_EQ(firedAfterDestruction, 0);
    EXPECT_EQ(entered.load(), noSync) << "only the running tick fired";
    // A waiting worker takes both at once; a ticking one takes one per tick: none while its tick
    // is queued or awaited, one in the tick on the worker, whose limit fired the next at once,
    // and that may take the other before the destruction stops the worker.
    if (GetParam().Waits || !noSync) {
      EXPECT_EQ(fake_td_pending_events(), GetParam().Waits ? 0u : 2u);
    } else {
      EXPECT_LE(fake_td_pending_events(), 1u);
    }
    EXPECT_EQ(fake_td_live_clients(), 0);
    EXPECT_EQ(fake_td_misuse_count(), 0);
  }
}

// Every kind of event the dispatcher tells apart, the login prompts included.
std::vector<std::string> EveryKindOfEvent() {
  const auto state = [](const std::string& aState) {
    return "{\"@type\":\"updateAuthorizationState\",\"authorization_state\":{\"@type\":\"" +
           aState + "\"}}";
  };
  const auto message = [](const std::string& aContent) {
    return "{\"@type\":\"updateNewMessage\",\"message\":{\"id\":1,\"chat_id\":5,\"content\":"
           "{\"@type\":\"" +
           aContent + "\",\"text\":{\"@type\":\"formattedText\",\"text\":\"hi\"}}}}";
  };
  return {state("authorizationStateWaitTdlibParameters"),
          state("authorizationStateWaitPhoneNumber"),
          state("authorizationStateWaitCode"),
          state("authorizationStateWaitRegistration"),
          state("authorizationStateWaitPassword"),
          state("authorizationStateReady"),
          "{\"@type\":\"updateOption\",\"name\":\"my_id\",\"value\":{\"@type\":"
          "\"optionValueInteger\",\"value\":\"42\"}}",
          "{\"@type\":\"updateConnectionState\",\"state\":{\"@type\":\"connectionStateReady\"}}",
          message("messageText"),
          message("messageDocument"),
          message("messagePhoto"),
          message("messageVideo"),
          message("messageSticker"),
          "{\"@type\":\"sponsoredMessage\",\"message_id\":3}",
          "{\"@type\":\"updateNewChat\",\"chat\":{\"id\":5,\"title\":\"t\"}}",
          "{\"@type\":\"updateNewCallbackQuery\",\"id\":9,\"chat_id\":5}",
          "{\"@type\":\"ok\"}"};
}

// Each event ends in its first handler that raises; the exception reaches OnException (which
// raises too), no login answer follows, and the next event is dispatched all the same.
TEST_P(LifecycleStress, HandlersThatRaiseOnEveryEvent) {
  struct Case {
    const char* Name;
    bool BeforeReadRaises;
  };
  for (const Case& c : {Case{"every handler raises", true},
                        Case{"every handler after OnBeforeReadEvent raises", false}}) {
    SCOPED_TRACE(c.Name);
    fake_td_reset();
    TestClient client;
    Configure(client);
    client.SetEventsPerTick(1000);
    client.SetTickTimeBudget(std::chrono::seconds(10));
    EventProbe probe(client);
    probe.Hook = [&](TqvnTDLib_Telegram_Client*, const Fired& aWhat) {
      if (aWhat.Event == "BeforeReadEvent" && !c.BeforeReadRaises) return;
      if (aWhat.Event == "MessageText") throw 7;  // not even a std::exception
      throw std::runtime_error("raised by " + aWhat.Event);
    };
    const std::vector<std::string> events = EveryKindOfEvent();
    client.SetActive(true);
    for (const std::string& event : events) fake_td_queue_event(event.c_str());
    fake_td_queue_event(Numbered(1).c_str());
    ASSERT_TRUE(PumpUntil([&] { return probe.Of("BeforeReadEvent").size() == events.size() + 1; }));
    client.SetActive(false);
    PumpMainThreadQueue();

    EXPECT_EQ(probe.Of("BeforeReadEvent").back(), Numbered(1)) << "the loop went on to the end";
    const std::vector<std::string> exceptions = probe.Of("Exception");
    ASSERT_EQ(exceptions.size(), events.size() + 1) << "one report per event";
    if (c.BeforeReadRaises) {
      for (const std::string& what : exceptions) EXPECT_EQ(what, "raised by BeforeReadEvent");
    } else {
      EXPECT_EQ(exceptions[0], "raised by AuthorizationStatus");
      EXPECT_EQ(exceptions.back(), "raised by Event");
      EXPECT_EQ(std::count(exceptions.begin(), exceptions.end(),
                           "Unknown exception while handling a TDLib event"),
                1);
    }
    EXPECT_EQ(RequestsSent().size(), 1u) << "no login answer after a raising handler";
  }
}

// The code prompt stops the client (and in the second row starts it again) from inside the
// dispatch of the state that asked for it; what TDLib brings afterwards waits for an active client.
TEST_P(LifecycleStress, APromptHandlerThatDeactivatesTheClient) {
  for (const bool reactivate : {false, true}) {
    SCOPED_TRACE(reactivate ? "deactivates and reactivates" : "deactivates");
    fake_td_reset();
    TestClient client;
    Configure(client);
    client.SetEventsPerTick(10);
    EventProbe probe(client);
    std::atomic<bool> stopped{false};
    std::atomic<int> firedWhileStopped{0};
    probe.Hook = [&](TqvnTDLib_Telegram_Client* aSender, const Fired& aWhat) {
      if (stopped && !reactivate) ++firedWhileStopped;
      if (aWhat.Event != "AuthenticationCode") return;
      aSender->SetActive(false);
      EXPECT_FALSE(aSender->Active());
      if (reactivate) aSender->SetActive(true);
      stopped = true;
    };
    client.SetActive(true);
    fake_td_queue_event(
        "{\"@type\":\"updateAuthorizationState\","
        "\"authorization_state\":{\"@type\":\"authorizationStateWaitCode\"}}");
    ASSERT_TRUE(PumpUntil([&] { return stopped.load(); }));
    for (int n = 1; n <= 3; ++n) fake_td_queue_event(Numbered(n).c_str());

    if (reactivate) {
      ASSERT_TRUE(PumpUntil([&] { return probe.Of("BeforeReadEvent").size() == 4; }));
      EXPECT_EQ(probe.Of("BeforeReadEvent").back(), Numbered(3));
      EXPECT_TRUE(client.Active());
      EXPECT_EQ(fake_td_live_clients(), 1);
    } else {
      // Two tick intervals: a worker that had not stopped would have fired by then.
      const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(250);
      PumpUntil([&] { return std::chrono::steady_clock::now() > until; });
      EXPECT_EQ(firedWhileStopped, 0) << "an event fired after the prompt stopped the client";
      EXPECT_FALSE(client.Active());
      EXPECT_EQ(fake_td_pending_events(), 3u) << "the rest waits for the next activation";
      for (const std::string& sent : fake_td::Sent()) {
        EXPECT_EQ(sent.find("checkAuthenticationCode"), std::string::npos)
            << "a code went to a destroyed TDLib client";
      }
    }
    EXPECT_THAT(probe.Of("Exception"), IsEmpty());
    client.SetActive(false);
  }
}

// Another thread deactivates the client and sends the TDLib parameters, which name the database
// folder the client locked, while the main thread activates it again and again: an activation
// cut short this way ends inactive, and nothing reads a folder lock or a TDLib client that the
// other thread frees meanwhile (a crash here, or a race in the ThreadSanitizer build).
TEST(LifecycleRaces, DeactivationAndParametersFromAnotherThreadDuringActivations) {
  fake_td_reset();
  {
    TestClient client;
    client.SetJsonClientInterface(true);
    client.Telegram().API().SetApiId("94575");
    std::atomic<bool> stop{false};
    std::thread other([&] {
      while (!stop) {
        client.SetTdlibParameters();
        client.SetActive(false);
      }
    });
    for (int cycle = 0; cycle < 500; ++cycle) {
      client.SetActive(true);
      while (client.Active()) PumpMainThreadQueue();
    }
    stop = true;
    other.join();
    client.SetActive(false);
    for (const std::string& sent : fake_td::Sent()) {
      if (sent.find("setTdlibParameters") == std::string::npos) continue;
      EXPECT_NE(sent.find(R"("database_directory": "tdlib")"), std::string::npos) << sent;
    }
  }
  PumpMainThreadQueue();
  EXPECT_EQ(fake_td_live_clients(), 0) << "a TDLib client outlived its activation";
}

INSTANTIATE_TEST_SUITE_P(All, LifecycleStress,
                         ::testing::Values(Delivery{neAsynchronous, false},
                                           Delivery{neSynchronous, false},
                                           Delivery{neNoSync, false}, Delivery{neAsynchronous, true},
                                           Delivery{neSynchronous, true}, Delivery{neNoSync, true}),
                         DeliveryName);

}  // namespace
}  // namespace qvn::test
