// The dispatcher and the login flow, driven through the scripted fake TDLib: events queued in
// the fake reach the client through its receive ticks, which the test runs by pumping the
// main-thread queue; the fake's journal shows what the client sent back.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "base/qvnWebSocket_Helpers.h"
#include "client/qvnLibs.h"
#include "client/qvnTelegram_RequestExtra.h"
#include "fake_tdjson.h"
#include "json/qvnBase_Helpers.h"
#include "json/qvnJSON.h"
#include "sample_events.h"

namespace qvn {
namespace {

using test::MessageSample;
using test::Replaced;
using test::SampleEvent;
using Trace = std::vector<std::string>;

std::string StateEvent(const std::string& aState) {
  return R"({"@type":"updateAuthorizationState","authorization_state":{"@type":")" + aState +
         R"("}})";
}

std::string VersionEvent(const std::string& aVersion) {
  return R"({"@type":"updateOption","name":"version","value":{"@type":"optionValueString","value":")" +
         aVersion + R"("}})";
}

// Opens the dispatcher to direct calls.
class TestClient : public TqvnTDLib_Telegram {
 public:
  using TqvnTDLib_Telegram::DoReadEvent;
  using TqvnTDLib_Telegram::TqvnTDLib_Telegram;
  // Ticks on a worker end before this class is torn down.
  ~TestClient() override { EndForDestruction(); }
};

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
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    PumpMainThreadQueueUntil([deadline] {
      return fake_td_pending_events() == 0 || std::chrono::steady_clock::now() > deadline;
    });
    ASSERT_EQ(fake_td_pending_events(), 0u) << "the client stopped taking events";
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

// ---- Login ----

struct UserLoginCase {
  const char* name;
  std::string versionEvents;  // what TDLib reports before asking for the parameters
  std::string version;        // TDLibVersion when the parameters are sent
  bool flat;                  // the flat parameters layout is expected
};

void PrintTo(const UserLoginCase& aCase, std::ostream* aStream) {
  *aStream << aCase.name;
}

class UserLogin : public Dispatch, public ::testing::WithParamInterface<UserLoginCase> {};

TEST_P(UserLogin, AnswersEveryStateUntilReady) {
  const UserLoginCase& c = GetParam();
  fake_td_respond("setTdlibParameters", StateEvent("authorizationStateWaitEncryptionKey").c_str());
  fake_td_respond("checkDatabaseEncryptionKey",
                  StateEvent("authorizationStateWaitPhoneNumber").c_str());
  fake_td_respond("setAuthenticationPhoneNumber", StateEvent("authorizationStateWaitCode").c_str());
  fake_td_respond("checkAuthenticationCode",
                  StateEvent("authorizationStateWaitRegistration").c_str());
  fake_td_respond("registerUser", StateEvent("authorizationStateWaitPassword").c_str());
  fake_td_respond("checkAuthenticationPassword",
                  (StateEvent("authorizationStateReady") + "\n" + MessageSample(3)).c_str());

  Deliver(c.versionEvents + "\n" + StateEvent("authorizationStateWaitTdlibParameters"));

  Trace expected;
  for (size_t i = 0; i < 2 && !c.versionEvents.empty(); ++i) {
    expected.insert(expected.end(), {"before", "event updateOption"});
  }
  expected.insert(expected.end(), {"before",
                                   "status authorizationStateWaitTdlibParameters",  //
                                   "before",
                                   "status authorizationStateWaitEncryptionKey",  //
                                   "before",
                                   "status authorizationStateWaitPhoneNumber",  //
                                   "before",
                                   "status authorizationStateWaitCode",
                                   "code",  //
                                   "before",
                                   "status authorizationStateWaitRegistration",
                                   "register",
                                   "before",
                                   "status authorizationStateWaitPassword",
                                   "password",
                                   "before",
                                   "status authorizationStateReady",
                                   "event updateAuthorizationState",
                                   "before",
                                   "event updateOption"});
  EXPECT_EQ(trace, expected);
  EXPECT_EQ(client.TDLibVersion(), c.version);
  EXPECT_EQ(client.MyId(), 5123456789);

  const std::vector<std::string> requests = Requests();
  ASSERT_EQ(requests.size(), 6u);
  const std::string parametersStart =
      c.flat ? R"({"@type": "setTdlibParameters", "database_directory": "tdlib",)"
             : R"({"@type": "setTdlibParameters", "parameters": {"database_directory": "tdlib",)";
  EXPECT_EQ(requests[0].substr(0, parametersStart.size()), parametersStart) << requests[0];
  EXPECT_NE(requests[0].find(R"("api_id": 94575,"api_hash": "a3406de8d171bb422bb6ddf3bbd800e2")"),
            std::string::npos);
  EXPECT_EQ(requests[1], R"({"@type": "checkDatabaseEncryptionKey", "encryption_key": "ayJleQ=="})");
  EXPECT_EQ(requests[2],
            R"({"@type": "setAuthenticationPhoneNumber", "phone_number": "+15550100"})");
  EXPECT_EQ(requests[3], R"({"@type": "checkAuthenticationCode", "code": "24680"})");
  EXPECT_EQ(requests[4],
            R"({"@type": "registerUser", "first_name": "Zo\u00EB", "last_name": "O'Neil"})");
  EXPECT_EQ(requests[5], R"({"@type": "checkAuthenticationPassword", "password": "pa\"ss\\word"})");
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, UserLogin,
    ::testing::Values(
        // Before TDLib names its version the client assumes an old one.
        UserLoginCase{"NoVersionReported", "", "1.6.4", false},
        // What TDLib 1.8.67 really reports first.
        UserLoginCase{"TDLib1_8_67",
                      SampleEvent("startup.jsonl", 1) + "\n" + SampleEvent("startup.jsonl", 2),
                      "1.8.67", true},
        UserLoginCase{"TDLib1_10_0", VersionEvent("1.10.0") + "\n" + VersionEvent("1.10.0"),
                      "1.10.0", true},
        UserLoginCase{"TDLib1_8_1", VersionEvent("1.8.1") + "\n" + VersionEvent("1.8.1"), "1.8.1",
                      false}),
    [](const auto& info) { return std::string(info.param.name); });

