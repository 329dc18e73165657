// The window's chat model on TDLib 1.8.67 texts: the scripted account's users and chats
// (tests/data/account-1.8.67.jsonl), its histories, and the sample messages of every kind
// (tests/data/messages-sample.jsonl).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/qvnChatModel.h"
#include "client/qvnTelegram_Records.h"
#include "json/qvnJSON.h"
#include "tests/support/DataLines.h"

namespace qvn::test {
namespace {

constexpr int64_t kMe = 5123456789;
constexpr int64_t kAlice = 6100000001, kBob = 6100000002, kBot = 6100000004;
constexpr int64_t kFamily = -4000000001, kClimb = -1001000000002, kNews = -1001000000003,
                  kOldFlat = -1001000000005;

std::vector<std::string> Lines(const std::string& aFile) {
  return NonEmptyLines(std::string(QVN_TEST_DATA_DIR) + "/" + aFile);
}

// The sample file's first new message whose content has aContentType.
std::string SampleMessage(const std::string& aContentType) {
  for (const std::string& line : Lines("messages-sample.jsonl")) {
    if (line.find("\"content\":{\"@type\":\"" + aContentType + "\"") != std::string::npos &&
        line.rfind("{\"@type\":\"updateNewMessage\"", 0) == 0) {
      return line;
    }
  }
  return {};
}

// The messages of the scripted account's history answers, for aChatId, newest first.
std::vector<TqvnMessage> History(TqvnChatModel& aModel, int64_t aChatId) {
  for (const std::string& line : Lines("account-history-1.8.67.jsonl")) {
    TqvnModelChange change = aModel.Apply(line);
    if (!change.Messages.empty() && change.Messages.front().ChatId == aChatId) {
      return change.Messages;
    }
  }
  return {};
}

std::vector<int64_t> Ids(const TqvnConversation& aConversation) {
  std::vector<int64_t> ids;
  for (const TqvnMessage& message : aConversation.Messages) ids.push_back(message.Id);
  return ids;
}

class ChatModelTest : public ::testing::Test {
 protected:
  void LoadAccount() {
    for (const std::string& line : Lines("account-1.8.67.jsonl")) FModel.Apply(line);
  }
  TqvnChatModel FModel;
};

TEST_F(ChatModelTest, ReadsTheAccountsUsersAndChats) {
  LoadAccount();
  EXPECT_EQ(FModel.MyId(), kMe);
  ASSERT_NE(FModel.User(kAlice), nullptr);
  EXPECT_EQ(FModel.User(kAlice)->FirstName, "Alice");
  EXPECT_EQ(FModel.User(kAlice)->LastName, "Moreau");
  EXPECT_EQ(FModel.User(kAlice)->Username, "alice_moreau");
  EXPECT_EQ(FModel.User(kMe)->PhoneNumber, "15550100");
  EXPECT_TRUE(FModel.User(kBot)->IsBot);
  EXPECT_FALSE(FModel.User(kBob)->IsBot);

  const TqvnChat* family = FModel.Chat(kFamily);
  ASSERT_NE(family, nullptr);
  EXPECT_EQ(family->Title, "Family 🏔 trip");  // renamed by updateChatTitle
  EXPECT_EQ(family->Type, "chatTypeBasicGroup");
  EXPECT_EQ(family->UnreadCount, 3);
  ASSERT_TRUE(family->LastMessage.has_value());
  EXPECT_EQ(family->LastMessage->Text, "See you all there!");
  EXPECT_EQ(FModel.Chat(kAlice)->UserId, kAlice);
  EXPECT_TRUE(FModel.Chat(kAlice)->IsPinned);
  EXPECT_EQ(FModel.Chat(kClimb)->UnreadCount, 12);
  // The pinned chat first, then by TDLib's order; the archived chat after the main list.
  EXPECT_EQ(FModel.ChatIdsInOrder(),
            (std::vector<int64_t>{kAlice, kFamily, kClimb, kNews, kBot, kOldFlat}));
}

TEST_F(ChatModelTest, PositionsMoveChatsInAndOutOfTheMainList) {
  LoadAccount();
  const auto position = [](int64_t aChatId, const std::string& aList, const std::string& aOrder) {
    return R"({"@type":"updateChatPosition","chat_id":)" + std::to_string(aChatId) +
           R"(,"position":{"@type":"chatPosition","list":{"@type":")" + aList +
           R"("},"order":")" + aOrder + R"(","is_pinned":false}})";
  };
  const struct {
    std::string Update;
    std::vector<int64_t> Order;
  } steps[] = {
      // A new last message moves the bot's chat up, under the pinned chat.
      {R"({"@type":"updateChatLastMessage","chat_id":6100000004,"last_message":{"@type":"message","id":1,"chat_id":6100000004,"date":1767700000,"content":{"@type":"messageText","text":{"@type":"formattedText","text":"Snow!","entities":[]}}},"positions":[{"@type":"chatPosition","list":{"@type":"chatListMain"},"order":"9000000000000000000","is_pinned":false}]})",
       {kAlice, kBot, kFamily, kClimb, kNews, kOldFlat}},
      // Positions in other lists leave the main list alone.
      {position(kNews, "chatListArchive", "1"), {kAlice, kBot, kFamily, kClimb, kNews, kOldFlat}},
      // Order 0: the chat left the main list; it follows it, in the order chats became known.
      {position(kFamily, "chatListMain", "0"), {kAlice, kBot, kClimb, kNews, kFamily, kOldFlat}},
      // A last message without a main-list position also takes the chat out.
      {R"({"@type":"updateChatLastMessage","chat_id":-1001000000002,"positions":[]})",
       {kAlice, kBot, kNews, kFamily, kClimb, kOldFlat}},
      {position(kOldFlat, "chatListMain", "1"), {kAlice, kBot, kNews, kOldFlat, kFamily, kClimb}},
  };
  for (const auto& step : steps) {
    SCOPED_TRACE(step.Update);
    const TqvnModelChange change = FModel.Apply(step.Update);
    EXPECT_EQ(change.Kind, TqvnModelChange::chat);
    EXPECT_EQ(FModel.ChatIdsInOrder(), step.Order);
  }
  EXPECT_FALSE(FModel.Chat(kClimb)->LastMessage.has_value());
  // Updates about chats TDLib never announced change nothing.
  EXPECT_EQ(FModel.Apply(R"({"@type":"updateChatTitle","chat_id":42,"title":"?"})").Kind,
            TqvnModelChange::none);
}

