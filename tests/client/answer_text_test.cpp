// The pieces of the answer routing that need no TDLib: the "@extra" splicing of request and
// answer texts, the table of pending requests, and reading an answer.
#include <gtest/gtest.h>

#include <atomic>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "client/qvnTelegram_Answer.h"
#include "client/qvnTelegram_PendingRequests.h"
#include "client/qvnTelegram_RequestExtra.h"

namespace qvn::test {
namespace {

// ---- "@extra" in request and answer texts ----

struct TagCase {
  const char* Name;
  std::string Request;
  std::string Tagged;       // with the tag "T"
  std::string CallerExtra;  // the value the request had
};

TEST(RequestExtra, TagRequestPutsTheTagOnTheTopLevelOnly) {
  const TagCase cases[] = {
      {"appended", R"({"@type": "getMe"})", R"({"@type": "getMe", "@extra": T})", ""},
      {"emptyObject", "{ }", R"({"@extra": T})", ""},
      {"blanksBeforeTheBrace", "{\"@type\":\"getMe\" \n}", "{\"@type\":\"getMe\", \"@extra\": T}",
       ""},
      {"callersNumberReplaced", R"({"@type":"getMe","@extra":1004,"x":1})",
       R"({"@type":"getMe","@extra":T,"x":1})", "1004"},
      {"callersObjectReplaced", R"({"@extra" : {"a":[1,"}"]} ,"@type":"getMe"})",
       R"({"@extra" : T ,"@type":"getMe"})", R"({"a":[1,"}"]})"},
      {"callersBlanksDropped", "{\"@extra\": [1, \"a b\\\" c\"]\n}", "{\"@extra\": T\n}",
       R"([1,"a b\" c"])"},
      {"nestedExtraIsNotTheRequests",
       R"({"@type":"sendMessage","content":{"@extra":5,"text":"\"@extra\": 6"}})",
       R"({"@type":"sendMessage","content":{"@extra":5,"text":"\"@extra\": 6"}, "@extra": T})", ""},
      {"escapedQuoteInAName", R"({"a\"@extra":1})", R"({"a\"@extra":1, "@extra": T})", ""},
  };
  for (const TagCase& c : cases) {
    SCOPED_TRACE(c.Name);
    const TqvnTaggedRequest tagged = TagRequest(c.Request, "T");
    EXPECT_EQ(tagged.Text, c.Tagged);
    EXPECT_EQ(tagged.CallerExtra, c.CallerExtra);
    EXPECT_EQ(ExtraValueOf(tagged.Text), "T");
  }
}

TEST(RequestExtra, TextsThatAreNotOneObjectAreRefused) {
  for (const char* text :
       {"", "   ", "[1]", "\"@extra\"", R"({"@type":"getMe")", R"({"@type":"getMe)",
        R"({"@type":})", R"({"a":{"b":1})", R"({"@type" "getMe"})", R"({"a":1 "b":2})"}) {
    SCOPED_TRACE(text);
    EXPECT_THROW(TagRequest(text, "T"), EqvnRequestTextError);
    EXPECT_EQ(ExtraValueOf(text), "");
  }
}