// TDLib's answer to a refused database key is reported as a clear error, and still reaches
// OnEvent as every error does; errors of other requests only reach OnEvent.
TEST_F(Dispatch, RefusedDatabaseKeyReachesOnException) {
  Deliver(
      R"({"@type":"error","code":401,"message":"Wrong database encryption key",)"
      R"("@extra":"setTdlibParameters"})"
      "\n"
      R"({"@type":"error","code":400,"message":"Wrong password","@extra":"checkDatabaseEncryptionKey"})"
      "\n"
      R"({"@type":"error","code":400,"message":"Wrong password","@extra":12})");
  EXPECT_EQ(trace, (Trace{"before",
                          "exception The database encryption key was refused (TDLib error 401: "
                          "Wrong database encryption key)",
                          "event error", "before",
                          "exception The database encryption key was refused (TDLib error 400: "
                          "Wrong password)",
                          "event error", "before", "event error"}));
}

TEST_F(Dispatch, BotLoginAnswersThePhoneStateWithTheTokenOnly) {
  client.Telegram().SetBotToken("123456:AA\"bot\\token");
  fake_td_respond("setTdlibParameters", StateEvent("authorizationStateWaitPhoneNumber").c_str());
  fake_td_respond("checkAuthenticationBotToken", StateEvent("authorizationStateReady").c_str());

  Deliver(SampleEvent("startup.jsonl", 1) + "\n" +
          StateEvent("authorizationStateWaitTdlibParameters"));

  const std::vector<std::string> requests = Requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0].rfind(R"({"@type": "setTdlibParameters", "database_directory")", 0), 0u);
  EXPECT_EQ(requests[1],
            R"({"@type": "checkAuthenticationBotToken", "token": "123456:AA\"bot\\token"})");
  EXPECT_EQ(trace, (Trace{"before", "event updateOption",  //
                          "before", "status authorizationStateWaitTdlibParameters", "before",
                          "status authorizationStateWaitPhoneNumber", "before",
                          "status authorizationStateReady", "event updateAuthorizationState"}));
}

TEST_F(Dispatch, AStateReportedTwiceIsAnsweredTwice) {
  int codes = 0;
  client.OnAuthenticationCode = [&codes](auto*, std::string& Code) {
    Code = std::to_string(++codes);
  };
  // The parameters name the folder locked at activation, whatever the option says by now.
  client.Telegram().SetDatabaseDirectory("elsewhere");
  Deliver(StateEvent("authorizationStateWaitTdlibParameters") + "\n" +
          StateEvent("authorizationStateWaitTdlibParameters") + "\n" +
          StateEvent("authorizationStateWaitCode") + "\n" +
          StateEvent("authorizationStateWaitCode"));

  const std::vector<std::string> requests = Requests();
  ASSERT_EQ(requests.size(), 4u);
  EXPECT_EQ(requests[0], requests[1]);
  EXPECT_NE(requests[0].find(R"("database_directory": "tdlib")"), std::string::npos);
  EXPECT_EQ(requests[2], R"({"@type": "checkAuthenticationCode", "code": "1"})");
  EXPECT_EQ(requests[3], R"({"@type": "checkAuthenticationCode", "code": "2"})");
}

