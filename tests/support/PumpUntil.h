// The one wait of tests without a GUI loop: runs the main thread's queued calls, as a GUI would,
// until a condition holds or the deadline passes. Called on the test's main thread; use it as
// ASSERT_TRUE(PumpUntil(...)) so a condition that never comes fails the test with the reason.
#ifndef QVN_TESTS_SUPPORT_PUMPUNTIL_H
#define QVN_TESTS_SUPPORT_PUMPUNTIL_H

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <thread>

#include "base/qvnWebSocket_Helpers.h"
#include "tests/support/Timeouts.h"

namespace qvn::test {

// Runs the main thread's queued calls until aDone holds; a failure naming the time waited once
// aTimeout has passed without it.
inline ::testing::AssertionResult PumpUntil(const std::function<bool()>& aDone,
                                            std::chrono::steady_clock::duration aTimeout = kGenerousTimeout) {
  const auto deadline = std::chrono::steady_clock::now() + aTimeout;
  for (;;) {
    PumpMainThreadQueue();
    if (aDone()) return ::testing::AssertionSuccess();
    if (std::chrono::steady_clock::now() > deadline) {
      return ::testing::AssertionFailure()
             << "the awaited condition did not hold within "
             << std::chrono::duration_cast<std::chrono::milliseconds>(aTimeout).count()
             << " ms of pumping the main-thread queue";
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

}  // namespace qvn::test

#endif  // QVN_TESTS_SUPPORT_PUMPUNTIL_H
