// qvnBase_Helpers: the string functions used around JSON texts: escaping a text for a place
// between double quotes in a request, decoding the escapes of a stored JSON string value, and
// the Base64 pair that carries inline-keyboard callback data.
//
// All functions are pure, keep no state and may be called from any thread. Texts are UTF-8;
// where a count or an escape is per "code unit" it is per UTF-16 code unit of that text (a
// character outside the Basic Multilingual Plane counts 2).
#ifndef QVN_JSON_QVNBASE_HELPERS_H
#define QVN_JSON_QVNBASE_HELPERS_H

#include <cstddef>
#include <stdexcept>
#include <string>
#include <string_view>

namespace qvn {

// Raised by UnescapeJSONString with "Unexpected end of string" or
// "Invalid code at position %d".
class EqvnUnescapeError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Makes aText safe between double quotes in a JSON text; the result holds only the printable
// ASCII characters 32 to 126. Backspace, tab, line feed, form feed and carriage return become
// \b \t \n \f \r; the double quote, "/" and the backslash get a backslash before them; every
// other character below 32 and every character from 127 up becomes \uXXXX (4 upper-case hex
// digits) per UTF-16 code unit, so a character outside the BMP gives two surrogate escapes.
// Invalid UTF-8 never fails: each byte that does not start a well-formed UTF-8 sequence (stray
// continuation bytes, cut-off sequences, overlong forms, encoded surrogates, values above
// U+10FFFF) is escaped as \uFFFD, the replacement character. UnescapeJSONString turns every
// result of valid UTF-8 back into its input.
std::string EscapeJSONString(std::string_view aText);

// Decodes the escape sequences of a stored JSON string value: \\ \" \/ \b \f, \r or \R,
// \n or \N, \t or \T, and \u followed by 4 hexadecimal digits (either case). A \u pair that forms
// a UTF-16 surrogate pair gives that one character; a lone surrogate gives U+FFFD. Every other
// byte is copied unchanged. Raises EqvnUnescapeError:
// - "Unexpected end of string" when the text ends with a single backslash;
// - "Invalid code at position %d" for any other sequence (\x, \U, a \u without 4 hex digits),
//   the number being the 1-based position of the backslash in UTF-16 code units.
// The result is never longer than aText.
std::string UnescapeJSONString(std::string_view aText);

// Standard Base64 (alphabet A-Z a-z 0-9 + /, "=" fill, no line breaks) of aText's bytes. With
// aUTF8 on, the bytes are the UTF-8 text itself; with it off, each character becomes one byte
// (its code when it is at most U+00FF, else "?"), the 8-bit form. ASCII text gives the same
// result either way. An empty text gives an empty result.
std::string EncodeBase64(std::string_view aText, bool aUTF8 = true);

// Decodes standard Base64 to its bytes, returned unchanged (data that was UTF-8 or ASCII comes
// back as it was). Never fails. Text that is not clean Base64 is decoded leniently: characters
// outside the alphabet (blanks, line breaks, anything else) are skipped, the first "=" ends the
// data, a missing fill is tolerated, and a last group of a single character (too short to hold a
// byte) is dropped.
std::string DecodeBase64(std::string_view aText);

// aText with each byte that does not start a well-formed UTF-8 sequence (as EscapeJSONString
// defines it) replaced by U+FFFD, in one pass: the text TDLib reads from aText's escaping, so
// anything counted on it (entity offsets) matches what TDLib gets. Valid UTF-8 is returned as
// it is.
std::string ReplaceInvalidUTF8(std::string_view aText);

// The number of UTF-16 code units of the UTF-8 text aText (a character outside the BMP counts 2;
// a byte that does not start a well-formed UTF-8 sequence counts 1, like the U+FFFD it stands
// for). Text entity offsets and lengths are counted this way.
std::size_t UTF16Length(std::string_view aText);

}  // namespace qvn

#endif  // QVN_JSON_QVNBASE_HELPERS_H
