// Requests with answer handlers against the scripted fake TDLib: each answer reaches the handler
// of its own request, in whatever order TDLib answers; errors, refusals, timeouts, deactivation
// and destruction each end a request exactly once; handlers run where events run; a deadline
// fails only a request whose answer had not arrived, and ends the worker's wait by itself; a
// caller's own "@extra" of any shape is never taken for the client's tag.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "answers_test_support.h"
#include "base/qvnWebSocket_Helpers.h"
#include "client/qvnTelegram_RequestExtra.h"

namespace qvn::test {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;

// The answers echo the request they answer (without its "@extra"), so a test sees which
// request an answer was meant for.
TReply Echo(const nlohmann::json& aRequest) {
  nlohmann::json request = aRequest;
  request.erase("@extra");
  return TReply{R"({"@type":"echo","request":)" + request.dump() + "}"};
}

class Answers : public AnsweringFake {
 protected:
  void SetUp() override {
    AnsweringFake::SetUp();
    FScript = Echo;
    FClient.OnBeforeReadEvent = [this](auto*, const std::string& aText, bool& aHandled) {
      FSeen.push_back(aText);
      aHandled = FHandleAll;
    };
    FClient.OnException = [this](auto*, const std::exception& e) { FExceptions.push_back(e.what()); };
    FClient.SetActive(true);
    ASSERT_TRUE(FClient.Active());
    // The activation's own getAuthorizationState is answered like any request.
    PumpFor([this] { return FakeTextsRead(FClient); });
    PumpMainThreadQueue();
    FSeen.clear();
    FEvents.clear();
  }

  // The "request" member of an echo answer.
  static nlohmann::json Echoed(const TAnswered& aAnswered) {
    return nlohmann::json::parse(aAnswered.Answer.Text)["request"];
  }

  // Activates the client afresh, receiving as asked, and waits until the answer to the
  // activation's getAuthorizationState has been read.
  void Reactivate(bool aWaits, TwsNotifyEvent aMode, bool aJsonClient) {
    FClient.SetActive(false);
    FClient.SetWaitForEvents(aWaits);
    FClient.SetNotifyEvents(aMode);
    FClient.SetJsonClientInterface(aJsonClient);
    FClient.SetActive(true);
    PumpFor([this] {
      for (const std::string& event : Events()) {
        if (event.find("getAuthorizationState") != std::string::npos) return true;
      }
      return false;
    });
    ClearEvents();
  }

