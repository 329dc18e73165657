// The main-thread queue: order, inline calls on the main thread, exception hand-back, the
// wake-up hook and owner-tagged removal.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

#include "base/qvnWebSocket_Helpers.h"
#include "base_test_support.h"

namespace qvn::test {
namespace {

TEST(MainThreadQueueTest, WorkerCallsRunOnTheMainThreadInOrder) {
  HandPump Pump;
  std::vector<int> Order;  // main thread only
  std::thread Worker([&Order] {
    for (int I = 0; I < 3; ++I) QueueToMainThread([&Order, I] { Order.push_back(I); });
  });
  Worker.join();
  EXPECT_EQ(Pump.WakeUps(), 3);
  EXPECT_TRUE(Order.empty());  // nothing runs before the main thread pumps
  EXPECT_EQ(PumpMainThreadQueue(), 3u);
  EXPECT_EQ(Order, (std::vector<int>{0, 1, 2}));
}

TEST(MainThreadQueueTest, OnTheMainThreadBothHandOversRunAtOnce) {
  HandPump Pump;
  int Ran = 0;
  QueueToMainThread([&Ran] { ++Ran; });
  RunInMainThread([&Ran] { ++Ran; });
  EXPECT_EQ(Ran, 2);
  EXPECT_EQ(Pump.WakeUps(), 0);
}

// A batch on the main thread hands its rest over behind what is already waiting.
TEST(MainThreadQueueTest, PostOnTheMainThreadWaitsForTheNextPump) {
  HandPump Pump;
  std::vector<int> Order;  // main thread only
  std::thread Worker([&Order] { QueueToMainThread([&Order] { Order.push_back(1); }); });
  Worker.join();
  PostToMainThread([&Order] { Order.push_back(2); });
  EXPECT_TRUE(Order.empty());
  EXPECT_EQ(Pump.WakeUps(), 2);
  PostToMainThread([&Order] {
    Order.push_back(3);
    PostToMainThread([&Order] { Order.push_back(4); });  // posted while the pump runs
  });
  EXPECT_EQ(PumpMainThreadQueue(), 3u);
  EXPECT_EQ(Order, (std::vector<int>{1, 2, 3}));
  EXPECT_EQ(PumpMainThreadQueue(), 1u);
  EXPECT_EQ(Order, (std::vector<int>{1, 2, 3, 4}));
}

// The main thread waits for the mutex while a worker that holds it needs the main thread; the
// worker's release ends the wait.
TEST(MainThreadQueueTest, APumpingMutexLetsItsHolderUseTheMainThread) {
  HandPump Pump;
  // Static: a mutex's address must not be reused by another test's mutex, or ThreadSanitizer
  // takes the two for one and reports their lock orders as inverted.
  static TPumpingRecursiveMutex Mutex;
  std::atomic<bool> Held{false};
  bool RanOnMain = false;  // written on the main thread by the worker's call
  std::thread Worker([&] {
    std::unique_lock<TPumpingRecursiveMutex> Lock(Mutex);
    Held = true;
    RunInMainThread([&RanOnMain] { RanOnMain = IsMainThread(); });
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  });
  ASSERT_TRUE(WaitUntil([&] { return Held.load(); }));
  {
    std::unique_lock<TPumpingRecursiveMutex> Lock(Mutex);
    EXPECT_TRUE(RanOnMain);
    std::unique_lock<TPumpingRecursiveMutex> Again(Mutex);  // recursive
  }
  Worker.join();
}

TEST(MainThreadQueueTest, RunInMainThreadWaitsAndHandsBackTheException) {
  HandPump Pump;
  std::atomic<bool> Done{false};
  std::atomic<bool> RanOnMain{false};
  std::string Caught;  // written by the worker before Done
  std::thread Worker([&] {
    RunInMainThread([&RanOnMain] { RanOnMain = IsMainThread(); });
    try {
      RunInMainThread([] { throw std::runtime_error("refused"); });
    } catch (const std::runtime_error& E) {
      Caught = E.what();
    }
    Done = true;
  });
  EXPECT_TRUE(PumpUntil([&] { return Done.load(); }));
  Worker.join();
  EXPECT_TRUE(RanOnMain);
  EXPECT_EQ(Caught, "refused");
}

TEST(MainThreadQueueTest, PumpOffTheMainThreadRunsNothing) {
  HandPump Pump;
  std::atomic<int> Ran{0};
  std::thread Worker([&Ran] {
    QueueToMainThread([&Ran] { ++Ran; });
    EXPECT_EQ(PumpMainThreadQueue(), 0u);
  });
  Worker.join();
  EXPECT_EQ(Ran, 0);
  EXPECT_EQ(PumpMainThreadQueue(), 1u);
  EXPECT_EQ(Ran, 1);
}

TEST(MainThreadQueueTest, RemovingAnOwnersCallsKeepsTheOthers) {
  HandPump Pump;
  int OwnerA = 0, OwnerB = 0;
  std::vector<int> Ran;  // main thread only
  std::thread Worker([&] {
    QueueToMainThread([&Ran] { Ran.push_back(1); }, &OwnerA);
    QueueToMainThread([&Ran] { Ran.push_back(2); }, &OwnerB);
    QueueToMainThread([&Ran] { Ran.push_back(3); });
    QueueToMainThread([&Ran] { Ran.push_back(4); }, &OwnerA);
    RemoveQueuedCalls(&OwnerA);
  });
  Worker.join();
  EXPECT_EQ(PumpMainThreadQueue(), 2u);
  EXPECT_EQ(Ran, (std::vector<int>{2, 3}));
}

// Removal from another thread waits for the owner's call that is running on the main thread.
TEST(MainThreadQueueTest, RemovalWaitsForTheOwnersRunningCall) {
  HandPump Pump;
  int Owner = 0;
  std::atomic<bool> InCall{false}, Removed{false}, RemovedWhileRunning{true};
  std::thread Worker([&] {
    QueueToMainThread(
        [&] {
          InCall = true;
          // Removal must not finish while this call runs; give it every chance to.
          WaitUntil([&] { return Removed.load(); }, std::chrono::milliseconds(200));
          RemovedWhileRunning = Removed.load();
        },
        &Owner);
    WaitUntil([&] { return InCall.load(); });
    RemoveQueuedCalls(&Owner);
    Removed = true;
  });
  EXPECT_TRUE(PumpUntil([&] { return InCall.load(); }));
  Worker.join();
  EXPECT_FALSE(RemovedWhileRunning);
}

}  // namespace
}  // namespace qvn::test
