// The window's chat model on TDLib 1.8.67 texts: the scripted account's users and chats
// (tests/data/account-1.8.67.jsonl), its histories, the sample messages of every kind
// (tests/data/messages-sample.jsonl), and messages with what a conversation shows besides the
// text: pictures, replies, forwards, reactions, polls, places, calls, service messages
// (tests/data/message-facts-1.8.67.jsonl; message n's id is n << 20).
#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
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

// Message n of message-facts-1.8.67.jsonl, as the model reads it.
TqvnMessage Fact(TqvnChatModel& aModel, int aNumber) {
  return aModel.Apply(Lines("message-facts-1.8.67.jsonl").at(aNumber - 1)).Messages.at(0);
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
  // The model's order of the account's first six chats (the cases below move those).
  std::vector<int64_t> OrderOfFirstSix() const {
    const std::vector<int64_t> six = {kAlice, kFamily, kClimb, kNews, kBot, kOldFlat};
    std::vector<int64_t> order;
    for (int64_t id : FModel.ChatIdsInOrder()) {
      if (std::find(six.begin(), six.end(), id) != six.end()) order.push_back(id);
    }
    return order;
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
  EXPECT_EQ(OrderOfFirstSix(), (std::vector<int64_t>{kAlice, kFamily, kClimb, kNews, kBot, kOldFlat}));
  EXPECT_EQ(FModel.ChatIdsInOrder().size(), 19u);
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
    EXPECT_EQ(OrderOfFirstSix(), step.Order);
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

TEST_F(ChatModelTest, ReadsTextRangesRepliesForwardsAndReactions) {
  const TqvnMessage text = Fact(FModel, 1);
  const struct {
    int32_t Offset, Length;
    const char* Type;
    const char* Url;
    int64_t UserId;
  } entities[] = {{0, 4, "Bold", "", 0},
                  {5, 6, "Italic", "", 0},
                  {12, 4, "TextUrl", "https://example.org/a", 0},
                  {17, 3, "MentionName", "", kBob}};
  ASSERT_EQ(text.Entities.size(), std::size(entities));
  for (size_t i = 0; i < std::size(entities); ++i) {
    SCOPED_TRACE(entities[i].Type);
    EXPECT_EQ(text.Entities[i].Offset, entities[i].Offset);
    EXPECT_EQ(text.Entities[i].Length, entities[i].Length);
    EXPECT_EQ(text.Entities[i].Type, entities[i].Type);
    EXPECT_EQ(text.Entities[i].Url, entities[i].Url);
    EXPECT_EQ(text.Entities[i].UserId, entities[i].UserId);
  }
  ASSERT_EQ(text.Reactions.size(), 3u);
  EXPECT_EQ(text.Reactions[0].Emoji, "👍");
  EXPECT_EQ(text.Reactions[0].Count, 3);
  EXPECT_TRUE(text.Reactions[0].Chosen);
  EXPECT_EQ(text.Reactions[1].Label, "custom");
  EXPECT_EQ(text.Reactions[2].Label, "★");
  EXPECT_EQ(text.Reactions[2].Count, 2);
  EXPECT_FALSE(text.Reactions[2].Chosen);

  // A caption keeps its ranges too.
  const TqvnMessage photo = Fact(FModel, 2);
  EXPECT_EQ(photo.Text, "Ridge at dawn #alps");
  ASSERT_EQ(photo.Entities.size(), 1u);
  EXPECT_EQ(photo.Entities[0].Type, "Hashtag");

  const struct {
    int Number;
    int64_t ReplyChat, ReplyMessage;
    bool Forwarded;
    int64_t FromUser, FromChat;
    const char* FromName;
  } cases[] = {
      {1, kClimb, int64_t{2} << 20, true, 6100000003, 0, ""},  // reply chat 0: this chat
      {2, kNews, int64_t{9} << 20, true, 0, kNews, ""},        // a channel's post
      {3, 0, 0, true, 0, 0, "Ghost Writer"},                   // a hidden user
      {4, 0, 0, true, 0, kOldFlat, ""},                        // a group's anonymous admin
      {5, 0, 0, false, 0, 0, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Number);
    const TqvnMessage message = Fact(FModel, c.Number);
    EXPECT_EQ(message.ReplyToChatId, c.ReplyChat);
    EXPECT_EQ(message.ReplyToMessageId, c.ReplyMessage);
    ASSERT_EQ(message.ForwardedFrom.has_value(), c.Forwarded);
    if (!c.Forwarded) continue;
    EXPECT_EQ(message.ForwardedFrom->UserId, c.FromUser);
    EXPECT_EQ(message.ForwardedFrom->ChatId, c.FromChat);
    EXPECT_EQ(message.ForwardedFrom->SenderName, c.FromName);
  }
}

TEST_F(ChatModelTest, PicturesFitTheViewAndMinithumbnailsAreDecoded) {
  const struct {
    int Number;
    const char* What;
    int32_t PictureFileId, Width, Height;
    size_t MinithumbnailBytes;
  } cases[] = {
      {2, "the smallest photo size at least 320 px on its longer side", 402, 320, 240, 6},
      {3, "a small photo's largest size; bad base64: no minithumbnail", 412, 160, 107, 0},
      {4, "a video's JPEG thumbnail", 421, 320, 180, 3},
      {5, "an animation's MPEG-4 thumbnail Qt cannot draw", 0, 0, 0, 0},
      {6, "a WEBP sticker itself", 441, 512, 512, 0},
      {7, "an animated sticker's WEBP thumbnail", 452, 128, 128, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.What);
    const TqvnMessage message = Fact(FModel, c.Number);
    EXPECT_EQ(message.PictureFileId, c.PictureFileId);
    EXPECT_EQ(message.PictureWidth, c.Width);
    EXPECT_EQ(message.PictureHeight, c.Height);
    EXPECT_EQ(message.Minithumbnail.Jpeg.size(), c.MinithumbnailBytes);
  }
  const TqvnMessage photo = Fact(FModel, 2);
  EXPECT_EQ(photo.Minithumbnail.Jpeg.substr(0, 3), "\xFF\xD8\xFF");
  EXPECT_EQ(photo.Minithumbnail.Width, 40);
  EXPECT_EQ(photo.FileId, 404);  // a click still opens the largest
  EXPECT_EQ(Fact(FModel, 3).Minithumbnail.Width, 0);
  // The picture's file is known once its message is held.
  FModel.Track(kClimb);
  Fact(FModel, 2);
  ASSERT_NE(FModel.File(402), nullptr);
  EXPECT_EQ(FModel.File(402)->Size, 20801);
}

TEST_F(ChatModelTest, ReadsPollsPlacesContactsCallsAndServiceFacts) {
  const TqvnMessage poll = Fact(FModel, 8);
  EXPECT_EQ(poll.Details.Title, "Where do we eat?");
  ASSERT_EQ(poll.Details.PollOptions.size(), 2u);
  EXPECT_EQ(poll.Details.PollOptions[1].Text, "Sushi");
  EXPECT_EQ(poll.Details.PollOptions[1].VoterCount, 5);
  EXPECT_TRUE(poll.Details.PollOptions[1].Chosen);
  EXPECT_EQ(poll.Details.PollVoterCount, 8);
  EXPECT_FALSE(poll.Details.IsQuiz);
  const TqvnMessage quiz = Fact(FModel, 9);
  EXPECT_TRUE(quiz.Details.IsQuiz);
  EXPECT_TRUE(quiz.Details.PollClosed);
  const TqvnMessage venue = Fact(FModel, 11);
  EXPECT_NEAR(venue.Details.Latitude, 45.8326, 1e-9);
  EXPECT_EQ(venue.Details.Address, "Saint-Gervais, France");
  const TqvnMessage contact = Fact(FModel, 12);
  EXPECT_EQ(contact.Details.Title, "Ana Lima");
  EXPECT_EQ(contact.Details.PhoneNumber, "4915550123");
  const TqvnMessage call = Fact(FModel, 14);
  EXPECT_TRUE(call.Details.IsVideoCall);
  EXPECT_EQ(call.Details.CallEnd, "Missed");
  EXPECT_EQ(Fact(FModel, 13).Duration, 62);
  EXPECT_EQ(Fact(FModel, 15).Details.DiceValue, 4);
  EXPECT_EQ(Fact(FModel, 17).Details.UserIds, (std::vector<int64_t>{kBob, 6100000003}));
  EXPECT_EQ(Fact(FModel, 22).Details.Title, "Climbing ⛰");
  EXPECT_EQ(Fact(FModel, 23).Details.PinnedMessageId, int64_t{1} << 20);
}

TEST_F(ChatModelTest, ChatAndUserUpdatesKeepWhatTheHeaderAndRowsShow) {
  LoadAccount();
  const struct {
    std::string Update;
    TqvnModelChange::TKind Kind;
  } steps[] = {
      {R"({"@type":"updateChatReadOutbox","chat_id":6100000001,"last_read_outbox_message_id":212860928})",
       TqvnModelChange::chat},
      {R"({"@type":"updateChatReadInbox","chat_id":6100000001,"last_read_inbox_message_id":211812352,"unread_count":2})",
       TqvnModelChange::chat},
      {R"({"@type":"updateChatPhoto","chat_id":6100000001,"photo":{"@type":"chatPhotoInfo","small":{"@type":"file","id":77,"size":5000},"big":{"@type":"file","id":78,"size":50000},"minithumbnail":{"@type":"minithumbnail","width":8,"height":8,"data":"/9j/4AAQ"},"has_animation":false,"is_personal":false}})",
       TqvnModelChange::chat},
      {R"({"@type":"updateUserStatus","user_id":6100000001,"status":{"@type":"userStatusOffline","was_online":1767610000}})",
       TqvnModelChange::user},
      // About users and chats TDLib never announced: nothing.
      {R"({"@type":"updateUserStatus","user_id":42,"status":{"@type":"userStatusOnline","expires":1767610000}})",
       TqvnModelChange::none},
      {R"({"@type":"updateChatReadOutbox","chat_id":42,"last_read_outbox_message_id":1})",
       TqvnModelChange::none},
  };
  for (const auto& step : steps) {
    SCOPED_TRACE(step.Update);
    EXPECT_EQ(FModel.Apply(step.Update).Kind, step.Kind);
  }
  const TqvnChat* alice = FModel.Chat(kAlice);
  EXPECT_EQ(alice->LastReadOutboxMessageId, 212860928);
  EXPECT_EQ(alice->LastReadInboxMessageId, 211812352);
  EXPECT_EQ(alice->UnreadCount, 2);
  EXPECT_EQ(alice->PhotoFileId, 77);
  EXPECT_EQ(alice->PhotoMinithumbnail.Jpeg.size(), 6u);
  EXPECT_EQ(FModel.User(kAlice)->Status, "Offline");
  EXPECT_EQ(FModel.User(kAlice)->StatusTime, 1767610000);
  EXPECT_EQ(FModel.User(kMe)->Status, "Recently");
  EXPECT_EQ(FModel.Chat(kNews)->SupergroupId, 1000000003);
  EXPECT_TRUE(FModel.Chat(kNews)->IsChannel);
  EXPECT_EQ(FModel.Chat(kFamily)->BasicGroupId, 4000000001);
}

TEST_F(ChatModelTest, ChatsFollowTheirKindsDefaultMutingUnlessSetThemselves) {
  LoadAccount();
  const auto scope = [](const char* aScope, int aMuteFor) {
    return std::string(R"({"@type":"updateScopeNotificationSettings","scope":{"@type":"notificationSettingsScope)") +
           aScope + R"("},"notification_settings":{"@type":"scopeNotificationSettings","mute_for":)" +
           std::to_string(aMuteFor) + R"(,"sound_id":"0","show_preview":true,"use_default_mute_stories":true,"mute_stories":false,"story_sound_id":"0","show_story_poster":true,"disable_pinned_message_notifications":false,"disable_mention_notifications":false}})";
  };
  const auto own = [](int64_t aChatId, bool aDefault, int aMuteFor) {
    return R"({"@type":"updateChatNotificationSettings","chat_id":)" + std::to_string(aChatId) +
           R"(,"notification_settings":{"@type":"chatNotificationSettings","use_default_mute_for":)" +
           (aDefault ? "true" : "false") + R"(,"mute_for":)" + std::to_string(aMuteFor) +
           R"(,"use_default_sound":true,"sound_id":"0","use_default_show_preview":true,"show_preview":false}})";
  };
  // Climbing unmutes itself; then groups are muted by default: Family and the archived flat.
  EXPECT_EQ(FModel.Apply(own(kClimb, false, 0)).Kind, TqvnModelChange::chat);
  TqvnModelChange change = FModel.Apply(scope("GroupChats", 2147483647));
  EXPECT_EQ(change.Kind, TqvnModelChange::chat);
  EXPECT_EQ(change.ChatId, 0);
  const auto changed = [&change](int64_t aChatId) {
    return std::find(change.ChatIds.begin(), change.ChatIds.end(), aChatId) != change.ChatIds.end();
  };
  EXPECT_TRUE(changed(kOldFlat) && changed(kFamily));
  EXPECT_FALSE(changed(kClimb) || changed(kNews) || changed(kAlice));
  EXPECT_TRUE(FModel.Chat(kFamily)->Muted);
  EXPECT_FALSE(FModel.Chat(kClimb)->Muted);
  EXPECT_FALSE(FModel.Chat(kNews)->Muted);  // a channel: another kind
  // Another muting default changes no chat.
  EXPECT_EQ(FModel.Apply(scope("GroupChats", 3600)).Kind, TqvnModelChange::none);
  // Back to the default: muted with its kind.
  FModel.Apply(own(kClimb, true, 0));
  EXPECT_TRUE(FModel.Chat(kClimb)->Muted);
  // Its own muting wins over an unmuted default.
  FModel.Apply(own(kAlice, false, 600));
  FModel.Apply(scope("PrivateChats", 0));
  EXPECT_TRUE(FModel.Chat(kAlice)->Muted);
  EXPECT_FALSE(FModel.Chat(kBot)->Muted);
  // A chat announced after the default learns it.
  FModel.Apply(scope("ChannelChats", 60));
  FModel.Apply(R"({"@type":"updateNewChat","chat":{"@type":"chat","id":-1001000000077,"type":{"@type":"chatTypeSupergroup","supergroup_id":1000000077,"is_channel":true},"title":"Late","positions":[],"unread_count":0,"notification_settings":{"@type":"chatNotificationSettings","use_default_mute_for":true,"mute_for":0}}})");
  EXPECT_TRUE(FModel.Chat(-1001000000077)->Muted);
}

TEST_F(ChatModelTest, MemberCountsComeFromTheGroupsWhicheverIsAnnouncedFirst) {
  // The supergroup before its chat: kept for it.
  EXPECT_EQ(FModel.Apply(R"({"@type":"updateSupergroup","supergroup":{"@type":"supergroup","id":1000000002,"date":1700000000,"status":{"@type":"chatMemberStatusMember"},"member_count":1204,"is_channel":false}})").Kind,
            TqvnModelChange::none);
  LoadAccount();
  EXPECT_EQ(FModel.MemberCount(kClimb), 1204);
  const struct {
    std::string Update;
    int64_t ChatId;
    int32_t Count;
    bool Reported;
  } steps[] = {
      {R"({"@type":"updateBasicGroup","basic_group":{"@type":"basicGroup","id":4000000001,"member_count":4,"status":{"@type":"chatMemberStatusMember"},"is_active":true,"upgraded_to_supergroup_id":0}})",
       kFamily, 4, true},
      {R"({"@type":"updateBasicGroupFullInfo","basic_group_id":4000000001,"basic_group_full_info":{"@type":"basicGroupFullInfo","description":"","creator_user_id":6100000001,"members":[{"@type":"chatMember"},{"@type":"chatMember"},{"@type":"chatMember"},{"@type":"chatMember"},{"@type":"chatMember"}]}})",
       kFamily, 5, true},
      {R"({"@type":"supergroup","id":1000000003,"member_count":12000,"is_channel":true,"@extra":"7"})",
       kNews, 12000, true},
      {R"({"@type":"updateSupergroupFullInfo","supergroup_id":1000000003,"supergroup_full_info":{"@type":"supergroupFullInfo","description":"","member_count":12001}})",
       kNews, 12001, true},
      // A count of 0 is TDLib not knowing it: the one known stays.
      {R"({"@type":"updateSupergroup","supergroup":{"@type":"supergroup","id":1000000003,"member_count":0,"is_channel":true}})",
       kNews, 12001, false},
  };
  for (const auto& step : steps) {
    SCOPED_TRACE(step.Update);
    const TqvnModelChange change = FModel.Apply(step.Update);
    EXPECT_EQ(change.Kind, step.Reported ? TqvnModelChange::chat : TqvnModelChange::none);
    EXPECT_EQ(change.ChatId, step.Reported ? step.ChatId : 0);
    EXPECT_EQ(FModel.MemberCount(step.ChatId), step.Count);
  }
  EXPECT_EQ(FModel.MemberCount(kAlice), 0);
  EXPECT_EQ(FModel.MemberCount(42), 0);
}

TEST_F(ChatModelTest, ChatActionsStartChangeAndStopPerSender) {
  const auto action = [](int64_t aUser, const char* aAction) {
    return R"({"@type":"updateChatAction","chat_id":-1001000000002,"sender_id":{"@type":"messageSenderUser","user_id":)" +
           std::to_string(aUser) + R"(},"action":{"@type":"chatAction)" + aAction + R"("}})";
  };
  const struct {
    std::string Update;
    std::vector<std::string> Actions;  // "user:action" in the order they started
  } steps[] = {
      {action(kAlice, "Typing"), {"6100000001:Typing"}},
      {action(kBob, "RecordingVoiceNote"), {"6100000001:Typing", "6100000002:RecordingVoiceNote"}},
      {action(kAlice, "UploadingPhoto"),
       {"6100000001:UploadingPhoto", "6100000002:RecordingVoiceNote"}},
      {action(kAlice, "Cancel"), {"6100000002:RecordingVoiceNote"}},
      {action(kAlice, "Cancel"), {"6100000002:RecordingVoiceNote"}},  // nothing to cancel
      {action(kBob, "Cancel"), {}},
  };
  for (const auto& step : steps) {
    SCOPED_TRACE(step.Update);
    const TqvnModelChange change = FModel.Apply(step.Update);
    EXPECT_EQ(change.Kind, TqvnModelChange::chatAction);
    EXPECT_EQ(change.ChatId, kClimb);
    std::vector<std::string> actions;
    for (const auto& held : FModel.ChatActions(kClimb)) {
      actions.push_back(std::to_string(held.SenderUserId) + ":" + held.Action);
    }
    EXPECT_EQ(actions, step.Actions);
  }
}

TEST_F(ChatModelTest, ReactionsAndEditsOfHeldMessagesStayInStep) {
  FModel.Track(kClimb);
  Fact(FModel, 1);
  const int64_t id = int64_t{1} << 20;
  const std::string reactions =
      R"({"@type":"updateMessageInteractionInfo","chat_id":-1001000000002,"message_id":)" +
      std::to_string(id) +
      R"(,"interaction_info":{"@type":"messageInteractionInfo","view_count":0,"forward_count":0,"reactions":{"@type":"messageReactions","reactions":[{"@type":"messageReaction","type":{"@type":"reactionTypeEmoji","emoji":"\ud83d\udd25"},"total_count":1,"is_chosen":false,"recent_sender_ids":[]}],"are_tags":false,"paid_reactors":[],"can_get_added_reactions":false}}})";
  const TqvnModelChange change = FModel.Apply(reactions);
  EXPECT_EQ(change.Kind, TqvnModelChange::messageChanged);
  EXPECT_EQ(change.MessageId, id);
  ASSERT_EQ(FModel.FindMessage(kClimb, id)->Reactions.size(), 1u);
  EXPECT_EQ(FModel.FindMessage(kClimb, id)->Reactions[0].Emoji, "🔥");
  // No interaction info: no reactions left.
  FModel.Apply(R"({"@type":"updateMessageInteractionInfo","chat_id":-1001000000002,"message_id":)" +
               std::to_string(id) + "}");
  EXPECT_TRUE(FModel.FindMessage(kClimb, id)->Reactions.empty());
  EXPECT_EQ(FModel.Apply(R"({"@type":"updateMessageInteractionInfo","chat_id":-1001000000002,"message_id":5})").Kind,
            TqvnModelChange::none);
  // An edit replaces the text's ranges with the new ones.
  FModel.Apply(R"({"@type":"updateMessageContent","chat_id":-1001000000002,"message_id":)" +
               std::to_string(id) +
               R"(,"new_content":{"@type":"messageText","text":{"@type":"formattedText","text":"plain now","entities":[{"@type":"textEntity","offset":0,"length":5,"type":{"@type":"textEntityTypeCode"}}]}}})");
  const TqvnMessage* edited = FModel.FindMessage(kClimb, id);
  EXPECT_TRUE(edited->Edited);
  ASSERT_EQ(edited->Entities.size(), 1u);
  EXPECT_EQ(edited->Entities[0].Type, "Code");
  EXPECT_EQ(edited->Entities[0].Length, 5);
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
  // A page that repeats a message, and messages held already, adds none of them twice.
  TqvnMessage oldest = page[11];
  oldest.Id = int64_t{100} << 20;
  EXPECT_EQ(FModel.AddHistory(kFamily, {page[0], oldest, page[11], oldest, page[6]}), 1);
  std::vector<int64_t> expected = {oldest.Id};
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
