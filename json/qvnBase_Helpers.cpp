#include "json/qvnBase_Helpers.h"

#include <array>
#include <cstdint>
#include <cstdio>

#include "json/qvnJSON_Text.h"

namespace qvn {

std::string EscapeJSONString(std::string_view aText) {
  std::string result;
  result.reserve(aText.size() + aText.size() / 8);
  detail::AppendEscapedJSON(aText, true, result);
  return result;
}

namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The UTF-16 code unit written as \uXXXX at aText[i] (the backslash), or -1.
int EscapedUnit(std::string_view aText, std::size_t i) {
  if (i + 6 > aText.size() || aText[i] != '\\' || aText[i + 1] != 'u') return -1;
  int unit = 0;
  for (std::size_t k = i + 2; k < i + 6; ++k) {
    int h = HexValue(aText[k]);
    if (h < 0) return -1;
    unit = unit * 16 + h;
  }
  return unit;
}

// The standard Base64 alphabet, shared by the encoder and the decoder.
constexpr char kBase64Alphabet[] =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

[[noreturn]] void ThrowInvalidCode(std::size_t aPosition) {
  char message[64];
  std::snprintf(message, sizeof message, "Invalid code at position %zu", aPosition);
  throw EqvnUnescapeError(message);
}

}  // namespace

std::string UnescapeJSONString(std::string_view aText) {
  std::string result;
  result.reserve(aText.size());
  std::size_t i = 0;         // byte index
  std::size_t position = 1;  // 1-based position in UTF-16 code units
  while (i < aText.size()) {
    const char c = aText[i];
    if (c != '\\') {
      std::size_t next = aText.find('\\', i);
      if (next == std::string_view::npos) next = aText.size();
      // Copy the run before the next backslash; count its UTF-16 code units.
      position += UTF16Length(aText.substr(i, next - i));
      result.append(aText.data() + i, next - i);
      i = next;
      continue;
    }
    if (i + 1 >= aText.size()) throw EqvnUnescapeError("Unexpected end of string");
    switch (aText[i + 1]) {
      case '\\':
        result += '\\';
        break;
      case '"':
        result += '"';
        break;
      case '/':
        result += '/';
        break;
      case 'b':
        result += '\b';
        break;
      case 'f':
        result += '\f';
        break;
      case 'r':
      case 'R':
        result += '\r';
        break;
      case 'n':
      case 'N':
        result += '\n';
        break;
      case 't':
      case 'T':
        result += '\t';
        break;
      case 'u': {
        int unit = EscapedUnit(aText, i);
        if (unit < 0) ThrowInvalidCode(position);
        if (unit >= 0xD800 && unit <= 0xDBFF) {
          int low = EscapedUnit(aText, i + 6);
          if (low >= 0xDC00 && low <= 0xDFFF) {
            detail::AppendUTF8(0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00), result);
            i += 12;
            position += 12;
            continue;
          }
          unit = 0xFFFD;
        } else if (unit >= 0xDC00 && unit <= 0xDFFF) {
          unit = 0xFFFD;
        }
        detail::AppendUTF8(static_cast<char32_t>(unit), result);
        i += 6;
        position += 6;
        continue;
      }
      default:
        ThrowInvalidCode(position);
    }
    i += 2;
    position += 2;
  }
  return result;
}

std::string EncodeBase64(std::string_view aText, bool aUTF8) {
  std::string bytes;
  if (!aUTF8) {
    bytes.reserve(aText.size());
    for (std::size_t i = 0; i < aText.size();) {
      detail::TqvnUTF8Char ch = detail::DecodeUTF8(aText.substr(i));
      bytes += ch.Valid && ch.Code <= 0xFF ? static_cast<char>(ch.Code) : '?';
      i += ch.Length;
    }
    aText = bytes;
  }
  std::string result;
  result.reserve((aText.size() + 2) / 3 * 4);
  const auto* s = reinterpret_cast<const unsigned char*>(aText.data());
  std::size_t i = 0;
  for (; i + 3 <= aText.size(); i += 3) {
    std::uint32_t v = (s[i] << 16) | (s[i + 1] << 8) | s[i + 2];
    result += kBase64Alphabet[v >> 18];
    result += kBase64Alphabet[(v >> 12) & 63];
    result += kBase64Alphabet[(v >> 6) & 63];
    result += kBase64Alphabet[v & 63];
  }
  const std::size_t rest = aText.size() - i;
  if (rest > 0) {
    std::uint32_t v = s[i] << 16;
    if (rest == 2) v |= s[i + 1] << 8;
    result += kBase64Alphabet[v >> 18];
    result += kBase64Alphabet[(v >> 12) & 63];
    result += rest == 2 ? kBase64Alphabet[(v >> 6) & 63] : '=';
    result += '=';
  }
  return result;
}

std::string DecodeBase64(std::string_view aText) {
  static constexpr auto kValues = [] {
    std::array<signed char, 256> values{};
    values.fill(-1);
    for (int k = 0; k < 64; ++k) values[static_cast<unsigned char>(kBase64Alphabet[k])] = k;
    return values;
  }();
  std::string result;
  result.reserve(aText.size() / 4 * 3 + 2);
  std::uint32_t bits = 0;
  int count = 0;
  for (char c : aText) {
    if (c == '=') break;
    const int v = kValues[static_cast<unsigned char>(c)];
    if (v < 0) continue;
    bits = (bits << 6) | static_cast<std::uint32_t>(v);
    if (++count == 4) {
      result += static_cast<char>(bits >> 16);
      result += static_cast<char>((bits >> 8) & 0xFF);
      result += static_cast<char>(bits & 0xFF);
      bits = 0;
      count = 0;
    }
  }
  if (count == 2) {
    result += static_cast<char>(bits >> 4);
  } else if (count == 3) {
    result += static_cast<char>(bits >> 10);
    result += static_cast<char>((bits >> 2) & 0xFF);
  }
  return result;
}

std::string ReplaceInvalidUTF8(std::string_view aText) {
  constexpr std::string_view kReplacement = "\xEF\xBF\xBD";
  std::string result;
  result.reserve(aText.size());
  for (std::size_t i = 0; i < aText.size();) {
    if (static_cast<unsigned char>(aText[i]) < 0x80) {
      result += aText[i++];
      continue;
    }
    const detail::TqvnUTF8Char ch = detail::DecodeUTF8(aText.substr(i));
    if (ch.Valid) {
      result.append(aText.substr(i, ch.Length));
    } else {
      result.append(kReplacement);
    }
    i += ch.Length;
  }
  return result;
}

std::size_t UTF16Length(std::string_view aText) {
  std::size_t units = 0;
  for (std::size_t i = 0; i < aText.size();) {
    const auto c = static_cast<unsigned char>(aText[i]);
    if (c < 0x80) {
      ++units;
      ++i;
      continue;
    }
    detail::TqvnUTF8Char ch = detail::DecodeUTF8(aText.substr(i));
    units += ch.Code >= 0x10000 ? 2 : 1;
    i += ch.Length;
  }
  return units;
}

}  // namespace qvn
