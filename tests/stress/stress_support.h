// Helpers for the stress and hostile-input tests: a probe that assigns every one of the client's
// events and records what fires (the client itself is tests/support/TestClient.h).
// The probe's records may be read from any thread while ticks run on a worker.
#ifndef QVN_TESTS_STRESS_STRESS_SUPPORT_H
#define QVN_TESTS_STRESS_STRESS_SUPPORT_H

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "client/qvnLibs.h"
#include "tests/support/PumpUntil.h"
#include "tests/support/TestClient.h"

namespace qvn::test {

// One thing the client fired: which event and its main argument (the text for OnBeforeReadEvent,
// "@type" for OnEvent, the status, the exception's message, a record's chat id...).
struct Fired {
  std::string Event;
  std::string Detail;
  std::thread::id Thread;
};

// Assigns every event of a client. Each handler records what it got, then calls Hook (when set)
// with the same record, on the thread that fired it; Hook may throw or act on the client.
class EventProbe {
 public:
  std::function<void(TqvnTDLib_Telegram_Client* aSender, const Fired& aWhat)> Hook;
  // What the three prompts hand back.
  std::string Code = "11111";
  std::string Password = "pw";

  explicit EventProbe(TqvnTDLib_Telegram_Client& aClient) {
    aClient.OnBeforeReadEvent = [this](TqvnTDLib_Telegram_Client* s, const std::string& aText,
                                       bool&) { Record(s, "BeforeReadEvent", aText); };
    aClient.OnEvent = [this](TqvnTDLib_Telegram_Client* s, const std::string& aEvent,
                             const std::string&) { Record(s, "Event", aEvent); };
    aClient.OnAuthorizationStatus = [this](TqvnTDLib_Telegram_Client* s,
                                           const std::string& aStatus) {
      Record(s, "AuthorizationStatus", aStatus);
    };
    aClient.OnConnectionStatus = [this](TqvnTDLib_Telegram_Client* s, const std::string& aStatus) {
      Record(s, "ConnectionStatus", aStatus);
    };
    aClient.OnAuthenticationCode = [this](TqvnTDLib_Telegram_Client* s, std::string& aCode) {
      aCode = Code;
      Record(s, "AuthenticationCode", "");
    };
    aClient.OnAuthenticationPassword = [this](TqvnTDLib_Telegram_Client* s,
                                              std::string& aPassword) {
      aPassword = Password;
      Record(s, "AuthenticationPassword", "");
    };
    aClient.OnRegisterUser = [this](TqvnTDLib_Telegram_Client* s, std::string& aFirst,
                                    std::string& aLast) {
      aFirst = "First";
      aLast = "Last";
      Record(s, "RegisterUser", "");
    };
    aClient.OnException = [this](TqvnTDLib_Telegram_Client* s, const std::exception& e) {
      Record(s, "Exception", e.what());
    };
    aClient.OnMessageText = [this](TqvnTDLib_Telegram_Client* s, TqvnTelegramMessageText& m) {
      Record(s, "MessageText", m.ChatId());
    };
    aClient.OnMessageDocument = [this](TqvnTDLib_Telegram_Client* s,
                                       TqvnTelegramMessageDocument& m) {
      Record(s, "MessageDocument", m.ChatId());
    };
    aClient.OnMessagePhoto = [this](TqvnTDLib_Telegram_Client* s, TqvnTelegramMessagePhoto& m) {
      Record(s, "MessagePhoto", m.ChatId());
    };
    aClient.OnMessageVideo = [this](TqvnTDLib_Telegram_Client* s, TqvnTelegramMessageVideo& m) {
      Record(s, "MessageVideo", m.ChatId());
    };
    aClient.OnMessageSponsored = [this](TqvnTDLib_Telegram_Client* s,
                                        TqvnTelegramMessageSponsored&) {
      Record(s, "MessageSponsored", "");
    };
    aClient.OnNewChat = [this](TqvnTDLib_Telegram_Client* s, TqvnTelegramChat& aChat) {
      Record(s, "NewChat", aChat.ChatId());
    };
    aClient.OnNewCallbackQuery = [this](TqvnTDLib_Telegram_Client* s,
                                        TqvnTelegramCallbackQuery& aQuery) {
      Record(s, "NewCallbackQuery", aQuery.ChatId());
    };
  }

  std::vector<Fired> All() const {
    std::lock_guard<std::mutex> lock(FLock);
    return FFired;
  }
  // The details of every record of aEvent, in order.
  std::vector<std::string> Of(const std::string& aEvent) const {
    std::vector<std::string> details;
    for (const Fired& fired : All()) {
      if (fired.Event == aEvent) details.push_back(fired.Detail);
    }
    return details;
  }
  size_t Count() const {
    std::lock_guard<std::mutex> lock(FLock);
    return FFired.size();
  }
  void Clear() {
    std::lock_guard<std::mutex> lock(FLock);
    FFired.clear();
  }

 private:
  void Record(TqvnTDLib_Telegram_Client* aSender, std::string aEvent, std::string aDetail) {
    Fired fired{std::move(aEvent), std::move(aDetail), std::this_thread::get_id()};
    {
      std::lock_guard<std::mutex> lock(FLock);
      FFired.push_back(fired);
    }
    if (Hook) Hook(aSender, fired);
  }

  mutable std::mutex FLock;
  std::vector<Fired> FFired;  // guarded by FLock
};

}  // namespace qvn::test

#endif  // QVN_TESTS_STRESS_STRESS_SUPPORT_H