  std::vector<std::string> FSeen;  // OnBeforeReadEvent, on the main thread in these tests
  std::vector<std::string> FExceptions;
  bool FHandleAll = false;
};

TEST_F(Answers, AnswersInAnyOrderReachTheirOwnRequestsOnly) {
  Hold();
  FClient.GetUser(101, Record("user"));
  FClient.GetChat("-100200", Record("chat"));
  FClient.Send(R"({"@type": "getMe"})", Record("me"));
  FClient.GetProxies();  // no handler: its answer is an event as before
  ASSERT_EQ(Held(), 4u);
  for (const std::string& sent : fake_td::Sent()) {
    if (sent.find("getProxies") == std::string::npos &&
        sent.find("getAuthorizationState") == std::string::npos) {
      EXPECT_THAT(sent, HasSubstr(R"(, "@extra": "qvn#)"));
    }
  }
  ReleaseReversed();
  PumpUntilAnswered(3);
  PumpFor([this] { return FakeTextsRead(FClient); });

  const std::vector<TAnswered> answers = Answered();
  ASSERT_EQ(answers.size(), 3u);
  EXPECT_EQ(answers[0].Tag, "me");
  EXPECT_EQ(Echoed(answers[0])["@type"], "getMe");
  EXPECT_EQ(answers[1].Tag, "chat");
  EXPECT_EQ(Echoed(answers[1])["chat_id"], "-100200");
  EXPECT_EQ(answers[2].Tag, "user");
  EXPECT_EQ(Echoed(answers[2])["user_id"], 101);
  for (const TAnswered& a : answers) {
    SCOPED_TRACE(a.Tag);
    EXPECT_EQ(a.Answer.Kind, takAnswer);
    EXPECT_EQ(a.Answer.Type, "echo");
    EXPECT_EQ(a.Answer.Text.find("@extra"), std::string::npos) << "the client's tag came back";
    ASSERT_NE(a.Answer.Document, nullptr);
    EXPECT_TRUE(a.Answer.Document->GetNode("request"));
  }
  // Every text was offered to OnBeforeReadEvent as TDLib would have sent it without the tag;
  // only the answer without a handler went on to OnEvent.
  ASSERT_EQ(FSeen.size(), 4u) << ::testing::PrintToString(FSeen);
  for (const std::string& text : FSeen) EXPECT_THAT(text, Not(HasSubstr("qvn#")));
  ASSERT_EQ(Events().size(), 1u);
  EXPECT_THAT(Events()[0], HasSubstr("getProxies"));
}

TEST_F(Answers, ErrorsReachTheHandlerOfTheRequestThatFailed) {
  FScript = [](const nlohmann::json& aRequest) {
    if (aRequest["@type"] == "getChat") return TReply{ErrorText(400, R"(Chat \"x\" not found)")};
    return Echo(aRequest);
  };
  FClient.GetChat("1", Record("chat"));
  FClient.GetUser(2, Record("user"));
  PumpUntilAnswered(2);
  const std::vector<TAnswered> answers = Answered();
  EXPECT_EQ(answers[0].Tag, "chat");
  EXPECT_EQ(answers[0].Answer.Kind, takTDLibError);
  EXPECT_TRUE(answers[0].Answer.IsError());
  EXPECT_EQ(answers[0].Answer.Type, "error");
  EXPECT_EQ(answers[0].Answer.Code, 400);
  EXPECT_EQ(answers[0].Answer.Message, "Chat \"x\" not found");
  EXPECT_EQ(answers[1].Tag, "user");
  EXPECT_EQ(answers[1].Answer.Kind, takAnswer);
  EXPECT_THAT(Events(), IsEmpty());
}

TEST_F(Answers, ACallersOwnExtraIsKeptAndComesBackAsTDLibSendsIt) {
  // With a handler the client's tag travels in its place and the caller's is put back.
  FClient.Send(R"({"@type": "getMe", "@extra": {"mine": [1, "two"]}})", Record("mine"));
  // GetChats carries the client's Id() in "@extra" of its own.
  FClient.GetChats(9223372036854775807, 0, 10, Record("chats"));
  // Without a handler the text goes out untouched and the answer is an event.
  FClient.TDLibSend(R"({"@type": "getMe", "@extra": "caller"})");
  PumpUntilAnswered(2);
  PumpFor([this] { return Events().size() == 1; });

  const std::vector<std::string> sent = fake_td::Sent();
  ASSERT_EQ(sent.size(), 4u);
  EXPECT_THAT(sent[1], Not(HasSubstr("mine")));
  EXPECT_THAT(sent[2], Not(HasSubstr(std::to_string(FClient.Id()))));
  EXPECT_EQ(sent[3], R"({"@type": "getMe", "@extra": "caller"})");

  const std::vector<TAnswered> answers = Answered();
  EXPECT_THAT(answers[0].Answer.Text, HasSubstr(R"(,"@extra":{"mine":[1,"two"]}})"));
  EXPECT_EQ(answers[0].Answer.Document->GetNode("@extra")->GetNode("mine")->Count(), 2);
  EXPECT_THAT(answers[1].Answer.Text, HasSubstr(",\"@extra\":" + std::to_string(FClient.Id())));
  EXPECT_EQ(FSeen[0], answers[0].Answer.Text);
  EXPECT_THAT(Events()[0], HasSubstr(R"("@extra":"caller")"));
}

// Each refusal reaches the handler at once, before the request method returns, and sends nothing.
TEST_F(Answers, RequestsThatCannotBeSentAreRefusedAtOnce) {
  struct Case {
    const char* Name;
    std::function<void(TqvnTDLib_Telegram_Client&, const TqvnTelegramOnAnswer&)> Send;
    std::string Message;
  };
  const Case cases[] = {
      {"notAnObject", [](auto& c, auto& h) { c.Send("{\"@type\": \"getMe\"", h); },
       "The request text is refused: the end of the text where ',' or '}' was expected at byte "
       "17"},
      {"noInvoice",
       [](auto& c, auto& h) { c.SendInvoiceMessage("1", nullptr, nullptr, nullptr, h); },
       "SendInvoiceMessage: no invoice given; nothing was sent"},
      {"botChats",
       [](auto& c, auto& h) {
         c.Telegram().SetBotToken("1:x");
         c.GetChats(0, 0, 1, h);
         c.Telegram().SetBotToken("");
       },
       "A bot has no chat list: getChats was not sent"},
      {"inactive",
       [](auto& c, auto& h) {
         c.SetActive(false);
         c.GetUser(1, h);
       },
       "The client is not active: nothing was sent"},
  };
  const size_t sentBefore = fake_td::SentRequests().size();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    std::vector<TqvnTelegramAnswer> calls;
    c.Send(FClient, TqvnTelegramOnAnswer([&calls](auto*, const TqvnTelegramAnswer& aAnswer) {
             calls.push_back(aAnswer);
           }));
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].Kind, takNotSent);
    EXPECT_EQ(calls[0].Message, c.Message);
    EXPECT_EQ(calls[0].Document, nullptr);
  }
  EXPECT_EQ(fake_td::SentRequests().size(), sentBefore);
  // The refused invoice is still reported as before.
  EXPECT_THAT(FExceptions, ElementsAre("SendInvoiceMessage: no invoice given; nothing was sent"));
}

