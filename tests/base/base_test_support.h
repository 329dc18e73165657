// Helpers for the worker-thread tests: a counter of the main-thread queue's wake-ups that pumps
// what is left behind when it goes, and a thread-safe log of ticks. The waits come from
// tests/support (PumpUntil, WaitUntil).
// All helpers are used from the test's (main) thread unless they say otherwise.

#ifndef QVN_TESTS_BASE_BASE_TEST_SUPPORT_H_
#define QVN_TESTS_BASE_BASE_TEST_SUPPORT_H_

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "base/qvnWebSocket_Helpers.h"
#include "tests/support/PumpUntil.h"
#include "tests/support/WaitUntil.h"

namespace qvn::test {

using Clock = std::chrono::steady_clock;

inline std::uint32_t OsThreadId() { return static_cast<std::uint32_t>(gettid()); }

// Installs the wake-up hook for its lifetime and counts its calls; tests pump the queue by hand
// (PumpUntil, PumpMainThreadQueue), as a GUI loop would.
class HandPump {
 public:
  HandPump() {
    SetMainThreadWakeUp([this] {
      std::lock_guard<std::mutex> guard(FLock);
      ++FWakeUps;
    });
  }
  ~HandPump() {
    SetMainThreadWakeUp({});
    try {
      PumpMainThreadQueue();  // leave nothing behind for the next test
    } catch (const std::exception& e) {
      ADD_FAILURE() << "a call left behind by the test raised: " << e.what();
    }
  }

  int WakeUps() {
    std::lock_guard<std::mutex> guard(FLock);
    return FWakeUps;
  }

 private:
  std::mutex FLock;  // guards FWakeUps
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
    std::lock_guard<std::mutex> guard(FLock);
    FRecords.push_back({Clock::now(), OsThreadId(), std::this_thread::get_id()});
  }
  std::vector<TickRecord> Records() {
    std::lock_guard<std::mutex> guard(FLock);
    return FRecords;
  }
  std::size_t Count() {
    std::lock_guard<std::mutex> guard(FLock);
    return FRecords.size();
  }

 private:
  std::mutex FLock;  // guards FRecords
  std::vector<TickRecord> FRecords;
};

// Sets a flag when destroyed; captured in a handler it tells when the handler's owner is gone.
class Sentinel {
 public:
  explicit Sentinel(std::atomic<bool>& aDestroyed) : FDestroyed(aDestroyed) {}
  ~Sentinel() { FDestroyed = true; }

 private:
  std::atomic<bool>& FDestroyed;
};

}  // namespace qvn::test

#endif  // QVN_TESTS_BASE_BASE_TEST_SUPPORT_H_
