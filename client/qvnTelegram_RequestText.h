// How the request builders (message, chat, member, user, login requests, reply markups,
// invoices, rich-text entities) make their texts: one complete template per JSON value, filled
// by FillTemplate with typed values.
//
// A template is the whole text of one JSON value (an object, an array's element list, or a
// member list), spacing included, with typed place holders:
//   %s  a text, JSON-escaped by the filler (the template supplies the quotes around it);
//   %e  a text already in its escaped form, copied as it is (Base64, button texts the markups
//       store escaped);
//   %d  an integer, in signed decimal;
//   %b  a boolean, as true / false;
//   %j  a complete JSON piece made by another builder (an object, an array, a number, an
//       element list or a member list), copied as it is.
// The values are passed in order; each says what it is (TqvnRequestValue). A template whose
// place holders and values differ in number or kind, or that holds a "%" not followed by one of
// the letters above, is a fault of the calling builder: FillTemplate throws std::logic_error
// rather than make a wrong text. Only the template is scanned, so a "%" inside a value is copied
// like any other character.
//
// Why templates rather than a JSON document: every request has a fixed shape, or one of a few
// chosen by the TDLib release or an argument, so its template is its text, read at a glance and
// compared byte for byte by the tests, with no document built and printed on the way. A builder
// never opens a brace that another closes: a nested value is a piece (%j) that its own builder
// made whole, and a layout that changed between releases is a second complete template.
//
// Pure functions without state: callable from any thread.
#ifndef QVN_CLIENT_QVNTELEGRAM_REQUESTTEXT_H
#define QVN_CLIENT_QVNTELEGRAM_REQUESTTEXT_H

#include <concepts>
#include <cstdint>
#include <initializer_list>
#include <stdexcept>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

namespace qvn {

// Request arguments TDLib cannot take as they are: a number beyond the range TDLib reads, or a
// combination it would not read whole. A builder throws it before any text is made; the client
// reports it through OnException and sends nothing.
class EqvnTelegramRequestError : public std::invalid_argument {
 public:
  using std::invalid_argument::invalid_argument;
};

// The kinds of template values, one per place holder letter.
enum class EqvnRequestValueKind { text, escapedText, integer, boolean, jsonPiece };

// The integer types a %d place holder takes: those whose every value fits int64_t (bool is a
// boolean, not an integer).
template <class T>
concept RequestInteger = std::integral<T> && !std::same_as<T, bool> &&
                         (std::is_signed_v<T> || sizeof(T) < sizeof(int64_t));

// One value for a template place holder. Texts (string views, strings, literals), integers and
// booleans convert implicitly; escaped texts and JSON pieces are named with EscapedText and
// JSONPiece. A value refers to the text it was made from: use it within the FillTemplate call.
class TqvnRequestValue {
 public:
  TqvnRequestValue(std::string_view aText) : FKind(EqvnRequestValueKind::text), FText(aText) {}
  TqvnRequestValue(const std::string& aText) : TqvnRequestValue(std::string_view(aText)) {}
  TqvnRequestValue(const char* aText) : TqvnRequestValue(std::string_view(aText)) {}
  template <RequestInteger T>
  TqvnRequestValue(T aInteger)
      : FKind(EqvnRequestValueKind::integer), FInteger(static_cast<int64_t>(aInteger)) {}
  template <std::same_as<bool> T>
  TqvnRequestValue(T aBoolean) : FKind(EqvnRequestValueKind::boolean), FBoolean(aBoolean) {}

  // A text already in its escaped form, for a %e place holder.
  friend TqvnRequestValue EscapedText(std::string_view aText) {
    return {EqvnRequestValueKind::escapedText, aText};
  }
  // A complete JSON piece made by another builder, for a %j place holder.
  friend TqvnRequestValue JSONPiece(std::string_view aJSON) {
    return {EqvnRequestValueKind::jsonPiece, aJSON};
  }

  EqvnRequestValueKind Kind() const { return FKind; }
  std::string_view Text() const { return FText; }
  int64_t Integer() const { return FInteger; }
  bool Boolean() const { return FBoolean; }

 private:
  TqvnRequestValue(EqvnRequestValueKind aKind, std::string_view aText)
      : FKind(aKind), FText(aText) {}

  EqvnRequestValueKind FKind;
  std::string_view FText;
  int64_t FInteger = 0;
  bool FBoolean = false;
};

TqvnRequestValue EscapedText(std::string_view aText);
TqvnRequestValue JSONPiece(std::string_view aJSON);

// aTemplate with each place holder replaced by the next of aValues, rendered by its kind.
// Throws std::logic_error when the place holders and the values differ in number or kind, or
// the template holds a "%" that starts no place holder.
std::string FillTemplate(std::string_view aTemplate,
                         std::initializer_list<TqvnRequestValue> aValues);

// "[" + the ids in signed decimal joined by "," + "]"; "[]" for none.
std::string IdListText(const std::vector<int64_t>& aIds);

}  // namespace qvn

#endif  // QVN_CLIENT_QVNTELEGRAM_REQUESTTEXT_H
