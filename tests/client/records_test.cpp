// The typed records read from TDLib 1.8.67 event texts, the TDLib version comparison and the
// login request texts. No TDLib is loaded.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <string>
#include <vector>

#include "client/qvnTelegram_Login.h"
#include "client/qvnTelegram_Records.h"
#include "client/qvnTelegram_Version.h"
#include "json/qvnBase_Helpers.h"
#include "sample_events.h"

namespace qvn::test {
namespace {

// ---- Messages ----

TEST(MessageTextRecord, ReadsRecordedTextsUnescapedWithTheirSender) {
  struct Case {
    size_t Line;
    std::string ChatId;
    int64_t MessageId;
    std::string SenderUser;
    std::string SenderChat;
    std::string Text;
  };
  const std::vector<Case> cases = {
      {26, "-1998410622818", 308130349058, "5123456789", "",
       "Grüße aus München — die Brötchen sind fertig 🥐"},
      {32, "-631981270", 108097699840, "1873073521", "",
       "He said \"it's done\" and left. She replied: «не совсем» — „wirklich?“"},
      {33, "-1001894688191", 347774910464, "6381065061", "",
       "Line one\nLine two\n\nLine four after a blank line"},
      {39, "-1002377576651", 262443892736, "", "-1002377576651",
       "> quoted wisdom\nSimplicity is prerequisite for reliability.\n— E. W. Dijkstra"},
      {47, "-1001894688191", 347782250496, "4884804457", "",
       "Backslash \\ slash / quote \" apostrophe ' braces {} [] <tag> & amp"},
      {48, "4430377422", 85845868544, "5123456789", "",
       "Control chars: bell\x07 escape\x1b form-feed\f carriage-return\r end"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("messages-sample.jsonl line " + std::to_string(c.Line));
    TqvnTelegramMessageText record;
    record.ReadJSON(MessageSample(c.Line));
    EXPECT_EQ(record.ChatId(), c.ChatId);
    EXPECT_EQ(record.MessageId(), c.MessageId);
    EXPECT_EQ(record.SenderUser().UserId(), c.SenderUser);
    EXPECT_EQ(record.SenderChat().ChatId(), c.SenderChat);
    EXPECT_EQ(record.SenderUserId(), 0);  // only the older layout fills it
    EXPECT_EQ(record.Text(), c.Text);
    EXPECT_EQ(record.CaptionText(), "");
  }
}

TEST(MessageTextRecord, ReadsBothOlderSenderLayouts) {
  // TDLib before 1.7: a bare "sender_user_id".
  TqvnTelegramMessageText oldest;
  oldest.ReadJSON(R"({"@type":"updateNewMessage","message":{"@type":"message","id":1048576,)"
                  R"("sender_user_id":777000,"chat_id":777000,"content":{"@type":"messageText",)"
                  R"("text":{"@type":"formattedText","text":"Code: 12345","entities":[]}}}})");
  EXPECT_EQ(oldest.SenderUserId(), 777000);
  EXPECT_EQ(oldest.SenderUser().UserId(), "");
  EXPECT_EQ(oldest.SenderChat().ChatId(), "");
  EXPECT_EQ(oldest.Text(), "Code: 12345");

  // TDLib 1.7: the sender object was called "sender".
  TqvnTelegramMessageText older;
  older.ReadJSON(
      R"({"@type":"updateNewMessage","message":{"@type":"message","id":2097152,)"
      R"("sender":{"@type":"messageSenderChat","chat_id":-1001402924228},"chat_id":-1001402924228,)"
      R"("content":{"@type":"messageText","text":{"@type":"formattedText","text":"hi"}}}})");
  EXPECT_EQ(older.SenderChat().ChatId(), "-1001402924228");
  EXPECT_EQ(older.SenderUser().UserId(), "");
  EXPECT_EQ(older.SenderUserId(), 0);
}

TEST(MessageDocumentRecord, KeepsPathsAsSentAndUnescapesTheFileName) {
  std::string text = Replaced(MessageSample(29), R"("file_name":"presentation \"final\" v2.pptx")",
                              R"("file_name":"presentation \"final\" v2\\draft.pptx")");
  text = Replaced(text, R"("path":"")", R"("path":"C:\\Users\\me\\Downloads\\presentation.pptx")");
  TqvnTelegramMessageDocument record;
  record.ReadJSON(text);
  EXPECT_EQ(record.ChatId(), "4485405728");
  EXPECT_EQ(record.MessageId(), 6335496192);
  EXPECT_EQ(record.SenderUser().UserId(), "4485405728");
  EXPECT_EQ(record.FileName(), "presentation \"final\" v2\\draft.pptx");
  EXPECT_EQ(record.LocalPath(), R"(C:\\Users\\me\\Downloads\\presentation.pptx)");
  EXPECT_EQ(record.MimeType(),
            "application/vnd.openxmlformats-officedocument.presentationml.presentation");
  EXPECT_EQ(record.DocumentId(), "275");
  EXPECT_EQ(record.Size(), 104857600);
  EXPECT_EQ(record.RemoteDocumentId(),
            "BQACAgIAAxkBAAIkURet0sLkI1tHogIaCOrxGeZEpCl5Op5k7k_5--IO1on5_dNy3VHZz_pkyu8");
  EXPECT_EQ(record.CaptionText(), "Отчёт за ноябрь — см. стр. 3");
}

TEST(MessagePhotoRecord, TakesTheFileFieldsFromTheFirstOfThreeSizes) {
  const std::string text =
      Replaced(MessageSample(25), R"("path":"")", R"("path":"/home/ana/.tdlib/photos/m.jpg")");
  TqvnTelegramMessagePhoto record;
  record.ReadJSON(text);
  EXPECT_EQ(record.ChatId(), "-1998410622818");
  EXPECT_EQ(record.MessageId(), 308126154754);
  EXPECT_EQ(record.Size(), 20801);  // "m"; the "x" and "y" sizes are larger
  EXPECT_EQ(record.LocalPath(), "/home/ana/.tdlib/photos/m.jpg");
  EXPECT_EQ(
      record.RemotePhotoId(),
      "AgACAgIAAxkBAAINo8eam1SMIe9O5vq-pzUPWIfC_o6QthFSNTGEU8mqtxz0AovA4lOcp-ZxK_eQu__3dQobZF0");
  // TDLib 1.8 photos carry no id: the largest size's unique id ("y", 1280x960) names it.
  EXPECT_EQ(record.PhotoId(), "AgADcHJft8_HGslAV9ig");
  EXPECT_EQ(record.CaptionText(), "");

  // The largest size wins wherever TDLib lists it; of two equal ones, the later.
  const auto sizes = [](const std::string& aSizes) {
    TqvnTelegramMessagePhoto photo;
    photo.ReadJSON(R"({"@type":"updateNewMessage","message":{"content":{"@type":"messagePhoto",)"
                   R"("photo":{"sizes":[)" +
                   aSizes + "]}}}}");
    return photo.PhotoId();
  };
  const auto size = [](int aWidth, int aHeight, const char* aUniqueId) {
    return "{\"width\":" + std::to_string(aWidth) + ",\"height\":" + std::to_string(aHeight) +
           R"(,"photo":{"size":1,"remote":{"unique_id":")" + aUniqueId + R"("}}})";
  };
  EXPECT_EQ(sizes(size(800, 600, "big") + "," + size(90, 90, "small")), "big");
  EXPECT_EQ(sizes(size(90, 90, "a") + "," + size(90, 90, "b")), "b");
  EXPECT_EQ(sizes(""), "");

  TqvnTelegramMessagePhoto noSizes;
  noSizes.ReadJSON(
      R"({"@type":"updateNewMessage","message":{"id":1,"chat_id":2,"content":)"
      R"({"@type":"messagePhoto","photo":{"id":"5432","sizes":[]},"caption":{"text":"a\nb"}}}})");
  EXPECT_EQ(noSizes.PhotoId(), "5432");
  EXPECT_EQ(noSizes.Size(), 0);
  EXPECT_EQ(noSizes.LocalPath(), "");
  EXPECT_EQ(noSizes.RemotePhotoId(), "");
  EXPECT_EQ(noSizes.CaptionText(), "a\nb");
}

TEST(MessageVideoRecord, ReadsTheRecordedVideo) {
  TqvnTelegramMessageVideo record;
  record.ReadJSON(MessageSample(27));
  EXPECT_EQ(record.Duration(), 523);
  EXPECT_EQ(record.Width(), 720);
  EXPECT_EQ(record.Height(), 1280);
  EXPECT_EQ(record.VideoId(), "272");
  EXPECT_EQ(record.Size(), 105665782);
  EXPECT_EQ(record.LocalPath(), "");
  EXPECT_EQ(record.RemoteVideoId(),
            "BAACAgIAAxkBAAI7-VR7H9OW_5g119f2QN-btUmHtBttBTyxD0yZXN0hAIg_SJR3ZbL6IvYzMQkS1QTj");
  EXPECT_EQ(record.CaptionText(), "Scan of the \"contract\" (final).");
}

TEST(MessageRecords, ContentOfAnotherKindLeavesTheContentFieldsEmpty) {
  // A record reads only the content member it knows; the common fields still come through.
  TqvnTelegramMessageDocument document;
  document.ReadJSON(MessageSample(26));  // a text message
  EXPECT_EQ(document.ChatId(), "-1998410622818");
  EXPECT_EQ(document.FileName(), "");
  EXPECT_EQ(document.Size(), 0);

  TqvnTelegramMessageText text;
  text.ReadJSON(MessageSample(29));  // a document message
  EXPECT_EQ(text.Text(), "");
  EXPECT_EQ(text.CaptionText(), "Отчёт за ноябрь — см. стр. 3");
}

TEST(MessageRecords, MissingMembersLeaveFieldsZero) {
  const std::vector<std::string> texts = {
      "",
      R"({"@type":"updateNewMessage"})",
      R"({"@type":"updateNewMessage","message":{}})",
      R"({"@type":"updateNewMessage","message":{"sender_id":{"user_id":5},"content":{}}})",
      R"({"@type":"updateNewMessage","message":{"sender_id":{"@type":"messageSenderBot"}}})",
  };
  for (const std::string& text : texts) {
    SCOPED_TRACE(text);
    TqvnTelegramMessageText record;
    record.ReadJSON(text);
    EXPECT_EQ(record.ChatId(), "");
    EXPECT_EQ(record.MessageId(), 0);
    EXPECT_EQ(record.SenderUserId(), 0);
    EXPECT_EQ(record.SenderUser().UserId(), "");
    EXPECT_EQ(record.SenderChat().ChatId(), "");
    EXPECT_EQ(record.Text(), "");
  }

  // A text content without "@type" is read for the text it holds.
  TqvnTelegramMessageText untyped;
  untyped.ReadJSON(R"({"message":{"content":{"text":{"text":"plain \u00e9"}}}})");
  EXPECT_EQ(untyped.Text(), "plain é");
}

TEST(MessageRecords, ConversionErrorsStopTheRead) {
  TqvnTelegramMessageDocument badSize;
  EXPECT_THROW(
      badSize.ReadJSON(Replaced(MessageSample(29), R"("size":104857600)", R"("size":"abc")")),
      EqvnConvertError);

  TqvnTelegramMessageText badId;
  EXPECT_THROW(badId.ReadJSON(Replaced(MessageSample(26), R"("id":308130349058)", R"("id":"x1")")),
               EqvnConvertError);

  TqvnTelegramMessageText badEscape;
  EXPECT_THROW(badEscape.ReadJSON(Replaced(MessageSample(33), "Line one", R"(Line \x one)")),
               EqvnUnescapeError);
}

TEST(MessageRecords, MalformedTextKeepsWhatWasReadBeforeTheError) {
  const std::string full = MessageSample(26);
  TqvnTelegramMessageText record;
  record.ReadJSON(full.substr(0, full.find("\"is_outgoing\"")));  // cut after chat_id
  EXPECT_EQ(record.MessageId(), 308130349058);
  EXPECT_EQ(record.SenderUser().UserId(), "5123456789");
  EXPECT_EQ(record.ChatId(), "-1998410622818");
  EXPECT_EQ(record.Text(), "");
}

TEST(MessageSponsoredRecord, ReadsTopLevelMembers) {
  TqvnTelegramMessageSponsored record;
  record.ReadJSON(
      R"({"@type":"sponsoredMessage","message_id":10485760,"sponsor_chat_id":-1001402924228,)"
      R"("content":{"@type":"messageText","text":{"@type":"formattedText",)"
      R"("text":"Try \"Velune\" \u2014 fast","entities":[]}}})");
  EXPECT_EQ(record.MessageId(), "10485760");
  EXPECT_EQ(record.SponsorChatId(), "-1001402924228");
  EXPECT_EQ(record.Text(), "Try \"Velune\" — fast");
}

