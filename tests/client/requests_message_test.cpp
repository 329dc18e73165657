// Message request texts: exact templates, escaping, keyboards, invoices, version layouts.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "client/qvnTelegram_MessageActions.h"
#include "client/qvnTelegram_MessageRequests.h"
#include "client/qvnTelegram_RequestText.h"
#include "json/qvnBase_Helpers.h"

namespace qvn::test {
namespace {

constexpr const char* kUnreportedVersion = "1.6.4";  // the client's version before TDLib reports one

// The header every send request starts with, for chat "-100123".
const std::string kSendHead = "{\"@type\": \"sendMessage\",\"chat_id\": \"-100123\",";

const std::string kFreshInvoiceContent =
    "{\"@type\": \"inputMessageInvoice\", \"invoice\": {\"currency\": \"\", \"price_parts\": "
    "[{\"label\": \"Total\", \"amount\": 0}], \"is_test\": false, \"need_name\": false, "
    "\"need_phone_number\": false, \"need_email_address\": false, \"need_shipping_address\": "
    "false, \"send_phone_number_to_provider\": false, \"send_email_address_to_provider\": false, "
    "\"is_flexible\": false}, \"title\": \"\", \"description\": \"\", \"payload\": \"\", "
    "\"provider_token\": \"\", \"provider_data\": \"\", \"start_parameter\": \"\"}";

struct ExactCase {
  const char* Name;
  std::string Actual;
  std::string Expected;
};

TEST(MessageRequests, ExactTexts) {
  TqvnTelegramSendInvoice freshInvoice;
  TqvnTelegramReplyMarkupInlineKeyboard inlineKeyboard;
  inlineKeyboard.AddButtonTypeURL("Go", "https://t.me");
  TqvnTelegramReplyMarkupShowKeyboard showKeyboard;
  showKeyboard.AddButtonTypeRequestPhoneNumber("Phone");
  const std::vector<ExactCase> cases = {
      {"SendTextMessage", BuildSendTextMessage("-100123", "Hello", nullptr, nullptr),
       kSendHead +
           "\"input_message_content\": {\"@type\": \"inputMessageText\",\"text\": {\"@type\": "
           "\"formattedText\",\"text\": \"Hello\"}}}"},
      {"SendRichTextMessage", BuildSendRichTextMessage("-100123", "**Hi** there", nullptr, nullptr),
       kSendHead +
           "\"input_message_content\": {\"@type\": \"inputMessageText\",\"text\": {\"@type\": "
           "\"formattedText\",\"text\": \"Hi there\", \"entities\": [{\"@type\": \"textEntity\", "
           "\"offset\": 0, \"length\": 2, \"type\": {\"@type\": \"textEntityTypeBold\"}}]}}}"},
      {"SendRichTextMessage two entities",
       BuildSendRichTextMessage("-100123", "__a__ ##b##", nullptr, nullptr),
       kSendHead +
           "\"input_message_content\": {\"@type\": \"inputMessageText\",\"text\": {\"@type\": "
           "\"formattedText\",\"text\": \"a b\", \"entities\": [{\"@type\": \"textEntity\", "
           "\"offset\": 0, \"length\": 1, \"type\": {\"@type\": \"textEntityTypeItalic\"}},"
           "{\"@type\": \"textEntity\", \"offset\": 2, \"length\": 1, \"type\": {\"@type\": "
           "\"textEntityTypeCode\"}}]}}}"},
      {"SendRichTextMessage without markers",
       BuildSendRichTextMessage("-100123", "plain", nullptr, nullptr),
       kSendHead +
           "\"input_message_content\": {\"@type\": \"inputMessageText\",\"text\": {\"@type\": "
           "\"formattedText\",\"text\": \"plain\", \"entities\": []}}}"},
      // The kept range holds a link and the markers TDLib read into it: the bold closes.
      {"SendRichTextMessage keeping a link",
       BuildSendRichTextMessage("-100123", "**x.org/a__b**", nullptr, nullptr, {{2, 12}}),
       kSendHead +
           "\"input_message_content\": {\"@type\": \"inputMessageText\",\"text\": {\"@type\": "
           "\"formattedText\",\"text\": \"x.org\\/a__b\", \"entities\": [{\"@type\": "
           "\"textEntity\", \"offset\": 0, \"length\": 10, \"type\": {\"@type\": "
           "\"textEntityTypeBold\"}}]}}}"},
      {"SendRichTextReply", BuildSendRichTextReply(-100123, 456, "@a_b **c**", {{0, 4}}, "1.8.67"),
       R"({"@type":"sendMessage","chat_id":-100123,"reply_to":{"@type":)"
       R"("inputMessageReplyToMessage","message_id":456},"input_message_content":)"
       R"({"@type": "inputMessageText","text": {"@type": "formattedText","text": "@a_b c", )"
       R"("entities": [{"@type": "textEntity", "offset": 5, "length": 1, "type": {"@type": )"
       R"("textEntityTypeBold"}}]}}})"},
      {"SendDocumentMessage",
       BuildSendDocumentMessage("-100123", "/tmp/a.txt", nullptr, nullptr, kUnreportedVersion),
       kSendHead + "\"input_message_content\": {\"@type\": \"inputMessageDocument\",\"document\": "
                   "{\"@type\": \"inputFileLocal\",\"path\": \"\\/tmp\\/a.txt\"}}}"},
      {"SendPhotoMessage",
       BuildSendPhotoMessage("-100123", "p.jpg", 640, 480, nullptr, nullptr, kUnreportedVersion),
       kSendHead +
           "\"input_message_content\": {\"@type\": \"inputMessagePhoto\",\"width\": 640, "
           "\"height\": 480, \"photo\": {\"@type\": \"inputFileLocal\",\"path\": \"p.jpg\"}}}"},
      {"SendDocumentWithCaption",
       BuildSendDocumentWithCaption(-100123, "/tmp/a.txt", "see **this**", {},
                                    kUnreportedVersion),
       R"({"@type": "sendMessage","chat_id": "-100123","input_message_content": )"
       R"({"@type": "inputMessageDocument","document": {"@type": "inputFileLocal","path": )"
       R"("\/tmp\/a.txt"}, "caption": {"@type": "formattedText","text": "see this", )"
       R"("entities": [{"@type": "textEntity", "offset": 4, "length": 4, "type": {"@type": )"
       R"("textEntityTypeBold"}}]}}})"},
      {"SendPhotoWithCaption without one",
       BuildSendPhotoWithCaption(-100123, "p.jpg", 640, 480, "", {}, "1.8.67"),
       BuildSendPhotoMessage("-100123", "p.jpg", 640, 480, nullptr, nullptr, "1.8.67")},
      {"SendPhotoMessage zero size",
       BuildSendPhotoMessage("-100123", "p.jpg", 0, 0, nullptr, nullptr, kUnreportedVersion),
       kSendHead +
           "\"input_message_content\": {\"@type\": \"inputMessagePhoto\",\"width\": 0, "
           "\"height\": 0, \"photo\": {\"@type\": \"inputFileLocal\",\"path\": \"p.jpg\"}}}"},
      {"SendVideoMessage longest duration",
       BuildSendVideoMessage("-100123", "v.mp4", 1280, -720, 2147483647, nullptr, nullptr,
                             kUnreportedVersion),
       kSendHead + "\"input_message_content\": {\"@type\": \"inputMessageVideo\",\"width\": 1280, "
                   "\"height\": -720, \"duration\": 2147483647, \"video\": {\"@type\": "
                   "\"inputFileLocal\",\"path\": \"v.mp4\"}}}"},
      {"SendVideoMessage wrapped, with a keyboard",
       BuildSendVideoMessage("-100123", "v.mp4", 2, 3, 4, nullptr, &showKeyboard, "1.8.67"),
       kSendHead + showKeyboard.Write() +
           ",\"input_message_content\": {\"@type\": \"inputMessageVideo\",\"video\": {\"@type\": "
           "\"inputVideo\",\"video\": {\"@type\": \"inputFileLocal\",\"path\": \"v.mp4\"}, "
           "\"duration\": 4, \"width\": 2, \"height\": 3}}}"},
      {"SendInvoiceMessage with a keyboard",
       BuildSendInvoiceMessage("-100123", freshInvoice, &inlineKeyboard, nullptr),
       kSendHead +
           "\"reply_markup\": {\"@type\": \"replyMarkupInlineKeyboard\",\"rows\": [[{\"@type\": "
           "\"inlineKeyboardButton\",\"text\": \"Go\",\"type\": {\"@type\": "
           "\"inlineKeyboardButtonTypeUrl\",\"url\": \"https:\\/\\/t.me\"}}]]},"
           "\"input_message_content\": " + kFreshInvoiceContent + "}"},
      {"SendInvoiceMessage fresh invoice",
       BuildSendInvoiceMessage("-100123", freshInvoice, nullptr, nullptr),
       kSendHead + "\"input_message_content\": " + kFreshInvoiceContent + "}"},
      {"EditTextMessage", BuildEditTextMessage("-100123", "456", "Hello", nullptr, nullptr),
       "{\"@type\": \"editMessageText\",\"chat_id\": \"-100123\",\"message_id\": \"456\","
       "\"input_message_content\": {\"@type\": \"inputMessageText\",\"text\": {\"@type\": "
       "\"formattedText\",\"text\": \"Hello\"}}}"},
      {"ViewMessage", BuildViewMessage("-100123", "456", false),
       "{\"@type\": \"viewMessages\", \"chat_id\": \"-100123\", \"message_ids\":[\"456\"], "
       "\"force_read\": false}"},
      {"ViewMessage forced", BuildViewMessage("-100123", "456", true),
       "{\"@type\": \"viewMessages\", \"chat_id\": \"-100123\", \"message_ids\":[\"456\"], "
       "\"force_read\": true}"},
      {"GetChatHistory", BuildGetChatHistory("-100123", "0", -10, 20),
       "{\"@type\": \"getChatHistory\",\"chat_id\": \"-100123\", \"from_message_id\": \"0\", "
       "\"offset\": -10, \"limit\": 20}"},
      {"getChatSponsoredMessage", BuildGetChatSponsoredMessage("-100123", kUnreportedVersion),
       "{\"@type\": \"getChatSponsoredMessage\", \"chat_id\": \"-100123\"}"},
      // Numeric ids over their full range; lists of ids as "[1,2]".
      {"GetChatHistory numeric", BuildGetChatHistory(-1001234567890123, 9007199254740991, 0, 50),
       R"({"@type":"getChatHistory","chat_id":-1001234567890123,"from_message_id":)"
       R"(9007199254740991,"offset":0,"limit":50,"only_local":false})"},
      {"GetChatHistory numeric from the newest", BuildGetChatHistory(5, 0, -10, 20),
       R"({"@type":"getChatHistory","chat_id":5,"from_message_id":0,"offset":-10,"limit":20,)"
       R"("only_local":false})"},
      {"ResendMessages", BuildResendMessages(-4000000001, {117440514, 9007199254740991}),
       R"({"@type":"resendMessages","chat_id":-4000000001,"message_ids":[117440514,)"
       R"(9007199254740991]})"},
      {"DeleteMessages for everyone", BuildDeleteMessages(-4000000001, {117440514, 2}, true),
       R"({"@type":"deleteMessages","chat_id":-4000000001,"message_ids":[117440514,2],)"
       R"("revoke":true})"},
      {"DeleteMessages for the account", BuildDeleteMessages(5, {9007199254740991}, false),
       R"({"@type":"deleteMessages","chat_id":5,"message_ids":[9007199254740991],"revoke":false})"},
      {"ForwardMessages", BuildForwardMessages(6100000001, -4000000001, {117440514}),
       R"({"@type":"forwardMessages","chat_id":6100000001,"from_chat_id":-4000000001,)"
       R"("message_ids":[117440514]})"},
      {"SetChatDraftMessage", BuildSetChatDraftMessage(-4000000001, "a \"b\"\n**c**", "1.8.67"),
       R"({"@type":"setChatDraftMessage","chat_id":-4000000001,"draft_message":{"@type":)"
       R"("draftMessage","content":{"@type":"draftMessageContentText","text":{"@type":)"
       R"("formattedText","text":"a \"b\"\n**c**"}}}})"},
      {"SetChatDraftMessage empty removes the draft", BuildSetChatDraftMessage(5, "", "1.8.67"),
       R"({"@type":"setChatDraftMessage","chat_id":5})"},
      {"GetMessageProperties", BuildGetMessageProperties(-4000000001, 117440514),
       R"({"@type":"getMessageProperties","chat_id":-4000000001,"message_id":117440514})"},
  };
  for (const ExactCase& c : cases) {
    SCOPED_TRACE(c.Name);
    EXPECT_EQ(c.Actual, c.Expected);
    EXPECT_NO_THROW(nlohmann::json::parse(c.Actual));
  }
}

