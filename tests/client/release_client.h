// A client on the TDLib release under test (tests/support/TDLibRelease.h), offline, in a
// database folder the test gives it. It answers TDLib's login states as the engine does and
// records the states, TDLib's error answers and its own exceptions; ReachPhoneNumber runs its
// ticks until TDLib asks for the phone number or something fails. Main (test) thread only.
#ifndef QVN_TESTS_CLIENT_RELEASE_CLIENT_H
#define QVN_TESTS_CLIENT_RELEASE_CLIENT_H

#include <filesystem>
#include <functional>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "base/qvnWebSocket_Helpers.h"
#include "spine_test_support.h"

namespace qvn::test {

class TReleaseClient {
 public:
  // aSendPhoneNumber off: the phone-number state is taken from the client before it answers,
  // so TDLib keeps waiting for a number and answers nothing but the test's own requests.
  TReleaseClient(const std::filesystem::path& aDatabase, const std::string& aDatabaseKey,
                 bool aSendPhoneNumber = true) {
    FClient.SetEventsPerTick(1000);  // TDLib starts with a burst of some hundred updates
    FClient.Telegram().SetErrorsLevel(tvbFatalErrors);
    FClient.Telegram().SetDatabaseDirectory(aDatabase.string());
    FClient.Telegram().SetDBEncryptionKey(aDatabaseKey);
    FClient.Telegram().API().SetApiId("94575");
    FClient.Telegram().API().SetApiHash("a3406de8d171bb422bb6ddf3bbd800e2");
    FClient.Telegram().SetPhoneNumber("+15550100");
    FClient.OnBeforeReadEvent = [this, aSendPhoneNumber](auto*, const std::string& aText,
                                                         bool& aHandled) {
      Events.push_back(aText);
      if (aText.find("\"authorizationStateWaitPhoneNumber\"") != std::string::npos) {
        WaitingForPhoneNumber = true;
        aHandled = !aSendPhoneNumber;
      }
    };
    FClient.OnAuthorizationStatus = [this](auto*, const std::string& aStatus) {
      Statuses.push_back(aStatus);
      // The parameters request that follows is laid out for this version.
      if (aStatus == "authorizationStateWaitTdlibParameters") {
        VersionAtParameters = FClient.TDLibVersion();
      }
    };
    FClient.OnEvent = [this](auto*, const std::string& aEvent, const std::string& aText) {
      if (aEvent == "error") Failures.push_back(aText);
    };
    FClient.OnException = [this](auto*, const std::exception& e) { Failures.push_back(e.what()); };
  }
  ~TReleaseClient() {
    FClient.SetActive(false);
    PumpMainThreadQueue();
  }
  TReleaseClient(const TReleaseClient&) = delete;
  TReleaseClient& operator=(const TReleaseClient&) = delete;

  // Activates the client and runs its ticks until TDLib waits for the phone number (true) or
  // an error or exception arrives first, or a generous time passes (false).
  bool ReachPhoneNumber() {
    FClient.SetActive(true);
    PumpUntil([&] { return WaitingForPhoneNumber || !Failures.empty(); });
    return WaitingForPhoneNumber && Failures.empty();
  }

  // Runs ticks until aDone holds; false after a generous time.
  ::testing::AssertionResult Until(const std::function<bool()>& aDone) { return PumpUntil(aDone); }

  // Sends through aSend and returns TDLib's next answer that is not an update (null when none
  // came in time).
  nlohmann::json Answer(const std::function<void()>& aSend) {
    const size_t seen = Events.size();
    aSend();
    nlohmann::json answer;
    PumpUntil([&] {
      for (size_t i = seen; i < Events.size(); ++i) {
        nlohmann::json event = nlohmann::json::parse(Events[i]);
        if (event.at("@type").get<std::string>().rfind("update", 0) != 0) {
          answer = std::move(event);
          return true;
        }
      }
      return false;
    });
    return answer;
  }

  // Every event text, one per line, for failure messages.
  std::string Log() const {
    std::string log;
    for (const std::string& text : Events) log += text + "\n";
    return log;
  }

  TestClient& Client() { return FClient; }

  std::vector<std::string> Statuses;  // every authorization state, in order
  std::vector<std::string> Failures;  // TDLib's error answers and the client's exceptions
  std::vector<std::string> Events;    // every event text
  std::string VersionAtParameters;    // TDLibVersion when TDLib asked for its parameters
  bool WaitingForPhoneNumber = false;

 private:
  TestClient FClient;
};

}  // namespace qvn::test

#endif  // QVN_TESTS_CLIENT_RELEASE_CLIENT_H