TEST_F(ChatModelTest, ReadsEveryKindOfMessageOfTheSample) {
  const struct {
    const char* Content;
    const char* Text;
    const char* FileName;
    int32_t FileId;
    int64_t FileSize;
    int32_t Width, Height, Duration;
  } cases[] = {
      {"messageText", "Grüße aus München — die Brötchen sind fertig 🥐", "", 0, 0, 0, 0, 0},
      // The photo's largest size is the one to open.
      {"messagePhoto", "", "", 265, 358615, 1280, 960, 0},
      {"messageVideo", "Scan of the \"contract\" (final).", "видео.mp4", 272, 105665782, 720, 1280,
       523},
      {"messageDocument", "Отчёт за ноябрь — см. стр. 3", "presentation \"final\" v2.pptx", 275,
       104857600, 0, 0, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Content);
    const TqvnModelChange change = FModel.Apply(SampleMessage(c.Content));
    ASSERT_EQ(change.Kind, TqvnModelChange::newMessage);
    const TqvnMessage& message = change.Messages.at(0);
    EXPECT_EQ(message.ContentType, c.Content);
    EXPECT_EQ(message.Text, c.Text);
    EXPECT_EQ(message.FileName, c.FileName);
    EXPECT_EQ(message.FileId, c.FileId);
    EXPECT_EQ(message.FileSize, c.FileSize);
    EXPECT_EQ(message.Width, c.Width);
    EXPECT_EQ(message.Height, c.Height);
    EXPECT_EQ(message.Duration, c.Duration);
    EXPECT_NE(message.SenderUserId, 0);
    EXPECT_NE(message.Date, 0);
  }
  const TqvnMessage sticker = FModel.Apply(SampleMessage("messageSticker")).Messages.at(0);
  EXPECT_EQ(sticker.Emoji, "🐱");
  // Every text of the sample reads without an error.
  for (const std::string& line : Lines("messages-sample.jsonl")) {
    SCOPED_TRACE(line.substr(0, 80));
    EXPECT_NO_THROW(FModel.Apply(line));
  }
}

