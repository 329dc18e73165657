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
  HandPump pump;
  std::vector<int> order;  // main thread only
  std::thread worker([&order] {
    for (int i = 0; i < 3; ++i) QueueToMainThread([&order, i] { order.push_back(i); });
  });
  worker.join();
  EXPECT_EQ(pump.WakeUps(), 3);
  EXPECT_TRUE(order.empty());  // nothing runs before the main thread pumps
  EXPECT_EQ(PumpMainThreadQueue(), 3u);
  EXPECT_EQ(order, (std::vector<int>{0, 1, 2}));
}

TEST(MainThreadQueueTest, OnTheMainThreadBothHandOversRunAtOnce) {
  HandPump pump;
  int ran = 0;
  QueueToMainThread([&ran] { ++ran; });
  RunInMainThread([&ran] { ++ran; });
  EXPECT_EQ(ran, 2);
  EXPECT_EQ(pump.WakeUps(), 0);
}

// A batch on the main thread hands its rest over behind what is already waiting.
TEST(MainThreadQueueTest, PostOnTheMainThreadWaitsForTheNextPump) {
  HandPump pump;
  std::vector<int> order;  // main thread only
  std::thread worker([&order] { QueueToMainThread([&order] { order.push_back(1); }); });
  worker.join();
  PostToMainThread([&order] { order.push_back(2); });
  EXPECT_TRUE(order.empty());
  EXPECT_EQ(pump.WakeUps(), 2);
  PostToMainThread([&order] {
    order.push_back(3);
    PostToMainThread([&order] { order.push_back(4); });  // posted while the pump runs
  });
  EXPECT_EQ(PumpMainThreadQueue(), 3u);
  EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));
  EXPECT_EQ(PumpMainThreadQueue(), 1u);
  EXPECT_EQ(order, (std::vector<int>{1, 2, 3, 4}));
}

// The main thread waits for the mutex while a worker that holds it needs the main thread; the
// worker's release ends the wait.
TEST(MainThreadQueueTest, APumpingMutexLetsItsHolderUseTheMainThread) {
  HandPump pump;
  // Static: a mutex's address must not be reused by another test's mutex, or ThreadSanitizer
  // takes the two for one and reports their lock orders as inverted.
  static TPumpingRecursiveMutex gMutex;
  std::atomic<bool> held{false};
  bool ranOnMain = false;  // written on the main thread by the worker's call
  std::thread worker([&] {
    std::unique_lock<TPumpingRecursiveMutex> lock(gMutex);
    held = true;
    RunInMainThread([&ranOnMain] { ranOnMain = IsMainThread(); });
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  });
  ASSERT_TRUE(WaitUntil([&] { return held.load(); }));
  {
    std::unique_lock<TPumpingRecursiveMutex> lock(gMutex);
    EXPECT_TRUE(ranOnMain);
    std::unique_lock<TPumpingRecursiveMutex> again(gMutex);  // recursive
  }
  worker.join();
}

TEST(MainThreadQueueTest, RunInMainThreadWaitsAndHandsBackTheException) {
  HandPump pump;
  std::atomic<bool> done{false};
  std::atomic<bool> ranOnMain{false};
  std::string caught;  // written by the worker before done
  std::thread worker([&] {
    RunInMainThread([&ranOnMain] { ranOnMain = IsMainThread(); });
    try {
      RunInMainThread([] { throw std::runtime_error("refused"); });
    } catch (const std::runtime_error& e) {
      caught = e.what();
    }
    done = true;
  });
  EXPECT_TRUE(PumpUntil([&] { return done.load(); }));
  worker.join();
  EXPECT_TRUE(ranOnMain);
  EXPECT_EQ(caught, "refused");
}

// The waiting pump ends at its deadline when nothing comes, and at once when a queued call brings
// what it waits for.
TEST(MainThreadQueueTest, WaitingPumpEndsAtItsDeadlineOrWhenDone) {
  HandPump pump;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(PumpMainThreadQueueUntil([] { return false; },
                                        start + std::chrono::milliseconds(20)));
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(20));

  bool done = false;  // main thread only: the queued call runs inside the pump
  std::thread worker([&done] { QueueToMainThread([&done] { done = true; }); });
  EXPECT_TRUE(PumpMainThreadQueueUntil(
      [&done] { return done; }, std::chrono::steady_clock::now() + std::chrono::hours(1)));
  worker.join();
}

TEST(MainThreadQueueTest, PumpOffTheMainThreadRunsNothing) {
  HandPump pump;
  std::atomic<int> ran{0};
  std::thread worker([&ran] {
    QueueToMainThread([&ran] { ++ran; });
    EXPECT_EQ(PumpMainThreadQueue(), 0u);
  });
  worker.join();
  EXPECT_EQ(ran, 0);
  EXPECT_EQ(PumpMainThreadQueue(), 1u);
  EXPECT_EQ(ran, 1);
}

TEST(MainThreadQueueTest, RemovingAnOwnersCallsKeepsTheOthers) {
  HandPump pump;
  int ownerA = 0, ownerB = 0;
  std::vector<int> ran;  // main thread only
  std::thread worker([&] {
    QueueToMainThread([&ran] { ran.push_back(1); }, &ownerA);
    QueueToMainThread([&ran] { ran.push_back(2); }, &ownerB);
    QueueToMainThread([&ran] { ran.push_back(3); });
    QueueToMainThread([&ran] { ran.push_back(4); }, &ownerA);
    RemoveQueuedCalls(&ownerA);
  });
  worker.join();
  EXPECT_EQ(PumpMainThreadQueue(), 2u);
  EXPECT_EQ(ran, (std::vector<int>{2, 3}));
}

// Removal from another thread waits for the owner's call that is running on the main thread.
TEST(MainThreadQueueTest, RemovalWaitsForTheOwnersRunningCall) {
  HandPump pump;
  int owner = 0;
  std::atomic<bool> inCall{false}, removed{false}, removedWhileRunning{true};
  std::thread worker([&] {
    QueueToMainThread(
        [&] {
          inCall = true;
          // Removal must not finish while this call runs; give it every chance to.
          WaitUntil([&] { return removed.load(); }, std::chrono::milliseconds(200));
          removedWhileRunning = removed.load();
        },
        &owner);
    WaitUntil([&] { return inCall.load(); });
    RemoveQueuedCalls(&owner);
    removed = true;
  });
  EXPECT_TRUE(PumpUntil([&] { return inCall.load(); }));
  worker.join();
  EXPECT_FALSE(removedWhileRunning);
}

}  // namespace
}  // namespace qvn::test
