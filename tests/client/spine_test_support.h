// Helpers for the client's lifecycle tests: a recorder of the events a client fires, beside the
// shared test client and pumping wait of tests/support.
// Used from the test's main thread unless stated otherwise.
#ifndef QVN_TESTS_CLIENT_SPINE_TEST_SUPPORT_H
#define QVN_TESTS_CLIENT_SPINE_TEST_SUPPORT_H

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "client/qvnLibs.h"
#include "tests/support/PumpUntil.h"
#include "tests/support/TestClient.h"

namespace qvn::test {

// Records what a client fires; safe to read while ticks run on a worker.
class EventRecorder {
 public:
  explicit EventRecorder(TqvnTDLib_Telegram_Client& aClient) {
    aClient.OnBeforeReadEvent = [this](TqvnTDLib_Telegram_Client*, const std::string& aText, bool&) {
      std::lock_guard<std::mutex> lock(FLock);
      FTexts.push_back(aText);
      FThreads.push_back(std::this_thread::get_id());
    };
    aClient.OnException = [this](TqvnTDLib_Telegram_Client*, const std::exception& e) {
      std::lock_guard<std::mutex> lock(FLock);
      FExceptions.push_back(e.what());
    };
  }

  std::vector<std::string> Texts() const {
    std::lock_guard<std::mutex> lock(FLock);
    return FTexts;
  }
  std::vector<std::thread::id> Threads() const {
    std::lock_guard<std::mutex> lock(FLock);
    return FThreads;
  }
  std::vector<std::string> Exceptions() const {
    std::lock_guard<std::mutex> lock(FLock);
    return FExceptions;
  }

 private:
  mutable std::mutex FLock;
  std::vector<std::string> FTexts;
  std::vector<std::thread::id> FThreads;
  std::vector<std::string> FExceptions;
};

}  // namespace qvn::test

#endif  // QVN_TESTS_CLIENT_SPINE_TEST_SUPPORT_H