// A picture too small for TDLib's larger size types repeats its dimensions in their entries; of
// equal sizes the later is the better copy. The model opens the same one the engine's photo
// record names.
TEST_F(ChatModelTest, APhotoOpensTheLaterOfEqualSizesAsTheEngineDoes) {
  const auto size = [](const char* aType, int32_t aFileId) {
    return std::string(R"({"@type":"photoSize","type":")") + aType +
           R"(","photo":{"@type":"file","id":)" + std::to_string(aFileId) +
           R"(,"size":1000,"remote":{"@type":"remoteFile","unique_id":")" + aType +
           R"("}},"width":600,"height":450})";
  };
  const std::string text =
      R"({"@type":"updateNewMessage","message":{"@type":"message","id":1,"chat_id":2,)"
      R"("content":{"@type":"messagePhoto","photo":{"@type":"photo","sizes":[)" +
      size("x", 11) + "," + size("y", 12) + "]}}}}";
  const TqvnMessage photo = FModel.Apply(text).Messages.at(0);
  EXPECT_EQ(photo.FileId, 12);
  EXPECT_EQ(photo.Width, 600);
  TqvnTelegramMessagePhoto record;
  record.ReadJSON(text);
  EXPECT_EQ(record.PhotoId(), "y");
}

TEST_F(ChatModelTest, ConversationsHoldTrackedChatsInTDLibsOrder) {
  LoadAccount();
  const std::vector<TqvnMessage> page = History(FModel, kFamily);
  ASSERT_EQ(page.size(), 12u);
  // Not tracked: new messages pass by.
  const std::string newMessage =
      R"({"@type":"updateNewMessage","message":{"@type":"message","id":200278016,"sender_id":{"@type":"messageSenderUser","user_id":6100000002},"chat_id":-4000000001,"is_outgoing":false,"date":1767614000,"content":{"@type":"messageText","text":{"@type":"formattedText","text":"On my way","entities":[]}}}})";
  FModel.Apply(newMessage);
  EXPECT_EQ(FModel.Conversation(kFamily), nullptr);

  FModel.Track(kFamily);
  FModel.Apply(newMessage);
  EXPECT_EQ(Ids(*FModel.Conversation(kFamily)), (std::vector<int64_t>{200278016}));
  // Pages come newest first and may overlap what is held; they go before it, once.
  const std::vector<TqvnMessage> newer(page.begin(), page.begin() + 5);
  const std::vector<TqvnMessage> older(page.begin() + 3, page.end());
  EXPECT_EQ(FModel.AddHistory(kFamily, newer), 5);
  EXPECT_EQ(FModel.AddHistory(kFamily, older), 7);
  EXPECT_EQ(FModel.AddHistory(kFamily, older), 0);
  std::vector<int64_t> expected;
  for (int n = 101; n <= 112; ++n) expected.push_back(int64_t{n} << 20);
  expected.push_back(200278016);
  EXPECT_EQ(Ids(*FModel.Conversation(kFamily)), expected);

  // A message of another chat in a page is not this chat's.
  EXPECT_EQ(FModel.AddHistory(kFamily, History(FModel, kAlice)), 0);
}

