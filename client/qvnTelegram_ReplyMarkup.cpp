// Reply markups and their buttons.
#include "client/qvnTelegram_ReplyMarkup.h"

#include "client/qvnTelegram_RequestText.h"
#include "json/qvnBase_Helpers.h"

namespace qvn {

TqvnTelegramInlineKeyboardButton::TqvnTelegramInlineKeyboardButton(
    TqvnTelegramInlineKeyboardButtonType aButtonType, std::string_view aText)
    : FButtonType(aButtonType), FText(EscapeJSONString(aText)) {}

TqvnTelegramInlineKeyboardButtonTypeCallback::TqvnTelegramInlineKeyboardButtonTypeCallback(
    std::string_view aText, std::string_view aData)
    : TqvnTelegramInlineKeyboardButton(tikbCallback, aText),
      FData(EncodeBase64(EscapeJSONString(aData), false)) {}

TqvnTelegramInlineKeyboardButtonTypeUrl::TqvnTelegramInlineKeyboardButtonTypeUrl(
    std::string_view aText, std::string_view aUrl)
    : TqvnTelegramInlineKeyboardButton(tikbUrl, aText), FUrl(EscapeJSONString(aUrl)) {}

TqvnTelegramKeyboardButton::TqvnTelegramKeyboardButton(TqvnTelegramKeyboardButtonType aButtonType,
                                                       std::string_view aText)
    : FButtonType(aButtonType), FText(EscapeJSONString(aText)) {}

void TqvnTelegramInlineKeyboardButtons::AddButtonTypeCallback(std::string_view aText,
                                                              std::string_view aData) {
  FItems.push_back(std::make_unique<TqvnTelegramInlineKeyboardButtonTypeCallback>(aText, aData));
}

void TqvnTelegramInlineKeyboardButtons::AddButtonTypeURL(std::string_view aText,
                                                         std::string_view aURL) {
  FItems.push_back(std::make_unique<TqvnTelegramInlineKeyboardButtonTypeUrl>(aText, aURL));
}

void TqvnTelegramInlineKeyboardButtons::Clear() { FItems.clear(); }

void TqvnTelegramKeyboardButtons::AddButtonTypeRequestLocation(std::string_view aText) {
  FItems.push_back(std::make_unique<TqvnTelegramKeyboardButtonTypeRequestLocation>(aText));
}

void TqvnTelegramKeyboardButtons::AddButtonTypeRequestPhoneNumber(std::string_view aText) {
  FItems.push_back(std::make_unique<TqvnTelegramKeyboardButtonTypeRequestPhoneNumber>(aText));
}

void TqvnTelegramKeyboardButtons::AddButtonTypeText(std::string_view aText) {
  FItems.push_back(std::make_unique<TqvnTelegramKeyboardButtonTypeText>(aText));
}

void TqvnTelegramKeyboardButtons::Clear() { FItems.clear(); }

TqvnTelegramInlineKeyboardButtons& TqvnTelegramReplyMarkupInlineKeyboard::GetButtons() {
  if (!FButtons) FButtons = std::make_unique<TqvnTelegramInlineKeyboardButtons>();
  return *FButtons;
}

std::string TqvnTelegramReplyMarkupInlineKeyboard::Write() const {
  if (!FButtons || FButtons->Count() == 0) return {};
  std::string result = "\"reply_markup\": {\"@type\": \"replyMarkupInlineKeyboard\",\"rows\": [[";
  for (size_t i = 0; i < FButtons->Count(); ++i) {
    if (i > 0) result += ',';
    const TqvnTelegramInlineKeyboardButton& button = FButtons->Item(i);
    if (button.ButtonType() == tikbCallback) {
      result += FillTemplate(
          "{\"@type\": \"inlineKeyboardButton\",\"text\": \"%s\",\"type\": {\"@type\": "
          "\"inlineKeyboardButtonTypeCallback\",\"data\": \"%s\"}}",
          {button.Text(),
           static_cast<const TqvnTelegramInlineKeyboardButtonTypeCallback&>(button).Data()});
    } else {
      result += FillTemplate(
          "{\"@type\": \"inlineKeyboardButton\",\"text\": \"%s\",\"type\": {\"@type\": "
          "\"inlineKeyboardButtonTypeUrl\",\"url\": \"%s\"}}",
          {button.Text(),
           static_cast<const TqvnTelegramInlineKeyboardButtonTypeUrl&>(button).Url()});
    }
  }
  result += "]]}";
  return result;
}

TqvnTelegramKeyboardButtons& TqvnTelegramReplyMarkupShowKeyboard::GetButtons() {
  if (!FButtons) FButtons = std::make_unique<TqvnTelegramKeyboardButtons>();
  return *FButtons;
}

namespace {

std::string_view KeyboardButtonTypeName(TqvnTelegramKeyboardButtonType aType) {
  switch (aType) {
    case tkbtRequestLocation:
      return "keyboardButtonTypeRequestLocation";
    case tkbtRequestPhoneNumber:
      return "keyboardButtonTypeRequestPhoneNumber";
    case tkbtText:
      break;
  }
  return "keyboardButtonTypeText";
}

}  // namespace

std::string TqvnTelegramReplyMarkupShowKeyboard::Write() const {
  if (!FButtons || FButtons->Count() == 0) return {};
  std::string result = FillTemplate(
      "\"reply_markup\": {\"@type\": \"replyMarkupShowKeyboard\", \"resize_keyboard\": %s, "
      "\"one_time\": %s, \"rows\": [[",
      {BoolText(FResizeKeyboard), BoolText(FOneTime)});
  for (size_t i = 0; i < FButtons->Count(); ++i) {
    if (i > 0) result += ',';
    const TqvnTelegramKeyboardButton& button = FButtons->Item(i);
    result += FillTemplate(
        "{\"@type\": \"keyboardButton\",\"text\": \"%s\",\"type\": {\"@type\": \"%s\"}}",
        {button.Text(), KeyboardButtonTypeName(button.ButtonType())});
  }
  result += "]]}";
  return result;
}

namespace {

// The keyboard's fragment followed by ","; empty for no keyboard or one without buttons.
template <class TKeyboard>
std::string MarkupFragment(const TKeyboard* aKeyboard) {
  std::string fragment = aKeyboard ? aKeyboard->Write() : std::string();
  if (!fragment.empty()) fragment += ',';
  return fragment;
}

}  // namespace

std::string GetInlineKeyboardMarkup(const TqvnTelegramReplyMarkupInlineKeyboard* aKeyboard) {
  return MarkupFragment(aKeyboard);
}

std::string GetShowKeyboardMarkup(const TqvnTelegramReplyMarkupShowKeyboard* aKeyboard) {
  return MarkupFragment(aKeyboard);
}

}  // namespace qvn
