// The words the window shows: names, sizes, times, message bodies, conversation and stream
// lines with their states, chat previews, polls, places, calls and service messages from TDLib
// 1.8.67 texts (tests/data), chat headers' statuses and actions; and the connection and login
// states in words.
#include <gtest/gtest.h>
#include <time.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "app/qvnMessageText.h"
#include "app/qvnStatusText.h"
#include "tests/support/DataLines.h"

namespace qvn::test {
namespace {

// Times in these tests are UTC.
class UtcEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    setenv("TZ", "UTC", 1);
    tzset();
  }
};
[[maybe_unused]] ::testing::Environment* const kUtc =
    ::testing::AddGlobalTestEnvironment(new UtcEnvironment);

constexpr int64_t kNoon = 1767614400;  // 2026-01-05 12:00 UTC

TEST(MessageText, SizesDurationsAndTimes) {
  const struct {
    int64_t Bytes;
    const char* Text;
  } sizes[] = {{0, "0 B"},          {1023, "1023 B"},           {1024, "1.0 KB"},
               {1536, "1.5 KB"},    {1288490, "1.2 MB"},        {105665782, "100.8 MB"},
               {1073741824, "1.0 GB"}, {5497558138880, "5.0 TB"}};
  for (const auto& c : sizes) EXPECT_EQ(FileSizeText(c.Bytes), c.Text) << c.Bytes;
  const struct {
    int32_t Seconds;
    const char* Text;
  } durations[] = {{0, "0:00"}, {42, "0:42"}, {725, "12:05"}, {3723, "1:02:03"}};
  for (const auto& c : durations) EXPECT_EQ(DurationText(c.Seconds), c.Text) << c.Seconds;
  const struct {
    int64_t Date;
    const char* Text;
  } times[] = {
      {kNoon + 2 * 3600 + 120, "14:02"},           // the same day
      {kNoon - 12 * 3600, "00:00"},                // its first minute
      {kNoon - 12 * 3600 - 60, "2026-01-04 23:59"},  // the day before
      {kNoon + 365 * 86400, "2027-01-05 12:00"},   // the same day of another year
  };
  for (const auto& c : times) EXPECT_EQ(ClockText(c.Date, kNoon), c.Text) << c.Date;
  EXPECT_EQ(FirstLine("one\ntwo"), "one");
  EXPECT_EQ(FirstLine("only"), "only");
}

TEST(MessageText, NamesFallBackToWhatIsKnown) {
  const struct {
    TqvnUser User;
    const char* Name;
  } cases[] = {
      {{1, "Alice", "Moreau", "alice", "1555", false}, "Alice Moreau"},
      {{2, "Bob", "", "", "", false}, "Bob"},
      {{3, "", "Wei", "", "", false}, "Wei"},
      {{4, "", "", "chenwei", "1555", false}, "@chenwei"},
      {{5, "", "", "", "15550100", false}, "+15550100"},
      {{6, "", "", "", "", false}, "User 6"},
  };
  for (const auto& c : cases) EXPECT_EQ(UserName(c.User), c.Name) << c.Name;

  TqvnChatModel model;
  model.Apply(R"({"@type":"updateUser","user":{"@type":"user","id":7,"first_name":"Dana","last_name":"","usernames":{"@type":"usernames","active_usernames":[],"disabled_usernames":[],"editable_username":"","collectible_usernames":[]},"phone_number":"","type":{"@type":"userTypeRegular"}}})");
  model.Apply(R"({"@type":"updateNewChat","chat":{"@type":"chat","id":-100,"type":{"@type":"chatTypeSupergroup","supergroup_id":100,"is_channel":true},"title":"News","positions":[],"unread_count":0}})");
  TqvnMessage message;
  message.SenderUserId = 7;
  EXPECT_EQ(SenderName(model, message), "Dana");
  message.SenderUserId = 8;
  EXPECT_EQ(SenderName(model, message), "User 8");
  message.SenderUserId = 0;
  message.SenderChatId = -100;
  EXPECT_EQ(SenderName(model, message), "News");
  message.SenderChatId = -200;
  EXPECT_EQ(SenderName(model, message), "Chat -200");
}

TqvnMessage Media(const char* aType, const char* aText, const char* aFileName, int64_t aSize,
                  int32_t aWidth, int32_t aHeight, int32_t aDuration) {
  TqvnMessage message;
  message.ContentType = aType;
  message.Text = aText;
  message.FileName = aFileName;
  message.FileSize = aSize;
  message.FileId = aSize > 0 ? 9 : 0;
  message.Width = aWidth;
  message.Height = aHeight;
  message.Duration = aDuration;
  return message;
}

