// Hostile event texts through the receive tick and the dispatcher, with every event assigned:
// each text has one clear outcome (ignored, one OnException, or the event its readable part
// names) and the good event queued after it still arrives.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "fake_tdjson.h"
#include "stress_support.h"

namespace qvn::test {
namespace {

using ::testing::ElementsAreArray;

constexpr const char* kGoodEvent = "{\"@type\":\"updateSomethingGood\",\"n\":1}";

std::string Repeated(const std::string& aPiece, size_t aTimes) {
  std::string text;
  text.reserve(aPiece.size() * aTimes);
  for (size_t i = 0; i < aTimes; ++i) text += aPiece;
  return text;
}

std::string MessageWith(const std::string& aMessageMembers) {
  return "{\"@type\":\"updateNewMessage\",\"message\":{" + aMessageMembers + "}}";
}

std::string TextMessage(const std::string& aChatId, const std::string& aText) {
  return MessageWith("\"id\":1,\"chat_id\":" + aChatId +
                     ",\"content\":{\"@type\":\"messageText\",\"text\":{\"@type\":"
                     "\"formattedText\",\"text\":\"" +
                     aText + "\",\"entities\":[]}}");
}

std::string Option(const std::string& aName, const std::string& aValue) {
  return "{\"@type\":\"updateOption\",\"name\":\"" + aName +
         "\",\"value\":{\"@type\":\"optionValueInteger\",\"value\":" + aValue + "}}";
}

constexpr size_t kMillion = 1000000;
constexpr size_t kFiftyMegabytes = 50u << 20;

// One hostile text and what it must lead to: the events fired after OnBeforeReadEvent, each as
// "Event:Detail" (Detail being "@type" for OnEvent, the status, the record's chat id), or
// "Exception" for one OnException.
struct HostileCase {
  const char* Name;
  std::function<std::string()> Text;
  std::vector<std::string> Outcome;
};

// Names the case in test output instead of dumping its bytes.
void PrintTo(const HostileCase& aCase, std::ostream* aOut) { *aOut << aCase.Name; }

const std::vector<std::string> kIgnored = {};
const std::vector<std::string> kRaises = {"Exception"};

const HostileCase kCases[] = {
    // Malformed and truncated texts: what was read before the fault decides.
    {"NotJSON", [] { return std::string("hello TDLib"); }, kIgnored},
    {"OnlyBlanks", [] { return std::string(" \t\r\n "); }, kIgnored},
    {"LoneBrace", [] { return std::string("{"); }, kIgnored},
    {"EmptyObject", [] { return std::string("{}"); }, kIgnored},
    {"TopLevelArray", [] { return std::string("[{\"@type\":\"ok\"}]"); }, kIgnored},
    {"TopLevelString", [] { return std::string("\"@type\""); }, kIgnored},
    {"CutInsideType", [] { return std::string("{\"@type\":\"updateNewCh"); }, kIgnored},
    {"CutAfterType",
     [] { return std::string("{\"@type\":\"updateNewChat\",\"chat\":{\"id\":5,\"tit"); },
     {"NewChat:5"}},
    {"CutMessageBeforeContent", [] { return MessageWith("\"id\":1,\"chat_id\":5,\"cont"); },
     kIgnored},
    {"GarbageAfterObject", [] { return std::string("{\"@type\":\"ok\"} trailing {]"); },
     {"Event:ok"}},
    {"MissingColon", [] { return std::string("{\"@type\" \"ok\"}"); }, kIgnored},
    {"BadEscapeInMessageText", [] { return TextMessage("5", "bad \\x escape"); }, kRaises},
    {"StateWithoutType",
     [] { return std::string("{\"@type\":\"updateAuthorizationState\",\"authorization_state\":{}}"); },
     kRaises},
    {"ConnectionStateWithoutType",
     [] { return std::string("{\"@type\":\"updateConnectionState\",\"state\":{\"x\":1}}"); },
     kRaises},
    {"OptionWithoutValue",
     [] { return std::string("{\"@type\":\"updateOption\",\"name\":\"my_id\"}"); }, kRaises},
    // A million levels: the reader stops at its depth bound, well before the stack ends.
    {"MillionOpenArrays", [] { return Repeated("[", kMillion); }, kIgnored},
    {"MillionNestedObjectsBeforeType",
     [] { return "{\"x\":" + Repeated("{\"a\":", kMillion) + "1" + Repeated("}", kMillion) +
                 ",\"@type\":\"ok\"}"; },
     kIgnored},
    {"MillionNestedObjectsAfterType",
     [] { return "{\"@type\":\"updateNewChat\",\"chat\":{\"id\":7,\"x\":" +
                 Repeated("{\"a\":", kMillion) + "1" + Repeated("}", kMillion) + "}}"; },
     {"NewChat:7"}},
    {"MillionNestedArraysInAMessage",
     [] { return MessageWith("\"id\":1,\"chat_id\":8,\"content\":{\"@type\":\"messageText\","
                             "\"x\":" + Repeated("[", kMillion) + "}"); },
     {"MessageText:8"}},
    // Fifty megabytes in one event.
    {"FiftyMegabyteMessageText", [] { return TextMessage("9", std::string(kFiftyMegabytes, 'a')); },
     {"MessageText:9"}},
    {"FiftyMegabyteUnknownEvent",
     [] { return "{\"@type\":\"updateHuge\",\"list\":[" + Repeated("12345678,", kFiftyMegabytes / 9) +
                 "0]}"; },
     {"Event:updateHuge"}},
    {"FiftyMegabytesOfOpenStrings", [] { return std::string(kFiftyMegabytes, '"'); }, kIgnored},
    // Invalid UTF-8 travels as bytes; it never stops the dispatch.
    {"InvalidUTF8InType", [] { return std::string("{\"@type\":\"upd\xff\xfe\xc3\"}"); },
     {"Event:upd\xff\xfe\xc3"}},
    {"InvalidUTF8InMessageText",
     [] { return TextMessage("10", "\xc3\x28 \xed\xa0\x80 \xf8\x88\x80\x80\x80 \x80"); },
     {"MessageText:10"}},
    {"InvalidUTF8InMemberNames",
     [] { return std::string("{\"\xff\":1,\"@type\":\"ok\",\"\xc0\xaf\":{\"\xe0\":2}}"); },
     {"Event:ok"}},
    // Numbers where texts belong, texts where numbers belong.
    {"NumberAsType", [] { return std::string("{\"@type\":42}"); }, {"Event:42"}},
    {"NullAsType", [] { return std::string("{\"@type\":null}"); }, {"Event:null"}},
    {"ObjectAsType", [] { return std::string("{\"@type\":{\"@type\":\"ok\"}}"); },
     {"Event:{\"@type\":\"ok\"}"}},
    {"NumberAsAuthorizationState",
     [] { return std::string("{\"@type\":\"updateAuthorizationState\",\"authorization_state\":7}"); },
     kRaises},
    {"NumberAsStateType",
     [] { return std::string("{\"@type\":\"updateAuthorizationState\","
                             "\"authorization_state\":{\"@type\":3}}"); },
     {"AuthorizationStatus:3", "Event:updateAuthorizationState"}},
    {"NumberAsMessageContent", [] { return MessageWith("\"id\":1,\"chat_id\":5,\"content\":5"); },
     kRaises},
    {"NumberAsMessageText", [] { return MessageWith("\"chat_id\":11,\"content\":{\"@type\":"
                                                    "\"messageText\",\"text\":{\"text\":12}}"); },
     {"MessageText:11"}},
    {"TextAsChatId", [] { return TextMessage("\"12\"", "hi"); }, {"MessageText:12"}},
    // Ids are held as the event's text; they are escaped again in any request they go into.
    {"WordAsChatId", [] { return TextMessage("\"twelve\"", "hi"); }, {"MessageText:twelve"}},
    {"ObjectAsChatId", [] { return TextMessage("{\"id\":13}", "hi"); },
     {"MessageText:{\"id\":13}"}},
    {"WordAsMessageId", [] { return MessageWith("\"id\":\"one\",\"chat_id\":5,\"content\":{"
                                                "\"@type\":\"messageText\"}"); },
     kRaises},
    {"WordAsVideoWidth",
     [] { return MessageWith("\"chat_id\":5,\"content\":{\"@type\":\"messageVideo\",\"video\":"
                             "{\"width\":\"wide\"}}"); },
     kRaises},
    {"WordAsIsChannel",
     [] { return std::string("{\"@type\":\"updateNewChat\",\"chat\":{\"id\":5,\"type\":{"
                             "\"@type\":\"chatTypeSupergroup\",\"supergroup_id\":1,"
                             "\"is_channel\":\"maybe\"}}}"); },
     kRaises},
    {"WordAsMyId", [] { return Option("my_id", "\"me\""); }, kRaises},
    {"HugeMyId", [] { return Option("my_id", "\"99999999999999999999999\""); }, kRaises},
    {"ListAsMyId", [] { return Option("my_id", "[1,2]"); }, kRaises},
    {"NumberAsVersion", [] { return Option("version", "1.8"); }, {"Event:updateOption"}},
    {"WordAsNewChatId",
     [] { return std::string("{\"@type\":\"updateNewChat\",\"chat\":{\"id\":\"x\"}}"); },
     {"NewChat:x"}},
    // A type nobody knows goes to OnEvent untouched.
    {"UnknownType", [] { return std::string("{\"@type\":\"updateFromTheFuture\",\"x\":[1]}"); },
     {"Event:updateFromTheFuture"}},
    {"UnknownAuthorizationState",
     [] { return std::string("{\"@type\":\"updateAuthorizationState\","
                             "\"authorization_state\":{\"@type\":\"authorizationStateNew\"}}"); },
     {"AuthorizationStatus:authorizationStateNew", "Event:updateAuthorizationState"}},
    {"UnknownMessageContent",
     [] { return MessageWith("\"chat_id\":1,\"content\":{\"@type\":\"messageFromTheFuture\"}"); },
     {"Event:updateNewMessage"}},
};

class HostileEventTexts : public ::testing::TestWithParam<HostileCase> {
 protected:
  void SetUp() override {
    fake_td_reset();
    FClient.SetEventsPerTick(2);
    FClient.SetTickTimeBudget(std::chrono::minutes(5));
    // TDLib's current interface drops a text that names no client, as a broken text does; the
    // td_json_client_* receive hands every text to the dispatcher as it came.
    FClient.SetJsonClientInterface(true);
    FClient.SetActive(true);
  }
  void TearDown() override {
    FClient.SetActive(false);
    PumpMainThreadQueue();
    EXPECT_EQ(fake_td_misuse_count(), 0);
  }

