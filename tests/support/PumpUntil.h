// A wait for tests without a GUI loop: runs the main thread's queued calls, as a GUI would,
// until a condition holds. Called on the test's main thread.
#ifndef QVN_TESTS_SUPPORT_PUMPUNTIL_H
#define QVN_TESTS_SUPPORT_PUMPUNTIL_H

#include <chrono>
#include <functional>
#include <thread>

#include "base/qvnWebSocket_Helpers.h"

namespace qvn::test {

// Long enough for a loaded machine or a sanitizer build; a passing test never waits this long.
constexpr auto kGenerousTimeout = std::chrono::seconds(30);

// Runs the main thread's queued calls until aDone holds; false after aTimeout.
inline bool PumpUntil(const std::function<bool()>& aDone,
                      std::chrono::steady_clock::duration aTimeout = kGenerousTimeout) {
  const auto deadline = std::chrono::steady_clock::now() + aTimeout;
  for (;;) {
    PumpMainThreadQueue();
    if (aDone()) return true;
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

}  // namespace qvn::test

#endif  // QVN_TESTS_SUPPORT_PUMPUNTIL_H