// An empty answer, or none, leaves the prompt to the program, which answers later.
TEST_F(Dispatch, PromptsLeftEmptySendNothing) {
  client.OnAuthenticationCode = nullptr;
  client.OnAuthenticationPassword = [](auto*, std::string&) {};
  client.OnRegisterUser = [](auto*, std::string&, std::string& LastName) { LastName = "Only"; };
  client.Telegram().SetPhoneNumber("");
  Deliver(StateEvent("authorizationStateWaitPhoneNumber") + "\n" +
          StateEvent("authorizationStateWaitCode") + "\n" +
          StateEvent("authorizationStateWaitRegistration") + "\n" +
          StateEvent("authorizationStateWaitPassword"));
  EXPECT_TRUE(Requests().empty());
  EXPECT_EQ(client.AuthorizationState(), "authorizationStateWaitPassword");
}

TEST_F(Dispatch, HandledSuppressesEverythingForThatText) {
  handleAll = true;
  const std::string events[] = {
      StateEvent("authorizationStateWaitTdlibParameters"),
      StateEvent("authorizationStateWaitPhoneNumber"),
      StateEvent("authorizationStateWaitCode"),
      MessageSample(3),   // my_id
      MessageSample(62),  // connection state
      MessageSample(33),  // text message
      MessageSample(13),  // new chat
      MessageSample(42),  // callback query
      MessageSample(51),  // error
  };
  std::string all;
  for (const std::string& event : events) all += event + "\n";
  Deliver(all);

  EXPECT_EQ(trace, Trace(std::size(events), "before"));
  EXPECT_TRUE(Requests().empty());
  EXPECT_EQ(client.MyId(), 0);
}

// ---- Routing ----

TEST_F(Dispatch, RoutesEachEventToItsEvent) {
  struct Case {
    std::string text;
    Trace expected;
  };
  const std::vector<Case> cases = {
      {"", {}},
      {"{}", {"before"}},
      {"not json at all", {"before"}},
      {R"({"name":"version"})", {"before"}},
      {SampleEvent("startup.jsonl", 2), {"before", "event updateOption"}},
      {MessageSample(4), {"before", "event updateOption"}},
      {MessageSample(62), {"before", "connection connectionStateReady"}},
      {R"({"@type":"updateConnectionState"})", {"before", "event updateConnectionState"}},
      {StateEvent("authorizationStateReady"),
       {"before", "status authorizationStateReady", "event updateAuthorizationState"}},
      {StateEvent("authorizationStateLoggingOut"),
       {"before", "status authorizationStateLoggingOut", "event updateAuthorizationState"}},
      {StateEvent("authorizationStateClosed"), {"before", "status authorizationStateClosed"}},
      {R"({"@type":"updateAuthorizationState"})", {"before"}},
      // Only the update drives the login; the bare state object is an ordinary answer.
      {R"({"@type":"authorizationStateWaitPhoneNumber"})",
       {"before", "event authorizationStateWaitPhoneNumber"}},
      {MessageSample(33), {"before", "text Line one\nLine two\n\nLine four after a blank line"}},
      {MessageSample(29), {"before", "document presentation \"final\" v2.pptx"}},
      {MessageSample(25), {"before", "photo 20801"}},
      {MessageSample(27), {"before", "video 523"}},
      {MessageSample(54), {"before", "event updateNewMessage"}},  // a sticker
      {R"({"@type":"updateNewMessage","message":{"id":1}})", {"before"}},
      {R"({"@type":"updateNewMessage"})", {"before"}},
      {R"({"@type":"sponsoredMessage","message_id":1,"content":{"text":{"text":"Ad"}}})",
       {"before", "sponsored Ad"}},
      // TDLib 1.8.67 answers getChatSponsoredMessages with a list: one event per element.
      {R"({"@type":"sponsoredMessages","messages":[{"@type":"sponsoredMessage","message_id":1048576,)"
       R"("is_recommended":false,"can_be_reported":true,"content":{"@type":"messageText","text":)"
       R"({"@type":"formattedText","text":"First \"ad\"","entities":[]}},"sponsor":{"@type":)"
       R"("messageSponsor","url":"https://t.me/x","info":""},"title":"X","button_text":"Open"},)"
       R"({"@type":"sponsoredMessage","message_id":2097152,"content":{"@type":"messageText",)"
       R"("text":{"@type":"formattedText","text":"Second","entities":[]}}}],"messages_between":0})",
       {"before", "sponsored First \"ad\"", "sponsored Second"}},
      {R"({"@type":"sponsoredMessages","messages":[],"messages_between":0})", {"before"}},
      {R"({"@type":"sponsoredMessages"})", {"before"}},
      {MessageSample(13), {"before", "chat Семья 👨‍👩‍👧"}},
      {MessageSample(42), {"before", "callback cb:Next:436"}},
      {MessageSample(51), {"before", "event error"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text.substr(0, 160));
    trace.clear();
    client.DoReadEvent(c.text);
    EXPECT_EQ(trace, c.expected);
  }
  EXPECT_TRUE(Requests().empty());
}

