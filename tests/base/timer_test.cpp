// TqvnTimer: interval rounding, Enabled, where each notification mode delivers, exception
// routing, and freeing with FreeThreadSafely from inside and outside its handlers.

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
  TqvnTimer Timer;
  EXPECT_EQ(Timer.Interval(), 60000);
  EXPECT_EQ(Timer.NotifyEvents(), neNoSync);
  EXPECT_FALSE(Timer.Enabled());
  EXPECT_FALSE(Timer.IsExecuting());
  EXPECT_FALSE(Timer.IsCurrentThread());
  EXPECT_FALSE(Timer.Stopped());  // running from the end of its construction
}

// The wait is the interval taken up to the next multiple of 100 ms. Only the lower bound is
// exact; the upper bound is loose and checked on the shortest of several gaps.
TEST(TqvnTimerTest, IntervalIsRoundedUpToWholeSleepSteps) {
  struct Case {
    int Interval;
    std::chrono::milliseconds AtLeast, Below;
  };
  for (const Case& C : {Case{1, 100ms, 190ms}, Case{100, 100ms, 190ms}, Case{101, 200ms, 290ms}}) {
    SCOPED_TRACE("Interval " + std::to_string(C.Interval));
    TickLog Log;
    auto Timer = std::make_unique<TqvnTimer>();
    Timer->SetOnTimer([&Log](TqvnTimer*) { Log.Add(); });
    Timer->SetInterval(C.Interval);
    ASSERT_TRUE(WaitUntil([&] { return Log.Count() >= 4; }));
    Timer.reset();
    const auto Records = Log.Records();
    auto Shortest = Records[1].At - Records[0].At;
    for (std::size_t I = 1; I < Records.size(); ++I) {
      const auto Gap = Records[I].At - Records[I - 1].At;
      EXPECT_GE(Gap, C.AtLeast);
      Shortest = std::min(Shortest, Gap);
    }
    EXPECT_LT(Shortest, C.Below);
  }
}

TEST(TqvnTimerTest, ZeroOrNegativeIntervalFiresEveryCycleWithoutWaiting) {
  for (int Interval : {0, -5}) {
    SCOPED_TRACE("Interval " + std::to_string(Interval));
    TickLog Log;
    TqvnTimer Timer;
    Timer.SetInterval(Interval);
    Timer.SetOnTimer([&Log](TqvnTimer*) { Log.Add(); });
    // 200 ticks would take 20 s with 100 ms waits.
    EXPECT_TRUE(WaitUntil([&] { return Log.Count() >= 200; }, 5s));
  }
}

// FireNow and a shorter Interval end the wait in progress; after FireNow the waits go on.
TEST(TqvnTimerTest, FireNowAndAShorterIntervalEndTheWait) {
  TickLog Log;
  TqvnTimer Timer;
  Timer.SetOnTimer([&Log](TqvnTimer*) { Log.Add(); });
  Timer.SetInterval(60000);
  const auto Start = test::Clock::now();
  Timer.FireNow();
  ASSERT_TRUE(WaitUntil([&] { return Log.Count() == 1; }));
  Timer.FireNow();
  ASSERT_TRUE(WaitUntil([&] { return Log.Count() == 2; }));
  EXPECT_LT(test::Clock::now() - Start, 5s) << "not the minute's wait";
  std::this_thread::sleep_for(150ms);
  EXPECT_EQ(Log.Count(), 2u) << "back to waiting the Interval";
  Timer.SetInterval(1);  // the 150 ms already waited exceed the new 100 ms
  ASSERT_TRUE(WaitUntil([&] { return Log.Count() == 3; }));
}