// A program's own text that TDLib cannot take is neither sent nor run, through every raw entry
// point: a handler hears why at once, otherwise OnException does, and Execute returns it too.
TEST_F(Answers, RefusedRawTextsNeverReachTDLib) {
  const std::string bad = "{\"@type\":\"testCallString\",\"x\":\"\xFF\"}";
  const std::string reason = "The request text is refused: invalid UTF-8 at byte 31";
  TqvnJSON document;
  document.AddPair("@type", "testCallString");
  document.AddPair("x", "\xFF");
  ASSERT_EQ(document.Text(), bad);
  const auto texts = [] {
    std::vector<std::string> all = fake_td::Sent();
    for (std::string& text : fake_td::JournalTexts("execute ")) all.push_back(std::move(text));
    return all;
  };
  const std::vector<std::string> before = texts();

  FClient.Send(bad, Record("text"));
  FClient.Send(document, Record("document"));
  FClient.Send(bad);
  FClient.Send(document);
  FClient.TDLibSend(bad);
  const TqvnTelegramAnswer executed = FClient.Execute(bad);
  const TqvnTelegramAnswer executedDocument = FClient.Execute(document);

  EXPECT_EQ(texts(), before);
  const std::vector<TAnswered> answers = Answered();
  ASSERT_EQ(answers.size(), 2u);
  for (const TAnswered& a : answers) {
    SCOPED_TRACE(a.Tag);
    EXPECT_EQ(a.Answer.Kind, takNotSent);
    EXPECT_EQ(a.Answer.Message, reason);
    EXPECT_EQ(a.Thread, std::this_thread::get_id());
  }
  for (const TqvnTelegramAnswer& answer : {executed, executedDocument}) {
    EXPECT_EQ(answer.Kind, takNotSent);
    EXPECT_EQ(answer.Message, reason);
  }
  EXPECT_EQ(FExceptions, std::vector<std::string>(5, reason));

  // Refused while inactive too, for the text's own reason.
  FClient.SetActive(false);
  EXPECT_EQ(FClient.Execute(bad).Message, reason);
  FClient.Send(bad, Record("inactive"));
  EXPECT_EQ(Answered().back().Answer.Message, reason);
}