// ---- Chats ----

TEST(ChatRecord, ReadsEveryChatType) {
  struct Case {
    std::string Text;
    std::string ChatId;
    std::string ChatType;
    int64_t SuperGroupId;
    bool IsChannel;
    std::string Title;
  };
  const std::vector<Case> cases = {
      {MessageSample(5), "7358234183", "chatTypePrivate", 0, false, "Ahmed"},
      {MessageSample(13), "-735975180", "chatTypeBasicGroup", 0, false,
       "Семья 👨‍👩‍👧"},
      {MessageSample(16), "-1002223759965", "chatTypeSupergroup", 2223759965, false, "Remote jobs"},
      {MessageSample(20), "-1001402924228", "chatTypeSupergroup", 1402924228, true,
       "Official Announcements"},
      {MessageSample(23), "-1999669899166", "chatTypeSecret", 0, false, "Anna Ivanova"},
      // "is_channel" counts only beside "supergroup_id".
      {R"({"chat":{"id":1,"type":{"@type":"chatTypeBasicGroup","is_channel":true},"title":""}})",
       "1", "chatTypeBasicGroup", 0, false, ""},
      // Members TDLib always sends, missing: read what is there.
      {R"({"chat":{"id":2,"type":{"supergroup_id":77,"is_channel":true},"title":"A\\B"}})", "2", "",
       77, true, "A\\B"},
      {R"({"chat":{"id":3,"type":{"@type":"chatTypeSupergroup","supergroup_id":78}}})", "3",
       "chatTypeSupergroup", 78, false, ""},
      {R"({"@type":"updateNewChat"})", "", "", 0, false, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Text.substr(0, 120));
    TqvnTelegramChat record;
    record.ReadJSON(c.Text);
    EXPECT_EQ(record.ChatId(), c.ChatId);
    EXPECT_EQ(record.ChatType(), c.ChatType);
    EXPECT_EQ(record.SuperGroupId(), c.SuperGroupId);
    EXPECT_EQ(record.IsChannel(), c.IsChannel);
    EXPECT_EQ(record.Title(), c.Title);
  }
}