TEST(MessageText, BodiesOfEveryKind) {
  const struct {
    TqvnMessage Message;
    const char* Body;
  } cases[] = {
      {Media("messageText", "two\nlines", "", 0, 0, 0, 0), "two\nlines"},
      {Media("messagePhoto", "The view", "", 358615, 1280, 960, 0),
       "Photo (1280×960, 350.2 KB): The view"},
      {Media("messagePhoto", "", "", 0, 0, 0, 0), "Photo"},
      {Media("messageDocument", "Route, page 2", "Trip plan — Alps.pdf", 1288490, 0, 0, 0),
       "Document Trip plan — Alps.pdf (1.2 MB): Route, page 2"},
      {Media("messageVideo", "", "ridge.mp4", 12902341, 1280, 720, 42),
       "Video ridge.mp4 (0:42, 12.3 MB)"},
      {Media("messageVideo", "", "", 12902341, 1280, 720, 42), "Video (0:42, 12.3 MB)"},
      {Media("messageAnimation", "", "cat.mp4", 2048, 0, 0, 3), "Animation cat.mp4 (0:03, 2.0 KB)"},
      {Media("messageAudio", "", "song.mp3", 5242880, 0, 0, 192), "Audio song.mp3 (3:12, 5.0 MB)"},
      {Media("messageVoiceNote", "", "", 40960, 0, 0, 12), "Voice message (0:12, 40.0 KB)"},
      {Media("messageVideoNote", "", "", 1048576, 0, 0, 9), "Video message (0:09, 1.0 MB)"},
      {Media("messageGiftedPremium", "", "", 0, 0, 0, 0), "(gifted premium)"},
      {Media("messageUnsupported", "", "", 0, 0, 0, 0), "(unsupported)"},
  };
  for (const auto& c : cases) EXPECT_EQ(MessageBody(TqvnChatModel(), c.Message), c.Body) << c.Message.ContentType;
  TqvnMessage sticker;
  sticker.ContentType = "messageSticker";
  sticker.Emoji = "🐱";
  EXPECT_EQ(MessageBody(TqvnChatModel(), sticker), "Sticker 🐱");
}

class LineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    FModel.Apply(R"({"@type":"updateUser","user":{"@type":"user","id":7,"first_name":"Dana","last_name":"Whitfield","phone_number":"","type":{"@type":"userTypeRegular"}}})");
    FModel.Apply(R"({"@type":"updateUser","user":{"@type":"user","id":8,"first_name":"Bob","last_name":"","phone_number":"","type":{"@type":"userTypeRegular"}}})");
    FModel.Apply(R"({"@type":"updateNewChat","chat":{"@type":"chat","id":-4,"type":{"@type":"chatTypeBasicGroup","basic_group_id":4},"title":"Family","positions":[],"unread_count":0}})");
    FModel.Apply(R"({"@type":"updateNewChat","chat":{"@type":"chat","id":8,"type":{"@type":"chatTypePrivate","user_id":8},"title":"Bob","positions":[],"unread_count":0}})");
  }
  TqvnMessage Message(int64_t aSender, int64_t aChat, const char* aText) {
    TqvnMessage message;
    message.Id = 1;
    message.SenderUserId = aSender;
    message.ChatId = aChat;
    message.Date = kNoon + 122;
    message.ContentType = "messageText";
    message.Text = aText;
    return message;
  }
  void File(const char* aUpdate) { FModel.Apply(aUpdate); }
  TqvnChatModel FModel;
};

