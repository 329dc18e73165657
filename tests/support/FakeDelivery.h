// Waiting for the scripted fake TDLib's texts to reach a client: true once the fake has handed
// out every text it queued and the client's dispatcher has read as many texts as the fake handed
// out. TDLib's current interface takes texts into the engine's own receive before the client
// reads them, so an empty fake alone does not mean they were read. For tests with one client on
// the fake (tests/fake_tdjson); main thread, inside PumpUntil.
#ifndef QVN_TESTS_SUPPORT_FAKEDELIVERY_H
#define QVN_TESTS_SUPPORT_FAKEDELIVERY_H

#include "fake_tdjson.h"
#include "tests/support/TestClient.h"

namespace qvn::test {

inline bool FakeTextsRead(const TestClient& aClient) {
  return fake_td_pending_events() == 0 && aClient.TextsRead() >= fake_td_handed_out_events();
}

}  // namespace qvn::test

#endif  // QVN_TESTS_SUPPORT_FAKEDELIVERY_H