TEST(ChatRecord, ConversionErrorsThrow) {
  TqvnTelegramChat badChannel;
  EXPECT_THROW(badChannel.ReadJSON(
                   Replaced(MessageSample(20), R"("is_channel":true)", R"("is_channel":"maybe")")),
               EqvnConvertError);
  TqvnTelegramChat badTitle;
  EXPECT_THROW(badTitle.ReadJSON(R"({"chat":{"id":1,"title":"bad \x escape"}})"),
               EqvnUnescapeError);
}

// ---- Callback queries ----

TEST(CallbackQueryRecord, ReadsRecordedQueries) {
  TqvnTelegramCallbackQuery record;
  record.ReadJSON(MessageSample(42));
  EXPECT_EQ(record.Id(), "-6676326568010692366");
  EXPECT_EQ(record.SenderUserId(), 2146357742);
  EXPECT_EQ(record.ChatId(), "6147384590");
  EXPECT_EQ(record.MessageId(), 409801326592);
  EXPECT_EQ(record.ChatInstance(), "2574571422634401489");
  EXPECT_EQ(record.PayLoadData().Data(), "cb:Next:436");

  TqvnTelegramCallbackQuery nonAscii;
  nonAscii.ReadJSON(MessageSample(73));
  EXPECT_EQ(nonAscii.PayLoadData().Data(), "cb:Показать:610");

  // A button that asks for the password first carries its data all the same.
  TqvnTelegramCallbackQuery withPassword;
  withPassword.ReadJSON(MessageSample(70));
  EXPECT_EQ(withPassword.PayLoadData().Data(), "cb:👍:873");

  // A game payload carries no data.
  TqvnTelegramCallbackQuery game;
  game.ReadJSON(MessageSample(148));
  EXPECT_EQ(game.PayLoadData().Data(), "");
  EXPECT_NE(game.Id(), "");
}