TEST(MessageRequests, TheKeyboardGoesBetweenHeaderAndContent) {
  TqvnTelegramReplyMarkupInlineKeyboard inlineKeyboard;
  inlineKeyboard.AddButtonTypeCallback("Yes", "y");
  TqvnTelegramReplyMarkupShowKeyboard showKeyboard;
  showKeyboard.AddButtonTypeText("OK");
  const std::string content =
      "\"input_message_content\": {\"@type\": \"inputMessageText\",\"text\": {\"@type\": "
      "\"formattedText\",\"text\": \"Hi\"}}}";

  EXPECT_EQ(BuildSendTextMessage("-100123", "Hi", nullptr, &showKeyboard),
            kSendHead + showKeyboard.Write() + "," + content);
  EXPECT_EQ(BuildEditTextMessage("-100123", "456", "Hi", &inlineKeyboard, nullptr),
            "{\"@type\": \"editMessageText\",\"chat_id\": \"-100123\",\"message_id\": \"456\"," +
                inlineKeyboard.Write() + "," + content);

  // A keyboard without buttons counts as none, also beside one with buttons.
  TqvnTelegramReplyMarkupInlineKeyboard emptyInline;
  TqvnTelegramReplyMarkupShowKeyboard emptyShow;
  EXPECT_EQ(BuildSendTextMessage("-100123", "Hi", &emptyInline, &emptyShow),
            BuildSendTextMessage("-100123", "Hi", nullptr, nullptr));
  EXPECT_EQ(BuildSendTextMessage("-100123", "Hi", &emptyInline, &showKeyboard),
            BuildSendTextMessage("-100123", "Hi", nullptr, &showKeyboard));
}

