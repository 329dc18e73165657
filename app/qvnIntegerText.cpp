#include "app/qvnIntegerText.h"

namespace qvn {

namespace {

int DigitValue(char c, int aBase) {
  int value = -1;
  if (c >= '0' && c <= '9')
    value = c - '0';
  else if (c >= 'a' && c <= 'f')
    value = c - 'a' + 10;
  else if (c >= 'A' && c <= 'F')
    value = c - 'A' + 10;
  return value < aBase ? value : -1;
}

// The value of aText when it is an integer in the accepted form whose signed value fits in
// TInteger.
template <typename TInteger>
std::optional<TInteger> TryParseInteger(std::string_view aText) {
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
  // The magnitude may reach 2^(bits-1) for the most negative value; anything larger is out of
  // range. The check comes before each step, so the magnitude itself never overflows.
  constexpr uint64_t kLimit = uint64_t{1} << (sizeof(TInteger) * 8 - 1);
  uint64_t magnitude = 0;
  for (; i < aText.size(); ++i) {
    const int digit = DigitValue(aText[i], base);
    if (digit < 0) return std::nullopt;
    if (magnitude > (kLimit - digit) / base) return std::nullopt;
    magnitude = magnitude * base + digit;
  }
  if (!negative && magnitude == kLimit) return std::nullopt;
  return negative ? static_cast<TInteger>(0 - magnitude) : static_cast<TInteger>(magnitude);
}

template <typename TInteger>
TInteger ParseIntegerOrRaise(const std::string& aText) {
  if (auto value = TryParseInteger<TInteger>(aText)) return *value;
  throw EConvertError("'" + aText + "' is not a valid integer value");
}

}  // namespace

std::optional<int32_t> TryStrToInt(std::string_view aText) {
  return TryParseInteger<int32_t>(aText);
}

int32_t StrToInt(const std::string& aText) {
  return ParseIntegerOrRaise<int32_t>(aText);
}

int64_t StrToInt64(const std::string& aText) {
  return ParseIntegerOrRaise<int64_t>(aText);
}

int32_t StrToIntDef(std::string_view aText, int32_t aDefault) {
  return TryStrToInt(aText).value_or(aDefault);
}

}  // namespace qvn