// Data that no inline keyboard of ours made (another program's binary data) arrives byte for
// byte as TDLib decoded it: neither lost to an escape that does not decode, nor changed by one
// that does.
TEST(CallbackQueryRecord, HandsOnForeignBinaryDataUnchanged) {
  const auto payload = [](const std::string& aType, const std::string& aBytes) {
    return R"({"@type":"updateNewCallbackQuery","id":"1","payload":{"@type":")" + aType +
           R"(","data":")" + EncodeBase64(aBytes) + R"("}})";
  };
  const std::vector<std::string> data = {
      std::string("\x00\x01binary\xff\x9a", 10),  // recorded line 121
      "\xC5\\q\xFF",                              // a backslash that escapes nothing
      "ascii \\q",                                // the same in printable ASCII
      "\x81\\n",                                  // a backslash that would read as a line break
      "\\u12",                                    // a cut-off \u escape
  };
  for (const char* type : {"callbackQueryPayloadData", "callbackQueryPayloadDataWithPassword"}) {
    for (const std::string& bytes : data) {
      SCOPED_TRACE(std::string(type) + " " + EscapeJSONString(bytes));
      TqvnTelegramCallbackQuery record;
      ASSERT_NO_THROW(record.ReadJSON(payload(type, bytes)));
      EXPECT_EQ(record.PayLoadData().Data(), bytes);
    }
  }
  // Recorded binary data with a backslash before "R", which unescaping would turn into a CR.
  TqvnTelegramCallbackQuery recorded;
  recorded.ReadJSON(MessageSample(147));
  EXPECT_EQ(recorded.PayLoadData().Data(),
            DecodeBase64("Mk4hcQ1FPkrV/INaIrWBfDbJeqkf1WmEX2uX94UU/A/WubeN9jDQNvL+5xLTrVxSbes="));
}