TEST(RequestExtra, ReplaceExtraPutsBackOrRemovesTheMember) {
  struct Case {
    const char* Name;
    std::string Answer;
    std::string Value;
    std::string Expected;
  };
  const Case cases[] = {
      // TDLib writes "@extra" last, "@client_id" after it on its newer interface.
      {"lastRemoved", R"({"@type":"ok","@extra":"qvn#1"})", "", R"({"@type":"ok"})"},
      {"middleRemoved", R"({"@type":"ok","@extra":"qvn#1","@client_id":3})", "",
       R"({"@type":"ok","@client_id":3})"},
      {"firstRemoved", R"({ "@extra" : "qvn#1" , "@type":"ok"})", "", R"({ "@type":"ok"})"},
      {"onlyRemoved", R"({"@extra":"qvn#1"})", "", "{}"},
      {"callersPutBack", R"({"@type":"error","code":400,"@extra":"qvn#1"})", R"({"id":[7]})",
       R"({"@type":"error","code":400,"@extra":{"id":[7]}})"},
      {"noExtraUnchanged", R"({"@type":"ok"})", "", R"({"@type":"ok"})"},
      {"notAnObjectUnchanged", "[1,2", "5", "[1,2"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    EXPECT_EQ(ReplaceExtra(c.Answer, c.Value), c.Expected);
  }
}

// ---- The table of pending requests ----

using TRequest = TqvnTelegramPendingRequests::TRequest;
using TClock = TqvnTelegramPendingRequests::TClock;

TRequest Counting(int& aCalls, TClock::time_point aDeadline = TClock::time_point::max()) {
  TRequest request;
  request.Handler = [&aCalls](TqvnTDLib_Telegram_Client*, const TqvnTelegramAnswer&) { ++aCalls; };
  request.Deadline = aDeadline;
  return request;
}

TEST(PendingRequests, ARequestLeavesTheTableOnceByItsTag) {
  TqvnTelegramPendingRequests table;
  EXPECT_FALSE(table.ExpectsAnswers());
  int calls = 0;
  const std::string first = TqvnTelegramPendingRequests::NewTag();
  const std::string second = TqvnTelegramPendingRequests::NewTag();
  EXPECT_NE(first, second);
  EXPECT_TRUE(TqvnTelegramPendingRequests::IsTag(first));
  table.Add(first, Counting(calls));
  table.Add(second, Counting(calls));
  EXPECT_TRUE(table.ExpectsAnswers());

  // Out of order, each exactly once; strangers, near-tags and the wake-up tag are not taken.
  // "\"qvn#" and the process's random part.
  const std::string stem = first.substr(0, 11);
  for (const std::string& stranger :
       {std::string("1004"), std::string("\"qvn#\""), std::string("\"qvn#1\""),
        std::string("\"QVN#1\""), std::string("\"qvn#0000001\""), stem + "1*\"", stem + "+1\"",
        stem + "01\"", stem + "\"", stem + "123456789012\"",
        TqvnTelegramPendingRequests::WakeTag()}) {
    SCOPED_TRACE(stranger);
    EXPECT_FALSE(TqvnTelegramPendingRequests::IsTag(stranger));
    EXPECT_FALSE(table.Take(stranger));
  }
  ASSERT_TRUE(table.Take(second));
  EXPECT_FALSE(table.Take(second));
  ASSERT_TRUE(table.Take(first));
  EXPECT_FALSE(table.ExpectsAnswers());
  EXPECT_TRUE(table.TakeAll().empty());
}

TEST(PendingRequests, ExpiredRequestsLeaveInFilingOrderAndLateAnswersStayExpected) {
  TqvnTelegramPendingRequests table;
  const auto now = TClock::now();
  int calls = 0;
  std::vector<std::string> tags;
  for (const auto deadline : {now + std::chrono::seconds(1), now - std::chrono::seconds(2),
                              TClock::time_point::max(), now - std::chrono::seconds(1)}) {
    tags.push_back(TqvnTelegramPendingRequests::NewTag());
    TRequest request = Counting(calls, deadline);
    request.CallerExtra = tags.back();
    table.Add(tags.back(), std::move(request));
  }
  EXPECT_EQ(table.NextDeadline(), now - std::chrono::seconds(2));
  EXPECT_EQ(table.NextDeadlineAfter(now - std::chrono::seconds(2)), now - std::chrono::seconds(1));
  const std::vector<TRequest> expired = table.TakeExpired(now);
  ASSERT_EQ(expired.size(), 2u);
  EXPECT_EQ(expired[0].CallerExtra, tags[1]);
  EXPECT_EQ(expired[1].CallerExtra, tags[3]);
  EXPECT_FALSE(table.Take(tags[1]));
  // The late answer of an expired request is recognised once, with its caller's "@extra".
  EXPECT_EQ(table.TakeLate(tags[1]), tags[1]);
  EXPECT_FALSE(table.TakeLate(tags[1]));
  EXPECT_FALSE(table.TakeLate(tags[0]));

  const std::vector<TRequest> rest = table.TakeAll();
  ASSERT_EQ(rest.size(), 2u);
  EXPECT_EQ(rest[0].CallerExtra, tags[0]);
  EXPECT_EQ(rest[1].CallerExtra, tags[2]);
  // Nothing waits, but until TakeAll an answer to an expired request may still come.
  table.Add(tags[0], Counting(calls, now - std::chrono::seconds(1)));
  ASSERT_EQ(table.TakeExpired(now).size(), 1u);
  EXPECT_TRUE(table.ExpectsAnswers());
  table.TakeAll();
  EXPECT_FALSE(table.ExpectsAnswers());
  EXPECT_EQ(calls, 0);  // the table never calls a handler itself

  // A wait for an update expires like a request, but leaves nothing to wait for.
  TRequest update = Counting(calls, now - std::chrono::seconds(1));
  update.AwaitsTDLib = false;
  const std::string updateTag = TqvnTelegramPendingRequests::NewTag();
  table.Add(updateTag, std::move(update));
  ASSERT_EQ(table.TakeExpired(now).size(), 1u);
  EXPECT_FALSE(table.ExpectsAnswers());
  EXPECT_FALSE(table.TakeLate(updateTag));
}

// An answer noted as arrived stops its request's deadline, also one that has passed since: the
// request waits for its dispatch, not for TDLib. Each deadline filed is told to the callback.
TEST(PendingRequests, AnArrivedAnswerIsNeverExpired) {
  TqvnTelegramPendingRequests table;
  std::vector<TClock::time_point> told;
  table.SetOnDeadline([&told](TClock::time_point aDeadline) { told.push_back(aDeadline); });
  const auto now = TClock::now();
  int calls = 0;
  const std::string arrived = TqvnTelegramPendingRequests::NewTag();
  const std::string waiting = TqvnTelegramPendingRequests::NewTag();
  table.Add(arrived, Counting(calls, now + std::chrono::milliseconds(1)));
  table.Add(waiting, Counting(calls, now + std::chrono::milliseconds(2)));
  table.Add(TqvnTelegramPendingRequests::NewTag(), Counting(calls));
  EXPECT_EQ(told, (std::vector<TClock::time_point>{now + std::chrono::milliseconds(1),
                                                   now + std::chrono::milliseconds(2)}));
  table.NoteArrived(arrived);
  table.NoteArrived("\"qvn#1\"");
  EXPECT_EQ(table.NextDeadline(), now + std::chrono::milliseconds(2));
  EXPECT_EQ(table.TakeExpired(now + std::chrono::seconds(1)).size(), 1u);
  EXPECT_EQ(table.NextDeadline(), TClock::time_point::max());
  EXPECT_TRUE(table.Take(arrived));
  EXPECT_FALSE(table.Take(waiting));
  table.SetOnDeadline({});
  table.Add(TqvnTelegramPendingRequests::NewTag(), Counting(calls, now));
  EXPECT_EQ(told.size(), 2u);
}

// Filing on several threads while another takes: every request is taken exactly once.
TEST(PendingRequests, ConcurrentFilingAndTakingLoseNothing) {
  TqvnTelegramPendingRequests table;
  constexpr int kThreads = 4;
  constexpr int kEach = 500;
  std::vector<std::string> tags[kThreads];
  std::atomic<int> filed{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < kEach; ++i) {
        tags[t].push_back(TqvnTelegramPendingRequests::NewTag());
        table.Add(tags[t].back(), TRequest{});
        ++filed;
      }
    });
  }
  int taken = 0;
  std::set<std::string> seen;
  for (int t = 0; t < kThreads; ++t) {
    threads[t].join();
    for (const std::string& tag : tags[t]) {
      EXPECT_TRUE(seen.insert(tag).second) << tag;
      if (table.Take(tag)) ++taken;
    }
  }
  EXPECT_EQ(taken, kThreads * kEach);
  EXPECT_FALSE(table.ExpectsAnswers());
}

// ---- Reading an answer ----

TEST(Answer, ReadTellsAnswersFromErrors) {
  struct Case {
    const char* Name;
    std::string Text;
    TqvnTelegramAnswerKind Kind;
    std::string Type;
    int32_t Code;
    std::string Message;
  };
  const Case cases[] = {
      {"ok", R"({"@type":"ok"})", takAnswer, "ok", 0, ""},
      {"user", R"({"@type":"user","id":7,"first_name":"A"})", takAnswer, "user", 0, ""},
      {"error", R"({"@type":"error","code":400,"message":"Bad \"code\"\u00e9"})", takTDLibError,
       "error", 400, "Bad \"code\"\xC3\xA9"},
      {"errorWithoutMembers", R"({"@type":"error"})", takTDLibError, "error", 0, ""},
      {"errorWithAWordForACode", R"({"@type":"error","code":"x","message":"m\q"})", takTDLibError,
       "error", 0, "m\\q"},
      {"notJSON", "garbage", takAnswer, "", 0, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    const TqvnTelegramAnswer answer = TqvnTelegramAnswer::Read(c.Text);
    EXPECT_EQ(answer.Kind, c.Kind);
    EXPECT_EQ(answer.IsError(), c.Kind != takAnswer);
    EXPECT_EQ(answer.Type, c.Type);
    EXPECT_EQ(answer.Text, c.Text);
    EXPECT_EQ(answer.Code, c.Code);
    EXPECT_EQ(answer.Message, c.Message);
    ASSERT_NE(answer.Document, nullptr);
  }
  const TqvnTelegramAnswer user = TqvnTelegramAnswer::Read(cases[1].Text);
  EXPECT_EQ(user.Document->GetNode("first_name")->Value().AsString(), "A");
  EXPECT_EQ(user.Get<int64_t>("id"), 7);
  EXPECT_EQ(user.Get<std::string>("first_name"), "A");
  EXPECT_EQ(user.Object().Text("first_name"), "A");
  EXPECT_TRUE(user.Has("first_name"));
  // The engine's own errors have no document: every member reads as absent.
  const TqvnTelegramAnswer failure = TqvnTelegramAnswer::Failure(takTimedOut, "late");
  EXPECT_EQ(failure.Get<int64_t>("id"), 0);
  EXPECT_EQ(failure.Get<std::string>("first_name"), "");
  EXPECT_TRUE(failure.Items("chat_ids").empty());
}

}  // namespace
}  // namespace qvn::test