TEST(TqvnTimerTest, DisablingDuringTheWaitEndsTheBodyWithoutAnotherTick) {
  TickLog Log;
  TqvnTimer Timer;
  Timer.SetOnTimer([&Log](TqvnTimer*) { Log.Add(); });
  Timer.SetEnabled(true);
  EXPECT_TRUE(Timer.Enabled());
  Timer.SetEnabled(false);
  EXPECT_FALSE(Timer.Enabled());
  EXPECT_TRUE(Timer.Terminated());
  ASSERT_TRUE(WaitUntil([&] { return Timer.Finished(); }));
  // Enabling again does not revive a terminated worker.
  Timer.SetEnabled(true);
  EXPECT_TRUE(Timer.Terminated());
  EXPECT_TRUE(Timer.Finished());
  EXPECT_EQ(Log.Count(), 0u);
}

TEST(TqvnTimerTest, DisablingDuringOnTimerLetsItFinishAndStartsNoFurtherCycle) {
  std::atomic<int> Entered{0}, Completed{0};
  std::atomic<bool> Release{false};
  TqvnTimer Timer;
  Timer.SetInterval(0);
  Timer.SetOnTimer([&](TqvnTimer*) {
    ++Entered;
    WaitUntil([&] { return Release.load(); });
    ++Completed;
  });
  ASSERT_TRUE(WaitUntil([&] { return Entered == 1; }));
  EXPECT_TRUE(Timer.IsExecuting());
  Timer.SetEnabled(false);
  Release = true;
  ASSERT_TRUE(WaitUntil([&] { return Timer.Finished(); }));
  EXPECT_EQ(Entered, 1);
  EXPECT_EQ(Completed, 1);
  EXPECT_FALSE(Timer.IsExecuting());
}

// Where OnTimer runs, and where OnException runs for an exception from OnTimer, by mode. The
// worker keeps cycling after the exception.
TEST(TqvnTimerTest, EachModeDeliversOnItsThreadAndRoutesOnTimerExceptions) {
  for (TwsNotifyEvent Mode : {neNoSync, neAsynchronous, neSynchronous}) {
    SCOPED_TRACE("mode " + std::to_string(Mode));
    HandPump Pump;
    TickLog Ticks, Exceptions;
    std::atomic<bool> ExecutingInOnException{false};
    std::string Message;  // written by OnException before Exceptions.Add
    auto Timer = std::make_unique<TqvnTimer>();
    Timer->SetNotifyEvents(Mode);
    Timer->SetOnTimer([&](TqvnTimer*) {
      Ticks.Add();
      if (Ticks.Count() == 1) throw std::runtime_error("tick failed");
    });
    Timer->SetOnException([&](TqvnTimer* Sender, const std::exception& E) {
      ExecutingInOnException = Sender->IsExecuting();
      Message = E.what();
      Exceptions.Add();
    });
    Timer->SetInterval(1);
    ASSERT_TRUE(PumpUntil([&] { return Ticks.Count() >= 2; }));
    const std::uint32_t WorkerId = Timer->ThreadId();
    Timer.reset();

    const auto Tick = Ticks.Records().front();
    ASSERT_EQ(Exceptions.Count(), 1u);
    const auto Caught = Exceptions.Records().front();
    EXPECT_EQ(Message, "tick failed");
    EXPECT_TRUE(ExecutingInOnException);
    EXPECT_EQ(Caught.OsThread, Tick.OsThread);
    EXPECT_NE(WorkerId, 0u);
    if (Mode == neNoSync) {
      EXPECT_EQ(Tick.OsThread, WorkerId);
      EXPECT_NE(Tick.Thread, std::this_thread::get_id());
    } else {
      EXPECT_EQ(Tick.Thread, std::this_thread::get_id());
    }
  }
}

TEST(TqvnTimerTest, AsynchronousTickExceptionWithoutOnExceptionReachesThePump) {
  HandPump Pump;
  std::atomic<int> Ticks{0};
  auto Timer = std::make_unique<TqvnTimer>();
  Timer->SetNotifyEvents(neAsynchronous);
  Timer->SetOnTimer([&](TqvnTimer*) {
    ++Ticks;
    throw std::runtime_error("unhandled tick");
  });
  Timer->SetInterval(1);
  ASSERT_TRUE(WaitUntil([&] { return Pump.WakeUps() >= 1; }));
  try {
    while (PumpMainThreadQueue() == 0) std::this_thread::yield();
    FAIL() << "the tick's exception did not leave the pump";
  } catch (const std::runtime_error& E) {
    EXPECT_STREQ(E.what(), "unhandled tick");
  }
  EXPECT_EQ(Ticks, 1);
  FreeThreadSafely(Timer);
}