TEST_F(Answers, ATimeoutEndsTheRequestOnceAndItsLateAnswerIsDropped) {
  Hold();
  FClient.GetUser(1, {Record("slow"), std::chrono::milliseconds(30)});
  FClient.GetUser(2, {Record("patient"), std::chrono::minutes(5)});
  PumpUntilAnswered(1);
  EXPECT_EQ(Answered()[0].Tag, "slow");
  EXPECT_EQ(Answered()[0].Answer.Kind, takTimedOut);
  EXPECT_EQ(Answered()[0].Answer.Message, "TDLib did not answer within 30 ms");

  ReleaseReversed();
  PumpUntilAnswered(2);
  PumpFor([this] { return FakeTextsRead(FClient); });
  PumpMainThreadQueue();
  const std::vector<TAnswered> answers = Answered();
  ASSERT_EQ(answers.size(), 2u);
  EXPECT_EQ(answers[1].Tag, "patient");
  EXPECT_EQ(answers[1].Answer.Kind, takAnswer);
  // The late answer was seen like every text, without the client's tag, and went nowhere else.
  ASSERT_EQ(FSeen.size(), 2u);
  for (const std::string& text : FSeen) EXPECT_THAT(text, Not(HasSubstr("qvn#")));
  EXPECT_THAT(Events(), IsEmpty());
}

// The answer is queued behind other texts before the deadline, and nothing is dispatched until
// the deadline has passed (the main thread does not pump): ticks or deliveries that then fail the
// request before taking what had arrived would report it as timed out.
TEST_F(Answers, AnAnswerThatArrivedBeforeItsDeadlineIsNeverReportedAsTimedOut) {
  struct Case {
    const char* Name;
    bool Waits;
    bool JsonClient;
  };
  for (const Case& c :
       {Case{"ticking", false, false}, Case{"ticking, td_json_client_*", false, true},
        Case{"waiting", true, false}, Case{"waiting, td_json_client_*", true, true}}) {
    SCOPED_TRACE(c.Name);
    Reactivate(c.Waits, neAsynchronous, c.JsonClient);
    FClient.SetEventsPerTick(1);
    const size_t before = Answered().size();
    for (int i = 0; i < 20; ++i) fake_td_queue_event(R"({"@type":"updateFiller"})");
    constexpr auto kTimeout = std::chrono::milliseconds(20);
    const auto deadline = std::chrono::steady_clock::now() + kTimeout;
    FClient.GetUser(1, {Record("answered"), kTimeout});
    std::this_thread::sleep_until(deadline + kTimeout);
    PumpUntilAnswered(before + 1);
    EXPECT_EQ(Answered().back().Answer.Kind, takAnswer);
  }
}

// TDLib answers nothing: only the deadline can end the worker's wait. The first request makes the
// worker wait five minutes; the second, filed during that wait, shortens it.
TEST_F(Answers, ADeadlineEndsTheWorkersWaitWhenNothingElseComes) {
  struct Case {
    const char* Name;
    bool Waits;
    TwsNotifyEvent Mode;
    bool JsonClient;
  };
  for (const Case& c : {Case{"ticking", false, neAsynchronous, false},
                        Case{"waiting, asynchronous", true, neAsynchronous, false},
                        Case{"waiting, synchronous", true, neSynchronous, false},
                        Case{"waiting, on the worker", true, neNoSync, false},
                        Case{"waiting, td_json_client_*", true, neAsynchronous, true}}) {
    SCOPED_TRACE(c.Name);
    Reactivate(c.Waits, c.Mode, c.JsonClient);
    const size_t before = Answered().size();
    Hold();
    FClient.GetUser(1, {Record("patient"), std::chrono::minutes(5)});
    // The worker settles into its wait for the patient request.
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    FClient.GetUser(2, {Record("hasty"), std::chrono::milliseconds(30)});
    PumpUntilAnswered(before + 1);
    ASSERT_EQ(Answered().size(), before + 1);
    EXPECT_EQ(Answered().back().Tag, "hasty");
    EXPECT_EQ(Answered().back().Answer.Kind, takTimedOut);
    ReleaseReversed();
    PumpUntilAnswered(before + 2);
    EXPECT_EQ(Answered().back().Tag, "patient");
    EXPECT_EQ(Answered().back().Answer.Kind, takAnswer);
    EXPECT_THAT(Events(), IsEmpty()) << "the wake-ups' answers reach nobody";
  }
}

