// The client's lifecycle against the scripted fake TDLib: activation, deactivation, the tick,
// the send path, the request tag, the fatal-error route and the three delivery modes.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <pthread.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <mutex>
#include <regex>
#include <set>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "base/qvnWebSocket_Helpers.h"
#include "client/qvnLib_Telegram.h"
#include "client/qvnTelegram_EventInbox.h"
#include "fake_tdjson.h"
#include "spine_test_support.h"
#include "tests/support/TempDir.h"
#include "tests/support/WaitUntil.h"

namespace qvn::test {
namespace {

using ::testing::ElementsAre;

std::string Event(int aNumber) {
  return "{\"@type\":\"testEvent\",\"n\":" + std::to_string(aNumber) + "}";
}

void QueueEvents(int aFirst, int aLast) {
  for (int n = aFirst; n <= aLast; ++n) fake_td_queue_event(Event(n).c_str());
}

class ClientLifecycle : public ::testing::Test {
 protected:
  void SetUp() override { fake_td_reset(); }
  void TearDown() override {
    PumpMainThreadQueue();
    EXPECT_EQ(fake_td_misuse_count(), 0) << "a call reached TDLib with a destroyed client";
  }
};

// The "@extra" number a request text carries, or -1.
long long ExtraOf(const std::string& aRequest) {
  std::smatch match;
  if (!std::regex_search(aRequest, match, std::regex("\"@extra\": (\\d+)\\}$"))) return -1;
  return std::stoll(match[1]);
}

// First in this program: the binding's load and lookups happen here, from many threads at once.
TEST_F(ClientLifecycle, TheBindingLoadsOnceUnderConcurrentFirstUse) {
  constexpr int kThreads = 8;
  std::vector<void*> handles(kThreads);
  std::vector<std::thread> threads;
  std::atomic<bool> go{false};
  for (int i = 0; i < kThreads; ++i) {
    threads.emplace_back([&, i] {
      while (!go) std::this_thread::yield();
      handles[i] = tdjson::td_json_client_create();
      tdjson::td_json_client_send(handles[i], "{\"@type\":\"getMe\"}");
      EXPECT_EQ(tdjson::td_json_client_receive(handles[i], 0.0), nullptr);
    });
  }
  go = true;
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(fake_td_live_clients(), kThreads);
  EXPECT_EQ(fake_td::Sent().size(), static_cast<size_t>(kThreads));
  for (void* handle : handles) tdjson::td_json_client_destroy(handle);
  EXPECT_EQ(fake_td_live_clients(), 0);
}

TEST_F(ClientLifecycle, TheWrappersIgnoreANullClient) {
  tdjson::td_json_client_send(nullptr, "{}");
  tdjson::td_json_client_destroy(nullptr);
  EXPECT_EQ(tdjson::td_json_client_receive(nullptr, 0.0), nullptr);
  EXPECT_EQ(tdjson::td_json_client_execute(nullptr, "{}"), nullptr);
  EXPECT_TRUE(fake_td::Journal().empty());
  EXPECT_EQ(fake_td_receive_count(), 0u);
}

// The fake's scripted answers, which later tests use to drive a whole login.
void AnswerGetMe(const char* aRequest, void* aCalls) {
  ++*static_cast<int*>(aCalls);
  if (std::string(aRequest).find("getMe") != std::string::npos) {
    fake_td_queue_event("{\"@type\":\"user\",\"id\":7}");
  }
}

TEST_F(ClientLifecycle, ScriptedAnswersFollowTheRequestsThatAskForThem) {
  fake_td_respond("getAuthorizationState",
                  "{\"@type\":\"authorizationStateWaitPhoneNumber\"}\n{\"@type\":\"ok\"}\n");
  int responderCalls = 0;
  fake_td_set_responder(&AnswerGetMe, &responderCalls);
  TestClient client;
  EventRecorder recorder(client);
  client.SetEventsPerTick(10);
  client.SetActive(true);
  client.TDLibSend("{\"@type\": \"getMe\"}");
  client.Tick();
  EXPECT_THAT(recorder.Texts(), ElementsAre("{\"@type\":\"authorizationStateWaitPhoneNumber\"}",
                                            "{\"@type\":\"ok\"}", "{\"@type\":\"user\",\"id\":7}"));
  EXPECT_EQ(responderCalls, 2);
}

// The verbosity is set before the TDLib client exists, so a quiet level silences its start-up.
TEST_F(ClientLifecycle, ActivationSetsVerbosityFirstThenAsksForTheAuthorizationState) {
  TestClient client;
  EventRecorder recorder(client);
  client.Telegram().SetErrorsLevel(tvbVerboseDebug);
  client.SetActive(true);
  ASSERT_TRUE(client.Active());
  EXPECT_NE(client.Client(), nullptr);

  const std::vector<std::string> journal = fake_td::Journal();
  ASSERT_EQ(journal.size(), 6u);
  EXPECT_EQ(journal[0],
            "execute {\"@type\": \"setLogVerbosityLevel\", \"new_verbosity_level\": 5, "
            "\"@extra\": " +
                std::to_string(client.Id()) + "}");
  EXPECT_EQ(journal[1], "create");
  // The release's version, before any request is laid out.
  EXPECT_EQ(journal[2], "execute {\"@type\": \"getOption\", \"name\": \"version\"}");
  EXPECT_EQ(journal[3], "set_log_fatal_error_callback");
  EXPECT_EQ(journal[4].rfind("execute {\"@type\": \"getTextEntities\", \"text\": \"", 0), 0u)
      << journal[4];
  EXPECT_EQ(journal[5], "send {\"@type\": \"getAuthorizationState\", \"@extra\": " +
                            std::to_string(client.Id()) + "}");
  EXPECT_TRUE(recorder.Exceptions().empty());
}

TEST_F(ClientLifecycle, IdIsStableWithinAnActivationAndDrawnAnewAtTheNext) {
  TestClient client;
  client.SetActive(true);
  const int32_t first = client.Id();
  EXPECT_GE(first, 1);
  EXPECT_LE(first, 2147483646);
  EXPECT_EQ(client.Id(), first);
  EXPECT_EQ(ExtraOf(fake_td::Sent().at(0)), first);

  client.SetActive(false);
  EXPECT_EQ(client.Id(), first) << "deactivation keeps the tag; activation draws a new one";
  client.SetActive(true);
  const int32_t second = client.Id();
  EXPECT_EQ(ExtraOf(fake_td::SentRequests().at(1)), second);
  EXPECT_NE(second, first);  // equal by chance once in two billion runs
}

TEST_F(ClientLifecycle, ActivatingAnActiveClientKeepsItsTDLibClient) {
  TestClient client;
  client.SetActive(true);
  void* handle = client.Client();
  const size_t journalSize = fake_td_journal_count();
  client.SetActive(true);
  EXPECT_EQ(client.Client(), handle);
  EXPECT_EQ(fake_td_live_clients(), 1);
  EXPECT_EQ(fake_td_journal_count(), journalSize);
}

TEST_F(ClientLifecycle, NoTDLibClientLeavesTheClientInactiveAndSilent) {
  fake_td_fail_create(1);
  TestClient client;
  EventRecorder recorder(client);
  client.SetActive(true);
  EXPECT_FALSE(client.Active());
  ASSERT_EQ(fake_td::Journal().size(), 2u);
  EXPECT_EQ(fake_td::Journal()[1], "create failed");
  EXPECT_TRUE(recorder.Exceptions().empty());

  fake_td_fail_create(0);
  client.SetActive(true);
  EXPECT_TRUE(client.Active());
}

TEST_F(ClientLifecycle, DeactivationDestroysTheTDLibClientOnce) {
  TestClient client;
  client.SetActive(true);
  client.SetActive(false);
  EXPECT_FALSE(client.Active());
  EXPECT_EQ(client.Client(), nullptr);
  EXPECT_EQ(fake_td_live_clients(), 0);
  EXPECT_EQ(fake_td::Journal().back(), "destroy");

  const size_t journalSize = fake_td_journal_count();
  client.SetActive(false);  // inactive: nothing reaches TDLib
  EXPECT_EQ(fake_td_journal_count(), journalSize);
}

TEST_F(ClientLifecycle, RequestsWhileInactiveSendNothing) {
  TestClient client;
  EventRecorder recorder(client);
  client.TDLibSend("{\"@type\": \"getMe\"}");
  client.SetActive(true);
  client.SetActive(false);
  client.TDLibSend("{\"@type\": \"getMe\"}");
  for (const std::string& sent : fake_td::Sent()) EXPECT_EQ(sent.find("getMe"), std::string::npos);
  EXPECT_TRUE(recorder.Exceptions().empty());
}

TEST_F(ClientLifecycle, TDLibSendPassesTheTextUnchanged) {
  TestClient client;
  client.SetActive(true);
  const std::string request = "{\"@type\":\"getChat\",\"chat_id\":\"-100\",\"x\":\"\xc3\xa9\"}";
  client.TDLibSend(request);
  EXPECT_EQ(fake_td::Sent().back(), request);
}

TEST_F(ClientLifecycle, ATickDeliversOneEventByDefaultInTDLibsOrder) {
  TestClient client;
  EventRecorder recorder(client);
  client.SetActive(true);
  QueueEvents(1, 3);
  client.Tick();
  EXPECT_THAT(recorder.Texts(), ElementsAre(Event(1)));
  client.Tick();
  client.Tick();
  client.Tick();  // nothing left: fires nothing
  EXPECT_THAT(recorder.Texts(), ElementsAre(Event(1), Event(2), Event(3)));
}

TEST_F(ClientLifecycle, EventsPerTickTakesSeveralEventsUntilTheLimitOrTheQueueEnds) {
  TestClient client;
  EventRecorder recorder(client);
  client.SetActive(true);
  QueueEvents(1, 10);

  client.SetEventsPerTick(4);
  client.Tick();
  EXPECT_THAT(recorder.Texts(), ElementsAre(Event(1), Event(2), Event(3), Event(4)));

  client.SetEventsPerTick(100);
  const size_t receivesBefore = fake_td_receive_count();
  client.Tick();
  EXPECT_EQ(recorder.Texts().size(), 10u);
  EXPECT_EQ(recorder.Texts().back(), Event(10));
  EXPECT_EQ(fake_td_receive_count() - receivesBefore, 7u) << "six events, then one empty receive";

  client.SetEventsPerTick(0);
  EXPECT_EQ(client.EventsPerTick(), 1);
}

TEST_F(ClientLifecycle, ATickEndsWhenItsTimeBudgetIsSpent) {
  TestClient client;
  EventRecorder recorder(client);
  client.SetActive(true);
  QueueEvents(1, 5);
  client.SetEventsPerTick(100);
  client.SetTickTimeBudget(std::chrono::milliseconds(0));
  client.Tick();
  EXPECT_THAT(recorder.Texts(), ElementsAre(Event(1)));
  client.SetTickTimeBudget(std::chrono::milliseconds(20));
  client.Tick();
  EXPECT_EQ(recorder.Texts().size(), 5u);
}

TEST_F(ClientLifecycle, AHandlerThatDeactivatesEndsTheTick) {
  TestClient client;
  std::vector<std::string> texts;
  client.OnBeforeReadEvent = [&](TqvnTDLib_Telegram_Client* aSender, const std::string& aText,
                                 bool&) {
    texts.push_back(aText);
    aSender->SetActive(false);
  };
  client.SetActive(true);
  client.SetEventsPerTick(10);
  QueueEvents(1, 3);
  client.Tick();
  EXPECT_THAT(texts, ElementsAre(Event(1)));
  EXPECT_FALSE(client.Active());
}

TEST_F(ClientLifecycle, ExceptionsFromHandlersReachOnExceptionAndTheLoopGoesOn) {
  TestClient client;
  std::vector<std::string> texts;
  std::vector<std::string> exceptions;
  client.OnBeforeReadEvent = [&](TqvnTDLib_Telegram_Client*, const std::string& aText, bool&) {
    texts.push_back(aText);
    if (aText == Event(1)) throw std::runtime_error("handler failed");
    if (aText == Event(2)) throw 42;
  };
  client.OnException = [&](TqvnTDLib_Telegram_Client*, const std::exception& e) {
    exceptions.push_back(e.what());
    throw std::runtime_error("the exception handler fails too");
  };
  client.SetActive(true);
  client.SetEventsPerTick(10);
  QueueEvents(1, 3);
  EXPECT_NO_THROW(client.Tick());
  EXPECT_THAT(texts, ElementsAre(Event(1), Event(2), Event(3)));
  ASSERT_EQ(exceptions.size(), 2u);
  EXPECT_EQ(exceptions[0], "handler failed");
}

TEST_F(ClientLifecycle, FatalErrorsReachTheClientActivatedLast) {
  auto first = std::make_unique<TestClient>();
  TestClient second;
  TTempDir secondFolder;  // two active clients need two database folders
  second.Telegram().SetDatabaseDirectory(secondFolder.File("db"));
  EventRecorder firstRecorder(*first);
  EventRecorder secondRecorder(second);
  first->SetActive(true);
  ASSERT_EQ(fake_td_fire_fatal_error("first fatal"), 1);
  second.SetActive(true);
  std::thread tdlibThread([] { fake_td_fire_fatal_error("second fatal"); });
  tdlibThread.join();
  EXPECT_THAT(firstRecorder.Exceptions(), ElementsAre("first fatal"));
  EXPECT_THAT(secondRecorder.Exceptions(), ElementsAre("second fatal"));

  second.SetActive(false);
  second.SetActive(true);
  first.reset();  // the route stays with the living client
  fake_td_fire_fatal_error("third fatal");
  EXPECT_THAT(secondRecorder.Exceptions(), ElementsAre("second fatal", "third fatal"));
}

TEST_F(ClientLifecycle, AFreedClientReceivesNoFatalError) {
  auto client = std::make_unique<TestClient>();
  client->SetActive(true);
  client.reset();
  EXPECT_EQ(fake_td_fire_fatal_error("after the end"), 1);  // reaches no client, crashes nothing
}

// Worker-driven delivery, ticking or waiting in TDLib's receive: events run where NotifyEvents
// says.
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

const auto kEveryDelivery = ::testing::Values(
    Delivery{neAsynchronous, false}, Delivery{neSynchronous, false}, Delivery{neNoSync, false},
    Delivery{neAsynchronous, true}, Delivery{neSynchronous, true}, Delivery{neNoSync, true});

class DeliveryModes : public ClientLifecycle, public ::testing::WithParamInterface<Delivery> {
 protected:
  void Configure(TestClient& aClient) {
    aClient.SetNotifyEvents(GetParam().Mode);
    aClient.SetWaitForEvents(GetParam().Waits);
    aClient.SetEventsPerTick(8);
  }
};

// The OS name of the calling thread.
std::string ThreadName() {
  char name[32] = {};
  pthread_getname_np(pthread_self(), name, sizeof name);
  return name;
}

TEST_P(DeliveryModes, EventsArriveInOrderOnTheModesThread) {
  constexpr int kEvents = 100;
  TestClient client;
  Configure(client);
  EventRecorder recorder(client);
  std::mutex lock;
  std::set<std::string> workerNames;
  client.OnEvent = [&](TqvnTDLib_Telegram_Client*, const std::string&, const std::string&) {
    std::lock_guard<std::mutex> guard(lock);
    if (!IsMainThread()) workerNames.insert(ThreadName());
  };
  client.SetActive(true);
  QueueEvents(1, kEvents / 2);
  ASSERT_TRUE(PumpUntil([&] { return recorder.Texts().size() >= kEvents / 2; }));
  QueueEvents(kEvents / 2 + 1, kEvents);
  ASSERT_TRUE(PumpUntil([&] { return recorder.Texts().size() == kEvents; }));
  const std::vector<std::string> texts = recorder.Texts();
  for (int n = 1; n <= kEvents; ++n) ASSERT_EQ(texts[n - 1], Event(n));
  for (std::thread::id thread : recorder.Threads()) {
    EXPECT_EQ(thread == std::this_thread::get_id(), GetParam().Mode != neNoSync);
  }
  if (GetParam().Mode == neNoSync) {
    EXPECT_EQ(workerNames, std::set<std::string>{"Telegram Thread"});
  }
  client.SetActive(false);
  EXPECT_TRUE(recorder.Exceptions().empty());
}

// The code prompt's handler stops the client: the rest of what TDLib handed over never fires.
TEST_P(DeliveryModes, AHandlerThatDeactivatesItsClientEndsTheDelivery) {
  TestClient client;
  Configure(client);
  std::mutex lock;
  std::vector<std::string> texts;
  std::atomic<bool> stopped{false};
  client.OnBeforeReadEvent = [&](TqvnTDLib_Telegram_Client* aSender, const std::string& aText,
                                 bool&) {
    {
      std::lock_guard<std::mutex> guard(lock);
      texts.push_back(aText);
    }
    if (aText != Event(1)) return;
    aSender->SetActive(false);
    EXPECT_FALSE(aSender->Active());
    stopped = true;
  };
  client.SetActive(true);
  QueueEvents(1, 3);
  ASSERT_TRUE(PumpUntil([&] { return stopped.load(); }));
  PumpMainThreadQueue();
  std::lock_guard<std::mutex> guard(lock);
  EXPECT_THAT(texts, ElementsAre(Event(1)));
  EXPECT_EQ(fake_td_live_clients(), 0);
}

// A handler stops its own client and goes on using it while a thread that is not running the
// handler destroys the client: the destruction waits for the handler to return.
TEST_P(DeliveryModes, DestructionWaitsForAHandlerThatStoppedItsClient) {
  auto client = std::make_unique<TestClient>();
  Configure(*client);
  std::atomic<bool> stopped{false};
  std::atomic<bool> returned{false};
  std::atomic<bool> destroyed{false};
  std::atomic<bool> destroyedUnderIt{false};
  client->OnBeforeReadEvent = [&](TqvnTDLib_Telegram_Client* aSender, const std::string&, bool&) {
    aSender->SetActive(false);
    stopped = true;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    if (destroyed) destroyedUnderIt = true;
    aSender->TDLibSend("{\"@type\":\"getMe\"}");  // inactive: sends nothing, but reads the client
    returned = true;
  };
  client->SetActive(true);
  fake_td_queue_event(Event(1).c_str());
  const auto destroy = [&] {
    while (!stopped) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    client.reset();
    destroyed = true;
  };
  if (GetParam().Mode == neNoSync) {
    destroy();  // the handler runs on the worker
  } else {
    std::thread destroyer(destroy);  // the handler runs here, on the main thread
    ASSERT_TRUE(PumpUntil([&] { return returned.load(); }));
    destroyer.join();
  }
  EXPECT_TRUE(returned.load()) << "destruction returned while the handler still ran";
  EXPECT_FALSE(destroyedUnderIt.load());
}

// With neNoSync the worker reads the handlers and the options while it delivers; under
// LockEvents() the main thread changes them safely meanwhile.
TEST_P(DeliveryModes, HandlersAndOptionsChangeSafelyUnderLockEvents) {
  TestClient client;
  Configure(client);
  std::atomic<int> first{0};
  std::atomic<int> second{0};
  client.OnBeforeReadEvent = [&](auto*, const std::string&, bool&) { ++first; };
  client.SetActive(true);
  TqvnTelegram_Options options;
  for (int round = 0; round < 200; ++round) {
    QueueEvents(1, 5);
    auto lock = client.LockEvents();
    client.OnBeforeReadEvent = [&, round](auto*, const std::string&, bool&) {
      ++(round % 2 == 0 ? second : first);
    };
    client.Telegram().SetPhoneNumber("+1555" + std::to_string(round));
    options.SetBotToken(std::to_string(round));
    client.SetTelegram(options);
  }
  ASSERT_TRUE(PumpUntil([&] { return first + second == 1000; }));
  client.SetActive(false);
}

INSTANTIATE_TEST_SUITE_P(All, DeliveryModes, kEveryDelivery, DeliveryName);

TEST_F(ClientLifecycle, NotifyEventsTakesEffectAtTheNextActivation) {
  TestClient client;
  EventRecorder recorder(client);
  client.SetActive(true);  // neAsynchronous
  client.SetNotifyEvents(neNoSync);
  fake_td_queue_event(Event(1).c_str());
  ASSERT_TRUE(PumpUntil([&] { return recorder.Texts().size() == 1; }));
  EXPECT_EQ(recorder.Threads()[0], std::this_thread::get_id());
  client.SetActive(false);
  client.SetActive(true);
  fake_td_queue_event(Event(2).c_str());
  ASSERT_TRUE(PumpUntil([&] { return recorder.Texts().size() == 2; }));
  EXPECT_NE(recorder.Threads()[1], std::this_thread::get_id());
}

// Waits until the worker has handed at least one tick to the main thread.
::testing::AssertionResult WaitForQueuedTick(std::atomic<int>& aWakeUps) {
  return WaitUntil([&] { return aWakeUps.load() > 0; });
}

TEST_F(ClientLifecycle, DeactivationWithATickStillQueuedFiresNothing) {
  std::atomic<int> wakeUps{0};
  SetMainThreadWakeUp([&] { ++wakeUps; });
  TestClient client;
  EventRecorder recorder(client);
  client.SetActive(true);
  ASSERT_TRUE(WaitForQueuedTick(wakeUps));
  fake_td_queue_event(Event(1).c_str());
  client.SetActive(false);
  // Deactivation itself receives until TDLib reports the client closed.
  const size_t receives = fake_td_receive_count();
  EXPECT_GE(PumpMainThreadQueue(), 1u) << "the queued tick runs";
  SetMainThreadWakeUp({});
  EXPECT_TRUE(recorder.Texts().empty());
  EXPECT_TRUE(recorder.Exceptions().empty());
  EXPECT_EQ(fake_td_receive_count(), receives) << "no receive without a TDLib client";
  EXPECT_EQ(fake_td_pending_events(), 1u);
}

TEST_F(ClientLifecycle, DestroyingAnActiveClientFiresNothingAndDropsItsTicks) {
  std::atomic<int> wakeUps{0};
  SetMainThreadWakeUp([&] { ++wakeUps; });
  std::vector<std::string> fired;
  {
    TestClient client;
    client.OnBeforeReadEvent = [&](TqvnTDLib_Telegram_Client*, const std::string& aText, bool&) {
      fired.push_back(aText);
    };
    client.OnException = [&](TqvnTDLib_Telegram_Client*, const std::exception& e) {
      fired.push_back(e.what());
    };
    client.SetActive(true);
    ASSERT_TRUE(WaitForQueuedTick(wakeUps));
    fake_td_queue_event(Event(1).c_str());
  }
  EXPECT_EQ(PumpMainThreadQueue(), 0u) << "the freed worker's ticks are dropped";
  SetMainThreadWakeUp({});
  EXPECT_TRUE(fired.empty());
  EXPECT_EQ(fake_td_live_clients(), 0) << "no TDLib instance outlives its client";
}

TEST_F(ClientLifecycle, DeactivationWaitsForATickRunningOnTheWorker) {
  TestClient client;
  client.SetNotifyEvents(neNoSync);
  std::atomic<bool> entered{false};
  std::atomic<bool> finished{false};
  std::atomic<bool> clientAliveThroughout{true};
  client.OnBeforeReadEvent = [&](TqvnTDLib_Telegram_Client*, const std::string&, bool&) {
    entered = true;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    // The tick waits for the main thread, as a handler that updates a window would.
    RunInMainThread([] {});
    if (fake_td_live_clients() != 1) clientAliveThroughout = false;
    finished = true;
  };
  client.SetActive(true);
  fake_td_queue_event(Event(1).c_str());
  ASSERT_TRUE(PumpUntil([&] { return entered.load(); }));
  client.SetActive(false);
  EXPECT_TRUE(finished.load());
  EXPECT_TRUE(clientAliveThroughout.load());
  EXPECT_EQ(fake_td_live_clients(), 0);
}

// ---- The waiting receive ----

// Idle, the worker waits inside TDLib's receive: no ticks, and an event goes out at once.
TEST_F(ClientLifecycle, TheWaitingWorkerRestsInTDLibsReceiveUntilAnEventComes) {
  TestClient client;
  EventRecorder recorder(client);
  client.SetWaitForEvents(true);
  client.SetActive(true);
  ASSERT_TRUE(PumpUntil([] { return fake_td_waiting_receives() == 1; }));
  const size_t receives = fake_td_receive_count();
  // Three ticks' time of the ticking worker: the waiting one makes no call meanwhile.
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_EQ(fake_td_receive_count(), receives);
  fake_td_queue_event(Event(1).c_str());
  ASSERT_TRUE(PumpUntil([&] { return recorder.Texts().size() == 1; }));

  client.SetActive(false);
  EXPECT_EQ(fake_td::SentRequests().back(), "{\"@type\": \"testCallEmpty\"}") << "the wake-up";
  EXPECT_EQ(fake_td_live_clients(), 0);
  EXPECT_EQ(fake_td_waiting_receives(), 0);
  // TearDown: the TDLib client was not destroyed under a receive (a misuse in the fake).
}

// One delivery holds the main thread for at most TickTimeBudget and EventsPerTick texts; the rest
// follows in the next delivery at once, behind what was already waiting for the main thread.
TEST_F(ClientLifecycle, ADeliveryKeepsToItsBoundsAndHandsTheRestOverAtOnce) {
  constexpr int kEvents = 20;
  struct Case {
    const char* Name;
    TwsNotifyEvent Mode;
    int EventsPerTick;
    std::chrono::milliseconds Budget;
    size_t MostPerDelivery;  // 3 ms an event: 4 spend the 10 ms budget
  };
  const std::chrono::milliseconds ms10(10), s10(10000);
  for (const Case& c : {Case{"asynchronous, budget", neAsynchronous, 100, ms10, 4},
                        Case{"synchronous, budget", neSynchronous, 100, ms10, 4},
                        Case{"asynchronous, texts", neAsynchronous, 3, s10, 3}}) {
    SCOPED_TRACE(c.Name);
    fake_td_reset();
    TestClient client;
    client.SetNotifyEvents(c.Mode);
    client.SetWaitForEvents(true);
    client.SetEventsPerTick(c.EventsPerTick);
    client.SetTickTimeBudget(c.Budget);
    std::vector<std::string> trace;  // main thread only
    client.OnBeforeReadEvent = [&](auto*, const std::string& aText, bool&) {
      trace.push_back(aText);
      std::this_thread::sleep_for(std::chrono::milliseconds(3));
      if (aText == Event(1)) PostToMainThread([&trace] { trace.push_back("posted"); });
    };
    client.SetActive(true);
    QueueEvents(1, kEvents);
    // Asynchronous: the worker takes every text before the first delivery runs, so exactly one
    // delivery waits for the main thread at a time.
    if (c.Mode == neAsynchronous) {
      ASSERT_TRUE(WaitUntil([] { return fake_td_pending_events() == 0; }));
    }
    std::vector<size_t> perPump;  // what each pump of the main thread's queue dispatched
    const auto deadline = std::chrono::steady_clock::now() + kGenerousTimeout;
    while (trace.size() < kEvents + 1 && std::chrono::steady_clock::now() < deadline) {
      const size_t before = trace.size();
      if (PumpMainThreadQueue() == 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
      if (trace.size() > before) perPump.push_back(trace.size() - before);
    }
    ASSERT_EQ(trace.size(), kEvents + 1u);
    client.SetActive(false);

    // A pump runs one delivery, and the posted call once.
    for (size_t events : perPump) EXPECT_LE(events, c.MostPerDelivery + 1);
    EXPECT_GE(perPump.size(), kEvents / c.MostPerDelivery);
    std::vector<std::string> events;
    for (const std::string& text : trace) {
      if (text != "posted") events.push_back(text);
    }
    for (int n = 1; n <= kEvents; ++n) EXPECT_EQ(events[n - 1], Event(n));
    // Posted during the first delivery, it ran before the delivery that continued it.
    const size_t posted = std::find(trace.begin(), trace.end(), "posted") - trace.begin();
    EXPECT_GE(posted, 1u);
    EXPECT_LE(posted, c.MostPerDelivery);
  }
}

// Texts the worker took from TDLib go with their TDLib client: none fires after deactivation.
TEST_F(ClientLifecycle, TextsReceivedButNotDeliveredAreDroppedAtDeactivation) {
  TestClient client;
  EventRecorder recorder(client);
  client.SetWaitForEvents(true);
  client.SetActive(true);
  QueueEvents(1, 3);
  ASSERT_TRUE(WaitUntil([] { return fake_td_pending_events() == 0; }));
  client.SetActive(false);
  PumpMainThreadQueue();
  EXPECT_TRUE(recorder.Texts().empty());
}

// Behind a main thread that does not keep up, the worker leaves the rest of a burst in TDLib; a
// deactivation ends its wait for room.
TEST_F(ClientLifecycle, TheWaitingWorkerTakesNoMoreThanTheMainThreadKeepsUpWith) {
  constexpr int kBurst = 3000;
  TestClient client;
  EventRecorder recorder(client);
  client.SetWaitForEvents(true);
  client.SetActive(true);
  QueueEvents(1, kBurst);
  ASSERT_TRUE(WaitUntil([] { return fake_td_waiting_receives() == 0; }));
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  const size_t taken = kBurst - fake_td_pending_events();
  EXPECT_GE(taken, TqvnEventInbox::kRoom);
  EXPECT_LT(taken, TqvnEventInbox::kRoom + 300) << "at most one receive's batch beyond the room";

  ASSERT_TRUE(PumpUntil([&] { return recorder.Texts().size() >= 2000; }));
  client.SetActive(false);  // while the worker waits for room again
  EXPECT_EQ(fake_td_live_clients(), 0);
  const std::vector<std::string> texts = recorder.Texts();
  ASSERT_GE(texts.size(), 2000u);
  for (size_t n = 1; n <= texts.size(); ++n) ASSERT_EQ(texts[n - 1], Event(static_cast<int>(n)));
}

// ---- Draining ticks ----

// A tick stopped by its limit has its worker fire the next one at once, whatever the limit (the
// default 1 too), so a burst is taken tick after tick without the 100 ms wait between them; a
// tick that found TDLib empty leaves the worker to its interval.
TEST_F(ClientLifecycle, ADrainingTickStoppedByItsLimitFiresTheNextAtOnce) {
  struct Case {
    int EventsPerTick;
    int Events;
  };
  for (const Case& c : {Case{1, 3}, Case{2, 3}}) {
    SCOPED_TRACE("EventsPerTick " + std::to_string(c.EventsPerTick));
    fake_td_reset();
    TestClient client;
    EventRecorder recorder(client);
    client.SetActive(true);
    client.SetEventsPerTick(c.EventsPerTick);
    std::atomic<int> fired{0};
    TqvnTimer worker;  // stands for the client's worker; its interval never ends by itself
    worker.SetOnTimer([&fired](TqvnTimer*) { ++fired; });
    QueueEvents(1, c.Events);
    // Each tick stopped by its limit fires the next; the one after the last text does not.
    int full = 0;
    for (int taken = 0; taken < c.Events; taken += c.EventsPerTick) {
      const size_t before = recorder.Texts().size();
      client.Tick(&worker);
      if (recorder.Texts().size() - before == static_cast<size_t>(c.EventsPerTick)) ++full;
      ASSERT_TRUE(PumpUntil([&] { return fired == full; }));
    }
    EXPECT_EQ(recorder.Texts().size(), static_cast<size_t>(c.Events));
    client.Tick(&worker);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(fired, full);
    EXPECT_EQ(full, c.Events / c.EventsPerTick);
  }
}

// ---- Activation that completes or leaves nothing behind ----

// Its worker cannot be started.
class BrokenWorkerClient : public TestClient {
 public:
  using TestClient::TestClient;
  ~BrokenWorkerClient() override { EndForDestruction(); }

 protected:
  void DoStartThread() override { throw std::runtime_error("no worker"); }
};

TEST_F(ClientLifecycle, AFailingActivationStepUndoesTheEarlierOnes) {
  TTempDir folder;
  for (const bool waits : {false, true}) {
    SCOPED_TRACE(waits ? "waiting" : "ticking");
    fake_td_reset();
    BrokenWorkerClient client;
    EventRecorder recorder(client);
    client.SetWaitForEvents(waits);
    client.Telegram().SetDatabaseDirectory(folder.File("db"));
    client.SetActive(true);
    EXPECT_FALSE(client.Active());
    EXPECT_THAT(recorder.Exceptions(), ElementsAre("no worker"));
    EXPECT_EQ(fake_td_live_clients(), 0);
    EXPECT_EQ(fake_td::Journal().back(), "destroy");

    TestClient other;  // the folder is free again
    other.Telegram().SetDatabaseDirectory(folder.File("db"));
    other.SetActive(true);
    EXPECT_TRUE(other.Active());
  }
}

// A second client on a folder in use is refused at once: no TDLib client, a clear reason.
TEST_F(ClientLifecycle, ASecondClientOnTheSameDatabaseFolderIsRefusedAtOnce) {
  TTempDir folder;
  TestClient first;
  TestClient second;
  EventRecorder recorder(second);
  for (TestClient* client : {&first, &second}) {
    client->Telegram().SetDatabaseDirectory(folder.File("db"));
    client->SetWaitForEvents(true);
  }
  first.SetActive(true);
  ASSERT_TRUE(first.Active());
  second.SetActive(true);
  EXPECT_FALSE(second.Active());
  ASSERT_EQ(recorder.Exceptions().size(), 1u);
  EXPECT_EQ(recorder.Exceptions()[0],
            "The database directory \"" + folder.File("db") +
                "\" is in use by another Telegram client (its lock file velune.lock is held); "
                "stop that client or give this one another database directory");
  EXPECT_EQ(fake_td_live_clients(), 1);
  second.SetActive(false);  // nothing to stop

  first.SetActive(false);
  second.SetActive(true);
  EXPECT_TRUE(second.Active()) << "the lock went with the first client's deactivation";
}

}  // namespace
}  // namespace qvn::test
