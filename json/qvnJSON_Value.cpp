// TqvnJSONValue: conversions of a node's tagged value.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

#include "json/qvnJSON.h"
#include "json/qvnJSON_Text.h"

namespace qvn {

namespace {

[[noreturn]] void ThrowNotA(std::string_view aText, const char* aWhat) {
  throw EqvnConvertError("'" + std::string(aText) + "' is not a valid " + aWhat + " value");
}

// A signed decimal integer: an optional sign and at least one digit, nothing else.
bool ParseInteger(std::string_view aText, std::int64_t& aResult) {
  bool negative = false;
  if (!aText.empty() && (aText[0] == '+' || aText[0] == '-')) {
    negative = aText[0] == '-';
    aText.remove_prefix(1);
  }
  if (aText.empty()) return false;
  std::uint64_t magnitude = 0;
  auto [end, ec] = std::from_chars(aText.data(), aText.data() + aText.size(), magnitude);
  if (ec != std::errc() || end != aText.data() + aText.size()) return false;
  const std::uint64_t limit =
      static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()) + (negative ? 1 : 0);
  if (magnitude > limit) return false;
  aResult =
      negative ? static_cast<std::int64_t>(0 - magnitude) : static_cast<std::int64_t>(magnitude);
  return true;
}

// For a number text of valid syntax whose value is not 0: the power of ten just above its first
// significant digit (1 for "5", 0 for "0.5", -2 for "0.005", 403 for "12e401"). Saturates far
// beyond the double range, so a huge exponent never overflows.
long long DecimalExponent(std::string_view aText) {
  constexpr long long kFar = 1000000000;
  std::size_t i = aText[0] == '-' || aText[0] == '+' ? 1 : 0;
  long long position = 0;  // of the first significant digit, counted from the point
  bool significant = false;
  bool afterPoint = false;
  for (; i < aText.size() && aText[i] != 'e' && aText[i] != 'E'; ++i) {
    const char c = aText[i];
    if (c == '.') {
      afterPoint = true;
    } else if (!significant && c == '0') {
      if (afterPoint) --position;
    } else if (!significant) {
      significant = true;
      if (!afterPoint) position = 1;
    } else if (!afterPoint && position < kFar) {
      ++position;
    }
  }
  long long exponent = 0;
  bool negative = false;
  if (i < aText.size()) {
    ++i;
    if (i < aText.size() && (aText[i] == '+' || aText[i] == '-')) negative = aText[i++] == '-';
    for (; i < aText.size(); ++i) exponent = std::min(kFar, exponent * 10 + (aText[i] - '0'));
  }
  return position + (negative ? -exponent : exponent);
}

// A number in JSON syntax, a leading "+" allowed.
bool ParseNumberText(std::string_view aText, double& aResult) {
  std::size_t i = 0;
  const std::size_t n = aText.size();
  auto digits = [&] {
    std::size_t from = i;
    while (i < n && aText[i] >= '0' && aText[i] <= '9') ++i;
    return i > from;
  };
  if (i < n && (aText[i] == '+' || aText[i] == '-')) ++i;
  if (!digits()) return false;
  if (i < n && aText[i] == '.') {
    ++i;
    if (!digits()) return false;
  }
  if (i < n && (aText[i] == 'e' || aText[i] == 'E')) {
    ++i;
    if (i < n && (aText[i] == '+' || aText[i] == '-')) ++i;
    if (!digits()) return false;
  }
  if (i != n) return false;
  std::string_view body = aText[0] == '+' ? aText.substr(1) : aText;
  auto [end, ec] = std::from_chars(body.data(), body.data() + body.size(), aResult);
  if (end != body.data() + body.size()) return false;
  if (ec == std::errc::result_out_of_range) {
    // Beyond the double range: too large gives an infinity, too small a zero, with the sign.
    const double magnitude = DecimalExponent(body) > 0 ? HUGE_VAL : 0.0;
    aResult = body[0] == '-' ? -magnitude : magnitude;
  }
  return ec == std::errc() || ec == std::errc::result_out_of_range;
}

// True when a number text of valid syntax has a digit other than 0 before its exponent, that
// is when the number it spells is not 0 (however small it is).
bool MantissaIsNonZero(std::string_view aText) {
  for (char c : aText) {
    if (c == 'e' || c == 'E') break;
    if (c >= '1' && c <= '9') return true;
  }
  return false;
}

bool EqualsIgnoringCase(std::string_view aText, std::string_view aLower) {
  if (aText.size() != aLower.size()) return false;
  for (std::size_t i = 0; i < aText.size(); ++i) {
    if (detail::AsciiLower(aText[i]) != aLower[i]) return false;
  }
  return true;
}

}  // namespace