TEST(CallbackQueryRecord, GivesBackTheDataTheKeyboardWasGiven) {
  // An inline keyboard button carries EncodeBase64(EscapeJSONString(data)).
  const std::vector<std::string> data = {
      "say \"hi\" / bye", "C:\\temp\\a.txt", "Показать ещё 👍", "line\nbreak\ttab", "",
  };
  for (const std::string& original : data) {
    SCOPED_TRACE(original);
    const std::string text =
        R"({"@type":"updateNewCallbackQuery","id":"1","sender_user_id":2,"chat_id":3,)"
        R"("message_id":4,"chat_instance":"5","payload":{"@type":"callbackQueryPayloadData",)"
        R"("data":")" +
        EncodeBase64(EscapeJSONString(original)) + R"("}})";
    TqvnTelegramCallbackQuery record;
    record.ReadJSON(text);
    EXPECT_EQ(record.PayLoadData().Data(), original);
  }
}

// ---- TDLib versions ----

TEST(TDLibVersion, ComparesNumericallyPartByPart) {
  struct Case {
    const char* Left;
    const char* Right;
    int Order;
  };
  const std::vector<Case> cases = {
      {"1.6.4", "1.8.1", -1},
      {"1.8.0", "1.8.1", -1},
      {"1.8.1", "1.8.1", 0},
      {"1.8.2", "1.8.1", 1},
      {"1.8.10", "1.8.1", 1},
      {"1.8.10", "1.8.9", 1},
      {"1.9.0", "1.8.1", 1},
      {"1.10.0", "1.8.1", 1},
      {"1.10.0", "1.9.99", 1},
      {"1.8.67", "1.8.1", 1},
      {"2", "1.99.99", 1},
      {"1.8", "1.8.0", 0},
      {"1.8.0.1", "1.8", 1},
      {"01.08.01", "1.8.1", 0},
      {"1.8.1-beta", "1.8.1", 0},
      {"", "0.0", 0},
      {"1.8.99999999999999999999", "1.8.1", 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.Left) + " vs " + c.Right);
    const int order = CompareTDLibVersions(c.Left, c.Right);
    EXPECT_EQ((order > 0) - (order < 0), c.Order);
    const int reverse = CompareTDLibVersions(c.Right, c.Left);
    EXPECT_EQ((reverse > 0) - (reverse < 0), -c.Order);
  }
  EXPECT_TRUE(TDLibVersionAtLeast("1.8.1", "1.8.1"));
  EXPECT_FALSE(TDLibVersionNewerThan("1.8.1", "1.8.1"));
}

