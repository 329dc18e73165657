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
    client.SetEventsPerTick(64);
    client.Telegram().API().SetApiId("94575");
    client.Telegram().API().SetApiHash("a3406de8d171bb422bb6ddf3bbd800e2");
    client.Telegram().SetPhoneNumber("+15550100");
    client.Telegram().SetDBEncryptionKey("k\"ey");

    client.OnBeforeReadEvent = [this](auto*, const std::string&, bool& Handled) {
      trace.push_back("before");
      Handled = handleAll;
    };
    client.OnAuthorizationStatus = [this](auto*, const std::string& Status) {
      trace.push_back("status " + Status);
    };
    client.OnConnectionStatus = [this](auto*, const std::string& Status) {
      trace.push_back("connection " + Status);
    };
    client.OnEvent = [this](auto*, const std::string& Event, const std::string&) {
      trace.push_back("event " + Event);
    };
    client.OnException = [this](auto*, const std::exception& E) {
      trace.push_back(std::string("exception ") + E.what());
    };
    client.OnAuthenticationCode = [this](auto*, std::string& Code) {
      trace.push_back("code");
      Code = "24680";
    };
    client.OnAuthenticationPassword = [this](auto*, std::string& Password) {
      trace.push_back("password");
      Password = "pa\"ss\\word";
    };
    client.OnRegisterUser = [this](auto*, std::string& FirstName, std::string& LastName) {
      trace.push_back("register");
      FirstName = "Zoë";
      LastName = "O'Neil";
    };
    client.OnMessageText = [this](auto*, TqvnTelegramMessageText& Record) {
      trace.push_back("text " + Record.Text());
    };
    client.OnMessageDocument = [this](auto*, TqvnTelegramMessageDocument& Record) {
      trace.push_back("document " + Record.FileName());
    };
    client.OnMessagePhoto = [this](auto*, TqvnTelegramMessagePhoto& Record) {
      trace.push_back("photo " + std::to_string(Record.Size()));
    };
    client.OnMessageVideo = [this](auto*, TqvnTelegramMessageVideo& Record) {
      trace.push_back("video " + std::to_string(Record.Duration()));
    };
    client.OnMessageSponsored = [this](auto*, TqvnTelegramMessageSponsored& Record) {
      trace.push_back("sponsored " + Record.Text());
    };
    client.OnNewChat = [this](auto*, TqvnTelegramChat& Record) {
      trace.push_back("chat " + Record.Title());
    };
    client.OnNewCallbackQuery = [this](auto*, TqvnTelegramCallbackQuery& Record) {
      trace.push_back("callback " + Record.PayLoadData().Data());
    };

    client.SetActive(true);
    ASSERT_TRUE(client.Active());
  }

  void TearDown() override { client.SetActive(false); }

  // Queues aEvents (one per line) in the fake TDLib and runs the client's ticks until every
  // queued event, and every event the fake queued in answer to a request, has been handled.
  void Deliver(const std::string& aEvents) {
    fake_td_queue_events(aEvents.c_str());
    ASSERT_TRUE(PumpUntil([] { return fake_td_pending_events() == 0; }))
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

  TestClient client{nullptr};
  Trace trace;
  bool handleAll = false;
};

}  // namespace qvn::test

#endif  // QVN_TESTS_CLIENT_DISPATCH_FIXTURE_H