TEST(TqvnTimerTest, SynchronousTickExceptionWithoutOnExceptionKeepsTheWorkerCycling) {
  HandPump Pump;
  std::atomic<int> Ticks{0};
  auto Timer = std::make_unique<TqvnTimer>();
  Timer->SetNotifyEvents(neSynchronous);
  Timer->SetOnTimer([&](TqvnTimer*) {
    ++Ticks;
    throw std::runtime_error("unhandled tick");
  });
  Timer->SetInterval(1);
  EXPECT_TRUE(PumpUntil([&] { return Ticks >= 2; }));
  EXPECT_FALSE(Timer->Terminated());
}

// FreeThreadSafely from inside OnTimer returns at once; the worker frees itself only after its
// body has ended and the handler has returned.
TEST(TqvnTimerTest, FreeThreadSafelyFromInsideOnTimerDefersTheFree) {
  for (TwsNotifyEvent Mode : {neNoSync, neAsynchronous, neSynchronous}) {
    SCOPED_TRACE("mode " + std::to_string(Mode));
    HandPump Pump;
    std::atomic<bool> Freed{false}, HandlerDone{false}, BodyEndedInHandler{false};
    std::atomic<bool> AliveAfterBodyEnded{false};
    auto Guard = std::make_shared<test::Sentinel>(Freed);
    auto* Timer = new TqvnTimer;
    Timer->SetNotifyEvents(Mode);
    Timer->SetOnTimer([&, Guard](TqvnTimer* Sender) {
      if (HandlerDone) return;
      TqvnTimer* Reference = Sender;
      FreeThreadSafely(Reference);
      EXPECT_EQ(Reference, nullptr);
      if (Mode == neAsynchronous) {
        // The body ends while the handler still runs; the worker must stay alive meanwhile.
        BodyEndedInHandler = WaitUntil([&] { return Sender->Finished(); });
        AliveAfterBodyEnded = Sender->IsExecuting() && !Freed;
      }
      HandlerDone = true;
    });
    Guard.reset();
    Timer->SetInterval(1);
    Timer = nullptr;  // from here on the worker belongs to itself
    ASSERT_TRUE(PumpUntil([&] { return Freed.load(); }));
    EXPECT_TRUE(HandlerDone);
    if (Mode == neAsynchronous) {
      EXPECT_TRUE(BodyEndedInHandler);
      EXPECT_TRUE(AliveAfterBodyEnded);
    }
  }
}

// Ticks queued before the worker was let go from inside its handler do not run afterwards, not
// even in a loop nested in that handler.
TEST(TqvnTimerTest, NoTickRunsAfterFreeThreadSafelyFromInsideOnTimer) {
  HandPump Pump;
  std::atomic<int> Ticks{0};
  std::atomic<bool> Freed{false};
  std::size_t RunByNestedPump = 0;  // main thread only
  auto Guard = std::make_shared<test::Sentinel>(Freed);
  auto* Timer = new TqvnTimer;
  Timer->SetNotifyEvents(neAsynchronous);
  Timer->SetOnTimer([&, Guard](TqvnTimer* Sender) {
    ++Ticks;
    WaitUntil([&] { return Pump.WakeUps() >= 3; });  // more ticks are queued behind this one
    FreeThreadSafely(Sender);
    RunByNestedPump = PumpMainThreadQueue();
  });
  Guard.reset();
  Timer->SetInterval(0);
  Timer = nullptr;
  ASSERT_TRUE(PumpUntil([&] { return Freed.load(); }));
  EXPECT_EQ(Ticks, 1);
  EXPECT_GE(RunByNestedPump, 1u);  // they were taken from the queue but fired nothing
}