TEST_F(Dispatch, OptionsSetMyIdAndTDLibVersion) {
  client.DoReadEvent(MessageSample(3));
  client.DoReadEvent(SampleEvent("startup.jsonl", 1));
  EXPECT_EQ(client.MyId(), 5123456789);
  EXPECT_EQ(client.TDLibVersion(), "1.8.67");
  // A value that is no object, or an object without an inner value, changes nothing.
  client.DoReadEvent(R"({"@type":"updateOption","name":"my_id","value":"77"})");
  client.DoReadEvent(
      R"({"@type":"updateOption","name":"version","value":{"@type":"optionValueEmpty"}})");
  EXPECT_EQ(client.MyId(), 5123456789);
  EXPECT_EQ(client.TDLibVersion(), "1.8.67");
  // A number as well as a decimal text.
  client.DoReadEvent(R"({"@type":"updateOption","name":"my_id","value":{"value":42}})");
  EXPECT_EQ(client.MyId(), 42);
}

TEST_F(Dispatch, RecordEventsWithoutHandlersDoNothing) {
  client.OnMessageText = nullptr;
  client.OnMessageDocument = nullptr;
  client.OnMessagePhoto = nullptr;
  client.OnMessageVideo = nullptr;
  client.OnMessageSponsored = nullptr;
  client.OnNewChat = nullptr;
  client.OnNewCallbackQuery = nullptr;
  // With no handler the record is never read, so not even a broken one reports anything.
  const std::string brokenDocument =
      Replaced(MessageSample(29), R"("size":104857600)", R"("size":"abc")");
  for (const std::string& text :
       {MessageSample(33), brokenDocument, MessageSample(25), MessageSample(27),
        std::string(R"({"@type":"sponsoredMessage"})"), MessageSample(13), MessageSample(42)}) {
    trace.clear();
    client.DoReadEvent(text);
    EXPECT_EQ(trace, Trace{"before"}) << text.substr(0, 100);
  }
}

TEST_F(Dispatch, AHandlerMayClearItsOwnEventWhileItRuns) {
  const std::string tag(64, 'x');  // a capture that would dangle if the handler were freed
  client.OnMessageText = [this, tag](auto*, TqvnTelegramMessageText&) {
    client.OnMessageText = nullptr;
    trace.push_back(tag);
  };
  client.DoReadEvent(MessageSample(33));
  client.DoReadEvent(MessageSample(33));
  EXPECT_EQ(trace, (Trace{"before", tag, "before"}));
}

