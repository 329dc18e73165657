// Waiting for answers as values, against the scripted fake TDLib: a coroutine awaits one request
// after another and goes on where the handlers run; the engine's refusals resolve at once; a
// cancelled wait resumes once and the late answer is dropped; a future gets the same answer; a
// task reports the exception that ended it, and one let go of runs to its end on its own.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <future>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "answers_test_support.h"
#include "client/qvnTelegram_Await.h"
#include "tests/support/TempDir.h"

namespace qvn::test {
namespace {

// The fake answers getMe with a user and getUser with the user asked for.
TReply Users(const nlohmann::json& aRequest) {
  const std::string type = aRequest.value("@type", "");
  if (type == "getMe") return TReply{R"({"@type":"user","id":4242,"first_name":"Me \"Bot\""})"};
  if (type == "getUser") {
    return TReply{R"({"@type":"user","id":)" + aRequest["user_id"].dump() +
                  R"(,"first_name":"Other"})"};
  }
  return TReply{};
}

class Await : public AnsweringFake {
 protected:
  void SetUp() override {
    AnsweringFake::SetUp();
    FScript = Users;
    FClient.SetActive(true);
    ASSERT_TRUE(FClient.Active());
  }

  TTempDir FOtherFolder;  // a second client's database folder
};

TEST_F(Await, ACoroutineAwaitsOneAnswerAfterAnotherWhereHandlersRun) {
  std::string names;
  std::thread::id resumedOn;
  auto bot = [&]() -> TqvnTask {
    const TqvnTelegramAnswer me = co_await Ask(FClient, R"({"@type":"getMe"})");
    names = me.Get<std::string>("first_name");
    const TqvnTelegramAnswer other =
        co_await Ask(FClient, &TqvnTDLib_Telegram_Client::GetUser, me.Get<int64_t>("id") + 1);
    names += " / " + other.Get<std::string>("first_name") + " " +
             std::to_string(other.Get<int64_t>("id"));
    resumedOn = std::this_thread::get_id();
  };
  TqvnTask task = bot();
  EXPECT_FALSE(task.Done());  // waiting for TDLib
  ASSERT_TRUE(PumpUntil([&] { return task.Done(); }));
  EXPECT_NO_THROW(task.Result());
  EXPECT_EQ(names, "Me \"Bot\" / Other 4243");
  EXPECT_EQ(resumedOn, std::this_thread::get_id());  // the handlers' thread: the main thread
}

// Every way a request can end reaches the coroutine, and the future, exactly once; an answer
// coming after the end goes nowhere.
TEST_F(Await, EveryEndReachesBothFormsExactlyOnce) {
  FScript = [](const nlohmann::json& aRequest) {
    if (aRequest.value("@type", "") == "getUser" && aRequest["user_id"] == 400) {
      return TReply{ErrorText(400, "USER_ID_INVALID")};
    }
    return Users(aRequest);
  };
  std::unique_ptr<TestClient> other;
  struct Case {
    const char* Name;
    TqvnTelegramAnswerKind Kind;
    std::function<TqvnAnswerHandle()> Start;
    std::function<void(TqvnAnswerHandle&)> End;
  };
  const auto getUser = [this](int64_t aId, std::chrono::milliseconds aTimeout = {}) {
    return Ask([&](const TqvnTelegramOnAnswer& aOnAnswer) { FClient.GetUser(aId, aOnAnswer); },
               aTimeout);
  };
  const Case cases[] = {
      {"answer", takAnswer, [&] { return getUser(7); }, [](TqvnAnswerHandle&) {}},
      {"TDLib error", takTDLibError, [&] { return getUser(400); }, [](TqvnAnswerHandle&) {}},
      {"timeout", takTimedOut, [&] { Hold(); return getUser(7, std::chrono::milliseconds(20)); },
       [](TqvnAnswerHandle&) {}},
      {"deactivation", takDeactivated, [&] { Hold(); return getUser(7); },
       [&](TqvnAnswerHandle&) { FClient.SetActive(false); }},
      {"destruction", takDestroyed,
       [&] {
         Hold();
         other = std::make_unique<TestClient>();
         other->Telegram().SetDatabaseDirectory(FOtherFolder.Path().string());
         other->SetActive(true);
         return Ask(*other, &TqvnTDLib_Telegram_Client::GetUser, int64_t{7});
       },
       [&](TqvnAnswerHandle&) { other.reset(); }},
      {"cancellation", takCancelled, [&] { Hold(); return getUser(7); },
       [](TqvnAnswerHandle& aHandle) { aHandle.Cancel(); }},
  };
  for (const bool coroutine : {true, false}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(c.Name) + (coroutine ? " through co_await" : " through a future"));
      TqvnAnswerHandle handle = c.Start();
      int ends = 0;
      TqvnTelegramAnswerKind kind = takAnswer;
      std::future<TqvnTelegramAnswer> future;
      auto wait = [&]() -> TqvnTask {
        kind = (co_await handle).Kind;
        ++ends;
      };
      std::optional<TqvnTask> task;
      if (coroutine) {
        task.emplace(wait());
      } else {
        future = handle.Future();
      }
      c.End(handle);
      ASSERT_TRUE(PumpUntil([&] { return handle.Ready(); }));
      if (!coroutine) {
        ASSERT_EQ(future.wait_for(std::chrono::seconds(0)), std::future_status::ready);
        kind = future.get().Kind;
        ++ends;
      }
      EXPECT_EQ(static_cast<int>(kind), static_cast<int>(c.Kind));
      // What TDLib still had for the request comes now and changes nothing.
      const size_t readBefore = FClient.TextsRead();
      const size_t held = Held();
      ReleaseReversed();
      if (!FClient.Active()) FClient.SetActive(true);
      ASSERT_TRUE(PumpUntil([&] { return FClient.TextsRead() >= readBefore + held; }));
      PumpMainThreadQueue();
      EXPECT_EQ(ends, 1);
      EXPECT_EQ(static_cast<int>(handle.Answer().Kind), static_cast<int>(c.Kind));
    }
  }
}

