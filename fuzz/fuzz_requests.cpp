// One fuzz input chooses one request builder and all of its arguments (texts of any bytes,
// integers over their whole range, keyboards, an invoice, a TDLib version). Every request text
// must be valid JSON holding one object with an "@type", pass the check of a program's own texts
// (RequestTextFault: TDLib takes it as written), and must read back to the arguments:
// each non-empty text argument is found among the request's string values as it was given
// (bytes that are not UTF-8 arrive as U+FFFD; bytes that TDLib reads as bytes, Base64-encoded
// and exact), each integer among its numbers. The only failures allowed are the builders' own
// refusals: an API id that is not a decimal number, and a video duration beyond 32 bits.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "client/qvnTelegram_ChatRequests.h"
#include "client/qvnTelegram_Invoice.h"
#include "client/qvnTelegram_Login.h"
#include "client/qvnTelegram_MessageRequests.h"
#include "client/qvnTelegram_ReplyMarkup.h"
#include "client/qvnTelegram_RequestCheck.h"
#include "client/qvnTelegram_RequestText.h"
#include "client/qvnTelegram_RichText.h"
#include "client/qvnTelegram_Version.h"
#include "json/qvnBase_Helpers.h"

namespace {

void Check(bool aCondition) {
  if (!aCondition) std::abort();
}

// Length of the well-formed UTF-8 sequence at aText[aAt], or 0 when the byte there does not
// start one (Unicode's table of well-formed byte sequences).
std::size_t WellFormedLength(std::string_view aText, std::size_t aAt) {
  const auto byte = [&](std::size_t i) -> unsigned {
    return aAt + i < aText.size() ? static_cast<unsigned char>(aText[aAt + i]) : 0x100;
  };
  const auto in = [](unsigned b, unsigned aLo, unsigned aHi) { return b >= aLo && b <= aHi; };
  const unsigned b0 = byte(0);
  if (b0 < 0x80) return 1;
  if (in(b0, 0xC2, 0xDF)) return in(byte(1), 0x80, 0xBF) ? 2 : 0;
  unsigned lo = 0x80, hi = 0xBF;
  if (b0 == 0xE0) lo = 0xA0;
  if (b0 == 0xED) hi = 0x9F;
  if (in(b0, 0xE0, 0xEF)) return in(byte(1), lo, hi) && in(byte(2), 0x80, 0xBF) ? 3 : 0;
  if (b0 == 0xF0) lo = 0x90;
  if (b0 == 0xF4) hi = 0x8F;
  if (in(b0, 0xF0, 0xF4)) {
    return in(byte(1), lo, hi) && in(byte(2), 0x80, 0xBF) && in(byte(3), 0x80, 0xBF) ? 4 : 0;
  }
  return 0;
}

// aText as a JSON reader gets it back: each byte that starts no well-formed sequence is U+FFFD.
std::string AsDelivered(std::string_view aText) {
  std::string result;
  for (std::size_t at = 0; at < aText.size();) {
    const std::size_t length = WellFormedLength(aText, at);
    if (length == 0) {
      result += "\xEF\xBF\xBD";
      ++at;
    } else {
      result.append(aText.substr(at, length));
      at += length;
    }
  }
  return result;
}

// Every string and every integer of a parsed request.
struct Values {
  std::vector<std::string> Strings;
  std::vector<std::int64_t> Numbers;
  std::vector<std::uint64_t> Unsigned;
};

void Collect(const nlohmann::json& aValue, Values& aValues) {
  if (aValue.is_string()) aValues.Strings.push_back(aValue.get<std::string>());
  if (aValue.is_number_integer() && !aValue.is_number_unsigned()) {
    aValues.Numbers.push_back(aValue.get<std::int64_t>());
  }
  if (aValue.is_number_unsigned()) aValues.Unsigned.push_back(aValue.get<std::uint64_t>());
  if (aValue.is_structured()) {
    for (const nlohmann::json& item : aValue) Collect(item, aValues);
  }
}

class Request {
 public:
  // Parses aText; it must be one JSON object with an "@type".
  explicit Request(const std::string& aText) : FText(aText) {
    Check(qvn::RequestTextFault(aText).empty());
    const nlohmann::json parsed = nlohmann::json::parse(aText, nullptr, false);
    Check(!parsed.is_discarded());
    Check(parsed.is_object() && parsed.contains("@type") && parsed["@type"].is_string());
    Collect(parsed, FValues);
  }
  void HasText(std::string_view aArgument) const {
    if (aArgument.empty()) return;
    const std::string expected = AsDelivered(aArgument);
    for (const std::string& value : FValues.Strings) {
      if (value == expected) return;
    }
    Fail("text", expected);
  }
  void HasNumber(std::int64_t aArgument) const {
    for (std::int64_t value : FValues.Numbers) {
      if (value == aArgument) return;
    }
    for (std::uint64_t value : FValues.Unsigned) {
      if (aArgument >= 0 && value == static_cast<std::uint64_t>(aArgument)) return;
    }
    for (const std::string& value : FValues.Strings) {
      if (value == std::to_string(aArgument)) return;
    }
    Fail("number", std::to_string(aArgument));
  }
  // A value TDLib reads as bytes: the Base64 of exactly aArgument.
  void HasBytes(std::string_view aArgument) const {
    if (aArgument.empty()) return;
    for (const std::string& value : FValues.Strings) {
      if (qvn::DecodeBase64(value) == aArgument) return;
    }
    Fail("bytes", std::string(aArgument));
  }
  // A callback button's data: Base64 of the escaped data.
  void HasCallbackData(std::string_view aArgument) const {
    const std::string expected = AsDelivered(aArgument);
    for (const std::string& value : FValues.Strings) {
      try {
        if (qvn::UnescapeJSONString(qvn::DecodeBase64(value)) == expected) return;
      } catch (const qvn::EqvnUnescapeError&) {
      }
    }
    Fail("callback data", expected);
  }