// Every field of each record, as text, to compare a delivered record with a fresh read.
std::string Fields(TqvnTelegramMessageBase& aRecord) {
  return aRecord.ChatId() + "|" + std::to_string(aRecord.MessageId()) + "|" +
         std::to_string(aRecord.SenderUserId()) + "|" + aRecord.SenderUser().UserId() + "|" +
         aRecord.SenderChat().ChatId() + "|" + aRecord.CaptionText();
}
std::string Fields(TqvnTelegramMessageText& aRecord) {
  return "text " + Fields(static_cast<TqvnTelegramMessageBase&>(aRecord)) + "|" + aRecord.Text();
}
std::string Fields(TqvnTelegramMessageDocument& aRecord) {
  return "document " + Fields(static_cast<TqvnTelegramMessageBase&>(aRecord)) + "|" +
         aRecord.FileName() + "|" + aRecord.DocumentId() + "|" + aRecord.LocalPath() + "|" +
         aRecord.MimeType() + "|" + aRecord.RemoteDocumentId() + "|" +
         std::to_string(aRecord.Size());
}
std::string Fields(TqvnTelegramMessagePhoto& aRecord) {
  return "photo " + Fields(static_cast<TqvnTelegramMessageBase&>(aRecord)) + "|" +
         aRecord.LocalPath() + "|" + aRecord.PhotoId() + "|" + aRecord.RemotePhotoId() + "|" +
         std::to_string(aRecord.Size());
}
std::string Fields(TqvnTelegramMessageVideo& aRecord) {
  return "video " + Fields(static_cast<TqvnTelegramMessageBase&>(aRecord)) + "|" +
         aRecord.LocalPath() + "|" + aRecord.RemoteVideoId() + "|" +
         std::to_string(aRecord.Duration()) + "|" + std::to_string(aRecord.Height()) + "|" +
         std::to_string(aRecord.Size()) + "|" + aRecord.VideoId() + "|" +
         std::to_string(aRecord.Width());
}
std::string Fields(TqvnTelegramMessageSponsored& aRecord) {
  return "sponsored " + aRecord.MessageId() + "|" + aRecord.SponsorChatId() + "|" + aRecord.Text();
}
std::string Fields(TqvnTelegramChat& aRecord) {
  return "chat " + aRecord.ChatId() + "|" + aRecord.ChatType() + "|" +
         std::to_string(aRecord.IsChannel()) + "|" + std::to_string(aRecord.SuperGroupId()) + "|" +
         aRecord.Title();
}
std::string Fields(TqvnTelegramCallbackQuery& aRecord) {
  return "callback " + aRecord.ChatId() + "|" + aRecord.ChatInstance() + "|" + aRecord.Id() + "|" +
         std::to_string(aRecord.MessageId()) + "|" + aRecord.PayLoadData().Data() + "|" +
         std::to_string(aRecord.SenderUserId());
}

// The record a firer would build for aText if it read the text on its own.
template <class TRecord>
std::string FreshFields(const std::string& aText) {
  TRecord record;
  record.ReadJSON(aText);
  return Fields(record);
}

// The firers fill their records from the document the dispatcher has already read; the records
// must be exactly those a read of the text gives, also for an event dispatched from inside the
// handler of another one.
TEST_F(Dispatch, RecordsAreThoseAFreshReadOfTheTextGives) {
  Trace delivered;
  client.OnMessageText = [&](auto*, TqvnTelegramMessageText& R) { delivered.push_back(Fields(R)); };
  client.OnMessageDocument = [&](auto*, TqvnTelegramMessageDocument& R) {
    delivered.push_back(Fields(R));
  };
  client.OnMessagePhoto = [&](auto*, TqvnTelegramMessagePhoto& R) {
    delivered.push_back(Fields(R));
  };
  client.OnMessageVideo = [&](auto*, TqvnTelegramMessageVideo& R) {
    delivered.push_back(Fields(R));
  };
  client.OnMessageSponsored = [&](auto*, TqvnTelegramMessageSponsored& R) {
    delivered.push_back(Fields(R));
  };
  const std::string nested = MessageSample(33);
  client.OnNewChat = [&](auto*, TqvnTelegramChat& R) {
    delivered.push_back(Fields(R));
    client.DoReadEvent(nested);
  };
  client.OnNewCallbackQuery = [&](auto*, TqvnTelegramCallbackQuery& R) {
    delivered.push_back(Fields(R));
  };

  Trace expected;
  std::vector<std::string> texts;
  for (size_t line = 1;; ++line) {
    try {
      texts.push_back(MessageSample(line));
    } catch (const std::runtime_error&) {
      break;
    }
  }
  texts.push_back(R"({"@type":"sponsoredMessage","message_id":7,"sponsor_chat_id":-5,)"
                  R"("content":{"text":{"text":"Ad \"one\""}}})");
  for (const std::string& text : texts) {
    delivered.clear();
    client.DoReadEvent(text);
    TqvnJSON document;
    document.Read(text);
    const IqvnObjectJSON type = document.GetNode("@type");
    const std::string kind = type ? type->Value().AsString() : "";
    const IqvnObjectJSON content = kind == "updateNewMessage" && document.GetNode("message")
                                       ? document.GetNode("message")->GetNode("content")
                                       : nullptr;
    const std::string contentKind =
        content && content->GetNode("@type") ? content->GetNode("@type")->Value().AsString() : "";
    expected.clear();
    if (contentKind == "messageText") {
      expected.push_back(FreshFields<TqvnTelegramMessageText>(text));
    } else if (contentKind == "messageDocument") {
      expected.push_back(FreshFields<TqvnTelegramMessageDocument>(text));
    } else if (contentKind == "messagePhoto") {
      expected.push_back(FreshFields<TqvnTelegramMessagePhoto>(text));
    } else if (contentKind == "messageVideo") {
      expected.push_back(FreshFields<TqvnTelegramMessageVideo>(text));
    }
    if (kind == "sponsoredMessage") {
      expected.push_back(FreshFields<TqvnTelegramMessageSponsored>(text));
    }
    if (kind == "updateNewChat") {
      expected.push_back(FreshFields<TqvnTelegramChat>(text));
      expected.push_back(FreshFields<TqvnTelegramMessageText>(nested));
    }
    if (kind == "updateNewCallbackQuery") {
      expected.push_back(FreshFields<TqvnTelegramCallbackQuery>(text));
    }
    EXPECT_EQ(delivered, expected) << text.substr(0, 160);
  }
}

