// The requests the window sends itself, and the tags that lead their answers back.
#include <gtest/gtest.h>

#include <stdexcept>

#include "app/qvnRequestTags.h"
#include "app/qvnWindowRequests.h"

namespace qvn::test {
namespace {

TEST(WindowRequests, TextsCarryNumbersAndTheTag) {
  const struct {
    std::string Built;
    const char* Text;
  } cases[] = {
      {BuildLoadChats(100, "velune:1"),
       R"({"@type":"loadChats","chat_list":{"@type":"chatListMain"},"limit":100,"@extra":"velune:1"})"},
      {BuildOpenChat(-1001000000002, "velune:2"),
       R"({"@type":"openChat","chat_id":-1001000000002,"@extra":"velune:2"})"},
      {BuildCloseChat(6100000001, "velune:3"),
       R"({"@type":"closeChat","chat_id":6100000001,"@extra":"velune:3"})"},
      {BuildChatHistory(-4000000001, 117440512, 50, "velune:4"),
       R"({"@type":"getChatHistory","chat_id":-4000000001,"from_message_id":117440512,"offset":0,"limit":50,"only_local":false,"@extra":"velune:4"})"},
      {BuildViewMessages(-4000000001, {105906176, 117440512}, "velune:5"),
       R"({"@type":"viewMessages","chat_id":-4000000001,"message_ids":[105906176,117440512],"source":{"@type":"messageSourceChatHistory"},"force_read":true,"@extra":"velune:5"})"},
      {BuildDownloadFile(501, "velune:6"),
       R"({"@type":"downloadFile","file_id":501,"priority":1,"offset":0,"limit":0,"synchronous":false,"@extra":"velune:6"})"},
      {BuildResendMessages(-4000000001, {117440514}, "velune:7"),
       R"({"@type":"resendMessages","chat_id":-4000000001,"message_ids":[117440514],"@extra":"velune:7"})"},
      // A tag is escaped like any text.
      {BuildOpenChat(1, "a \"b\""), R"({"@type":"openChat","chat_id":1,"@extra":"a \"b\""})"},
  };
  for (const auto& c : cases) EXPECT_EQ(c.Built, c.Text);
}

TEST(WindowRequests, WithTagPutsTheTagFirst) {
  EXPECT_EQ(WithTag(R"({"@type": "sendMessage", "chat_id": "1"})", "velune:9"),
            R"({"@extra": "velune:9", "@type": "sendMessage", "chat_id": "1"})");
  EXPECT_EQ(WithTag("{}", "t\\"), R"({"@extra": "t\\"})");
  EXPECT_THROW(WithTag("", "t"), std::invalid_argument);
  EXPECT_THROW(WithTag("[1]", "t"), std::invalid_argument);
}

TEST(RequestTags, EachAnswerFindsItsRequestOnce) {
  TqvnRequestTags tags;
  const std::string history = tags.Add({TqvnPendingRequest::history, -4});
  const std::string send = tags.Add({TqvnPendingRequest::send, 8, 0, 0, "sent 1"});
  EXPECT_NE(history, send);
  EXPECT_EQ(history.rfind("velune:", 0), 0u);
  const std::optional<TqvnPendingRequest> found = tags.Take(send);
  ASSERT_TRUE(found.has_value());
  EXPECT_EQ(found->Kind, TqvnPendingRequest::send);
  EXPECT_EQ(found->ChatId, 8);
  EXPECT_EQ(found->LocalKey, "sent 1");
  EXPECT_FALSE(tags.Take(send).has_value());  // once
  EXPECT_FALSE(tags.Take("12345").has_value());  // the engine's own tags
  EXPECT_FALSE(tags.Take("").has_value());
  tags.Clear();
  EXPECT_FALSE(tags.Take(history).has_value());
  EXPECT_NE(tags.Add({TqvnPendingRequest::loadChats}), history);  // never reused
}

}  // namespace
}  // namespace qvn::test