TEST_F(ChatModelTest, AMessageTheWindowSentGoesFromPendingToSentOrFailed) {
  LoadAccount();
  TqvnMessage echo;
  echo.ChatId = kFamily;
  echo.ContentType = "messageText";
  echo.Text = "Hello";
  echo.LocalKey = "sent 1";
  FModel.AddLocalEcho(echo);
  const auto held = [this] { return FModel.Conversation(kFamily)->Messages; };
  ASSERT_EQ(held().size(), 1u);
  EXPECT_EQ(held()[0].State, TqvnSendState::pending);
  EXPECT_TRUE(held()[0].Outgoing);

  // TDLib's own report of the pending message is left to the answer that names it.
  const std::string pending =
      R"({"@type":"message","id":117440513,"sender_id":{"@type":"messageSenderUser","user_id":5123456789},"chat_id":-4000000001,"sending_state":{"@type":"messageSendingStatePending","sending_id":0},"is_outgoing":true,"date":1767614000,"content":{"@type":"messageText","text":{"@type":"formattedText","text":"Hello","entities":[]}}})";
  FModel.Apply(R"({"@type":"updateNewMessage","message":)" + pending + "}");
  EXPECT_EQ(held().size(), 1u);
  const TqvnModelChange answer =
      FModel.Apply(pending.substr(0, pending.size() - 1) + R"(,"@extra":"velune:7"})");
  EXPECT_EQ(answer.Kind, TqvnModelChange::answer);
  EXPECT_EQ(answer.Extra, "velune:7");
  ASSERT_TRUE(FModel.BindLocalEcho("sent 1", answer.Messages.at(0)));
  EXPECT_EQ(held()[0].Id, 117440513);
  EXPECT_EQ(held()[0].State, TqvnSendState::pending);

  // Sent: the temporary id is replaced; the window's key stays.
  const TqvnModelChange sent = FModel.Apply(
      R"({"@type":"updateMessageSendSucceeded","message":{"@type":"message","id":118489088,"sender_id":{"@type":"messageSenderUser","user_id":5123456789},"chat_id":-4000000001,"is_outgoing":true,"date":1767614001,"content":{"@type":"messageText","text":{"@type":"formattedText","text":"Hello","entities":[]}}},"old_message_id":117440513})");
  EXPECT_EQ(sent.Kind, TqvnModelChange::messageSent);
  EXPECT_EQ(sent.OldMessageId, 117440513);
  ASSERT_EQ(held().size(), 1u);
  EXPECT_EQ(held()[0].Id, 118489088);
  EXPECT_EQ(held()[0].State, TqvnSendState::sent);
  EXPECT_EQ(held()[0].LocalKey, "sent 1");

  // Failed: TDLib's reason, and whether it can send it again.
  echo.LocalKey = "sent 2";
  FModel.AddLocalEcho(echo);
  FModel.BindLocalEcho("sent 2", answer.Messages.at(0));
  FModel.Apply(
      R"({"@type":"updateMessageSendFailed","message":{"@type":"message","id":117440514,"sender_id":{"@type":"messageSenderUser","user_id":5123456789},"chat_id":-4000000001,"sending_state":{"@type":"messageSendingStateFailed","error":{"@type":"error","code":429,"message":"Too Many Requests: retry after 3"},"can_retry":true,"need_another_sender":false,"need_another_reply_quote":false,"need_drop_reply":false,"required_paid_message_star_count":0,"retry_after":3.000000},"is_outgoing":true,"date":1767614002,"content":{"@type":"messageText","text":{"@type":"formattedText","text":"Hello","entities":[]}}},"old_message_id":117440513,"error":{"@type":"error","code":429,"message":"Too Many Requests: retry after 3"}})");
  ASSERT_EQ(held().size(), 2u);
  const TqvnMessage* failed = FModel.FindLocalEcho("sent 2");
  ASSERT_NE(failed, nullptr);
  EXPECT_EQ(failed->Id, 117440514);
  EXPECT_EQ(failed->State, TqvnSendState::failed);
  EXPECT_EQ(failed->ErrorCode, 429);
  EXPECT_EQ(failed->ErrorMessage, "Too Many Requests: retry after 3");
  EXPECT_TRUE(failed->CanRetry);

  // A send TDLib refused outright fails the echo itself, which can be sent again.
  echo.LocalKey = "sent 3";
  FModel.AddLocalEcho(echo);
  ASSERT_TRUE(FModel.FailLocalEcho("sent 3", {400, "Chat not found"}));
  EXPECT_EQ(FModel.FindLocalEcho("sent 3")->State, TqvnSendState::failed);
  EXPECT_TRUE(FModel.FindLocalEcho("sent 3")->CanRetry);
  ASSERT_TRUE(FModel.RetryLocalEcho("sent 3"));
  EXPECT_EQ(FModel.FindLocalEcho("sent 3")->State, TqvnSendState::pending);
  EXPECT_FALSE(FModel.BindLocalEcho("no such key", echo));
}

TEST_F(ChatModelTest, EditsAndDeletionsOfHeldMessages) {
  LoadAccount();
  FModel.Track(kFamily);
  FModel.AddHistory(kFamily, History(FModel, kFamily));
  const int64_t first = int64_t{101} << 20, second = int64_t{102} << 20;
  const TqvnModelChange edit = FModel.Apply(
      R"({"@type":"updateMessageContent","chat_id":-4000000001,"message_id":)" +
      std::to_string(first) +
      R"(,"new_content":{"@type":"messageText","text":{"@type":"formattedText","text":"Who brings what?","entities":[]}}})");
  EXPECT_EQ(edit.Kind, TqvnModelChange::messageChanged);
  EXPECT_EQ(FModel.FindMessage(kFamily, first)->Text, "Who brings what?");
  // Dropped from TDLib's cache only: still in the chat.
  const std::string deletion = R"({"@type":"updateDeleteMessages","chat_id":-4000000001,"message_ids":[)" +
                               std::to_string(first) + "," + std::to_string(second) +
                               R"(],"is_permanent":false,"from_cache":)";
  EXPECT_EQ(FModel.Apply(deletion + "true}").Kind, TqvnModelChange::none);
  EXPECT_EQ(FModel.Conversation(kFamily)->Messages.size(), 12u);
  EXPECT_EQ(FModel.Apply(deletion + "false}").Kind, TqvnModelChange::messagesDeleted);
  EXPECT_EQ(FModel.Conversation(kFamily)->Messages.size(), 10u);
  EXPECT_EQ(FModel.FindMessage(kFamily, first), nullptr);
}