TEST_F(LineTest, ConversationLinesShowTheSendStateAndTheFile) {
  TqvnMessage incoming = Message(8, -4, "Hi");
  TqvnMessage pending = Message(7, -4, "Hello");
  pending.Outgoing = true;
  pending.State = TqvnSendState::pending;
  TqvnMessage sent = pending;
  sent.State = TqvnSendState::sent;
  TqvnMessage failed = pending;
  failed.State = TqvnSendState::failed;
  failed.ErrorCode = 429;
  failed.ErrorMessage = "Too Many Requests: retry after 3";
  failed.CanRetry = true;
  TqvnMessage stuck = failed;
  stuck.CanRetry = false;
  TqvnMessage document = Media("messageDocument", "", "a.pdf", 1000, 0, 0, 0);
  document.SenderUserId = 8;
  document.Date = kNoon + 122;
  TqvnMessage uploading = document;
  uploading.SenderUserId = 7;
  uploading.Outgoing = true;
  uploading.State = TqvnSendState::pending;
  const struct {
    const char* File;  // the file's update first, if any
    TqvnMessage Message;
    const char* Line;
    int Percent;
  } cases[] = {
      {nullptr, incoming, "Bob, 12:02: Hi", -1},
      {nullptr, pending, "Dana Whitfield, 12:02: Hello — sending…", -1},
      {nullptr, sent, "Dana Whitfield, 12:02: Hello ✓", -1},
      {nullptr, failed,
       "Dana Whitfield, 12:02: Hello — not sent: Too Many Requests: retry after 3 (error 429); "
       "click to send again",
       -1},
      {nullptr, stuck,
       "Dana Whitfield, 12:02: Hello — not sent: Too Many Requests: retry after 3 (error 429); "
       "click to edit it",
       -1},
      {nullptr, document, "Bob, 12:02: Document a.pdf (1000 B) — click to download", -1},
      {R"({"@type":"updateFile","file":{"@type":"file","id":9,"size":1000,"local":{"@type":"localFile","path":"","is_downloading_active":true,"is_downloading_completed":false,"downloaded_size":480},"remote":{"@type":"remoteFile","is_uploading_active":false,"uploaded_size":1000}}})",
       document, "Bob, 12:02: Document a.pdf (1000 B) — downloading 48%", 48},
      {R"({"@type":"updateFile","file":{"@type":"file","id":9,"size":1000,"local":{"@type":"localFile","path":"\/tmp\/a.pdf","is_downloading_active":false,"is_downloading_completed":true,"downloaded_size":1000},"remote":{"@type":"remoteFile","is_uploading_active":false,"uploaded_size":1000}}})",
       document, "Bob, 12:02: Document a.pdf (1000 B) — click to open", -1},
      {R"({"@type":"updateFile","file":{"@type":"file","id":9,"size":1000,"local":{"@type":"localFile","path":"\/tmp\/a.pdf","is_downloading_active":false,"is_downloading_completed":true,"downloaded_size":1000},"remote":{"@type":"remoteFile","is_uploading_active":true,"uploaded_size":400}}})",
       uploading, "Dana Whitfield, 12:02: Document a.pdf (1000 B) — uploading 40%", 40},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Line);
    if (c.File != nullptr) File(c.File);
    EXPECT_EQ(ConversationLine(FModel, c.Message, kNoon), c.Line);
    EXPECT_EQ(TransferPercent(FModel, c.Message), c.Percent);
  }
}

TEST_F(LineTest, StreamLinesAndPreviewsNameTheChat) {
  EXPECT_EQ(StreamLine(FModel, Message(8, -4, "Hi"), kNoon), "[Family] Bob, 12:02: Hi");
  // A private chat is titled after the other user: their own messages need no title.
  EXPECT_EQ(StreamLine(FModel, Message(8, 8, "Hi"), kNoon), "Bob, 12:02: Hi");
  EXPECT_EQ(StreamLine(FModel, Message(7, 8, "Hi"), kNoon), "[Bob] Dana Whitfield, 12:02: Hi");
  EXPECT_EQ(StreamLine(FModel, Message(7, 99, "Hi"), kNoon), "[Chat 99] Dana Whitfield, 12:02: Hi");

  TqvnChat group = *FModel.Chat(-4);
  EXPECT_EQ(ChatPreview(FModel, group), "");
  group.LastMessage = Message(8, -4, "first\nsecond");
  EXPECT_EQ(ChatPreview(FModel, group), "Bob: first");
  TqvnChat privateChat = *FModel.Chat(8);
  privateChat.LastMessage = Message(8, 8, "first\nsecond");
  EXPECT_EQ(ChatPreview(FModel, privateChat), "first");
}

// The account's users and chats, and message n of message-facts-1.8.67.jsonl, as the model
// reads them.
class FactsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const std::string& line : Data("account-1.8.67.jsonl")) FModel.Apply(line);
  }
  static std::vector<std::string> Data(const char* aFile) {
    return NonEmptyLines(std::string(QVN_TEST_DATA_DIR) + "/" + aFile);
  }
  TqvnMessage Fact(int aNumber) {
    return FModel.Apply(Data("message-facts-1.8.67.jsonl").at(aNumber - 1)).Messages.at(0);
  }
  TqvnChatModel FModel;
};