// ---- Login requests ----

class TdlibParametersRequest : public ::testing::Test {
 protected:
  TdlibParametersRequest() {
    FOptions.API().SetApiId("94575");
    FOptions.API().SetApiHash("a3406de8d171bb422bb6ddf3bbd800e2");
  }
  TqvnTelegram_Options FOptions;
};

// TDLib kept the nested layout through 1.8.5, read the key among the flat members from 1.8.6
// and stopped reading "enable_storage_optimizer" at 1.8.24.
TEST_F(TdlibParametersRequest, LayoutFollowsTheVersion) {
  FOptions.SetDBEncryptionKey("k\"ey");
  const std::string members =
      R"("database_directory": "tdlib","use_message_database": true,"use_secret_chats": true,)"
      R"("api_id": 94575,"api_hash": "a3406de8d171bb422bb6ddf3bbd800e2", )"
      R"("system_language_code": "en", "device_model": "Desktop", "system_version": "Windows", )"
      R"("application_version": "1.0")";
  const std::string nested = R"({"@type": "setTdlibParameters", "parameters": {)" + members +
                             R"(, "enable_storage_optimizer": true}})";
  const std::string key =
      R"(, "database_encryption_key": "ayJleQ==", "@extra": "setTdlibParameters"})";
  const std::string flatWithOptimizer = R"({"@type": "setTdlibParameters", )" + members +
                                        R"(, "enable_storage_optimizer": true)" + key;
  const std::string flat = R"({"@type": "setTdlibParameters", )" + members + key;
  for (const char* version : {"1.6.4", "1.8.0", "1.8.1", "1.8.5", "1.8", ""}) {
    EXPECT_EQ(SetTdlibParametersRequest(FOptions, "tdlib", version), nested) << version;
  }
  for (const char* version : {"1.8.6", "1.8.10", "1.8.23"}) {
    EXPECT_EQ(SetTdlibParametersRequest(FOptions, "tdlib", version), flatWithOptimizer) << version;
  }
  for (const char* version : {"1.8.24", "1.8.67", "1.9.0", "1.10.0", "2.0"}) {
    EXPECT_EQ(SetTdlibParametersRequest(FOptions, "tdlib", version), flat) << version;
  }
  // Without a key the flat layout sends an empty one, which is what TDLib assumes.
  FOptions.SetDBEncryptionKey("");
  EXPECT_EQ(nlohmann::json::parse(SetTdlibParametersRequest(FOptions, "tdlib", "1.8.67"))
                .at("database_encryption_key"),
            "");
}