// Arguments TDLib cannot take make no request at all: a message carries one "reply_markup"
// (TDLib reads the first and drops a second), and a video duration must fit 32 bits.
TEST(MessageRequests, RefusesWhatTDLibCannotTake) {
  TqvnTelegramReplyMarkupInlineKeyboard inlineKeyboard;
  inlineKeyboard.AddButtonTypeCallback("Yes", "y");
  TqvnTelegramReplyMarkupShowKeyboard showKeyboard;
  showKeyboard.AddButtonTypeText("OK");
  TqvnTelegramSendInvoice invoice;
  const auto* inl = &inlineKeyboard;
  const auto* show = &showKeyboard;
  struct RefusedCase {
    const char* Name;
    std::function<std::string()> Build;
    const char* Reason;
  };
  const std::vector<RefusedCase> cases = {
      {"text with both keyboards", [&] { return BuildSendTextMessage("1", "x", inl, show); },
       "one keyboard"},
      {"rich text with both keyboards",
       [&] { return BuildSendRichTextMessage("1", "x", inl, show); }, "one keyboard"},
      {"document with both keyboards",
       [&] { return BuildSendDocumentMessage("1", "a", inl, show, "1.8.67"); }, "one keyboard"},
      {"photo with both keyboards",
       [&] { return BuildSendPhotoMessage("1", "a", 1, 1, inl, show, "1.6.4"); }, "one keyboard"},
      {"invoice with both keyboards",
       [&] { return BuildSendInvoiceMessage("1", invoice, inl, show); }, "one keyboard"},
      {"edit with both keyboards", [&] { return BuildEditTextMessage("1", "2", "x", inl, show); },
       "one keyboard"},
      {"video of 2^31 s",
       [&] {
         return BuildSendVideoMessage("1", "a", 1, 1, 2147483648LL, nullptr, nullptr, "1.8.67");
       },
       "2147483648 s is beyond TDLib's range"},
      {"video of -2^31-1 s",
       [&] {
         return BuildSendVideoMessage("1", "a", 1, 1, -2147483649LL, nullptr, nullptr, "1.6.4");
       },
       "-2147483649 s is beyond TDLib's range"},
      {"video of 2^63-1 s",
       [&] { return BuildSendVideoMessage("1", "a", 1, 1, INT64_MAX, nullptr, nullptr, "1.8.67"); },
       "beyond TDLib's range"},
  };
  for (const RefusedCase& c : cases) {
    SCOPED_TRACE(c.Name);
    try {
      c.Build();
      ADD_FAILURE() << "not refused";
    } catch (const EqvnTelegramRequestError& e) {
      EXPECT_NE(std::string(e.what()).find(c.Reason), std::string::npos) << e.what();
    }
  }
  EXPECT_NO_THROW(BuildSendVideoMessage("1", "a", 1, 1, INT32_MIN, nullptr, nullptr, "1.8.67"));
}

