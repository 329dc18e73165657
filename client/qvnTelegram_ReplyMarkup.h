// Reply markups: keyboards attached to a message sent or edited by the message requests.
//
// TqvnTelegramReplyMarkupInlineKeyboard holds callback and URL buttons shown under a message;
// TqvnTelegramReplyMarkupShowKeyboard holds text, location-request and phone-number-request
// buttons that replace the recipient's keyboard. All buttons of a markup go into one row, in the
// order they were added. There is no way to remove a single button.
//
// Buttons store their request-ready forms, made when the button is added: texts and URLs
// escaped with EscapeJSONString, callback data escaped and then Base64-encoded. Reading Text,
// Url or Data gives these stored forms. A pressed callback button comes back through the
// callback-query record, which decodes and unescapes the data into what was given here.
//
// Write gives the markup's "reply_markup" member (name and object value, no trailing comma), or
// an empty text when the markup has no buttons. The same buttons and flags always write the same
// text. GetInlineKeyboardMarkup / GetShowKeyboardMarkup give that fragment followed by "," as the
// message requests place it, or "" for a null or empty markup.
//
// Ownership: the caller creates, fills and frees a markup, and may pass it to any number of
// requests; a request neither keeps nor frees it. A markup owns its button list, the list owns
// its buttons. No locking: fill and write a markup on one thread at a time.
#ifndef QVN_CLIENT_QVNTELEGRAM_REPLYMARKUP_H
#define QVN_CLIENT_QVNTELEGRAM_REPLYMARKUP_H

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace qvn {

enum TqvnTelegramInlineKeyboardButtonType { tikbCallback = 0, tikbUrl = 1 };

enum TqvnTelegramKeyboardButtonType {
  tkbtRequestLocation = 0,
  tkbtRequestPhoneNumber = 1,
  tkbtText = 2
};

// ---- Inline keyboard buttons ----

class TqvnTelegramInlineKeyboardButton {
 public:
  virtual ~TqvnTelegramInlineKeyboardButton() = default;
  TqvnTelegramInlineKeyboardButtonType ButtonType() const { return FButtonType; }
  // The escaped button text.
  const std::string& Text() const { return FText; }

 protected:
  // Stores EscapeJSONString(aText).
  TqvnTelegramInlineKeyboardButton(TqvnTelegramInlineKeyboardButtonType aButtonType,
                                   std::string_view aText);

 private:
  TqvnTelegramInlineKeyboardButtonType FButtonType;
  std::string FText;
};

class TqvnTelegramInlineKeyboardButtonTypeCallback : public TqvnTelegramInlineKeyboardButton {
 public:
  // Stores EscapeJSONString(aText) and the Base64 of EscapeJSONString(aData).
  TqvnTelegramInlineKeyboardButtonTypeCallback(std::string_view aText, std::string_view aData);
  // The Base64 text of the escaped callback data.
  const std::string& Data() const { return FData; }

 private:
  std::string FData;
};

class TqvnTelegramInlineKeyboardButtonTypeUrl : public TqvnTelegramInlineKeyboardButton {
 public:
  // Stores EscapeJSONString(aText) and EscapeJSONString(aUrl).
  TqvnTelegramInlineKeyboardButtonTypeUrl(std::string_view aText, std::string_view aUrl);
  // The escaped URL.
  const std::string& Url() const { return FUrl; }

 private:
  std::string FUrl;
};

// ---- Keyboard buttons ----

class TqvnTelegramKeyboardButton {
 public:
  virtual ~TqvnTelegramKeyboardButton() = default;
  TqvnTelegramKeyboardButtonType ButtonType() const { return FButtonType; }
  // The escaped button text.
  const std::string& Text() const { return FText; }

 protected:
  // Stores EscapeJSONString(aText).
  TqvnTelegramKeyboardButton(TqvnTelegramKeyboardButtonType aButtonType, std::string_view aText);

 private:
  TqvnTelegramKeyboardButtonType FButtonType;
  std::string FText;
};

class TqvnTelegramKeyboardButtonTypeRequestLocation : public TqvnTelegramKeyboardButton {
 public:
  explicit TqvnTelegramKeyboardButtonTypeRequestLocation(std::string_view aText)
      : TqvnTelegramKeyboardButton(tkbtRequestLocation, aText) {}
};

class TqvnTelegramKeyboardButtonTypeRequestPhoneNumber : public TqvnTelegramKeyboardButton {
 public:
  explicit TqvnTelegramKeyboardButtonTypeRequestPhoneNumber(std::string_view aText)
      : TqvnTelegramKeyboardButton(tkbtRequestPhoneNumber, aText) {}
};

class TqvnTelegramKeyboardButtonTypeText : public TqvnTelegramKeyboardButton {
 public:
  explicit TqvnTelegramKeyboardButtonTypeText(std::string_view aText)
      : TqvnTelegramKeyboardButton(tkbtText, aText) {}
};

// ---- Button lists: ordered, owning their buttons ----

class TqvnTelegramInlineKeyboardButtons {
 public:
  void AddButtonTypeCallback(std::string_view aText, std::string_view aData);
  void AddButtonTypeURL(std::string_view aText, std::string_view aURL);
  size_t Count() const { return FItems.size(); }
  const TqvnTelegramInlineKeyboardButton& Item(size_t aIndex) const { return *FItems.at(aIndex); }
  // Frees every button, first to last, and leaves the list empty.
  virtual void Clear();
  virtual ~TqvnTelegramInlineKeyboardButtons() { Clear(); }

 private:
  std::vector<std::unique_ptr<TqvnTelegramInlineKeyboardButton>> FItems;
};

class TqvnTelegramKeyboardButtons {
 public:
  void AddButtonTypeRequestLocation(std::string_view aText);
  void AddButtonTypeRequestPhoneNumber(std::string_view aText);
  void AddButtonTypeText(std::string_view aText);
  size_t Count() const { return FItems.size(); }
  const TqvnTelegramKeyboardButton& Item(size_t aIndex) const { return *FItems.at(aIndex); }
  // Frees every button, first to last, and leaves the list empty.
  virtual void Clear();
  virtual ~TqvnTelegramKeyboardButtons() { Clear(); }

 private:
  std::vector<std::unique_ptr<TqvnTelegramKeyboardButton>> FItems;
};

// ---- Markups ----

class TqvnTelegramReplyMarkupInlineKeyboard {
 public:
  void AddButtonTypeCallback(std::string_view aText, std::string_view aData) {
    GetButtons().AddButtonTypeCallback(aText, aData);
  }
  void AddButtonTypeURL(std::string_view aText, std::string_view aURL) {
    GetButtons().AddButtonTypeURL(aText, aURL);
  }
  // The "reply_markup" fragment, or "" without buttons.
  std::string Write() const;

 private:
  TqvnTelegramInlineKeyboardButtons& GetButtons();
  std::unique_ptr<TqvnTelegramInlineKeyboardButtons> FButtons;  // created on first add
};

class TqvnTelegramReplyMarkupShowKeyboard {
 public:
  void AddButtonTypeRequestLocation(std::string_view aText) {
    GetButtons().AddButtonTypeRequestLocation(aText);
  }
  void AddButtonTypeRequestPhoneNumber(std::string_view aText) {
    GetButtons().AddButtonTypeRequestPhoneNumber(aText);
  }
  void AddButtonTypeText(std::string_view aText) { GetButtons().AddButtonTypeText(aText); }

  bool OneTime() const { return FOneTime; }
  void SetOneTime(bool aValue) { FOneTime = aValue; }
  bool ResizeKeyboard() const { return FResizeKeyboard; }
  void SetResizeKeyboard(bool aValue) { FResizeKeyboard = aValue; }

  // The "reply_markup" fragment, or "" without buttons.
  std::string Write() const;

 private:
  TqvnTelegramKeyboardButtons& GetButtons();
  std::unique_ptr<TqvnTelegramKeyboardButtons> FButtons;  // created on first add
  bool FOneTime = false;
  bool FResizeKeyboard = false;
};

// The markup's fragment followed by ",", or "" when aKeyboard is null or has no buttons.
std::string GetInlineKeyboardMarkup(const TqvnTelegramReplyMarkupInlineKeyboard* aKeyboard);
std::string GetShowKeyboardMarkup(const TqvnTelegramReplyMarkupShowKeyboard* aKeyboard);

}  // namespace qvn

#endif  // QVN_CLIENT_QVNTELEGRAM_REPLYMARKUP_H