TEST_F(TdlibParametersRequest, EscapesEveryQuotedValue) {
  FOptions.API().SetApiHash("ha\"sh");
  FOptions.Parameters().SetDeviceModel("Büro \\ PC");
  FOptions.Parameters().SetSystemVersion("Debian\n12");
  FOptions.Parameters().SetApplicationVersion("1.0\", \"use_test_dc\": true");
  FOptions.Parameters().SetLanguageCode("de");
  const std::string request =
      SetTdlibParametersRequest(FOptions, R"(C:\Users\"me"\tdlib)", "1.8.67");
  EXPECT_EQ(request,
            R"({"@type": "setTdlibParameters", "database_directory": "C:\\Users\\\"me\"\\tdlib",)"
            R"("use_message_database": true,"use_secret_chats": true,"api_id": 94575,)"
            R"("api_hash": "ha\"sh", "system_language_code": "de", )"
            R"("device_model": "B\u00FCro \\ PC", "system_version": "Debian\n12", )"
            R"("application_version": "1.0\", \"use_test_dc\": true", )"
            R"("database_encryption_key": "", "@extra": "setTdlibParameters"})");

  // A strict JSON parser finds every value exactly as typed, and no injected member.
  for (const char* version : {"1.8.67", "1.6.4"}) {
    SCOPED_TRACE(version);
    const nlohmann::json parsed = nlohmann::json::parse(
        SetTdlibParametersRequest(FOptions, R"(C:\Users\"me"\tdlib)", version));
    const nlohmann::json& members = parsed.contains("parameters") ? parsed["parameters"] : parsed;
    EXPECT_EQ(members["database_directory"], R"(C:\Users\"me"\tdlib)");
    EXPECT_EQ(members["api_id"], 94575);
    EXPECT_EQ(members["api_hash"], "ha\"sh");
    EXPECT_EQ(members["device_model"], "Büro \\ PC");
    EXPECT_EQ(members["system_version"], "Debian\n12");
    EXPECT_EQ(members["application_version"], "1.0\", \"use_test_dc\": true");
    EXPECT_FALSE(members.contains("use_test_dc"));
  }
}

TEST_F(TdlibParametersRequest, RequiresADecimalApiId) {
  for (const char* bad : {"", "12a", " 94575", "94575 ", "-5", "+5", "1.5", "0x10", "2147483648",
                          "94575, \"x\": 1"}) {
    SCOPED_TRACE(bad);
    FOptions.API().SetApiId(bad);
    try {
      SetTdlibParametersRequest(FOptions, "tdlib", "1.8.67");
      ADD_FAILURE() << "no exception";
    } catch (const EqvnTelegramOptionError& e) {
      EXPECT_STREQ(e.what(), "API id must be a decimal number");
    }
  }
  FOptions.API().SetApiId("0094575");
  EXPECT_NE(SetTdlibParametersRequest(FOptions, "tdlib", "1.8.67").find(R"("api_id": 94575,)"),
            std::string::npos);
}

