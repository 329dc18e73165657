// Reply markups: stored forms, fragments, callback data round trip.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>

#include "client/qvnTelegram_Records.h"
#include "client/qvnTelegram_ReplyMarkup.h"
#include "json/qvnBase_Helpers.h"

namespace qvn::test {
namespace {

// A fragment is a member, not an object: wrap it to parse it as strict JSON.
nlohmann::json ParseFragment(const std::string& aFragment) {
  return nlohmann::json::parse("{" + aFragment + "}").at("reply_markup");
}

TEST(ReplyMarkup, NoButtonsWritesNothing) {
  TqvnTelegramReplyMarkupInlineKeyboard inlineKeyboard;
  TqvnTelegramReplyMarkupShowKeyboard showKeyboard;
  EXPECT_EQ(inlineKeyboard.Write(), "");
  EXPECT_EQ(showKeyboard.Write(), "");
  EXPECT_EQ(GetInlineKeyboardMarkup(&inlineKeyboard), "");
  EXPECT_EQ(GetShowKeyboardMarkup(&showKeyboard), "");
  EXPECT_EQ(GetInlineKeyboardMarkup(nullptr), "");
  EXPECT_EQ(GetShowKeyboardMarkup(nullptr), "");
}

TEST(ReplyMarkup, InlineKeyboardWritesOneRowInOrder) {
  TqvnTelegramReplyMarkupInlineKeyboard keyboard;
  keyboard.AddButtonTypeCallback("Yes", "y");
  keyboard.AddButtonTypeURL("Site", "https://a.b/c");
  keyboard.AddButtonTypeCallback("50 % off", "");
  const std::string expected =
      "\"reply_markup\": {\"@type\": \"replyMarkupInlineKeyboard\",\"rows\": [["
      "{\"@type\": \"inlineKeyboardButton\",\"text\": \"Yes\",\"type\": {\"@type\": "
      "\"inlineKeyboardButtonTypeCallback\",\"data\": \"eQ==\"}},"
      "{\"@type\": \"inlineKeyboardButton\",\"text\": \"Site\",\"type\": {\"@type\": "
      "\"inlineKeyboardButtonTypeUrl\",\"url\": \"https:\\/\\/a.b\\/c\"}},"
      "{\"@type\": \"inlineKeyboardButton\",\"text\": \"50 % off\",\"type\": {\"@type\": "
      "\"inlineKeyboardButtonTypeCallback\",\"data\": \"\"}}"
      "]]}";
  EXPECT_EQ(keyboard.Write(), expected);
  EXPECT_EQ(keyboard.Write(), expected) << "writing twice gives the same text";
  EXPECT_EQ(GetInlineKeyboardMarkup(&keyboard), expected + ",");
}

TEST(ReplyMarkup, ShowKeyboardWritesFlagsAndButtons) {
  TqvnTelegramReplyMarkupShowKeyboard keyboard;
  keyboard.AddButtonTypeRequestLocation("Where");
  keyboard.AddButtonTypeRequestPhoneNumber("Phone");
  keyboard.AddButtonTypeText("OK");
  const std::string buttons =
      "{\"@type\": \"keyboardButton\",\"text\": \"Where\",\"type\": {\"@type\": "
      "\"keyboardButtonTypeRequestLocation\"}},"
      "{\"@type\": \"keyboardButton\",\"text\": \"Phone\",\"type\": {\"@type\": "
      "\"keyboardButtonTypeRequestPhoneNumber\"}},"
      "{\"@type\": \"keyboardButton\",\"text\": \"OK\",\"type\": {\"@type\": "
      "\"keyboardButtonTypeText\"}}]]}";
  EXPECT_EQ(
      keyboard.Write(),
      "\"reply_markup\": {\"@type\": \"replyMarkupShowKeyboard\", \"resize_keyboard\": false, "
      "\"one_time\": false, \"rows\": [[" +
          buttons);
  keyboard.SetResizeKeyboard(true);
  keyboard.SetOneTime(false);
  EXPECT_EQ(keyboard.Write(),
            "\"reply_markup\": {\"@type\": \"replyMarkupShowKeyboard\", \"resize_keyboard\": true, "
            "\"one_time\": false, \"rows\": [[" +
                buttons);
  keyboard.SetOneTime(true);
  EXPECT_EQ(keyboard.Write(),
            "\"reply_markup\": {\"@type\": \"replyMarkupShowKeyboard\", \"resize_keyboard\": true, "
            "\"one_time\": true, \"rows\": [[" +
                buttons);
}

TEST(ReplyMarkup, ButtonsStoreEscapedForms) {
  TqvnTelegramInlineKeyboardButtons list;
  list.AddButtonTypeCallback("say \"hi\" \xC3\xA9", "a\"b");
  list.AddButtonTypeURL("u", "http://x/y");
  ASSERT_EQ(list.Count(), 2u);
  const auto& callback =
      static_cast<const TqvnTelegramInlineKeyboardButtonTypeCallback&>(list.Item(0));
  EXPECT_EQ(callback.ButtonType(), tikbCallback);
  EXPECT_EQ(callback.Text(), "say \\\"hi\\\" \\u00E9");
  EXPECT_EQ(callback.Data(), EncodeBase64("a\\\"b", false));
  const auto& url = static_cast<const TqvnTelegramInlineKeyboardButtonTypeUrl&>(list.Item(1));
  EXPECT_EQ(url.ButtonType(), tikbUrl);
  EXPECT_EQ(url.Url(), "http:\\/\\/x\\/y");
  list.Clear();
  EXPECT_EQ(list.Count(), 0u);
}

// Hostile texts survive the trip: written as valid JSON that reads back as given, and the
// callback data comes back through Base64 decoding and unescaping as it was added.
TEST(ReplyMarkup, HostileTextsRoundTrip) {
  const std::string hostile = "q\"b\\s/%s%d\n\t\x01\x7F \xC3\xA9\xE4\xB8\xAD\xF0\x9F\x98\x80";
  TqvnTelegramReplyMarkupInlineKeyboard inlineKeyboard;
  inlineKeyboard.AddButtonTypeCallback(hostile, hostile);
  inlineKeyboard.AddButtonTypeURL(hostile, hostile);
  const nlohmann::json markup = ParseFragment(inlineKeyboard.Write());
  const auto& row = markup.at("rows").at(0);
  EXPECT_EQ(row.at(0).at("text"), hostile);
  EXPECT_EQ(UnescapeJSONString(DecodeBase64(row.at(0).at("type").at("data").get<std::string>())),
            hostile);
  EXPECT_EQ(row.at(1).at("text"), hostile);
  EXPECT_EQ(row.at(1).at("type").at("url"), hostile);

  TqvnTelegramReplyMarkupShowKeyboard showKeyboard;
  showKeyboard.AddButtonTypeText(hostile);
  EXPECT_EQ(ParseFragment(showKeyboard.Write()).at("rows").at(0).at(0).at("text"), hostile);
}

// What TDLib hands back when the button is pressed is the stored Base64 data; the callback-query
// record turns it into the data the button was made with.
TEST(ReplyMarkup, CallbackDataComesBackThroughTheCallbackQueryRecord) {
  for (const std::string& data : {std::string("a\"b/c"), std::string(""),
                                  std::string("\\ 100% \xC3\xA9 \xF0\x9F\x98\x80 \n")}) {
    SCOPED_TRACE(data);
    TqvnTelegramInlineKeyboardButtons list;
    list.AddButtonTypeCallback("b", data);
    const auto& button =
        static_cast<const TqvnTelegramInlineKeyboardButtonTypeCallback&>(list.Item(0));
    const std::string event =
        "{\"@type\":\"updateNewCallbackQuery\",\"id\":\"7\",\"sender_user_id\":42,"
        "\"chat_id\":-5,\"message_id\":9,\"chat_instance\":\"11\",\"payload\":{\"@type\":"
        "\"callbackQueryPayloadData\",\"data\":\"" +
        button.Data() + "\"}}";
    TqvnTelegramCallbackQuery query;
    query.ReadJSON(event);
    EXPECT_EQ(query.PayLoadData().Data(), data);
  }
}

}  // namespace
}  // namespace qvn::test
