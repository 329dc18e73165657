// A client on the scripted fake TDLib that answers requests as TDLib does: every request sent
// gets an answer carrying the request's own "@extra" (when it has one), written last, as TDLib
// writes it; testCallEmpty the fake answers itself. A test scripts what the answer is, may queue
// further events after it, and may hold the answers back to release them later in any order. Used
// from the test's main thread; the fake calls the script on whichever thread sends.
#ifndef QVN_TESTS_CLIENT_ANSWERS_TEST_SUPPORT_H
#define QVN_TESTS_CLIENT_ANSWERS_TEST_SUPPORT_H

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "fake_tdjson.h"
#include "tests/support/FakeDelivery.h"
#include "spine_test_support.h"

namespace qvn::test {

// What the fake does with one request.
struct TReply {
  TReply(std::string aAnswer = R"({"@type":"ok"})", std::vector<std::string> aThen = {})
      : Answer(std::move(aAnswer)), Then(std::move(aThen)) {}
  std::string Answer;             // without "@extra"; empty: no answer
  std::vector<std::string> Then;  // events queued after the answer
};

// An answer TDLib writes for an error.
inline std::string ErrorText(int aCode, const std::string& aMessage) {
  return R"({"@type":"error","code":)" + std::to_string(aCode) + R"(,"message":")" + aMessage +
         R"("})";
}

inline std::string StateText(const std::string& aState) {
  return R"({"@type":"updateAuthorizationState","authorization_state":{"@type":")" + aState +
         R"("}})";
}

// One call of an answer handler.
struct TAnswered {
  std::string Tag;  // the test's name for the request
  TqvnTelegramAnswer Answer;
  std::thread::id Thread;
};

class AnsweringFake : public ::testing::Test {
 protected:
  void SetUp() override {
    fake_td_reset();
    fake_td_set_responder(&AnsweringFake::Respond, this);
    FClient.SetEventsPerTick(64);
    FClient.OnEvent = [this](auto*, const std::string& aEvent, const std::string& aText) {
      std::lock_guard<std::mutex> lock(FLock);
      FEvents.push_back(aEvent + " " + aText);
    };
  }

  void TearDown() override {
    // First: a test's script may use the test's own locals, and deactivation still sends "close".
    fake_td_set_responder(nullptr, nullptr);
    FClient.SetActive(false);
    PumpMainThreadQueue();
    EXPECT_EQ(fake_td_misuse_count(), 0);
  }

  // A handler that records its calls under aTag.
  TqvnTelegramAnswerHandler Record(const std::string& aTag) {
    return [this, aTag](TqvnTDLib_Telegram_Client*, const TqvnTelegramAnswer& aAnswer) {
      std::lock_guard<std::mutex> lock(FLock);
      FAnswered.push_back({aTag, aAnswer, std::this_thread::get_id()});
    };
  }

  std::vector<TAnswered> Answered() {
    std::lock_guard<std::mutex> lock(FLock);
    return FAnswered;
  }
  std::vector<std::string> Events() {
    std::lock_guard<std::mutex> lock(FLock);
    return FEvents;
  }
  void ClearEvents() {
    std::lock_guard<std::mutex> lock(FLock);
    FEvents.clear();
  }

  // Runs the client's ticks until aDone.
  static void PumpFor(const std::function<bool()>& aDone) { ASSERT_TRUE(PumpUntil(aDone)); }
  void PumpUntilAnswered(size_t aCount) {
    PumpFor([&] { return Answered().size() >= aCount; });
  }

  // Holds the answers from now on; Release queues them, in the order given (indexes into the
  // held answers), or all in reverse order.
  void Hold() {
    std::lock_guard<std::mutex> lock(FLock);
    FHolding = true;
  }
  size_t Held() {
    std::lock_guard<std::mutex> lock(FLock);
    return FHeld.size();
  }
  void ReleaseReversed() {
    std::vector<std::string> held;
    {
      std::lock_guard<std::mutex> lock(FLock);
      held.swap(FHeld);
      FHolding = false;
    }
    std::reverse(held.begin(), held.end());
    for (const std::string& text : held) fake_td_queue_event(text.c_str());
  }

  // The script: what the fake answers to each request (the default answers "ok").
  std::function<TReply(const nlohmann::json& aRequest)> FScript = [](const nlohmann::json&) {
    return TReply{};
  };

  TestClient FClient;
  std::vector<TAnswered> FAnswered;  // guarded by FLock
  std::vector<std::string> FEvents;  // "type text" per OnEvent; guarded by FLock

 private:
  static void Respond(const char* aRequest, void* aSelf) {
    auto* self = static_cast<AnsweringFake*>(aSelf);
    const nlohmann::json request = nlohmann::json::parse(aRequest, nullptr, false);
    // The fake answers testCallEmpty itself, as TDLib does, once.
    if (request.is_discarded() || request.value("@type", "") == "testCallEmpty") return;
    const TReply reply = self->FScript(request);
    std::vector<std::string> texts;
    if (!reply.Answer.empty()) {
      std::string answer = reply.Answer;
      if (request.contains("@extra")) {
        answer.pop_back();
        answer += ",\"@extra\":" + request["@extra"].dump() + "}";
      }
      texts.push_back(answer);
    }
    texts.insert(texts.end(), reply.Then.begin(), reply.Then.end());
    std::lock_guard<std::mutex> lock(self->FLock);
    for (const std::string& text : texts) {
      if (self->FHolding) {
        self->FHeld.push_back(text);
      } else {
        fake_td_queue_event(text.c_str());
      }
    }
  }

  std::mutex FLock;
  bool FHolding = false;           // guarded by FLock
  std::vector<std::string> FHeld;  // guarded by FLock
};

}  // namespace qvn::test

#endif  // QVN_TESTS_CLIENT_ANSWERS_TEST_SUPPORT_H
