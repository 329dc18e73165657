// The client against a TDLib library without td_set_log_fatal_error_callback (deprecated in
// current TDLib releases): the fake TDLib built without it.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fake_tdjson.h"
#include "spine_test_support.h"

namespace qvn::test {
namespace {

// Activation completes without the callback, in both ways of receiving, and the client works.
TEST(LibraryWithoutFatalErrorCallback, ActivationCompletesAndEventsFlow) {
  for (const bool waits : {false, true}) {
    SCOPED_TRACE(waits ? "waiting" : "ticking");
    fake_td_reset();
    TestClient client;
    EventRecorder recorder(client);
    client.SetWaitForEvents(waits);
    client.SetActive(true);
    ASSERT_TRUE(client.Active());
    EXPECT_TRUE(recorder.Exceptions().empty()) << recorder.Exceptions().front();
    for (const std::string& entry : fake_td::Journal()) {
      EXPECT_EQ(entry.find("set_log_fatal_error_callback"), std::string::npos);
    }
    EXPECT_EQ(fake_td::Sent().back().rfind("{\"@type\": \"getAuthorizationState\"", 0), 0u);

    fake_td_queue_event("{\"@type\":\"updateOption\",\"name\":\"x\"}");
    ASSERT_TRUE(PumpUntil([&] { return recorder.Texts().size() == 1; }));
    client.SetActive(false);
    EXPECT_EQ(fake_td_live_clients(), 0);
    EXPECT_EQ(fake_td_misuse_count(), 0);
  }
}

}  // namespace
}  // namespace qvn::test
