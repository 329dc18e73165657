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

void TqvnTelegramInlineKeyboardButtons::Clear() {
  FItems.clear();
}

void TqvnTelegramKeyboardButtons::AddButtonTypeRequestLocation(std::string_view aText) {
  FItems.push_back(std::make_unique<TqvnTelegramKeyboardButtonTypeRequestLocation>(aText));
}

void TqvnTelegramKeyboardButtons::AddButtonTypeRequestPhoneNumber(std::string_view aText) {
  FItems.push_back(std::make_unique<TqvnTelegramKeyboardButtonTypeRequestPhoneNumber>(aText));
}

void TqvnTelegramKeyboardButtons::AddButtonTypeText(std::string_view aText) {
  FItems.push_back(std::make_unique<TqvnTelegramKeyboardButtonTypeText>(aText));
}

void TqvnTelegramKeyboardButtons::Clear() {
  FItems.clear();
}

TqvnTelegramInlineKeyboardButtons& TqvnTelegramReplyMarkupInlineKeyboard::GetButtons() {
  if (!FButtons) FButtons = std::make_unique<TqvnTelegramInlineKeyboardButtons>();
  return *FButtons;
}

namespace {

std::string InlineButton(const TqvnTelegramInlineKeyboardButton& aButton) {
  if (aButton.ButtonType() == tikbCallback) {
    return FillTemplate(
        R"({"@type": "inlineKeyboardButton","text": "%e","type": {"@type": )"
        R"("inlineKeyboardButtonTypeCallback","data": "%e"}})",
        {EscapedText(aButton.Text()),
         EscapedText(
             static_cast<const TqvnTelegramInlineKeyboardButtonTypeCallback&>(aButton).Data())});
  }
  return FillTemplate(
      R"({"@type": "inlineKeyboardButton","text": "%e","type": {"@type": )"
      R"("inlineKeyboardButtonTypeUrl","url": "%e"}})",
      {EscapedText(aButton.Text()),
       EscapedText(static_cast<const TqvnTelegramInlineKeyboardButtonTypeUrl&>(aButton).Url())});
}

// The buttons of aButtons, each written by aWriteButton, as one row's element list.
template <class TButtons, class TWriteButton>
std::string ButtonRow(const TButtons& aButtons, TWriteButton aWriteButton) {
  std::string row;
  for (size_t i = 0; i < aButtons.Count(); ++i) {
    if (i > 0) row += ',';
    row += aWriteButton(aButtons.Item(i));
  }
  return row;
}

}  // namespace

std::string TqvnTelegramReplyMarkupInlineKeyboard::Write() const {
  if (!FButtons || FButtons->Count() == 0) return {};
  return FillTemplate(R"("reply_markup": {"@type": "replyMarkupInlineKeyboard","rows": [[%j]]})",
                      {JSONPiece(ButtonRow(*FButtons, InlineButton))});
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
  const auto button = [](const TqvnTelegramKeyboardButton& aButton) {
    return FillTemplate(
        R"({"@type": "keyboardButton","text": "%e","type": {"@type": "%s"}})",
        {EscapedText(aButton.Text()), KeyboardButtonTypeName(aButton.ButtonType())});
  };
  return FillTemplate(
      R"("reply_markup": {"@type": "replyMarkupShowKeyboard", "resize_keyboard": %b, )"
      R"("one_time": %b, "rows": [[%j]]})",
      {FResizeKeyboard, FOneTime, JSONPiece(ButtonRow(*FButtons, button))});
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
