#include "qvnIntegerText.h"

namespace qvn {

namespace {

int DigitValue(char c, int base) {
  int value = -1;
  if (c >= '0' && c <= '9')
    value = c - '0';
  else if (c >= 'a' && c <= 'f')
    value = c - 'a' + 10;
  else if (c >= 'A' && c <= 'F')
    value = c - 'A' + 10;
  return value < base ? value : -1;
}

}  // namespace

std::optional<int32_t> TryStrToInt(std::string_view aText) {
  size_t i = 0;
  while (i < aText.size() && aText[i] == ' ') ++i;
  bool negative = false;
  if (i < aText.size() && (aText[i] == '+' || aText[i] == '-')) {
    negative = aText[i] == '-';
    ++i;
  }
  int base = 10;
  if (i < aText.size() && aText[i] == '$') {
    base = 16;
    ++i;
  } else if (i + 1 < aText.size() && aText[i] == '0' &&
             (aText[i + 1] == 'x' || aText[i + 1] == 'X')) {
    base = 16;
    i += 2;
  }
  if (i == aText.size()) return std::nullopt;
  // The magnitude may reach 2^31 for the most negative value; anything larger is out of range.
  constexpr int64_t kLimit = int64_t{1} << 31;
  int64_t magnitude = 0;
  for (; i < aText.size(); ++i) {
    int digit = DigitValue(aText[i], base);
    if (digit < 0) return std::nullopt;
    magnitude = magnitude * base + digit;
    if (magnitude > kLimit) return std::nullopt;
  }
  if (!negative && magnitude == kLimit) return std::nullopt;
  return static_cast<int32_t>(negative ? -magnitude : magnitude);
}

int32_t StrToInt(const std::string& aText) {
  if (auto value = TryStrToInt(aText)) return *value;
  throw EConvertError("'" + aText + "' is not a valid integer value");
}

int32_t StrToIntDef(std::string_view aText, int32_t aDefault) {
  return TryStrToInt(aText).value_or(aDefault);
}

}  // namespace qvn
