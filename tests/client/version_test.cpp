// The release's version is known before activation returns, so the very first requests are laid
// out for it: told synchronously where the release can (the fake says "1.8.67" by default), and
// otherwise read from the new client's first texts, which are still handed on in order.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/PumpUntil.h"
#include "tests/support/TestClient.h"
#include "client/qvnTelegram_ChatRequests.h"
#include "fake_tdjson.h"
#include "spine_test_support.h"

namespace qvn::test {
namespace {

const std::string kVersionUpdate =
    R"({"@type":"updateOption","name":"version","value":{"@type":"optionValueString","value":"1.8.0"}})";
const std::string kConnectionUpdate =
    R"({"@type":"updateConnectionState","state":{"@type":"connectionStateWaitingForNetwork"}})";

// TDLib 1.8.0 reports its version in an update once a first request sets the client going; the
// fake answers only the client's own first getAuthorizationState (the one with a string tag).
void AnswerFirstRequest(const char* aRequest, void* /*aContext*/) {
  const std::string request = aRequest;
  const size_t extra = request.find("\"@extra\": \"");
  if (request.find("\"getAuthorizationState\"") == std::string::npos || extra == std::string::npos) {
    return;
  }
  const std::string tag = request.substr(extra + 10, request.rfind('}') - extra - 10);
  fake_td_queue_event(kVersionUpdate.c_str());
  fake_td_queue_event(kConnectionUpdate.c_str());
  fake_td_queue_event(
      (R"({"@type":"authorizationStateWaitTdlibParameters","@extra":)" + tag + "}").c_str());
}

struct VersionCase {
  const char* Name;
  bool WaitForEvents;
};

class VersionBeforeActivationReturns : public ::testing::TestWithParam<VersionCase> {
 protected:
  void SetUp() override { fake_td_reset(); }
  void TearDown() override { fake_td_reset(); }
};

TEST_P(VersionBeforeActivationReturns, AskedOfTheClientWhenTheReleaseCannotTellAtOnce) {
  fake_td_set_version(nullptr);
  fake_td_set_responder(&AnswerFirstRequest, nullptr);

  TestClient client;
  EventRecorder recorder(client);
  client.SetWaitForEvents(GetParam().WaitForEvents);
  client.SetEventsPerTick(100);
  client.SetActive(true);
  ASSERT_TRUE(client.Active());
  EXPECT_EQ(client.TDLibVersion(), "1.8.0");
  // Laid out for 1.8.0 at once: getChats reads only a limit there.
  fake_td_set_responder(nullptr, nullptr);
  client.LoadChats(20);
  EXPECT_EQ(fake_td::Sent().back(), BuildLoadChats(20, client.Id(), "1.8.0"));

  ASSERT_TRUE(PumpUntil([&] {
    if (!GetParam().WaitForEvents) client.Tick();
    return recorder.Texts().size() >= 2;
  }));
  // In TDLib's order, and without the answer the client took for itself.
  EXPECT_EQ(recorder.Texts(), (std::vector<std::string>{kVersionUpdate, kConnectionUpdate}));
  EXPECT_TRUE(recorder.Exceptions().empty());
  client.SetActive(false);
}

INSTANTIATE_TEST_SUITE_P(Modes, VersionBeforeActivationReturns,
                         ::testing::Values(VersionCase{"Ticking", false},
                                           VersionCase{"Waiting", true}),
                         [](const auto& aInfo) { return std::string(aInfo.param.Name); });

}  // namespace
}  // namespace qvn::test