TEST_F(Await, RefusalsResolveBeforeAskReturns) {
  FClient.SetActive(false);
  TqvnAnswerHandle refused = Ask(FClient, R"({"@type":"getMe"})");
  ASSERT_TRUE(refused.Ready());
  EXPECT_EQ(refused.Answer().Kind, takNotSent);

  FClient.SetActive(true);
  TqvnTelegramAnswerKind kind = takAnswer;
  auto send = [&]() -> TqvnTask { kind = (co_await Ask(FClient, "not json")).Kind; };
  const TqvnTask task = send();
  EXPECT_TRUE(task.Done());  // no wait at all
  EXPECT_EQ(kind, takNotSent);
}

TEST_F(Await, ACancelledWaitResumesOnceAndTheLateAnswerIsDropped) {
  Hold();
  TqvnAnswerHandle handle = Ask(FClient, &TqvnTDLib_Telegram_Client::GetUser, int64_t{7});
  int resumed = 0;
  TqvnTelegramAnswer seen;
  auto wait = [&]() -> TqvnTask {
    seen = co_await handle;
    ++resumed;
  };
  const TqvnTask task = wait();
  ASSERT_TRUE(PumpUntil([&] { return Held() == 1; }));
  EXPECT_TRUE(handle.Cancel());
  EXPECT_TRUE(task.Done());
  EXPECT_EQ(seen.Kind, takCancelled);
  EXPECT_FALSE(handle.Cancel());

  ReleaseReversed();  // TDLib's answer comes after all
  ASSERT_TRUE(PumpUntil([&] { return FakeTextsRead(FClient); }));
  EXPECT_EQ(resumed, 1);
  EXPECT_EQ(handle.Answer().Kind, takCancelled);
}

TEST_F(Await, AFutureGetsTheSameAnswerOnAnotherThread) {
  TqvnAnswerHandle handle = Ask(FClient, R"({"@type":"getMe"})");
  std::future<TqvnTelegramAnswer> future = handle.Future();
  EXPECT_THROW(handle.Future(), std::future_error);
  std::promise<int64_t> idSeen;
  std::thread reader([&] { idSeen.set_value(future.get().Get<int64_t>("id")); });
  ASSERT_TRUE(PumpUntil([&] { return handle.Ready(); }));  // the main thread runs the handler
  reader.join();
  EXPECT_EQ(idSeen.get_future().get(), 4242);
}

TEST_F(Await, ATaskReportsWhatEndedItAndOneLetGoOfRunsToItsEnd) {
  auto failing = [&]() -> TqvnTask {
    co_await Ask(FClient, R"({"@type":"getMe"})");
    throw std::runtime_error("bot failed");
  };
  TqvnTask task = failing();
  ASSERT_TRUE(PumpUntil([&] { return task.Done(); }));
  EXPECT_THROW(task.Result(), std::runtime_error);

  bool finished = false;
  auto unattended = [&]() -> TqvnTask {
    co_await Ask(FClient, R"({"@type":"getMe"})");
    finished = true;
  };
  { const TqvnTask letGo = unattended(); }
  ASSERT_TRUE(PumpUntil([&] { return finished; }));  // its frame frees itself (ASan checks)
}

std::string FileUpdate(int aId, bool aCompleted) {
  return R"({"@type":"updateFile","file":{"@type":"file","id":)" + std::to_string(aId) +
         R"(,"local":{"@type":"localFile","path":"/tmp/f)" + std::to_string(aId) +
         R"(","is_downloading_completed":)" + (aCompleted ? "true" : "false") + "}}}";
}