TEST(MessageRequests, InvoiceWritesEveryField) {
  TqvnTelegramSendInvoice invoice;
  invoice.SetTitle("T");
  invoice.SetDescription("D");
  invoice.SetPayload("P");
  invoice.SetProviderToken("K");
  invoice.SetProviderData("{\"a\":1}");
  invoice.SetStartParameter("S");
  TqvnTelegramSendInvoiceObject& price = invoice.Invoice();
  price.SetCurrency("EUR");
  price.SetTotal(-1500);
  price.SetIsTest(true);
  price.SetNeedName(true);
  price.SetNeedPhoneNumber(false);
  price.SetNeedEmailAddress(true);
  price.SetNeedShippingAddress(false);
  price.SetSendPhoneNumberToProvider(true);
  price.SetSendEmailAddressToProvider(false);
  price.SetIsFlexible(true);
  EXPECT_EQ(invoice.Write(),
            "{\"@type\": \"inputMessageInvoice\", \"invoice\": {\"currency\": \"EUR\", "
            "\"price_parts\": [{\"label\": \"Total\", \"amount\": -1500}], \"is_test\": true, "
            "\"need_name\": true, \"need_phone_number\": false, \"need_email_address\": true, "
            "\"need_shipping_address\": false, \"send_phone_number_to_provider\": true, "
            "\"send_email_address_to_provider\": false, \"is_flexible\": true}, \"title\": \"T\", "
            "\"description\": \"D\", \"payload\": \"UA==\", \"provider_token\": \"K\", "
            "\"provider_data\": \"{\\\"a\\\":1}\", \"start_parameter\": \"S\"}");
  // The payload is bytes to TDLib: any text or bytes travel Base64-encoded and come back whole.
  for (const std::string& payload :
       {std::string("order-42"), std::string("abc"), std::string("\0\xFF\"\\", 4), std::string()}) {
    SCOPED_TRACE(payload);
    invoice.SetPayload(payload);
    const std::string sent = nlohmann::json::parse(invoice.Write()).at("payload");
    EXPECT_EQ(sent, EncodeBase64(payload));
    EXPECT_EQ(DecodeBase64(sent), payload);
  }
  // The provider data, itself JSON text, travels as a string and reads back as given.
  EXPECT_EQ(nlohmann::json::parse(invoice.Write()).at("provider_data"), "{\"a\":1}");

  auto replacement = std::make_unique<TqvnTelegramSendInvoiceObject>();
  replacement->SetCurrency("USD");
  invoice.SetInvoice(std::move(replacement));
  EXPECT_EQ(nlohmann::json::parse(invoice.Write()).at("invoice").at("currency"), "USD");
}

