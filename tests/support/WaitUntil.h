// The wait of tests for something another thread does while the main thread's queue must stay
// untouched: polls a condition without running queued calls, until it holds or the deadline
// passes. Any thread; use it as ASSERT_TRUE(WaitUntil(...)) so a timeout fails with the reason.
#ifndef QVN_TESTS_SUPPORT_WAITUNTIL_H
#define QVN_TESTS_SUPPORT_WAITUNTIL_H

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <thread>

#include "tests/support/Timeouts.h"

namespace qvn::test {

// Polls aDone every millisecond; a failure naming the time waited once aTimeout has passed.
inline ::testing::AssertionResult WaitUntil(const std::function<bool()>& aDone,
                                            std::chrono::steady_clock::duration aTimeout = kGenerousTimeout) {
  const auto deadline = std::chrono::steady_clock::now() + aTimeout;
  while (!aDone()) {
    if (std::chrono::steady_clock::now() > deadline) {
      return ::testing::AssertionFailure()
             << "the awaited condition did not hold within "
             << std::chrono::duration_cast<std::chrono::milliseconds>(aTimeout).count()
             << " ms (without pumping the main-thread queue)";
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return ::testing::AssertionSuccess();
}

}  // namespace qvn::test

#endif  // QVN_TESTS_SUPPORT_WAITUNTIL_H