// Subscriptions get the updates of their type (or every text), where events run, until they
// end; a wait ends with the first update its filter accepts, after it, or with its timeout.
TEST_F(Await, UpdatesReachSubscriptionsAndTheWaitTheyAreFor) {
  std::vector<std::string> files;
  std::vector<std::string> everything;
  TqvnUpdateSubscription fileUpdates =
      FClient.Subscribe("updateFile", [&](auto*, const TqvnTDLibObject& aUpdate) {
        files.push_back(aUpdate.Text("file", "local", "path"));
      });
  TqvnUpdateSubscription all = FClient.Subscribe(
      "", [&](auto*, const TqvnTDLibObject& aUpdate) { everything.push_back(aUpdate.Type()); });

  TqvnAnswerHandle done = FClient.NextUpdate("updateFile", [](const TqvnTDLibObject& aUpdate) {
    return aUpdate.Get<int32_t>("file", "id") == 5 &&
           aUpdate.Get<bool>("file", "local", "is_downloading_completed");
  });
  TqvnAnswerHandle late =
      FClient.NextUpdate("updateNewMessage", {}, std::chrono::milliseconds(30));
  for (const std::string& text : {FileUpdate(4, true), FileUpdate(5, false),
                                  std::string(R"({"@type":"updateOption","name":"x"})"),
                                  FileUpdate(5, true), FileUpdate(6, true)}) {
    fake_td_queue_event(text.c_str());
  }
  ASSERT_TRUE(PumpUntil([&] { return files.size() == 4 && late.Ready(); }));
  EXPECT_EQ(files, (std::vector<std::string>{"/tmp/f4", "/tmp/f5", "/tmp/f5", "/tmp/f6"}));
  ASSERT_GE(everything.size(), 5U);  // and whatever the activation brought before
  EXPECT_EQ(std::vector<std::string>(everything.end() - 5, everything.end()),
            (std::vector<std::string>{"updateFile", "updateFile", "updateOption", "updateFile",
                                      "updateFile"}));
  ASSERT_TRUE(done.Ready());
  EXPECT_EQ(done.Answer().Kind, takAnswer);
  EXPECT_EQ(done.Answer().Type, "updateFile");
  EXPECT_EQ(done.Answer().Text, FileUpdate(5, true));
  EXPECT_EQ(static_cast<int>(late.Answer().Kind), static_cast<int>(takTimedOut));
  EXPECT_EQ(late.Answer().Message, "No updateNewMessage came within 30 ms");

  fileUpdates.Reset();  // ended: no more calls
  const size_t seen = everything.size();
  fake_td_queue_event(FileUpdate(7, true).c_str());
  ASSERT_TRUE(PumpUntil([&] { return everything.size() == seen + 1; }));
  EXPECT_EQ(files.size(), 4U);
}

TEST_F(Await, AWaitForAnUpdateEndsWithTheClient) {
  TqvnAnswerHandle waiting = FClient.NextUpdate("updateFile");
  TqvnAnswerHandle cancelled = FClient.NextUpdate("updateFile");
  EXPECT_TRUE(cancelled.Cancel());
  FClient.SetActive(false);
  ASSERT_TRUE(waiting.Ready());
  EXPECT_EQ(static_cast<int>(waiting.Answer().Kind), static_cast<int>(takDeactivated));
  EXPECT_EQ(static_cast<int>(cancelled.Answer().Kind), static_cast<int>(takCancelled));
  const TqvnAnswerHandle inactive = FClient.NextUpdate("updateFile");
  ASSERT_TRUE(inactive.Ready());
  EXPECT_EQ(static_cast<int>(inactive.Answer().Kind), static_cast<int>(takNotSent));
}

// With the events on the worker thread, a main thread waiting in the pump is woken by each
// delivery (the tick's lock wakes it when let go): it sees what a handler did long before its
// own deadline.
TEST_F(Await, APumpingMainThreadIsWokenByEventsOnTheWorker) {
  for (const bool waits : {false, true}) {
    SCOPED_TRACE(waits ? "waiting worker" : "ticking worker");
    FClient.SetActive(false);
    FClient.SetNotifyEvents(neNoSync);
    FClient.SetWaitForEvents(waits);
    std::atomic<bool> seen{false};
    const TqvnUpdateSubscription files = FClient.Subscribe(
        "updateFile", [&](auto*, const TqvnTDLibObject&) { seen = true; });
    FClient.SetActive(true);
    fake_td_queue_event(FileUpdate(1, true).c_str());
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    EXPECT_TRUE(PumpMainThreadQueueUntil([&] { return seen.load(); }, deadline));
    EXPECT_LT(std::chrono::steady_clock::now(), deadline);
  }
}

}  // namespace
}  // namespace qvn::test