TEST_F(ChatModelTest, FilesFollowTheirUpdatesWithPathsUnescaped) {
  const std::string file =
      R"({"@type":"updateFile","file":{"@type":"file","id":501,"size":1288490,"expected_size":1288490,"local":{"@type":"localFile","path":"%s","can_be_downloaded":true,"can_be_deleted":%s,"is_downloading_active":%s,"is_downloading_completed":%s,"download_offset":0,"downloaded_prefix_size":%s,"downloaded_size":%s},"remote":{"@type":"remoteFile","id":"x","unique_id":"y","is_uploading_active":false,"is_uploading_completed":true,"uploaded_size":1288490}}})";
  const auto text = [&file](std::vector<std::string> aValues) {
    std::string result = file;
    for (const std::string& value : aValues) result.replace(result.find("%s"), 2, value);
    return result;
  };
  const TqvnModelChange progress = FModel.Apply(text({"", "false", "true", "false", "644245", "644245"}));
  EXPECT_EQ(progress.Kind, TqvnModelChange::file);
  EXPECT_EQ(progress.FileId, 501);
  EXPECT_TRUE(FModel.File(501)->Downloading);
  EXPECT_EQ(FModel.File(501)->DownloadedSize, 644245);
  FModel.Apply(text({"\\/home\\/dana\\/Trip plan \\u2014 Alps \\u00e9.pdf", "true", "false", "true",
                    "1288490", "1288490"}));
  EXPECT_TRUE(FModel.File(501)->Downloaded);
  EXPECT_EQ(FModel.File(501)->LocalPath, "/home/dana/Trip plan — Alps é.pdf");
}

TEST_F(ChatModelTest, AnswersCarryTheirTag) {
  const struct {
    std::string Text;
    TqvnModelChange::TKind Kind;
    std::string Extra;
    int32_t ErrorCode;
    size_t Messages;
  } cases[] = {
      {R"({"@type":"ok","@extra":"velune:1"})", TqvnModelChange::answer, "velune:1", 0, 0},
      {R"({"@type":"ok"})", TqvnModelChange::none, "", 0, 0},
      {R"({"@type":"error","code":404,"message":"Not Found","@extra":"velune:2"})",
       TqvnModelChange::answer, "velune:2", 404, 0},
      // Errors that follow no tagged request (the engine's login requests) are answers too.
      {R"({"@type":"error","code":400,"message":"PHONE_CODE_INVALID"})", TqvnModelChange::answer,
       "", 400, 0},
      {R"({"@type":"chats","total_count":0,"chat_ids":[],"@extra":12345})",
       TqvnModelChange::answer, "12345", 0, 0},
      // Messages that could not be sent again are null in resendMessages' answer.
      {R"({"@type":"messages","total_count":2,"messages":[null,{"@type":"message","id":5,"chat_id":1,"content":{"@type":"messageText","text":{"@type":"formattedText","text":"x","entities":[]}}}],"@extra":"velune:3"})",
       TqvnModelChange::answer, "velune:3", 0, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Text);
    const TqvnModelChange change = FModel.Apply(c.Text);
    EXPECT_EQ(change.Kind, c.Kind);
    EXPECT_EQ(change.Extra, c.Extra);
    EXPECT_EQ(change.Error.Code, c.ErrorCode);
    EXPECT_EQ(change.Messages.size(), c.Messages);
  }
  EXPECT_EQ(FModel.Apply(R"({"@type":"error","code":400,"message":"PHONE_CODE_INVALID"})")
                .Error.Message,
            "PHONE_CODE_INVALID");
}

TEST_F(ChatModelTest, AValueThatDoesNotConvertRaisesAndKeepsWhatWasRead) {
  LoadAccount();
  EXPECT_THROW(FModel.Apply(R"({"@type":"updateChatReadInbox","chat_id":-4000000001,"unread_count":"many"})"),
               EqvnConvertError);
  EXPECT_EQ(FModel.Chat(kFamily)->UnreadCount, 3);
  FModel.Clear();
  EXPECT_EQ(FModel.Chat(kFamily), nullptr);
  EXPECT_EQ(FModel.MyId(), 0);
}

}  // namespace
}  // namespace qvn::test