TEST_F(FactsTest, BodiesOfPollsPlacesCallsAndServiceMessages) {
  FModel.Track(-1001000000002);
  Fact(1);  // held, so its pin quotes it
  const struct {
    int Number;
    const char* Body;
    bool Service;
  } cases[] = {
      {8, "Poll: Where do we eat? — Pasta 3, Sushi 5 ✓ (8 votes)", false},
      {9, "Quiz: Highest peak? — Mont Blanc 1, Matterhorn 0 (1 vote, closed)", false},
      {10, "Location 52.52, 13.40", false},
      {11, "Venue Refuge du Goûter, Saint-Gervais, France", false},
      {12, "Contact Ana Lima +4915550123", false},
      {13, "Outgoing call (1:02)", false},
      {14, "Missed video call", false},
      {15, "Dice 🎲 4", false},
      {16, "❤", false},
      {17, "Alice Moreau added Bob Okafor and Chen Wei", true},
      {18, "Bob Okafor joined the group", true},
      {19, "Chen Wei left the group", true},
      {20, "Alice Moreau removed User 999", true},
      {21, "Chen Wei joined by link", true},
      {22, "Alice Moreau changed the group name to “Climbing ⛰”", true},
      {23, "Bob Okafor pinned “Bold italic link Bob”", true},
      {24, "Alice Moreau created the group “Ropes”", true},
      {25, "Alice Moreau changed the group photo", true},
      {26, "Bob Okafor joined Telegram", true},
      {27, "Bob Okafor took a screenshot", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Number);
    const TqvnMessage message = Fact(c.Number);
    EXPECT_EQ(MessageBody(FModel, message), c.Body);
    EXPECT_EQ(IsServiceMessage(message), c.Service);
  }
  // Without the pinned message at hand, and the other ends of calls.
  TqvnMessage pin = Fact(23);
  pin.Details.PinnedMessageId = 5;
  EXPECT_EQ(MessageBody(FModel, pin), "Bob Okafor pinned a message");
  TqvnMessage call = Fact(13);
  const struct {
    bool Outgoing, Video;
    const char* End;
    int32_t Duration;
    const char* Body;
  } calls[] = {{false, false, "HungUp", 5, "Incoming call (0:05)"},
               {true, false, "Missed", 0, "Cancelled call"},
               {false, true, "Declined", 0, "Declined video call"},
               {true, true, "Disconnected", 0, "Outgoing video call"}};
  for (const auto& c : calls) {
    SCOPED_TRACE(c.Body);
    call.Outgoing = c.Outgoing;
    call.Details.IsVideoCall = c.Video;
    call.Details.CallEnd = c.End;
    call.Duration = c.Duration;
    EXPECT_EQ(MessageBody(FModel, call), c.Body);
  }
  // A poll nobody voted in yet lists its options alone.
  TqvnMessage poll = Fact(8);
  poll.Details.PollVoterCount = 0;
  poll.Details.PollOptions[1].Chosen = false;
  EXPECT_EQ(MessageBody(FModel, poll), "Poll: Where do we eat? — Pasta, Sushi");
  // A group's row names a service message's people once, not before it.
  TqvnChat climbing = *FModel.Chat(-1001000000002);
  climbing.LastMessage = Fact(21);
  EXPECT_EQ(ChatPreview(FModel, climbing), "Chen Wei joined by link");
}