std::string TqvnJSONValue::AsString() const {
  if (const std::string* text = std::get_if<jvText>(&FData)) return *text;
  std::string result;
  switch (Kind()) {
    case jvInteger:
      return std::to_string(std::get<jvInteger>(FData));
    case jvInt64:
      return std::to_string(std::get<jvInt64>(FData));
    case jvDouble:
      detail::AppendDouble(std::get<jvDouble>(FData), result);
      return result;
    case jvBoolean:
      return std::get<jvBoolean>(FData) ? "True" : "False";
    default:
      return result;
  }
}

std::int64_t TqvnJSONValue::AsInt64() const {
  switch (Kind()) {
    case jvText: {
      std::int64_t result = 0;
      if (!ParseInteger(TextView(), result)) ThrowNotA(TextView(), "integer");
      return result;
    }
    case jvInteger:
      return std::get<jvInteger>(FData);
    case jvInt64:
      return std::get<jvInt64>(FData);
    case jvDouble: {
      const double d = std::get<jvDouble>(FData);
      // The range test also rejects NaN.
      if (!(d >= -9223372036854775808.0 && d < 9223372036854775808.0) ||
          static_cast<double>(static_cast<std::int64_t>(d)) != d) {
        ThrowNotA(AsString(), "integer");
      }
      return static_cast<std::int64_t>(d);
    }
    case jvBoolean:
      return std::get<jvBoolean>(FData) ? 1 : 0;
    default:
      ThrowNotA("", "integer");
  }
}

std::int32_t TqvnJSONValue::AsInteger() const {
  const std::int64_t value = AsInt64();
  if (value < std::numeric_limits<std::int32_t>::min() ||
      value > std::numeric_limits<std::int32_t>::max()) {
    ThrowNotA(AsString(), "integer");
  }
  return static_cast<std::int32_t>(value);
}

bool TqvnJSONValue::AsBoolean() const {
  switch (Kind()) {
    case jvText: {
      std::string_view text = TextView();
      if (EqualsIgnoringCase(text, "true")) return true;
      if (EqualsIgnoringCase(text, "false")) return false;
      double number = 0;
      if (!ParseNumberText(text, number)) ThrowNotA(text, "boolean");
      return MantissaIsNonZero(text);
    }
    case jvInteger:
      return std::get<jvInteger>(FData) != 0;
    case jvInt64:
      return std::get<jvInt64>(FData) != 0;
    case jvDouble:
      return std::get<jvDouble>(FData) != 0;
    case jvBoolean:
      return std::get<jvBoolean>(FData);
    default:
      ThrowNotA("", "boolean");
  }
}

double TqvnJSONValue::AsDouble() const {
  switch (Kind()) {
    case jvText: {
      double number = 0;
      if (!ParseNumberText(TextView(), number)) ThrowNotA(TextView(), "floating point");
      return number;
    }
    case jvInteger:
      return std::get<jvInteger>(FData);
    case jvInt64:
      return static_cast<double>(std::get<jvInt64>(FData));
    case jvDouble:
      return std::get<jvDouble>(FData);
    case jvBoolean:
      return std::get<jvBoolean>(FData) ? 1 : 0;
    default:
      ThrowNotA("", "floating point");
  }
}

}  // namespace qvn
