// The dispatcher, driven through the scripted fake TDLib: each event reaches its event and
// record handlers, options are taken in, and failures reach OnException while the loop goes on.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dispatch_fixture.h"
#include "fake_tdjson.h"
#include "client/qvnTelegram_Reading.h"
#include "json/qvnBase_Helpers.h"
#include "json/qvnJSON.h"
#include "sample_events.h"

namespace qvn::test {
namespace {

TEST_F(Dispatch, RoutesEachEventToItsEvent) {
  struct Case {
    std::string Text;
    Trace Expected;
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
    SCOPED_TRACE(c.Text.substr(0, 160));
    FTrace.clear();
    FClient.DoReadEvent(c.Text);
    EXPECT_EQ(FTrace, c.Expected);
  }
  EXPECT_TRUE(Requests().empty());
}

TEST_F(Dispatch, OptionsSetMyIdAndTDLibVersion) {
  FClient.DoReadEvent(MessageSample(3));
  FClient.DoReadEvent(SampleEvent("startup.jsonl", 1));
  EXPECT_EQ(FClient.MyId(), 5123456789);
  EXPECT_EQ(FClient.TDLibVersion(), "1.8.67");
  // A value that is no object, or an object without an inner value, changes nothing.
  FClient.DoReadEvent(R"({"@type":"updateOption","name":"my_id","value":"77"})");
  FClient.DoReadEvent(
      R"({"@type":"updateOption","name":"version","value":{"@type":"optionValueEmpty"}})");
  EXPECT_EQ(FClient.MyId(), 5123456789);
  EXPECT_EQ(FClient.TDLibVersion(), "1.8.67");
  // A number as well as a decimal text.
  FClient.DoReadEvent(R"({"@type":"updateOption","name":"my_id","value":{"value":42}})");
  EXPECT_EQ(FClient.MyId(), 42);
}

TEST_F(Dispatch, RecordEventsWithoutHandlersDoNothing) {
  FClient.OnMessageText = nullptr;
  FClient.OnMessageDocument = nullptr;
  FClient.OnMessagePhoto = nullptr;
  FClient.OnMessageVideo = nullptr;
  FClient.OnMessageSponsored = nullptr;
  FClient.OnNewChat = nullptr;
  FClient.OnNewCallbackQuery = nullptr;
  // With no handler the record is never read, so not even a broken one reports anything.
  const std::string brokenDocument =
      Replaced(MessageSample(29), R"("size":104857600)", R"("size":"abc")");
  for (const std::string& text :
       {MessageSample(33), brokenDocument, MessageSample(25), MessageSample(27),
        std::string(R"({"@type":"sponsoredMessage"})"), MessageSample(13), MessageSample(42)}) {
    FTrace.clear();
    FClient.DoReadEvent(text);
    EXPECT_EQ(FTrace, Trace{"before"}) << text.substr(0, 100);
  }
}

TEST_F(Dispatch, AHandlerMayClearItsOwnEventWhileItRuns) {
  const std::string tag(64, 'x');  // a capture that would dangle if the handler were freed
  FClient.OnMessageText = [this, tag](auto*, TqvnTelegramMessageText&) {
    FClient.OnMessageText = nullptr;
    FTrace.push_back(tag);
  };
  FClient.DoReadEvent(MessageSample(33));
  FClient.DoReadEvent(MessageSample(33));
  EXPECT_EQ(FTrace, (Trace{"before", tag, "before"}));
}

// Each text the dispatcher reads reaches OnEventDocument once, as the document the dispatcher
// goes on with, before any other event of that text.
TEST_F(Dispatch, OnEventDocumentHandsEachTextItsDocumentFirst) {
  std::vector<std::string> texts;
  FClient.OnEventDocument = [this, &texts](auto*, const TqvnJSON& aEvent,
                                           const std::string& aText) {
    const IqvnObjectJSON type = aEvent.GetNode("@type");
    FTrace.push_back("read " + (type ? PlainText(type) : std::string("-")));
    texts.push_back(aText);
  };
  const struct {
    std::string Text;
    Trace Expected;
  } cases[] = {
      {"", {}},
      {"{}", {"before", "read -"}},
      {"not json at all", {"before", "read -"}},
      {StateEvent("authorizationStateReady"),
       {"before", "read updateAuthorizationState", "status authorizationStateReady",
        "event updateAuthorizationState"}},
      {MessageSample(33),
       {"before", "read updateNewMessage",
        "text Line one\nLine two\n\nLine four after a blank line"}},
      {MessageSample(13), {"before", "read updateNewChat", "chat Семья 👨‍👩‍👧"}},
      {MessageSample(42), {"before", "read updateNewCallbackQuery", "callback cb:Next:436"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Text.substr(0, 160));
    FTrace.clear();
    texts.clear();
    FClient.DoReadEvent(c.Text);
    EXPECT_EQ(FTrace, c.Expected);
    EXPECT_EQ(texts, c.Text.empty() ? std::vector<std::string>{} : std::vector{c.Text});
  }

  // A text OnBeforeReadEvent handles is never read.
  FHandleAll = true;
  FTrace.clear();
  FClient.DoReadEvent(MessageSample(33));
  EXPECT_EQ(FTrace, Trace{"before"});
}

TEST_F(Dispatch, AFailingOrSelfClearingOnEventDocumentStopsOnlyItsOwnText) {
  FClient.OnEventDocument = [](auto*, const TqvnJSON&, const std::string&) {
    throw std::runtime_error("observer failed");
  };
  Deliver(MessageSample(33) + "\n");
  EXPECT_EQ(FTrace, (Trace{"before", "exception observer failed"}));

  const std::string tag(64, 'x');  // a capture that would dangle if the handler were freed
  FClient.OnEventDocument = [this, tag](auto*, const TqvnJSON&, const std::string&) {
    FClient.OnEventDocument = nullptr;
    FTrace.push_back(tag);
  };
  FTrace.clear();
  FClient.DoReadEvent(MessageSample(13));
  FClient.DoReadEvent(MessageSample(13));
  EXPECT_EQ(FTrace, (Trace{"before", tag, "chat Семья 👨‍👩‍👧", "before", "chat Семья 👨‍👩‍👧"}));
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
  FClient.OnMessageText = [&](auto*, TqvnTelegramMessageText& r) { delivered.push_back(Fields(r)); };
  FClient.OnMessageDocument = [&](auto*, TqvnTelegramMessageDocument& r) {
    delivered.push_back(Fields(r));
  };
  FClient.OnMessagePhoto = [&](auto*, TqvnTelegramMessagePhoto& r) {
    delivered.push_back(Fields(r));
  };
  FClient.OnMessageVideo = [&](auto*, TqvnTelegramMessageVideo& r) {
    delivered.push_back(Fields(r));
  };
  FClient.OnMessageSponsored = [&](auto*, TqvnTelegramMessageSponsored& r) {
    delivered.push_back(Fields(r));
  };
  const std::string nested = MessageSample(33);
  FClient.OnNewChat = [&](auto*, TqvnTelegramChat& r) {
    delivered.push_back(Fields(r));
    FClient.DoReadEvent(nested);
  };
  FClient.OnNewCallbackQuery = [&](auto*, TqvnTelegramCallbackQuery& r) {
    delivered.push_back(Fields(r));
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
    FClient.DoReadEvent(text);
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
  FClient.OnMessageVideo = [](auto*, TqvnTelegramMessageVideo&) {
    throw std::runtime_error("handler failed");
  };
  FClient.OnAuthenticationPassword = [](auto*, std::string&) {
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
  ASSERT_EQ(FTrace.size(), expected.size()) << ::testing::PrintToString(FTrace);
  for (size_t i = 0; i < FTrace.size(); ++i) {
    SCOPED_TRACE(i);
    if (expected[i] == "exception") {
      EXPECT_EQ(FTrace[i].rfind("exception ", 0), 0u) << FTrace[i];
    } else {
      EXPECT_EQ(FTrace[i], expected[i]);
    }
  }
  EXPECT_EQ(FClient.MyId(), 5123456789);  // the bad my_id left it alone
  EXPECT_TRUE(Requests().empty());       // no password went out after the prompt failed
}

TEST_F(Dispatch, AnApiIdThatIsNoNumberStopsTheParametersRequest) {
  FClient.Telegram().API().SetApiId("94575; DROP");
  Deliver(StateEvent("authorizationStateWaitTdlibParameters"));
  EXPECT_EQ(FTrace, (Trace{"before", "status authorizationStateWaitTdlibParameters",
                          "exception API id must be a decimal number"}));
  EXPECT_TRUE(Requests().empty());

  // The user corrects it; TDLib asks again and gets its answer.
  FClient.Telegram().API().SetApiId("94575");
  Deliver(StateEvent("authorizationStateWaitTdlibParameters"));
  ASSERT_EQ(Requests().size(), 1u);
  EXPECT_NE(Requests()[0].find(R"("api_id": 94575,)"), std::string::npos);
}

}  // namespace
}  // namespace qvn::test