// From outside the handlers it returns only after the body has ended and the worker is freed.
TEST(TqvnTimerTest, FreeThreadSafelyFromOutsideWaitsAndFrees) {
  std::atomic<bool> Freed{false};
  TickLog Log;
  auto* Timer = new TqvnTimer;
  auto Guard = std::make_shared<test::Sentinel>(Freed);
  Timer->SetOnTimer([&Log, Guard](TqvnTimer*) { Log.Add(); });
  Guard.reset();
  Timer->SetInterval(1);
  ASSERT_TRUE(WaitUntil([&] { return Log.Count() >= 1; }));
  FreeThreadSafely(Timer);
  EXPECT_EQ(Timer, nullptr);
  EXPECT_TRUE(Freed);
  const std::size_t TicksAtFree = Log.Count();
  TqvnTimer* Empty = nullptr;
  FreeThreadSafely(Empty);  // nothing to do
  EXPECT_EQ(Log.Count(), TicksAtFree);
}

// From a thread that is not running the handler, FreeThreadSafely waits for the handler, also one
// running on a third thread (neNoSync: the worker; the main-thread modes: the main thread).
TEST(TqvnTimerTest, FreeThreadSafelyWaitsForAHandlerRunningOnAnotherThread) {
  for (TwsNotifyEvent Mode : {neNoSync, neAsynchronous, neSynchronous}) {
    SCOPED_TRACE("mode " + std::to_string(Mode));
    HandPump Pump;
    std::atomic<bool> Entered{false}, Returned{false}, Freed{false}, FreedUnderIt{false};
    auto* Timer = new TqvnTimer;
    Timer->SetNotifyEvents(Mode);
    Timer->SetOnTimer([&](TqvnTimer*) {
      if (Entered.exchange(true)) return;
      std::this_thread::sleep_for(50ms);
      FreedUnderIt = Freed.load();
      Returned = true;
    });
    Timer->SetInterval(0);
    std::thread Freer([&] {
      WaitUntil([&] { return Entered.load(); });
      FreeThreadSafely(Timer);
      Freed = true;
    });
    ASSERT_TRUE(PumpUntil([&] { return Freed.load(); }));
    Freer.join();
    EXPECT_TRUE(Returned);
    EXPECT_FALSE(FreedUnderIt);
  }
}

// Ticks queued to the main thread by a worker freed elsewhere are dropped, never run.
TEST(TqvnTimerTest, FreedWorkersQueuedTicksNeverRun) {
  HandPump Pump;
  std::atomic<int> Ran{0};
  auto* Timer = new TqvnTimer;
  Timer->SetNotifyEvents(neAsynchronous);
  Timer->SetOnTimer([&Ran](TqvnTimer*) { ++Ran; });
  Timer->SetInterval(0);
  ASSERT_TRUE(WaitUntil([&] { return Pump.WakeUps() >= 5; }));
  std::thread Freer([&Timer] { FreeThreadSafely(Timer); });  // off the main thread: no pumping
  Freer.join();
  EXPECT_EQ(PumpMainThreadQueue(), 0u);
  EXPECT_EQ(Ran, 0);
}

// The main thread frees a synchronous worker that is blocked waiting for the main thread: the
// wait keeps pumping, so the worker finishes and nothing deadlocks; the pending tick is dropped.
TEST(TqvnTimerTest, MainThreadFreesSynchronousWorkerBlockedOnIt) {
  HandPump Pump;
  std::atomic<int> Ran{0};
  auto* Timer = new TqvnTimer;
  Timer->SetNotifyEvents(neSynchronous);
  Timer->SetOnTimer([&Ran](TqvnTimer*) { ++Ran; });
  Timer->SetInterval(0);
  ASSERT_TRUE(WaitUntil([&] { return Pump.WakeUps() >= 1; }));  // blocked in RunInMainThread
  FreeThreadSafely(Timer);
  EXPECT_EQ(Timer, nullptr);
  EXPECT_EQ(Ran, 0);
}

}  // namespace
}  // namespace qvn::test
