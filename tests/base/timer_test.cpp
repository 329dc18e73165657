// TqvnTimer: interval rounding, FireNow and FireBy, Enabled, where each notification mode
// delivers, exception routing, and freeing with FreeThreadSafely from inside and outside its
// handlers.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>

#include "base/qvnBase_Classes.h"
#include "base/qvnWebSocket_Helpers.h"
#include "base_test_support.h"

namespace qvn::test {
namespace {

using namespace std::chrono_literals;

TEST(TqvnTimerTest, DefaultsAndVersion) {
  TqvnTimer timer;
  EXPECT_EQ(timer.Interval(), 60000);
  EXPECT_EQ(timer.NotifyEvents(), neNoSync);
  EXPECT_FALSE(timer.Enabled());
  EXPECT_FALSE(timer.IsExecuting());
  EXPECT_FALSE(timer.IsCurrentThread());
  EXPECT_FALSE(timer.Stopped());  // running from the end of its construction
}

// The wait is the interval taken up to the next multiple of 100 ms. Only the lower bound is
// exact; the upper bound is loose and checked on the shortest of several gaps.
TEST(TqvnTimerTest, IntervalIsRoundedUpToWholeSleepSteps) {
  struct Case {
    int Interval;
    std::chrono::milliseconds AtLeast, Below;
  };
  for (const Case& c : {Case{1, 100ms, 190ms}, Case{100, 100ms, 190ms}, Case{101, 200ms, 290ms}}) {
    SCOPED_TRACE("Interval " + std::to_string(c.Interval));
    TickLog log;
    auto timer = std::make_unique<TqvnTimer>();
    timer->SetOnTimer([&log](TqvnTimer*) { log.Add(); });
    timer->SetInterval(c.Interval);
    ASSERT_TRUE(WaitUntil([&] { return log.Count() >= 4; }));
    timer.reset();
    const auto records = log.Records();
    auto shortest = records[1].At - records[0].At;
    for (std::size_t i = 1; i < records.size(); ++i) {
      const auto gap = records[i].At - records[i - 1].At;
      EXPECT_GE(gap, c.AtLeast);
      shortest = std::min(shortest, gap);
    }
    EXPECT_LT(shortest, c.Below);
  }
}

TEST(TqvnTimerTest, ZeroOrNegativeIntervalFiresEveryCycleWithoutWaiting) {
  for (int interval : {0, -5}) {
    SCOPED_TRACE("Interval " + std::to_string(interval));
    TickLog log;
    TqvnTimer timer;
    timer.SetInterval(interval);
    timer.SetOnTimer([&log](TqvnTimer*) { log.Add(); });
    // 200 ticks would take 20 s with 100 ms waits.
    EXPECT_TRUE(WaitUntil([&] { return log.Count() >= 200; }, 5s));
  }
}

// FireNow and a shorter Interval end the wait in progress; after FireNow the waits go on.
TEST(TqvnTimerTest, FireNowAndAShorterIntervalEndTheWait) {
  TickLog log;
  TqvnTimer timer;
  timer.SetOnTimer([&log](TqvnTimer*) { log.Add(); });
  timer.SetInterval(60000);
  const auto start = test::Clock::now();
  timer.FireNow();
  ASSERT_TRUE(WaitUntil([&] { return log.Count() == 1; }));
  timer.FireNow();
  ASSERT_TRUE(WaitUntil([&] { return log.Count() == 2; }));
  EXPECT_LT(test::Clock::now() - start, 5s) << "not the minute's wait";
  std::this_thread::sleep_for(150ms);
  EXPECT_EQ(log.Count(), 2u) << "back to waiting the Interval";
  timer.SetInterval(1);  // the 150 ms already waited exceed the new 100 ms
  ASSERT_TRUE(WaitUntil([&] { return log.Count() == 3; }));
}

// FireBy ends the wait by the moment asked for, the earliest of several; one that has passed
// fires at once; after firing the waits go on as usual.
TEST(TqvnTimerTest, FireByEndsTheWaitByTheEarliestMomentAskedFor) {
  TickLog log;
  TqvnTimer timer;
  timer.SetOnTimer([&log](TqvnTimer*) { log.Add(); });
  timer.SetInterval(60000);
  const auto start = test::Clock::now();
  timer.FireBy(start + 20ms);
  timer.FireBy(start + 1h);
  // Well within the minute's wait.
  ASSERT_TRUE(WaitUntil([&] { return log.Count() == 1; }));
  timer.FireBy(start);
  ASSERT_TRUE(WaitUntil([&] { return log.Count() == 2; }));
  std::this_thread::sleep_for(150ms);
  EXPECT_EQ(log.Count(), 2u) << "back to waiting the Interval";
}

TEST(TqvnTimerTest, DisablingDuringTheWaitEndsTheBodyWithoutAnotherTick) {
  TickLog log;
  TqvnTimer timer;
  timer.SetOnTimer([&log](TqvnTimer*) { log.Add(); });
  timer.SetEnabled(true);
  EXPECT_TRUE(timer.Enabled());
  timer.SetEnabled(false);
  EXPECT_FALSE(timer.Enabled());
  EXPECT_TRUE(timer.Terminated());
  ASSERT_TRUE(WaitUntil([&] { return timer.Finished(); }));
  // Enabling again does not revive a terminated worker.
  timer.SetEnabled(true);
  EXPECT_TRUE(timer.Terminated());
  EXPECT_TRUE(timer.Finished());
  EXPECT_EQ(log.Count(), 0u);
}

TEST(TqvnTimerTest, DisablingDuringOnTimerLetsItFinishAndStartsNoFurtherCycle) {
  std::atomic<int> entered{0}, completed{0};
  std::atomic<bool> release{false};
  TqvnTimer timer;
  timer.SetInterval(0);
  timer.SetOnTimer([&](TqvnTimer*) {
    ++entered;
    WaitUntil([&] { return release.load(); });
    ++completed;
  });
  ASSERT_TRUE(WaitUntil([&] { return entered == 1; }));
  EXPECT_TRUE(timer.IsExecuting());
  timer.SetEnabled(false);
  release = true;
  ASSERT_TRUE(WaitUntil([&] { return timer.Finished(); }));
  EXPECT_EQ(entered, 1);
  EXPECT_EQ(completed, 1);
  EXPECT_FALSE(timer.IsExecuting());
}

// Where OnTimer runs, and where OnException runs for an exception from OnTimer, by mode. The
// worker keeps cycling after the exception.
TEST(TqvnTimerTest, EachModeDeliversOnItsThreadAndRoutesOnTimerExceptions) {
  for (TwsNotifyEvent mode : {neNoSync, neAsynchronous, neSynchronous}) {
    SCOPED_TRACE("mode " + std::to_string(mode));
    HandPump pump;
    TickLog ticks, exceptions;
    std::atomic<bool> executingInOnException{false};
    std::string message;  // written by OnException before exceptions.Add
    auto timer = std::make_unique<TqvnTimer>();
    timer->SetNotifyEvents(mode);
    timer->SetOnTimer([&](TqvnTimer*) {
      ticks.Add();
      if (ticks.Count() == 1) throw std::runtime_error("tick failed");
    });
    timer->SetOnException([&](TqvnTimer* aSender, const std::exception& e) {
      executingInOnException = aSender->IsExecuting();
      message = e.what();
      exceptions.Add();
    });
    timer->SetInterval(1);
    ASSERT_TRUE(PumpUntil([&] { return ticks.Count() >= 2; }));
    const std::uint32_t workerId = timer->ThreadId();
    timer.reset();

    const auto tick = ticks.Records().front();
    ASSERT_EQ(exceptions.Count(), 1u);
    const auto caught = exceptions.Records().front();
    EXPECT_EQ(message, "tick failed");
    EXPECT_TRUE(executingInOnException);
    EXPECT_EQ(caught.OsThread, tick.OsThread);
    EXPECT_NE(workerId, 0u);
    if (mode == neNoSync) {
      EXPECT_EQ(tick.OsThread, workerId);
      EXPECT_NE(tick.Thread, std::this_thread::get_id());
    } else {
      EXPECT_EQ(tick.Thread, std::this_thread::get_id());
    }
  }
}

TEST(TqvnTimerTest, AsynchronousTickExceptionWithoutOnExceptionReachesThePump) {
  HandPump pump;
  std::atomic<int> ticks{0};
  auto timer = std::make_unique<TqvnTimer>();
  timer->SetNotifyEvents(neAsynchronous);
  timer->SetOnTimer([&](TqvnTimer*) {
    ++ticks;
    throw std::runtime_error("unhandled tick");
  });
  timer->SetInterval(1);
  ASSERT_TRUE(WaitUntil([&] { return pump.WakeUps() >= 1; }));
  try {
    while (PumpMainThreadQueue() == 0) std::this_thread::yield();
    FAIL() << "the tick's exception did not leave the pump";
  } catch (const std::runtime_error& e) {
    EXPECT_STREQ(e.what(), "unhandled tick");
  }
  EXPECT_EQ(ticks, 1);
  FreeThreadSafely(timer);
}

TEST(TqvnTimerTest, SynchronousTickExceptionWithoutOnExceptionKeepsTheWorkerCycling) {
  HandPump pump;
  std::atomic<int> ticks{0};
  auto timer = std::make_unique<TqvnTimer>();
  timer->SetNotifyEvents(neSynchronous);
  timer->SetOnTimer([&](TqvnTimer*) {
    ++ticks;
    throw std::runtime_error("unhandled tick");
  });
  timer->SetInterval(1);
  EXPECT_TRUE(PumpUntil([&] { return ticks >= 2; }));
  EXPECT_FALSE(timer->Terminated());
}

// FreeThreadSafely from inside OnTimer returns at once; the worker frees itself only after its
// body has ended and the handler has returned.
TEST(TqvnTimerTest, FreeThreadSafelyFromInsideOnTimerDefersTheFree) {
  for (TwsNotifyEvent mode : {neNoSync, neAsynchronous, neSynchronous}) {
    SCOPED_TRACE("mode " + std::to_string(mode));
    HandPump pump;
    std::atomic<bool> freed{false}, handlerDone{false}, bodyEndedInHandler{false};
    std::atomic<bool> aliveAfterBodyEnded{false};
    auto guard = std::make_shared<test::Sentinel>(freed);
    auto* timer = new TqvnTimer;
    timer->SetNotifyEvents(mode);
    timer->SetOnTimer([&, guard](TqvnTimer* aSender) {
      if (handlerDone) return;
      TqvnTimer* reference = aSender;
      FreeThreadSafely(reference);
      EXPECT_EQ(reference, nullptr);
      if (mode == neAsynchronous) {
        // The body ends while the handler still runs; the worker must stay alive meanwhile.
        bodyEndedInHandler = WaitUntil([&] { return aSender->Finished(); });
        aliveAfterBodyEnded = aSender->IsExecuting() && !freed;
      }
      handlerDone = true;
    });
    guard.reset();
    timer->SetInterval(1);
    timer = nullptr;  // from here on the worker belongs to itself
    ASSERT_TRUE(PumpUntil([&] { return freed.load(); }));
    EXPECT_TRUE(handlerDone);
    if (mode == neAsynchronous) {
      EXPECT_TRUE(bodyEndedInHandler);
      EXPECT_TRUE(aliveAfterBodyEnded);
    }
  }
}

// ticks queued before the worker was let go from inside its handler do not run afterwards, not
// even in a loop nested in that handler.
TEST(TqvnTimerTest, NoTickRunsAfterFreeThreadSafelyFromInsideOnTimer) {
  HandPump pump;
  std::atomic<int> ticks{0};
  std::atomic<bool> freed{false};
  std::size_t runByNestedPump = 0;  // main thread only
  auto guard = std::make_shared<test::Sentinel>(freed);
  auto* timer = new TqvnTimer;
  timer->SetNotifyEvents(neAsynchronous);
  timer->SetOnTimer([&, guard](TqvnTimer* aSender) {
    ++ticks;
    WaitUntil([&] { return pump.WakeUps() >= 3; });  // more ticks are queued behind this one
    FreeThreadSafely(aSender);
    runByNestedPump = PumpMainThreadQueue();
  });
  guard.reset();
  timer->SetInterval(0);
  timer = nullptr;
  ASSERT_TRUE(PumpUntil([&] { return freed.load(); }));
  EXPECT_EQ(ticks, 1);
  EXPECT_GE(runByNestedPump, 1u);  // they were taken from the queue but fired nothing
}

// From outside the handlers it returns only after the body has ended and the worker is freed.
TEST(TqvnTimerTest, FreeThreadSafelyFromOutsideWaitsAndFrees) {
  std::atomic<bool> freed{false};
  TickLog log;
  auto* timer = new TqvnTimer;
  auto guard = std::make_shared<test::Sentinel>(freed);
  timer->SetOnTimer([&log, guard](TqvnTimer*) { log.Add(); });
  guard.reset();
  timer->SetInterval(1);
  ASSERT_TRUE(WaitUntil([&] { return log.Count() >= 1; }));
  FreeThreadSafely(timer);
  EXPECT_EQ(timer, nullptr);
  EXPECT_TRUE(freed);
  const std::size_t ticksAtFree = log.Count();
  TqvnTimer* empty = nullptr;
  FreeThreadSafely(empty);  // nothing to do
  EXPECT_EQ(log.Count(), ticksAtFree);
}

// From a thread that is not running the handler, FreeThreadSafely waits for the handler, also one
// running on a third thread (neNoSync: the worker; the main-thread modes: the main thread).
TEST(TqvnTimerTest, FreeThreadSafelyWaitsForAHandlerRunningOnAnotherThread) {
  for (TwsNotifyEvent mode : {neNoSync, neAsynchronous, neSynchronous}) {
    SCOPED_TRACE("mode " + std::to_string(mode));
    HandPump pump;
    std::atomic<bool> entered{false}, returned{false}, freed{false}, freedUnderIt{false};
    auto* timer = new TqvnTimer;
    timer->SetNotifyEvents(mode);
    timer->SetOnTimer([&](TqvnTimer*) {
      if (entered.exchange(true)) return;
      std::this_thread::sleep_for(50ms);
      freedUnderIt = freed.load();
      returned = true;
    });
    timer->SetInterval(0);
    std::thread freer([&] {
      WaitUntil([&] { return entered.load(); });
      FreeThreadSafely(timer);
      freed = true;
    });
    ASSERT_TRUE(PumpUntil([&] { return freed.load(); }));
    freer.join();
    EXPECT_TRUE(returned);
    EXPECT_FALSE(freedUnderIt);
  }
}

// ticks queued to the main thread by a worker freed elsewhere are dropped, never run.
TEST(TqvnTimerTest, FreedWorkersQueuedTicksNeverRun) {
  HandPump pump;
  std::atomic<int> ran{0};
  auto* timer = new TqvnTimer;
  timer->SetNotifyEvents(neAsynchronous);
  timer->SetOnTimer([&ran](TqvnTimer*) { ++ran; });
  timer->SetInterval(0);
  ASSERT_TRUE(WaitUntil([&] { return pump.WakeUps() >= 5; }));
  std::thread freer([&timer] { FreeThreadSafely(timer); });  // off the main thread: no pumping
  freer.join();
  EXPECT_EQ(PumpMainThreadQueue(), 0u);
  EXPECT_EQ(ran, 0);
}

// The main thread frees a synchronous worker that is blocked waiting for the main thread: the
// wait keeps pumping, so the worker finishes and nothing deadlocks; the pending tick is dropped.
TEST(TqvnTimerTest, MainThreadFreesSynchronousWorkerBlockedOnIt) {
  HandPump pump;
  std::atomic<int> ran{0};
  auto* timer = new TqvnTimer;
  timer->SetNotifyEvents(neSynchronous);
  timer->SetOnTimer([&ran](TqvnTimer*) { ++ran; });
  timer->SetInterval(0);
  ASSERT_TRUE(WaitUntil([&] { return pump.WakeUps() >= 1; }));  // blocked in RunInMainThread
  FreeThreadSafely(timer);
  EXPECT_EQ(timer, nullptr);
  EXPECT_EQ(ran, 0);
}

}  // namespace
}  // namespace qvn::test