  TestClient FClient;
  EventProbe FProbe{FClient};
};

TEST_P(HostileEventTexts, HaveOneClearOutcomeAndLoseNothing) {
  const std::string hostile = GetParam().Text();
  fake_td_queue_event(hostile.c_str());
  fake_td_queue_event(kGoodEvent);
  FClient.Tick();
  ASSERT_EQ(fake_td_pending_events(), 0u);

  const std::vector<Fired> fired = FProbe.All();
  ASSERT_GE(fired.size(), 3u);
  EXPECT_EQ(fired.front().Event, "BeforeReadEvent");
  EXPECT_TRUE(fired.front().Detail == hostile) << "the raw text is offered unchanged";
  std::vector<std::string> outcome;
  for (size_t i = 1; i + 2 < fired.size(); ++i) {
    outcome.push_back(fired[i].Event == "Exception" ? "Exception"
                                                    : fired[i].Event + ":" + fired[i].Detail);
  }
  EXPECT_THAT(outcome, ElementsAreArray(GetParam().Outcome));
  if (GetParam().Outcome == kRaises) {
    EXPECT_FALSE(fired[1].Detail.empty()) << "the report says what went wrong";
  }
  // Nothing lost: the good event after it is dispatched as usual.
  EXPECT_EQ(fired[fired.size() - 2].Event, "BeforeReadEvent");
  EXPECT_EQ(fired[fired.size() - 2].Detail, kGoodEvent);
  EXPECT_EQ(fired.back().Event + ":" + fired.back().Detail, "Event:updateSomethingGood");
}

INSTANTIATE_TEST_SUITE_P(Texts, HostileEventTexts, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.Name); });

}  // namespace
}  // namespace qvn::test
