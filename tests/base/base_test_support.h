// Helpers for the worker-thread tests: condition waits with generous timeouts, a by-hand pump of
// the main-thread queue that wakes on the queue's wake-up hook, and a thread-safe log of ticks.
// All helpers are used from the test's (main) thread unless they say otherwise.

#ifndef QVN_TESTS_BASE_BASE_TEST_SUPPORT_H_
#define QVN_TESTS_BASE_BASE_TEST_SUPPORT_H_

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "base/qvnWebSocket_Helpers.h"

namespace qvn::test {

using Clock = std::chrono::steady_clock;
constexpr auto kGenerousTimeout = std::chrono::seconds(10);

inline std::uint32_t OsThreadId() { return static_cast<std::uint32_t>(gettid()); }

// Polls APredicate every millisecond; true once it holds, false after ATimeout.
inline bool WaitUntil(const std::function<bool()>& APredicate,
                      Clock::duration ATimeout = kGenerousTimeout) {
  const auto Deadline = Clock::now() + ATimeout;
  while (!APredicate()) {
    if (Clock::now() > Deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

// Installs the wake-up hook for its lifetime and pumps the queue by hand, as a GUI loop would.
class HandPump {
 public:
  HandPump() {
    SetMainThreadWakeUp([this] {
      std::lock_guard<std::mutex> Guard(FLock);
      ++FWakeUps;
      FWoken.notify_all();
    });
  }
  ~HandPump() {
    SetMainThreadWakeUp({});
    try {
      PumpMainThreadQueue();  // leave nothing behind for the next test
    } catch (const std::exception& E) {
      ADD_FAILURE() << "a call left behind by the test raised: " << E.what();
    }
  }

  int WakeUps() {
    std::lock_guard<std::mutex> Guard(FLock);
    return FWakeUps;
  }

  // Pumps whenever woken until APredicate holds; false after ATimeout.
  bool PumpUntil(const std::function<bool()>& APredicate,
                 Clock::duration ATimeout = kGenerousTimeout) {
    const auto Deadline = Clock::now() + ATimeout;
    for (;;) {
      PumpMainThreadQueue();
      if (APredicate()) return true;
      if (Clock::now() > Deadline) return false;
      std::unique_lock<std::mutex> Lock(FLock);
      FWoken.wait_for(Lock, std::chrono::milliseconds(5));
    }
  }

 private:
  std::mutex FLock;  // guards FWakeUps
  std::condition_variable FWoken;
  int FWakeUps = 0;
};

// What a handler saw, appended from any thread.
struct TickRecord {
  Clock::time_point At;
  std::uint32_t OsThread;
  std::thread::id Thread;
};

class TickLog {
 public:
  void Add() {
    std::lock_guard<std::mutex> Guard(FLock);
    FRecords.push_back({Clock::now(), OsThreadId(), std::this_thread::get_id()});
  }
  std::vector<TickRecord> Records() {
    std::lock_guard<std::mutex> Guard(FLock);
    return FRecords;
  }
  std::size_t Count() {
    std::lock_guard<std::mutex> Guard(FLock);
    return FRecords.size();
  }

 private:
  std::mutex FLock;  // guards FRecords
  std::vector<TickRecord> FRecords;
};

// Sets a flag when destroyed; captured in a handler it tells when the handler's owner is gone.
class Sentinel {
 public:
  explicit Sentinel(std::atomic<bool>& ADestroyed) : FDestroyed(ADestroyed) {}
  ~Sentinel() { FDestroyed = true; }

 private:
  std::atomic<bool>& FDestroyed;
};

}  // namespace qvn::test

#endif  // QVN_TESTS_BASE_BASE_TEST_SUPPORT_H_