// Shapes of the client's tags, the wake-up tag, a tag of this process that another client could
// have filed, and a copy of one of this client's answered requests: sent raw, each answer reaches
// the events as TDLib echoes it; sent with a handler, each comes back to its handler; and the
// request that waits meanwhile still gets its own answer.
TEST_F(Answers, ACallersOwnExtraOfAnyShapeComesBackToIt) {
  FClient.GetUser(301, Record("answered"));
  PumpUntilAnswered(1);
  std::string answeredTag;
  for (const std::string& sent : fake_td::Sent()) {
    if (sent.find("301") != std::string::npos) answeredTag = ExtraValueOf(sent);
  }
  ASSERT_NE(answeredTag, "");
  Hold();
  FClient.GetUser(302, Record("waiting"));
  const std::vector<std::string> extras = {R"("qvn#1")",
                                           R"("qvn#0000001")",
                                           R"("qvn#ffffffffffffffff#1")",
                                           R"("qvn#")",
                                           TqvnTelegramPendingRequests::WakeTag(),
                                           TqvnTelegramPendingRequests::NewTag(),
                                           answeredTag};
  for (const std::string& extra : extras) {
    const std::string request = R"({"@type": "getMe", "@extra": )" + extra + "}";
    FClient.TDLibSend(request);
    FClient.Send(request, Record(extra));
  }
  ReleaseReversed();
  PumpUntilAnswered(2 + extras.size());
  PumpFor([&] { return Events().size() >= extras.size(); });

  std::vector<std::string> eventExtras;
  for (const std::string& event : Events()) {
    eventExtras.emplace_back(ExtraValueOf(event.substr(event.find('{'))));
  }
  EXPECT_THAT(eventExtras, ::testing::UnorderedElementsAreArray(extras));
  const std::vector<TAnswered> answers = Answered();
  ASSERT_EQ(answers.size(), 2 + extras.size());
  for (const TAnswered& answered : answers) {
    SCOPED_TRACE(answered.Tag);
    ASSERT_EQ(answered.Answer.Kind, takAnswer);
    if (answered.Tag == "waiting") {
      EXPECT_EQ(Echoed(answered)["user_id"], 302);
    } else if (answered.Tag != "answered") {
      EXPECT_EQ(ExtraValueOf(answered.Answer.Text), answered.Tag);
    }
  }
}

TEST_F(Answers, DeactivationAndDestructionEndEveryWaitingRequest) {
  Hold();
  FClient.GetUser(1, Record("first"));
  FClient.Send(R"({"@type":"getMe"})", Record("second"));
  FClient.SetActive(false);
  // At once, in sending order, on the deactivating thread.
  std::vector<TAnswered> answers = Answered();
  ASSERT_EQ(answers.size(), 2u);
  EXPECT_EQ(answers[0].Tag, "first");
  EXPECT_EQ(answers[1].Tag, "second");
  for (const TAnswered& a : answers) {
    EXPECT_EQ(a.Answer.Kind, takDeactivated);
    EXPECT_EQ(a.Answer.Message, "The client was deactivated before TDLib answered");
    EXPECT_EQ(a.Thread, std::this_thread::get_id());
  }

  auto other = std::make_unique<TestClient>();
  other->SetActive(true);
  other->GetUser(3, Record("third"));
  other.reset();
  answers = Answered();
  ASSERT_EQ(answers.size(), 3u);
  EXPECT_EQ(answers[2].Answer.Kind, takDestroyed);
  EXPECT_EQ(answers[2].Answer.Message, "The client was destroyed before TDLib answered");

  // Their answers never come to anyone: the TDLib clients are gone.
  const size_t released = Held();
  const size_t readBefore = FClient.TextsRead();
  ReleaseReversed();
  FClient.SetActive(true);
  PumpFor([&] { return FClient.TextsRead() >= readBefore + released; });
  PumpMainThreadQueue();
  EXPECT_EQ(Answered().size(), 3u);
}