// Every text placed between quotes is escaped exactly once: hostile arguments give strict JSON
// that reads back as passed, and the request is pure ASCII.
TEST(MessageRequests, HostileArgumentsReadBackAsPassed) {
  const std::string hostile = "q\"b\\s/%s%d\n\t\x01\x7F \xC3\xA9\xE4\xB8\xAD\xF0\x9F\x98\x80";
  TqvnTelegramReplyMarkupInlineKeyboard inlineKeyboard;
  inlineKeyboard.AddButtonTypeURL(hostile, hostile);
  TqvnTelegramReplyMarkupShowKeyboard showKeyboard;
  showKeyboard.AddButtonTypeText(hostile);

  TqvnTelegramSendInvoice invoice;
  invoice.SetTitle(hostile);
  invoice.SetDescription(hostile);
  invoice.SetPayload(hostile);
  invoice.SetProviderToken(hostile);
  invoice.SetProviderData(hostile);
  invoice.SetStartParameter(hostile);
  invoice.Invoice().SetCurrency(hostile);

  for (const char* version : {"1.6.4", "1.8.67"}) {
    SCOPED_TRACE(version);
    const std::vector<std::string> sends = {
        BuildSendTextMessage(hostile, hostile, &inlineKeyboard, nullptr),
        BuildSendRichTextMessage(hostile, hostile, nullptr, &showKeyboard),
        BuildSendDocumentMessage(hostile, hostile, &inlineKeyboard, nullptr, version),
        BuildSendPhotoMessage(hostile, hostile, 1, 2, nullptr, &showKeyboard, version),
        BuildSendVideoMessage(hostile, hostile, 1, 2, 3, &inlineKeyboard, nullptr, version),
        BuildSendInvoiceMessage(hostile, invoice, nullptr, &showKeyboard),
        BuildEditTextMessage(hostile, hostile, hostile, &inlineKeyboard, nullptr),
        BuildViewMessage(hostile, hostile, true),
        BuildGetChatHistory(hostile, hostile, 1, 2),
        BuildGetChatSponsoredMessage(hostile, version),
    };
    for (const std::string& request : sends) {
      SCOPED_TRACE(request);
      for (char c : request) ASSERT_TRUE(c >= 32 && c <= 126) << "not printable ASCII";
      const nlohmann::json json = nlohmann::json::parse(request);
      EXPECT_EQ(json.at("chat_id"), hostile);
      for (const char* id : {"message_id", "from_message_id"}) {
        if (json.contains(id)) {
          EXPECT_EQ(json.at(id), hostile) << id;
        }
      }
      if (json.contains("message_ids")) {
        EXPECT_EQ(json.at("message_ids").at(0), hostile);
      }
      if (json.contains("reply_markup")) {
        EXPECT_EQ(json.at("reply_markup").at("rows").at(0).at(0).at("text"), hostile);
      }
    }
    auto content = [&](size_t i) {
      return nlohmann::json::parse(sends[i]).at("input_message_content");
    };
    EXPECT_EQ(content(0).at("text").at("text"), hostile);
    EXPECT_EQ(content(1).at("text").at("text"), hostile);  // no marker characters in it
    EXPECT_EQ(content(6).at("text").at("text"), hostile);
    const nlohmann::json document = content(2).at("document");
    EXPECT_EQ(document.contains("path") ? document.at("path") : document.at("document").at("path"),
              hostile);
    const nlohmann::json invoiceJson = content(5);
    for (const char* field :
         {"title", "description", "provider_token", "provider_data", "start_parameter"}) {
      EXPECT_EQ(invoiceJson.at(field), hostile) << field;
    }
    EXPECT_EQ(DecodeBase64(invoiceJson.at("payload").get<std::string>()), hostile);
    EXPECT_EQ(invoiceJson.at("invoice").at("currency"), hostile);
  }
}