TEST_F(FactsTest, ChatStatusSaysWhoIsThereAndWhatTheyDo) {
  constexpr int64_t kAlice = 6100000001, kBot = 6100000004, kClimb = -1001000000002,
                    kNews = -1001000000003, kFamily = -4000000001;
  const auto status = [this](const char* aStatus) {
    FModel.Apply(std::string(R"({"@type":"updateUserStatus","user_id":6100000001,"status":)") +
                 aStatus + "}");
    return ChatStatusText(FModel, *FModel.Chat(kAlice), kNoon);
  };
  const struct {
    const char* Status;
    const char* Text;
  } statuses[] = {
      {R"({"@type":"userStatusOnline","expires":1767614700})", "online"},
      // Online until a moment that has passed: seen then.
      {R"({"@type":"userStatusOnline","expires":1767610800})", "last seen today at 11:00"},
      {R"({"@type":"userStatusOffline","was_online":1767614520})", "last seen today at 12:02"},
      {R"({"@type":"userStatusOffline","was_online":1767519000})", "last seen yesterday at 09:30"},
      {R"({"@type":"userStatusOffline","was_online":1741780800})", "last seen 2025-03-12"},
      {R"({"@type":"userStatusRecently","by_my_privacy_settings":false})", "last seen recently"},
      {R"({"@type":"userStatusLastWeek","by_my_privacy_settings":false})", "last seen within a week"},
      {R"({"@type":"userStatusLastMonth","by_my_privacy_settings":false})", "last seen within a month"},
      {R"({"@type":"userStatusEmpty"})", ""},
  };
  for (const auto& c : statuses) EXPECT_EQ(status(c.Status), c.Text) << c.Status;
  EXPECT_EQ(ChatStatusText(FModel, *FModel.Chat(kBot), kNoon), "bot");

  // Groups and channels count their people once TDLib says how many.
  EXPECT_EQ(ChatStatusText(FModel, *FModel.Chat(kClimb), kNoon), "");
  FModel.Apply(R"({"@type":"updateSupergroup","supergroup":{"@type":"supergroup","id":1000000002,"member_count":7,"is_channel":false}})");
  FModel.Apply(R"({"@type":"updateSupergroup","supergroup":{"@type":"supergroup","id":1000000003,"member_count":1204,"is_channel":true}})");
  FModel.Apply(R"({"@type":"updateBasicGroup","basic_group":{"@type":"basicGroup","id":4000000001,"member_count":1}})");
  EXPECT_EQ(ChatStatusText(FModel, *FModel.Chat(kClimb), kNoon), "7 members");
  EXPECT_EQ(ChatStatusText(FModel, *FModel.Chat(kNews), kNoon), "1,204 subscribers");
  EXPECT_EQ(ChatStatusText(FModel, *FModel.Chat(kFamily), kNoon), "1 member");

  const auto action = [this](int64_t aChat, int64_t aUser, const char* aAction) {
    FModel.Apply(R"({"@type":"updateChatAction","chat_id":)" + std::to_string(aChat) +
                 R"(,"sender_id":{"@type":"messageSenderUser","user_id":)" + std::to_string(aUser) +
                 R"(},"action":{"@type":"chatAction)" + aAction + R"("}})");
  };
  const struct {
    int64_t Chat, User;
    const char* Action;
    const char* Text;
  } steps[] = {
      {kAlice, kAlice, "Typing", "typing…"},
      {kAlice, kAlice, "RecordingVoiceNote", "recording a voice message…"},
      {kAlice, kAlice, "Cancel", ""},  // back to her status: unknown
      {kClimb, kAlice, "Typing", "Alice is typing…"},
      {kClimb, 6100000002, "Typing", "Alice and Bob are typing…"},
      {kClimb, 6100000003, "Typing", "3 people are typing…"},
      {kClimb, 777, "ChoosingSticker", "3 people are typing…"},
      {kClimb, kAlice, "Cancel", "Bob and Chen are typing…"},
      {kClimb, 6100000002, "Cancel", "Chen is typing…"},
      {kClimb, 6100000003, "Cancel", "User 777 is choosing a sticker…"},
      {kClimb, 777, "UploadingDocument", "User 777 is sending a file…"},
      {kClimb, 777, "Cancel", "7 members"},
  };
  for (const auto& c : steps) {
    SCOPED_TRACE(c.Text);
    action(c.Chat, c.User, c.Action);
    EXPECT_EQ(ChatStatusText(FModel, *FModel.Chat(c.Chat), kNoon), c.Text);
  }
}

TEST(StatusText, StatesInWords) {
  const struct {
    const char* State;
    const char* Text;
  } states[] = {{"connectionStateWaitingForNetwork", "Waiting for network"},
                {"connectionStateConnectingToProxy", "Connecting to proxy…"},
                {"connectionStateConnecting", "Connecting…"},
                {"connectionStateUpdating", "Updating…"},
                {"connectionStateReady", "Ready"},
                {"", ""},
                {"connectionStateSomethingNew", "connectionStateSomethingNew"}};
  for (const auto& c : states) EXPECT_EQ(ConnectionStateText(c.State), c.Text) << c.State;
  EXPECT_EQ(LoginStepText("authorizationStateWaitPhoneNumber", false), "the phone number");
  EXPECT_EQ(LoginStepText("authorizationStateWaitPhoneNumber", true), "the bot token");
  EXPECT_EQ(LoginStepText("authorizationStateWaitCode", false), "the code");
  EXPECT_EQ(LoginStepText("authorizationStateWaitPassword", false), "the password");
  EXPECT_EQ(LoginStepText("authorizationStateReady", false), "");
  EXPECT_EQ(Trimmed("  12345 \t"), "12345");
  EXPECT_EQ(Trimmed(" "), "");
}

}  // namespace
}  // namespace qvn::test
