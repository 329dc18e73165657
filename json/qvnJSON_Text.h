// Internal to qvn_json: UTF-8 decoding, the shared escaping routine, the text form of a stored
// value and ASCII letter case, used by the reader, the tree, the writer and the string helpers.
#ifndef QVN_JSON_QVNJSON_TEXT_H
#define QVN_JSON_QVNJSON_TEXT_H

#include <cstddef>
#include <string>
#include <string_view>

#include "json/qvnJSON.h"

namespace qvn::detail {

// One character decoded from UTF-8. `length` is the number of bytes it takes (1 to 4);
// `valid` is false for a byte that does not start a well-formed sequence (length is then 1).
struct TqvnUTF8Char {
  char32_t Code;
  int Length;
  bool Valid;
};

// Decodes the character at the start of aText (which must not be empty). Rejects stray
// continuation bytes, cut-off sequences, overlong forms, encoded surrogates and values above
// U+10FFFF.
TqvnUTF8Char DecodeUTF8(std::string_view aText);

// Appends the UTF-8 form of aCode (at most U+10FFFF) to aOut.
void AppendUTF8(char32_t aCode, std::string& aOut);

// Escapes aText as EscapeJSONString does; with aEscapeDel false character 127 is kept.
void AppendEscapedJSON(std::string_view aText, bool aEscapeDel, std::string& aOut);

// Appends the value as text: text unchanged, integers in decimal, a double in its shortest
// round-trip form, a boolean as "True"/"False", nothing for empty.
void AppendStoredText(const TqvnJSONStored& aValue, std::string& aOut);
void AppendDouble(double aValue, std::string& aOut);

// aChar with "A" to "Z" made lower case; every other byte unchanged (no locale).
inline char AsciiLower(char aChar) {
  return aChar >= 'A' && aChar <= 'Z' ? static_cast<char>(aChar - 'A' + 'a') : aChar;
}

}  // namespace qvn::detail

#endif  // QVN_JSON_QVNJSON_TEXT_H
