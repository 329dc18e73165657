// The internal text routines of qvn_json (declared in qvnJSON_Text.h): UTF-8 decoding and
// encoding, the escaping shared by EscapeJSONString and the writer, and the text form of a
// stored value.
#include "json/qvnJSON_Text.h"

#include <charconv>
#include <string>

namespace qvn::detail {

TqvnUTF8Char DecodeUTF8(std::string_view aText) {
  const auto* s = reinterpret_cast<const unsigned char*>(aText.data());
  const std::size_t n = aText.size();
  const unsigned char c = s[0];
  if (c < 0x80) return {c, 1, true};
  int length;
  char32_t code;
  char32_t min;
  if (c >= 0xC2 && c <= 0xDF) {
    length = 2, code = c & 0x1F, min = 0x80;
  } else if (c >= 0xE0 && c <= 0xEF) {
    length = 3, code = c & 0x0F, min = 0x800;
  } else if (c >= 0xF0 && c <= 0xF4) {
    length = 4, code = c & 0x07, min = 0x10000;
  } else {
    return {0xFFFD, 1, false};
  }
  if (n < static_cast<std::size_t>(length)) return {0xFFFD, 1, false};
  for (int k = 1; k < length; ++k) {
    if ((s[k] & 0xC0) != 0x80) return {0xFFFD, 1, false};
    code = (code << 6) | (s[k] & 0x3F);
  }
  if (code < min || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
    return {0xFFFD, 1, false};
  }
  return {code, length, true};
}

void AppendUTF8(char32_t aCode, std::string& aOut) {
  if (aCode < 0x80) {
    aOut += static_cast<char>(aCode);
  } else if (aCode < 0x800) {
    aOut += static_cast<char>(0xC0 | (aCode >> 6));
    aOut += static_cast<char>(0x80 | (aCode & 0x3F));
  } else if (aCode < 0x10000) {
    aOut += static_cast<char>(0xE0 | (aCode >> 12));
    aOut += static_cast<char>(0x80 | ((aCode >> 6) & 0x3F));
    aOut += static_cast<char>(0x80 | (aCode & 0x3F));
  } else {
    aOut += static_cast<char>(0xF0 | (aCode >> 18));
    aOut += static_cast<char>(0x80 | ((aCode >> 12) & 0x3F));
    aOut += static_cast<char>(0x80 | ((aCode >> 6) & 0x3F));
    aOut += static_cast<char>(0x80 | (aCode & 0x3F));
  }
}

namespace {

void AppendUnicodeEscape(char32_t aUnit, std::string& aOut) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  const char text[6] = {'\\',
                        'u',
                        kHex[(aUnit >> 12) & 0xF],
                        kHex[(aUnit >> 8) & 0xF],
                        kHex[(aUnit >> 4) & 0xF],
                        kHex[aUnit & 0xF]};
  aOut.append(text, 6);
}

}  // namespace

void AppendEscapedJSON(std::string_view aText, bool aEscapeDel, std::string& aOut) {
  std::size_t i = 0;
  while (i < aText.size()) {
    const auto c = static_cast<unsigned char>(aText[i]);
    if (c >= 0x80) {
      TqvnUTF8Char ch = DecodeUTF8(aText.substr(i));
      if (ch.Code >= 0x10000) {
        char32_t v = ch.Code - 0x10000;
        AppendUnicodeEscape(0xD800 + (v >> 10), aOut);
        AppendUnicodeEscape(0xDC00 + (v & 0x3FF), aOut);
      } else {
        AppendUnicodeEscape(ch.Code, aOut);
      }
      i += ch.Length;
      continue;
    }
    ++i;
    switch (c) {
      case 8:
        aOut += "\\b";
        break;
      case 9:
        aOut += "\\t";
        break;
      case 10:
        aOut += "\\n";
        break;
      case 12:
        aOut += "\\f";
        break;
      case 13:
        aOut += "\\r";
        break;
      case '"':
        aOut += "\\\"";
        break;
      case '/':
        aOut += "\\/";
        break;
      case '\\':
        aOut += "\\\\";
        break;
      default:
        if (c < 32 || (c == 127 && aEscapeDel)) {
          AppendUnicodeEscape(c, aOut);
        } else {
          aOut += static_cast<char>(c);
        }
    }
  }
}


void AppendDouble(double aValue, std::string& aOut) {
  char buffer[64];
  auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, aValue);
  aOut.append(buffer, ec == std::errc() ? end : buffer);
}

void AppendStoredText(const TqvnJSONStored& aValue, std::string& aOut) {
  switch (aValue.Kind) {
    case jvEmpty:
      break;
    case jvText:
      aOut.append(aValue.Text, aValue.TextSize);
      break;
    case jvInteger:
      aOut += std::to_string(aValue.I32);
      break;
    case jvInt64:
      aOut += std::to_string(aValue.I64);
      break;
    case jvDouble:
      AppendDouble(aValue.D, aOut);
      break;
    case jvBoolean:
      aOut += aValue.B ? "True" : "False";
      break;
  }
}

}  // namespace qvn::detail