TEST(LoginRequests, EscapeTheirValues) {
  EXPECT_EQ(CheckDatabaseEncryptionKeyRequest("k\"ey"),
            R"({"@type": "checkDatabaseEncryptionKey", "encryption_key": "ayJleQ==", )"
            R"("@extra": "checkDatabaseEncryptionKey"})");
  EXPECT_EQ(SetAuthenticationPhoneNumberRequest("+49 151 2345"),
            R"({"@type": "setAuthenticationPhoneNumber", "phone_number": "+49 151 2345"})");
  EXPECT_EQ(CheckAuthenticationBotTokenRequest("123:AB\\c"),
            R"({"@type": "checkAuthenticationBotToken", "token": "123:AB\\c"})");
  EXPECT_EQ(CheckAuthenticationCodeRequest(""),
            R"({"@type": "checkAuthenticationCode", "code": ""})");
  EXPECT_EQ(CheckAuthenticationPasswordRequest("pa\"ss\\word"),
            R"({"@type": "checkAuthenticationPassword", "password": "pa\"ss\\word"})");
  EXPECT_EQ(RegisterUserRequest("Zoë", "O\"Neil"),
            R"({"@type": "registerUser", "first_name": "Zo\u00EB", "last_name": "O\"Neil"})");

  // Whatever the user types arrives as typed.
  for (const std::string value :
       {"pa\"ss\\word", "Zoë 👍", "line\nbreak\ttab", "a/b", "\x01\x7f", "\", \"x\": \""}) {
    SCOPED_TRACE(value);
    EXPECT_EQ(nlohmann::json::parse(CheckAuthenticationPasswordRequest(value))["password"], value);
    EXPECT_EQ(nlohmann::json::parse(CheckAuthenticationCodeRequest(value))["code"], value);
    // The key is bytes to TDLib: Base64 of exactly what was typed.
    EXPECT_EQ(DecodeBase64(
                  nlohmann::json::parse(CheckDatabaseEncryptionKeyRequest(value))["encryption_key"]
                      .get<std::string>()),
              value);
    TqvnTelegram_Options options;
    options.API().SetApiId("1");
    options.SetDBEncryptionKey(value);
    EXPECT_EQ(DecodeBase64(nlohmann::json::parse(SetTdlibParametersRequest(
                  options, "", "1.8.67"))["database_encryption_key"]
                               .get<std::string>()),
              value);
    EXPECT_EQ(nlohmann::json::parse(SetAuthenticationPhoneNumberRequest(value))["phone_number"],
              value);
    EXPECT_EQ(nlohmann::json::parse(CheckAuthenticationBotTokenRequest(value))["token"], value);
    const nlohmann::json names = nlohmann::json::parse(RegisterUserRequest(value, value));
    EXPECT_EQ(names["first_name"], value);
    EXPECT_EQ(names["last_name"], value);
    EXPECT_EQ(names.size(), 3u);
  }
}

// TDLib's errors refusing the database key become a clear error; any other event, TDLib's other
// errors included, does not.
TEST(LoginRequests, RefusedDatabaseKeyIsReportedClearly) {
  struct RefusalCase {
    const char* Name;
    std::string Event;
    const char* Message;  // nullptr: no refusal
  };
  const std::vector<RefusalCase> cases = {
      {"flat parameters, wrong key",
       R"({"@type":"error","code":401,"message":"Wrong database encryption key",)"
       R"("@extra":"setTdlibParameters"})",
       "The database encryption key was refused (TDLib error 401: Wrong database encryption key)"},
      {"flat parameters, another fault (reported as OnAuthenticationError instead)",
       R"({"@type":"error","code":400,"message":"Valid api_id must be provided",)"
       R"("@extra":"setTdlibParameters"})",
       nullptr},
      {"key check of the nested layout",
       R"({"@type":"error","code":400,"message":"Wrong password","@extra":"checkDatabaseEncryptionKey"})",
       "The database encryption key was refused (TDLib error 400: Wrong password)"},
      {"escaped message",
       R"({"@type":"error","code":401,"message":"a\"b\u00e9","@extra":"checkDatabaseEncryptionKey"})",
       "The database encryption key was refused (TDLib error 401: a\"b\u00e9)"},
      {"another request's error",
       R"({"@type":"error","code":400,"message":"Wrong password","@extra":7})", nullptr},
      {"an error without a tag", R"({"@type":"error","code":401,"message":"Unauthorized"})",
       nullptr},
      {"an answer that is no error", R"({"@type":"ok","@extra":"setTdlibParameters"})", nullptr},
  };
  for (const RefusalCase& c : cases) {
    SCOPED_TRACE(c.Name);
    TqvnJSON event;
    event.Read(c.Event);
    const std::unique_ptr<EqvnTelegramLoginError> refusal = LoginRefusal(event);
    if (c.Message == nullptr) {
      EXPECT_EQ(refusal, nullptr);
    } else {
      ASSERT_NE(refusal, nullptr);
      EXPECT_STREQ(refusal->what(), c.Message);
    }
  }
}

}  // namespace
}  // namespace qvn::test