 private:
  // Names what is missing and from which request, for the one who replays the input.
  [[noreturn]] void Fail(const char* aWhat, const std::string& aExpected) const {
    std::fprintf(stderr, "missing %s \"%s\" in request %s\n", aWhat,
                 qvn::EscapeJSONString(aExpected).c_str(), FText.c_str());
    std::abort();
  }

  std::string FText;
  Values FValues;
};

struct Keyboards {
  std::unique_ptr<qvn::TqvnTelegramReplyMarkupInlineKeyboard> Inline;
  std::unique_ptr<qvn::TqvnTelegramReplyMarkupShowKeyboard> Show;
  std::vector<std::string> Texts;         // button texts and URLs
  std::vector<std::string> CallbackData;  // callback buttons' data
};

// No keyboard, an inline keyboard or a reply keyboard: a message takes one (both are refused).
Keyboards MakeKeyboards(FuzzedDataProvider& aInput) {
  Keyboards keyboards;
  const int kind = aInput.ConsumeIntegralInRange(0, 2);
  if (kind == 1) {
    keyboards.Inline = std::make_unique<qvn::TqvnTelegramReplyMarkupInlineKeyboard>();
    for (int n = aInput.ConsumeIntegralInRange(0, 3); n > 0; --n) {
      const std::string text = aInput.ConsumeRandomLengthString(64);
      const std::string other = aInput.ConsumeRandomLengthString(64);
      keyboards.Texts.push_back(text);
      if (aInput.ConsumeBool()) {
        keyboards.Inline->AddButtonTypeCallback(text, other);
        keyboards.CallbackData.push_back(other);
      } else {
        keyboards.Inline->AddButtonTypeURL(text, other);
        keyboards.Texts.push_back(other);
      }
    }
  }
  if (kind == 2) {
    keyboards.Show = std::make_unique<qvn::TqvnTelegramReplyMarkupShowKeyboard>();
    keyboards.Show->SetOneTime(aInput.ConsumeBool());
    keyboards.Show->SetResizeKeyboard(aInput.ConsumeBool());
    for (int n = aInput.ConsumeIntegralInRange(0, 3); n > 0; --n) {
      const std::string text = aInput.ConsumeRandomLengthString(64);
      keyboards.Texts.push_back(text);
      switch (aInput.ConsumeIntegralInRange(0, 2)) {
        case 0:
          keyboards.Show->AddButtonTypeText(text);
          break;
        case 1:
          keyboards.Show->AddButtonTypeRequestLocation(text);
          break;
        default:
          keyboards.Show->AddButtonTypeRequestPhoneNumber(text);
      }
    }
  }
  return keyboards;
}

void HasKeyboards(const Request& aRequest, const Keyboards& aKeyboards) {
  for (const std::string& text : aKeyboards.Texts) aRequest.HasText(text);
  for (const std::string& data : aKeyboards.CallbackData) aRequest.HasCallbackData(data);
}

std::string Version(FuzzedDataProvider& aInput) {
  static const char* const kKnown[] = {"1.6.4", "1.8.0",  "1.8.1",  "1.8.10",
                                       "1.8.61", "1.8.65", "1.8.67", "1.10.0"};
  if (aInput.ConsumeBool()) return kKnown[aInput.ConsumeIntegralInRange<std::size_t>(0, 7)];
  return aInput.ConsumeRandomLengthString(16);
}

std::vector<std::int64_t> Ids(FuzzedDataProvider& aInput) {
  std::vector<std::int64_t> ids(aInput.ConsumeIntegralInRange(0, 4));
  for (std::int64_t& id : ids) id = aInput.ConsumeIntegral<std::int64_t>();
  return ids;
}

void MessageRequests(FuzzedDataProvider& aInput, int aChoice) {
  const std::string chat = aInput.ConsumeRandomLengthString(32);
  const std::string text = aInput.ConsumeRandomLengthString(256);
  const Keyboards keyboards = MakeKeyboards(aInput);
  const auto* inlineKeyboard = keyboards.Inline.get();
  const auto* showKeyboard = keyboards.Show.get();
  const std::int32_t width = aInput.ConsumeIntegral<std::int32_t>();
  const std::int32_t height = aInput.ConsumeIntegral<std::int32_t>();
  const std::int64_t duration = aInput.ConsumeIntegral<std::int64_t>();
  const std::string version = Version(aInput);
  switch (aChoice) {
    case 0: {
      const Request r(qvn::BuildSendTextMessage(chat, text, inlineKeyboard, showKeyboard));
      r.HasText(chat), r.HasText(text), HasKeyboards(r, keyboards);
      break;
    }
    case 1: {
      const Request r(qvn::BuildSendRichTextMessage(chat, text, inlineKeyboard, showKeyboard));
      std::string plain;
      std::string entities;
      qvn::ParseRichText(text, plain, entities);
      r.HasText(chat), r.HasText(plain), HasKeyboards(r, keyboards);
      break;
    }
    case 2: {
      const Request r(
          qvn::BuildSendDocumentMessage(chat, text, inlineKeyboard, showKeyboard, version));
      r.HasText(chat), r.HasText(text), HasKeyboards(r, keyboards);
      break;
    }
    case 3: {
      const Request r(qvn::BuildSendPhotoMessage(chat, text, width, height, inlineKeyboard,
                                                 showKeyboard, version));
      r.HasText(chat), r.HasText(text), r.HasNumber(width), r.HasNumber(height);
      HasKeyboards(r, keyboards);
      break;
    }
    case 4: {
      if (duration != static_cast<std::int32_t>(duration)) {
        try {
          qvn::BuildSendVideoMessage(chat, text, width, height, duration, inlineKeyboard,
                                     showKeyboard, version);
          Check(false);  // TDLib could not read the duration: it must be refused
        } catch (const qvn::EqvnTelegramRequestError&) {
        }
        break;
      }
      const Request r(qvn::BuildSendVideoMessage(chat, text, width, height, duration,
                                                 inlineKeyboard, showKeyboard, version));
      r.HasText(chat), r.HasText(text), r.HasNumber(width), r.HasNumber(height);
      r.HasNumber(duration), HasKeyboards(r, keyboards);
      break;
    }
    case 5: {
      qvn::TqvnTelegramSendInvoice invoice;
      std::vector<std::string> texts;
      const auto next = [&] { return texts.emplace_back(aInput.ConsumeRandomLengthString(48)); };
      invoice.SetTitle(next());
      invoice.SetDescription(next());
      invoice.SetPayload(next());
      invoice.SetProviderToken(next());
      invoice.SetProviderData(next());
      invoice.SetStartParameter(next());
      invoice.Invoice().SetCurrency(next());
      invoice.Invoice().SetTotal(width);
      invoice.Invoice().SetIsTest(aInput.ConsumeBool());
      invoice.Invoice().SetNeedName(aInput.ConsumeBool());
      invoice.Invoice().SetIsFlexible(aInput.ConsumeBool());
      const Request r(qvn::BuildSendInvoiceMessage(chat, invoice, inlineKeyboard, showKeyboard));
      r.HasText(chat), r.HasNumber(width), HasKeyboards(r, keyboards);
      r.HasBytes(invoice.Payload());
      for (const std::string& value : texts) {
        if (&value != &texts[2]) r.HasText(value);  // texts[2] is the payload
      }
      break;
    }
    case 6: {
      const std::string message = aInput.ConsumeRandomLengthString(24);
      const Request r(qvn::BuildEditTextMessage(chat, message, text, inlineKeyboard, showKeyboard));
      r.HasText(chat), r.HasText(message), r.HasText(text), HasKeyboards(r, keyboards);
      break;
    }
    case 7: {
      const Request r(qvn::BuildViewMessage(chat, text, aInput.ConsumeBool()));
      r.HasText(chat), r.HasText(text);
      break;
    }
    case 8: {
      const Request r(qvn::BuildGetChatHistory(chat, text, width, height));
      r.HasText(chat), r.HasText(text), r.HasNumber(width), r.HasNumber(height);
      break;
    }
    case 9: {
      // The numeric builders the window uses: ids as numbers, lists of ids as lists.
      const std::int64_t chatId = aInput.ConsumeIntegral<std::int64_t>();
      const std::int64_t fromId = aInput.ConsumeIntegral<std::int64_t>();
      const std::vector<std::int64_t> ids = Ids(aInput);
      const Request history(qvn::BuildGetChatHistory(chatId, fromId, width, height));
      history.HasNumber(chatId), history.HasNumber(fromId), history.HasNumber(width);
      history.HasNumber(height);
      const Request viewed(qvn::BuildViewMessages(chatId, ids, aInput.ConsumeBool(), version));
      const Request resent(qvn::BuildResendMessages(chatId, ids));
      viewed.HasNumber(chatId), resent.HasNumber(chatId);
      for (std::int64_t each : ids) viewed.HasNumber(each), resent.HasNumber(each);
      break;
    }
    default: {
      const Request r(qvn::BuildGetChatSponsoredMessage(chat, version));
      r.HasText(chat);
    }
  }
}

void ChatRequests(FuzzedDataProvider& aInput, int aChoice) {
  const std::string first = aInput.ConsumeRandomLengthString(64);
  const std::string second = aInput.ConsumeRandomLengthString(64);
  const std::string third = aInput.ConsumeRandomLengthString(64);
  const std::int64_t id = aInput.ConsumeIntegral<std::int64_t>();
  const std::int32_t small = aInput.ConsumeIntegral<std::int32_t>();
  const std::int32_t other = aInput.ConsumeIntegral<std::int32_t>();
  const bool flag = aInput.ConsumeBool();
  const std::vector<std::int64_t> ids = Ids(aInput);
  const std::string version = Version(aInput);
  switch (aChoice) {
    case 0: {
      const Request r(qvn::BuildAddChatMember(first, id, small));
      r.HasText(first), r.HasNumber(id), r.HasNumber(small);
      break;
    }
    case 1: {
      const Request r(qvn::BuildAddChatMembers(first, ids));
      r.HasText(first);
      for (std::int64_t each : ids) r.HasNumber(each);
      break;
    }
    case 2: {
      const Request r(qvn::BuildAddProxyHTTP(first, small, second, third, flag, version));
      r.HasText(first), r.HasNumber(small), r.HasText(second), r.HasText(third);
      break;
    }
    case 3: {
      const Request r(qvn::BuildAddProxyMTProto(first, small, second, version));
      r.HasText(first), r.HasNumber(small), r.HasText(second);
      break;
    }
    case 4: {
      const Request r(qvn::BuildAddProxySocks5(first, small, second, third, version));
      r.HasText(first), r.HasNumber(small), r.HasText(second), r.HasText(third);
      break;
    }
    case 5: {
      const Request r(qvn::BuildCreateNewBasicGroupChat(ids, first));
      r.HasText(first);
      for (std::int64_t each : ids) r.HasNumber(each);
      break;
    }
    case 6: {
      const Request r(qvn::BuildCreateNewSupergroupChat(first, flag, second));
      r.HasText(first), r.HasText(second);
      break;
    }
    case 7:
      Request(qvn::BuildCreateNewSecretChat(id)).HasNumber(id);
      Request(qvn::BuildCreatePrivateChat(id, flag)).HasNumber(id);
      Request(qvn::BuildGetBasicGroupFullInfo(id)).HasNumber(id);
      Request(qvn::BuildGetUser(id)).HasNumber(id);
      Request(qvn::BuildOpenChat(id)).HasNumber(id);
      Request(qvn::BuildCloseChat(id)).HasNumber(id);
      break;
    case 8:
      // From TDLib 1.8.0 the supergroup's chat id is derived from its id, so only the form is
      // checked here; an id whose chat id leaves the 64-bit range is refused.
      try {
        Request{qvn::BuildDeleteSupergroup(id, version)};
      } catch (const qvn::EqvnTelegramRequestError&) {
        Check(id > INT64_MAX - 1000000000000 + 1);
      }
      break;
    case 9:
      Request{qvn::BuildDisableProxy()};
      Request{qvn::BuildGetProxies()};
      Request{qvn::BuildLogOut()};
      Request(qvn::BuildEnableProxy(small)).HasNumber(small);
      Request(qvn::BuildRemoveProxy(small)).HasNumber(small);
      {
        const Request download(qvn::BuildDownloadFile(small, other));
        download.HasNumber(small), download.HasNumber(other);
      }
      break;
    case 10: {
      Request(qvn::BuildGetChat(first)).HasText(first);
      Request(qvn::BuildJoinChatByInviteLink(second)).HasText(second);
      const Request r(qvn::BuildGetChatMember(first, id, version));
      r.HasText(first), r.HasNumber(id);
      break;
    }
    case 11: {
      const std::int64_t chat = aInput.ConsumeIntegral<std::int64_t>();
      const std::string version = Version(aInput);
      const Request r(qvn::BuildGetChats(id, chat, small, other, version));
      r.HasNumber(small), r.HasNumber(other);
      if (!qvn::TDLibVersionAtLeast(version, qvn::kTDLibChatListLoading)) {
        r.HasNumber(id), r.HasNumber(chat);
      }
      Request(qvn::BuildLoadChats(small, other, version)).HasNumber(small);
      break;
    }
    default: {
      const auto filter = static_cast<qvn::TqvnTelegramSuperGroupMembersFilter>(
          aInput.ConsumeIntegralInRange(0, 8));
      const Request r(qvn::BuildGetSupergroupMembers(id, filter, first, small, other));
      r.HasNumber(id), r.HasNumber(small), r.HasNumber(other);
    }
  }
}

void LoginRequests(FuzzedDataProvider& aInput, int aChoice) {
  const std::string first = aInput.ConsumeRandomLengthString(64);
  const std::string second = aInput.ConsumeRandomLengthString(64);
  switch (aChoice) {
    case 0: {
      qvn::TqvnTelegram_Options options;
      std::vector<std::string> texts;
      const auto next = [&] { return texts.emplace_back(aInput.ConsumeRandomLengthString(48)); };
      options.API().SetApiId(aInput.ConsumeBool() ? std::to_string(aInput.ConsumeIntegral<int>())
                                                  : aInput.ConsumeRandomLengthString(12));
      options.API().SetApiHash(next());
      options.Parameters().SetLanguageCode(next());
      options.Parameters().SetDeviceModel(next());
      options.Parameters().SetSystemVersion(next());
      options.Parameters().SetApplicationVersion(next());
      options.SetDBEncryptionKey(aInput.ConsumeRandomLengthString(16));
      const std::string version = Version(aInput);
      try {
        const Request r(qvn::SetTdlibParametersRequest(options, first, version));
        r.HasText(first);
        for (const std::string& value : texts) r.HasText(value);
        if (qvn::TDLibVersionNewerThan(version, qvn::kLastNestedParametersTDLib)) {
          r.HasBytes(options.DBEncryptionKey());
        }
      } catch (const qvn::EqvnTelegramOptionError&) {
        // The API id is no decimal number: nothing is sent.
      }
      break;
    }
    case 1:
      Request(qvn::CheckDatabaseEncryptionKeyRequest(first)).HasBytes(first);
      Request(qvn::CheckAuthenticationBotTokenRequest(second)).HasText(second);
      break;
    case 2:
      Request(qvn::SetAuthenticationPhoneNumberRequest(first)).HasText(first);
      Request(qvn::CheckAuthenticationCodeRequest(second)).HasText(second);
      break;
    default: {
      Request(qvn::CheckAuthenticationPasswordRequest(first)).HasText(first);
      const Request r(qvn::RegisterUserRequest(first, second));
      r.HasText(first), r.HasText(second);
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* aData, std::size_t aSize) {
  FuzzedDataProvider input(aData, aSize);
  switch (input.ConsumeIntegralInRange(0, 2)) {
    case 0:
      MessageRequests(input, input.ConsumeIntegralInRange(0, 10));
      break;
    case 1:
      ChatRequests(input, input.ConsumeIntegralInRange(0, 12));
      break;
    default:
      LoginRequests(input, input.ConsumeIntegralInRange(0, 3));
  }
  return 0;
}