// ---- Failures ----

TEST_F(Dispatch, FailuresReachOnExceptionAndTheLoopGoesOn) {
  client.OnMessageVideo = [](auto*, TqvnTelegramMessageVideo&) {
    throw std::runtime_error("handler failed");
  };
  client.OnAuthenticationPassword = [](auto*, std::string&) {
    throw std::runtime_error("prompt cancelled");
  };
  const std::string events[] = {
      MessageSample(3),  // my_id 5123456789
      Replaced(MessageSample(29), R"("size":104857600)", R"("size":"abc")"),
      MessageSample(33),
      R"({"@type":"updateOption","name":"my_id","value":{"@type":"optionValueInteger","value":"x"}})",
      R"({"@type":"updateOption","name":"my_id"})",
      R"({"@type":"updateAuthorizationState","authorization_state":{"x":1}})",
      R"({"@type":"updateConnectionState","state":{}})",
      R"({"@type":"updateNewMessage","message":{"content":{}}})",
      Replaced(MessageSample(13), R"("title":"\u0421)", R"("title":"\x)"),
      MessageSample(27),
      StateEvent("authorizationStateWaitPassword"),
      MessageSample(42),
  };
  std::string all;
  for (const std::string& event : events) all += event + "\n";
  Deliver(all);

  const Trace expected = {
      "before",
      "event updateOption",
      "before",
      "exception",
      "before",
      "text Line one\nLine two\n\nLine four after a blank line",
      "before",
      "exception",
      "before",
      "exception",
      "before",
      "exception",
      "before",
      "exception",
      "before",
      "exception",
      "before",
      "exception Invalid code at position 1",
      "before",
      "exception handler failed",
      "before",
      "status authorizationStateWaitPassword",
      "exception prompt cancelled",
      "before",
      "callback cb:Next:436",
  };
  ASSERT_EQ(trace.size(), expected.size()) << ::testing::PrintToString(trace);
  for (size_t i = 0; i < trace.size(); ++i) {
    SCOPED_TRACE(i);
    if (expected[i] == "exception") {
      EXPECT_EQ(trace[i].rfind("exception ", 0), 0u) << trace[i];
    } else {
      EXPECT_EQ(trace[i], expected[i]);
    }
  }
  EXPECT_EQ(client.MyId(), 5123456789);  // the bad my_id left it alone
  EXPECT_TRUE(Requests().empty());       // no password went out after the prompt failed
}

TEST_F(Dispatch, AnApiIdThatIsNoNumberStopsTheParametersRequest) {
  client.Telegram().API().SetApiId("94575; DROP");
  Deliver(StateEvent("authorizationStateWaitTdlibParameters"));
  EXPECT_EQ(trace, (Trace{"before", "status authorizationStateWaitTdlibParameters",
                          "exception API id must be a decimal number"}));
  EXPECT_TRUE(Requests().empty());

  // The user corrects it; TDLib asks again and gets its answer.
  client.Telegram().API().SetApiId("94575");
  Deliver(StateEvent("authorizationStateWaitTdlibParameters"));
  ASSERT_EQ(Requests().size(), 1u);
  EXPECT_NE(Requests()[0].find(R"("api_id": 94575,)"), std::string::npos);
}

}  // namespace
}  // namespace qvn
