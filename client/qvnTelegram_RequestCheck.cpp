#include "client/qvnTelegram_RequestCheck.h"

#include <array>
#include <cstdio>

#include "json/qvnBase_Helpers.h"
#include "json/qvnJSON_Text.h"

namespace qvn {
namespace {

constexpr std::string_view kExtra = "@extra";

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// A letter or digit (ASCII): what would run on from a number or a literal.
bool IsWordCharacter(char c) {
  return IsDigit(c) || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// The bytes a string holds as they are: printable ASCII but the quote and the backslash.
constexpr auto kPlainInString = [] {
  std::array<bool, 256> plain{};
  for (int c = 0x20; c < 0x80; ++c) plain[c] = c != '"' && c != '\\';
  return plain;
}();

// The value of the hexadecimal digit c, or -1.
int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The top level of one object text, read in one pass from its start. Checked, every value is
// read as JSON spells it and the first fault is kept (Fault); unchecked, strings and nested
// values are only skipped to their ends.
class TObjectScanner {
 public:
  TObjectScanner(std::string_view aText, bool aChecked) : FText(aText), FChecked(aChecked) {}

  std::optional<TqvnObjectLayout> Scan() {
    TqvnObjectLayout layout;
    SkipBlanks();
    if (!Peek('{')) {
      Unexpected("'{'");
      return std::nullopt;
    }
    layout.Open = FAt;
    if (!ReadObject(0, &layout)) return std::nullopt;
    layout.Close = FAt - 1;
    if (FChecked) {
      SkipBlanks();
      if (FAt < FText.size()) {
        Fail(Found() + " after the object", FAt);
        return std::nullopt;
      }
    }
    return layout;
  }

  const std::string& Fault() const { return FFault; }

 private:
  // An object inside aDepth objects and arrays, from its "{" to just after its "}". aTop, given
  // for the request object itself, gets where its members and its first "@extra" are; checked,
  // a second "@extra", or a name that only decodes to it, is a fault there.
  bool ReadObject(int aDepth, TqvnObjectLayout* aTop = nullptr) {
    ++FAt;
    SkipBlanks();
    if (Take('}')) return true;
    for (;;) {
      if (!Peek('"')) return Unexpected("a member name");
      const size_t nameBegin = FAt;
      if (!String()) return false;
      const std::string_view name = FText.substr(nameBegin + 1, FAt - nameBegin - 2);
      SkipBlanks();
      if (!Take(':')) return Unexpected("':'");
      SkipBlanks();
      const size_t valueBegin = FAt;
      if (!Value(aDepth + 1)) return false;
      if (aTop != nullptr && !NoteMember(*aTop, name, nameBegin, valueBegin)) return false;
      SkipBlanks();
      if (Take('}')) return true;
      if (!Take(',')) return Unexpected("',' or '}'");
      SkipBlanks();
    }
  }

  // The top-level member aName, whose name's opening quote is at aNameBegin and whose value
  // runs from aValueBegin to FAt.
  bool NoteMember(TqvnObjectLayout& aTop, std::string_view aName, size_t aNameBegin,
                  size_t aValueBegin) {
    aTop.HasMembers = true;
    if (aName == kExtra) {
      if (aTop.HasExtra) return !FChecked || Fail("a second \"@extra\"", aNameBegin);
      aTop.HasExtra = true;
      aTop.ExtraBegin = aNameBegin;
      aTop.ExtraValueBegin = aValueBegin;
      aTop.ExtraValueEnd = FAt;
    } else if (FChecked && aName.find('\\') != std::string_view::npos &&
               UnescapeJSONString(aName) == kExtra) {
      return Fail("\"@extra\" written with escapes", aNameBegin);
    }
    return true;
  }

  bool Peek(char c) const { return FAt < FText.size() && FText[FAt] == c; }

  bool Take(char c) {
    if (!Peek(c)) return false;
    ++FAt;
    return true;
  }

  void SkipBlanks() {
    while (FAt < FText.size() && IsBlank(FText[FAt])) ++FAt;
  }

  // Always false; checked, keeps the first fault: aWhat at byte aAt.
  bool Fail(std::string_view aWhat, size_t aAt) {
    if (FChecked && FFault.empty()) {
      FFault.assign(aWhat);
      FFault += " at byte ";
      FFault += std::to_string(aAt);
    }
    return false;
  }

  // What the byte at FAt is, for a fault.
  std::string Found() const {
    const auto c = static_cast<unsigned char>(FText[FAt]);
    if (c == 0) return "a NUL byte";
    if (c >= 0x20 && c < 0x7F) return std::string("'") + static_cast<char>(c) + "'";
    char hex[16];
    std::snprintf(hex, sizeof hex, "byte 0x%02X", c);
    return hex;
  }

  // Always false; checked, the fault that aExpected is not at FAt.
  bool Unexpected(std::string_view aExpected) {
    if (!FChecked) return false;
    const std::string where = " where " + std::string(aExpected) + " was expected";
    if (FAt >= FText.size()) return Fail("the end of the text" + where, FAt);
    return Fail(Found() + where, FAt);
  }

  bool String() { return FChecked ? ReadString() : SkipString(); }
  bool Value(int aDepth) { return FChecked ? ReadValue(aDepth) : SkipValue(); }

  // ---- unchecked ----

  // A string from its opening quote to just after its closing one.
  bool SkipString() {
    if (!Take('"')) return false;
    while (FAt < FText.size()) {
      const char c = FText[FAt++];
      if (c == '"') return true;
      if (c == '\\') ++FAt;
    }
    return false;
  }

  // A string, an object or array (to its matching end), or a bare word or number.
  bool SkipValue() {
    if (FAt >= FText.size()) return false;
    const char first = FText[FAt];
    if (first == '"') return SkipString();
    if (first == '{' || first == '[') {
      int depth = 0;
      while (FAt < FText.size()) {
        const char c = FText[FAt];
        if (c == '"') {
          if (!SkipString()) return false;
          continue;
        }
        ++FAt;
        if (c == '{' || c == '[') ++depth;
        if ((c == '}' || c == ']') && --depth == 0) return true;
      }
      return false;
    }
    const size_t begin = FAt;
    while (FAt < FText.size()) {
      const char c = FText[FAt];
      if (c == ',' || c == '}' || c == ']' || IsBlank(c)) break;
      ++FAt;
    }
    return FAt > begin;
  }

  // ---- checked ----

  // One value inside aDepth objects and arrays.
  bool ReadValue(int aDepth) {
    if (aDepth > kTDLibMaxNesting) {
      return Fail(
          "a value inside more than " + std::to_string(kTDLibMaxNesting) + " objects and arrays",
          FAt);
    }
    if (FAt >= FText.size()) return Unexpected("a value");
    switch (FText[FAt]) {
      case '"':
        return ReadString();
      case '{':
        return ReadObject(aDepth);
      case '[':
        return ReadArray(aDepth);
      case 't':
        return ReadWord("true");
      case 'f':
        return ReadWord("false");
      case 'n':
        return ReadWord("null");
      default:
        if (Peek('-') || IsDigit(FText[FAt])) return ReadNumber();
        return Unexpected("a value");
    }
  }

  bool ReadArray(int aDepth) {
    ++FAt;
    SkipBlanks();
    if (Take(']')) return true;
    for (;;) {
      if (!ReadValue(aDepth + 1)) return false;
      SkipBlanks();
      if (Take(']')) return true;
      if (!Take(',')) return Unexpected("',' or ']'");
      SkipBlanks();
    }
  }

  // true, false or null, not run on into other letters or digits.
  bool ReadWord(std::string_view aWord) {
    const size_t begin = FAt;
    if (FText.substr(FAt, aWord.size()) != aWord) return Fail("an invalid literal", begin);
    FAt += aWord.size();
    if (FAt < FText.size() && IsWordCharacter(FText[FAt])) {
      return Fail("an invalid literal", begin);
    }
    return true;
  }

  // -?(0|[1-9][0-9]*)(.[0-9]+)?([eE][+-]?[0-9]+)?, not run on into more of a number or a word.
  bool ReadNumber() {
    const size_t begin = FAt;
    const auto digits = [this] {
      const size_t from = FAt;
      while (FAt < FText.size() && IsDigit(FText[FAt])) ++FAt;
      return FAt > from;
    };
    Take('-');
    if (!Take('0') && !digits()) return Fail("an invalid number", begin);
    if (Take('.') && !digits()) return Fail("an invalid number", begin);
    if (Take('e') || Take('E')) {
      if (!Take('+')) Take('-');
      if (!digits()) return Fail("an invalid number", begin);
    }
    if (FAt < FText.size()) {
      const char c = FText[FAt];
      if (IsWordCharacter(c) || c == '.' || c == '+' || c == '-') {
        return Fail("an invalid number", begin);
      }
    }
    return true;
  }

  // A string from its opening quote to just after its closing one: valid UTF-8, no NUL, JSON's
  // escapes only and no lone surrogate. Other unescaped control characters (a raw tab or line
  // break) are taken as TDLib takes them, unchanged.
  bool ReadString() {
    const size_t size = FText.size();
    ++FAt;
    for (;;) {
      // The plain ASCII run, the bulk of a request (in a local: the text's bytes could alias FAt).
      size_t at = FAt;
      while (at < size && kPlainInString[static_cast<unsigned char>(FText[at])]) ++at;
      FAt = at;
      if (FAt >= size) return Fail("the end of the text inside a string", FAt);
      const auto c = static_cast<unsigned char>(FText[FAt]);
      if (c == '"') {
        ++FAt;
        return true;
      }
      if (c == '\\') {
        if (!ReadEscape()) return false;
      } else if (c == 0) {
        return Fail("a NUL byte in a string", FAt);
      } else if (c < 0x20) {
        ++FAt;
      } else {
        const detail::TqvnUTF8Char ch = detail::DecodeUTF8(FText.substr(FAt));
        if (!ch.Valid) return Fail("invalid UTF-8", FAt);
        FAt += ch.Length;
      }
    }
  }

  // The UTF-16 code unit of the \uXXXX at aAt (its backslash), or -1 when there is none.
  int UnicodeEscapeAt(size_t aAt) const {
    if (aAt + 6 > FText.size() || FText[aAt] != '\\' || FText[aAt + 1] != 'u') return -1;
    int unit = 0;
    for (size_t i = aAt + 2; i < aAt + 6; ++i) {
      const int digit = HexDigit(FText[i]);
      if (digit < 0) return -1;
      unit = unit * 16 + digit;
    }
    return unit;
  }

  bool ReadEscape() {
    const size_t begin = FAt;
    if (FAt + 1 >= FText.size()) return Fail("the end of the text inside a string", FAt + 1);
    switch (FText[FAt + 1]) {
      case '"':
      case '\\':
      case '/':
      case 'b':
      case 'f':
      case 'n':
      case 'r':
      case 't':
        FAt += 2;
        return true;
      case 'u':
        break;
      default:
        return Fail("an invalid escape", begin);
    }
    const int unit = UnicodeEscapeAt(begin);
    if (unit < 0) return Fail("an invalid \\u escape", begin);
    FAt += 6;
    if (unit >= 0xDC00 && unit <= 0xDFFF) return Fail("a lone surrogate escape", begin);
    if (unit >= 0xD800 && unit <= 0xDBFF) {
      const int low = UnicodeEscapeAt(FAt);
      if (low < 0xDC00 || low > 0xDFFF) return Fail("a lone surrogate escape", begin);
      FAt += 6;
    }
    return true;
  }

  std::string_view FText;
  bool FChecked;
  size_t FAt = 0;
  std::string FFault;
};

}  // namespace

std::string RequestTextFault(std::string_view aText) {
  TObjectScanner scanner(aText, /*aChecked=*/true);
  scanner.Scan();
  return scanner.Fault();
}

std::optional<TqvnObjectLayout> ReadObjectLayout(std::string_view aText) {
  return TObjectScanner(aText, /*aChecked=*/false).Scan();
}

}  // namespace qvn