// Entity offsets count the unescaped plain text in UTF-16 code units.
TEST(MessageRequests, RichTextOffsetsIgnoreEscapes) {
  const nlohmann::json text =
      nlohmann::json::parse(
          BuildSendRichTextMessage("1", "\"q\" \xF0\x9F\x98\x80 **b**", nullptr, nullptr))
          .at("input_message_content")
          .at("text");
  EXPECT_EQ(text.at("text"), "\"q\" \xF0\x9F\x98\x80 b");
  EXPECT_EQ(text.at("entities").at(0).at("offset"), 7);
  EXPECT_EQ(text.at("entities").at(0).at("length"), 1);
}

// Below the release that changed a layout the older text, at and after it the current one.
TEST(MessageRequests, LayoutsFollowTheTDLibVersion) {
  const std::string docOld = kSendHead +
                             "\"input_message_content\": {\"@type\": \"inputMessageDocument\","
                             "\"document\": {\"@type\": \"inputFileLocal\",\"path\": \"a\"}}}";
  const std::string docNew = kSendHead +
                             "\"input_message_content\": {\"@type\": \"inputMessageDocument\","
                             "\"document\": {\"@type\": \"inputDocument\",\"document\": "
                             "{\"@type\": \"inputFileLocal\",\"path\": \"a\"}}}}";
  const std::string photoOld = kSendHead +
                               "\"input_message_content\": {\"@type\": \"inputMessagePhoto\","
                               "\"width\": 3, \"height\": 4, \"photo\": {\"@type\": "
                               "\"inputFileLocal\",\"path\": \"a\"}}}";
  const std::string photoNew = kSendHead +
                               "\"input_message_content\": {\"@type\": \"inputMessagePhoto\","
                               "\"photo\": {\"@type\": \"inputPhoto\",\"photo\": {\"@type\": "
                               "\"inputFileLocal\",\"path\": \"a\"}, \"width\": 3, \"height\": "
                               "4}}}";
  const std::string videoOld = kSendHead +
                               "\"input_message_content\": {\"@type\": \"inputMessageVideo\","
                               "\"width\": 3, \"height\": 4, \"duration\": 5, \"video\": "
                               "{\"@type\": \"inputFileLocal\",\"path\": \"a\"}}}";
  const std::string videoNew = kSendHead +
                               "\"input_message_content\": {\"@type\": \"inputMessageVideo\","
                               "\"video\": {\"@type\": \"inputVideo\",\"video\": {\"@type\": "
                               "\"inputFileLocal\",\"path\": \"a\"}, \"duration\": 5, \"width\": "
                               "3, \"height\": 4}}}";
  for (const char* version : {"1.6.4", "1.8.9", "1.8.64", "1.8.64.9"}) {
    SCOPED_TRACE(version);
    EXPECT_EQ(BuildSendDocumentMessage("-100123", "a", nullptr, nullptr, version), docOld);
    EXPECT_EQ(BuildSendPhotoMessage("-100123", "a", 3, 4, nullptr, nullptr, version), photoOld);
    EXPECT_EQ(BuildSendVideoMessage("-100123", "a", 3, 4, 5, nullptr, nullptr, version), videoOld);
  }
  for (const char* version : {"1.8.65", "1.8.67", "1.10.0", "2.0"}) {
    SCOPED_TRACE(version);
    EXPECT_EQ(BuildSendDocumentMessage("-100123", "a", nullptr, nullptr, version), docNew);
    EXPECT_EQ(BuildSendPhotoMessage("-100123", "a", 3, 4, nullptr, nullptr, version), photoNew);
    EXPECT_EQ(BuildSendVideoMessage("-100123", "a", 3, 4, 5, nullptr, nullptr, version), videoNew);
    EXPECT_NO_THROW(nlohmann::json::parse(docNew));
    EXPECT_NO_THROW(nlohmann::json::parse(photoNew));
    EXPECT_NO_THROW(nlohmann::json::parse(videoNew));
  }
  for (const char* version : {"1.6.4", "1.8.0", "1.8.7"}) {
    EXPECT_EQ(BuildGetChatSponsoredMessage("5", version),
              "{\"@type\": \"getChatSponsoredMessage\", \"chat_id\": \"5\"}")
        << version;
  }
  for (const char* version : {"1.8.8", "1.8.9", "1.8.67", "1.10.0"}) {
    EXPECT_EQ(BuildGetChatSponsoredMessage("5", version),
              "{\"@type\": \"getChatSponsoredMessages\", \"chat_id\": \"5\"}")
        << version;
  }
  // The draft's text moved from an inputMessageText into a draftMessageContentText.
  for (const char* version : {"1.6.4", "1.8.0", "1.8.61", "1.8.64.9"}) {
    EXPECT_EQ(BuildSetChatDraftMessage(5, "x", version),
              R"({"@type":"setChatDraftMessage","chat_id":5,"draft_message":{"@type":)"
              R"("draftMessage","input_message_text":{"@type":"inputMessageText","text":)"
              R"({"@type":"formattedText","text":"x"}}}})")
        << version;
  }
  for (const char* version : {"1.8.65", "1.8.67", "1.10.0"}) {
    EXPECT_EQ(BuildSetChatDraftMessage(5, "x", version),
              R"({"@type":"setChatDraftMessage","chat_id":5,"draft_message":{"@type":)"
              R"("draftMessage","content":{"@type":"draftMessageContentText","text":)"
              R"({"@type":"formattedText","text":"x"}}}})")
        << version;
  }
  // viewMessages names where the messages were seen only from the release that reads it.
  for (const char* version : {"1.6.4", "1.8.0", "1.8.7"}) {
    EXPECT_EQ(BuildViewMessages(-4000000001, {105906176, 117440512}, true, version),
              R"({"@type":"viewMessages","chat_id":-4000000001,"message_ids":[105906176,)"
              R"(117440512],"force_read":true})")
        << version;
  }
  for (const char* version : {"1.8.8", "1.8.67", "1.10.0"}) {
    EXPECT_EQ(BuildViewMessages(-4000000001, {105906176}, false, version),
              R"({"@type":"viewMessages","chat_id":-4000000001,"message_ids":[105906176],)"
              R"("source":{"@type":"messageSourceChatHistory"},"force_read":false})")
        << version;
  }
  // The replied message: its id, then an inputMessageReplyToMessage.
  const std::string content = R"({"@type": "inputMessageText","text": {"@type": )"
                              R"("formattedText","text": "x", "entities": []}})";
  for (const char* version : {"1.6.4", "1.8.14", "1.8.57"}) {
    EXPECT_EQ(BuildSendRichTextReply(-5, 9007199254740991, "x", {}, version),
              R"({"@type":"sendMessage","chat_id":-5,"reply_to_message_id":9007199254740991,)"
              R"("input_message_content":)" + content + "}")
        << version;
  }
  for (const char* version : {"1.8.58", "1.8.67", "1.10.0"}) {
    EXPECT_EQ(BuildSendRichTextReply(-5, 7, "x", {}, version),
              R"({"@type":"sendMessage","chat_id":-5,"reply_to":{"@type":)"
              R"("inputMessageReplyToMessage","message_id":7},"input_message_content":)" +
                  content + "}")
        << version;
  }
}

}  // namespace
}  // namespace qvn::test
