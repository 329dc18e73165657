// The client as tests, benchmarks and fuzzers drive it: its dispatcher and its tick open to
// direct calls from the caller's (main) thread, and a count of the texts its dispatcher has read
// (from any thread). Otherwise it behaves exactly like TqvnTDLib_Telegram itself. The caller owns
// it like any client.
#ifndef QVN_TESTS_SUPPORT_TESTCLIENT_H
#define QVN_TESTS_SUPPORT_TESTCLIENT_H

#include <atomic>
#include <cstddef>
#include <string>

#include "client/qvnLibs.h"

namespace qvn::test {

class TestClient : public TqvnTDLib_Telegram {
 public:
  using TqvnTDLib_Telegram::TqvnTDLib_Telegram;
  // Ticks on a worker end before this class is torn down.
  ~TestClient() override { EndForDestruction(); }
  // One tick by hand; aWorker stands for the worker that fired it (it fires the next one at once
  // when the tick stops on its limit or budget).
  void Tick(TqvnTimer* aWorker = nullptr) { DoThreadTimer(aWorker); }
  // Texts received from TDLib (or handed to DoReadEvent) so far.
  size_t TextsRead() const { return FTextsRead.load(); }
  void DoReadEvent(const std::string& aText) override {
    ++FTextsRead;
    TqvnTDLib_Telegram::DoReadEvent(aText);
  }

 private:
  std::atomic<size_t> FTextsRead{0};
};

}  // namespace qvn::test

#endif  // QVN_TESTS_SUPPORT_TESTCLIENT_H
