// The client as tests, benchmarks and fuzzers drive it: its dispatcher and its tick open to
// direct calls from the caller's (main) thread. It adds no state and overrides nothing, so it
// behaves exactly like TqvnTDLib_Telegram itself. The caller owns it like any client.
#ifndef QVN_TESTS_SUPPORT_TESTCLIENT_H
#define QVN_TESTS_SUPPORT_TESTCLIENT_H

#include "client/qvnLibs.h"

namespace qvn::test {

class TestClient : public TqvnTDLib_Telegram {
 public:
  using TqvnTDLib_Telegram::DoReadEvent;
  using TqvnTDLib_Telegram::TqvnTDLib_Telegram;
  // Ticks on a worker end before this class is torn down.
  ~TestClient() override { EndForDestruction(); }
  // One tick by hand; aWorker stands for the worker that fired it (it fires the next one at once
  // when the tick stops on its limit or budget).
  void Tick(TqvnTimer* aWorker = nullptr) { DoThreadTimer(aWorker); }
};

}  // namespace qvn::test

#endif  // QVN_TESTS_SUPPORT_TESTCLIENT_H