TEST_F(Answers, HandlersRunWhereEventsRun) {
  struct Case {
    TwsNotifyEvent Mode;
    bool OnMainThread;
  };
  for (const Case& c :
       {Case{neAsynchronous, true}, Case{neSynchronous, true}, Case{neNoSync, false}}) {
    SCOPED_TRACE(c.Mode);
    FClient.SetActive(false);
    FClient.SetNotifyEvents(c.Mode);
    FClient.SetActive(true);
    const size_t before = Answered().size();
    FClient.GetUser(7, Record("user"));
    PumpUntilAnswered(before + 1);
    EXPECT_EQ(Answered().back().Thread == std::this_thread::get_id(), c.OnMainThread);
  }
}

TEST_F(Answers, AFailingHandlerIsReportedAndOthersStillRun) {
  FClient.GetUser(1, [](auto*, const TqvnTelegramAnswer&) { throw std::runtime_error("boom"); });
  FClient.GetUser(2, Record("after"));
  // Handled in OnBeforeReadEvent suppresses events, never an answer's own handler.
  FHandleAll = true;
  PumpUntilAnswered(1);
  EXPECT_EQ(Answered()[0].Tag, "after");
  EXPECT_THAT(FExceptions, ElementsAre("boom"));
}

TEST_F(Answers, SendTakesADocumentAndExecuteReturnsTheAnswer) {
  TqvnJSON request;
  request.AddPair("@type", "getUser");
  request.AddPair("user_id", 5);
  FClient.Send(request, Record("document"));
  PumpUntilAnswered(1);
  EXPECT_EQ(Echoed(Answered()[0])["user_id"], 5);

  const TqvnTelegramAnswer executed = FClient.Execute(R"({"@type":"getTextEntities","text":"a"})");
  EXPECT_EQ(executed.Kind, takAnswer);
  EXPECT_EQ(executed.Type, "textEntities");  // the fake finds none
  EXPECT_EQ(fake_td::JournalTexts("execute ").back(), R"({"@type":"getTextEntities","text":"a"})");

  FClient.SetActive(false);
  const TqvnTelegramAnswer inactive = FClient.Execute(request);
  EXPECT_EQ(inactive.Kind, takNotSent);
  EXPECT_EQ(inactive.Message, "The client is not active: nothing was run");
}

// Requests sent from several threads while the worker answers them and the client is then
// deactivated: every handler runs exactly once. Run under ThreadSanitizer too.
TEST_F(Answers, ConcurrentSendersEachGetOneEnd) {
  FClient.SetActive(false);
  FClient.SetNotifyEvents(neNoSync);
  FClient.SetActive(true);
  constexpr int kThreads = 4;
  constexpr int kEach = 50;
  std::atomic<int> calls{0};
  std::vector<std::atomic<int>> perRequest(kThreads * kEach);
  std::vector<std::thread> senders;
  for (int t = 0; t < kThreads; ++t) {
    senders.emplace_back([&, t] {
      for (int i = 0; i < kEach; ++i) {
        const int index = t * kEach + i;
        FClient.GetUser(index, [&, index](auto*, const TqvnTelegramAnswer&) {
          ++perRequest[index];
          ++calls;
        });
      }
    });
  }
  for (std::thread& sender : senders) sender.join();
  // Some are answered by now, the rest end with the deactivation.
  FClient.SetActive(false);
  EXPECT_EQ(calls.load(), kThreads * kEach);
  for (int i = 0; i < kThreads * kEach; ++i) EXPECT_EQ(perRequest[i].load(), 1) << i;
}

}  // namespace
}  // namespace qvn::test
