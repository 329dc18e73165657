// The fixture of the dispatcher and login tests: an active client on the scripted fake TDLib with
// every event it fires written to a trace, the login answers it gives set, and a way to deliver
// event texts through its receive ticks by pumping the main-thread queue. The fake's journal
// shows what the client sent back. Test-thread only.
#ifndef QVN_TESTS_CLIENT_DISPATCH_FIXTURE_H
#define QVN_TESTS_CLIENT_DISPATCH_FIXTURE_H

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/qvnWebSocket_Helpers.h"
#include "client/qvnLibs.h"
#include "client/qvnTelegram_RequestExtra.h"
#include "fake_tdjson.h"
#include "tests/support/FakeDelivery.h"
#include "tests/support/PumpUntil.h"
#include "tests/support/TestClient.h"

namespace qvn::test {

using Trace = std::vector<std::string>;

inline std::string StateEvent(const std::string& aState) {
  return R"({"@type":"updateAuthorizationState","authorization_state":{"@type":")" + aState +
         R"("}})";
}

inline std::string VersionEvent(const std::string& aVersion) {
  return R"({"@type":"updateOption","name":"version","value":{"@type":"optionValueString","value":")" +
         aVersion + R"("}})";
}

// An active client on the fake TDLib whose every event is written to `trace`.
class Dispatch : public ::testing::Test {
 protected:
  void SetUp() override {
    fake_td_reset();
    FClient.SetEventsPerTick(64);
    FClient.Telegram().API().SetApiId("94575");
    FClient.Telegram().API().SetApiHash("a3406de8d171bb422bb6ddf3bbd800e2");
    FClient.Telegram().SetPhoneNumber("+15550100");
    FClient.Telegram().SetDBEncryptionKey("k\"ey");

    FClient.OnBeforeReadEvent = [this](auto*, const std::string&, bool& aHandled) {
      FTrace.push_back("before");
      aHandled = FHandleAll;
    };
    FClient.OnAuthorizationStatus = [this](auto*, const std::string& aStatus) {
      FTrace.push_back("status " + aStatus);
    };
    FClient.OnConnectionStatus = [this](auto*, const std::string& aStatus) {
      FTrace.push_back("connection " + aStatus);
    };
    FClient.OnEvent = [this](auto*, const std::string& aEvent, const std::string&) {
      FTrace.push_back("event " + aEvent);
    };
    FClient.OnException = [this](auto*, const std::exception& e) {
      FTrace.push_back(std::string("exception ") + e.what());
    };
    FClient.OnAuthenticationCode = [this](auto*, std::string& aCode) {
      FTrace.push_back("code");
      aCode = "24680";
    };
    FClient.OnAuthenticationPassword = [this](auto*, std::string& aPassword) {
      FTrace.push_back("password");
      aPassword = "pa\"ss\\word";
    };
    FClient.OnRegisterUser = [this](auto*, std::string& aFirstName, std::string& aLastName) {
      FTrace.push_back("register");
      aFirstName = "Zoë";
      aLastName = "O'Neil";
    };
    FClient.OnMessageText = [this](auto*, TqvnTelegramMessageText& aRecord) {
      FTrace.push_back("text " + aRecord.Text());
    };
    FClient.OnMessageDocument = [this](auto*, TqvnTelegramMessageDocument& aRecord) {
      FTrace.push_back("document " + aRecord.FileName());
    };
    FClient.OnMessagePhoto = [this](auto*, TqvnTelegramMessagePhoto& aRecord) {
      FTrace.push_back("photo " + std::to_string(aRecord.Size()));
    };
    FClient.OnMessageVideo = [this](auto*, TqvnTelegramMessageVideo& aRecord) {
      FTrace.push_back("video " + std::to_string(aRecord.Duration()));
    };
    FClient.OnMessageSponsored = [this](auto*, TqvnTelegramMessageSponsored& aRecord) {
      FTrace.push_back("sponsored " + aRecord.Text());
    };
    FClient.OnNewChat = [this](auto*, TqvnTelegramChat& aRecord) {
      FTrace.push_back("chat " + aRecord.Title());
    };
    FClient.OnNewCallbackQuery = [this](auto*, TqvnTelegramCallbackQuery& aRecord) {
      FTrace.push_back("callback " + aRecord.PayLoadData().Data());
    };

    FClient.SetActive(true);
    ASSERT_TRUE(FClient.Active());
  }

  void TearDown() override { FClient.SetActive(false); }

  // Queues aEvents (one per line) in the fake TDLib and runs the client's ticks until every
  // queued event, and every event the fake queued in answer to a request, has been handled.
  void Deliver(const std::string& aEvents) {
    fake_td_queue_events(aEvents.c_str());
    ASSERT_TRUE(PumpUntil([this] { return FakeTextsRead(FClient); }))
        << "the client stopped taking events";
  }

  // The requests the client sent after activation's getAuthorizationState, without the tag by
  // which the client recognises the answer to a login request.
  static std::vector<std::string> Requests() {
    std::vector<std::string> requests;
    for (const std::string& text : fake_td::Sent()) {
      if (text.rfind("{\"@type\": \"getAuthorizationState\"", 0) != 0) {
        requests.push_back(ReplaceExtra(text, ""));
      }
    }
    return requests;
  }

  TestClient FClient{nullptr};
  Trace FTrace;
  bool FHandleAll = false;
};

}  // namespace qvn::test

#endif  // QVN_TESTS_CLIENT_DISPATCH_FIXTURE_H
